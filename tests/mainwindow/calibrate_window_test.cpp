// --calibrate in the window: progress on the problem line, the proposal in the boxes,
// the reasons in a message box, and capture not started.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/calibrate_window.h"
#include "fake_dialogs.h"
#include "support/fakes.h"
#include "support/gm_signals.h"
#include "ui/calibration_view.h"
#include "ui/form1.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

struct CalibrationRig {
    FakeDialogs dialogs;
    Form1 window{dialogs};
    FakeDevice* device = nullptr;
    std::unique_ptr<WindowCalibration> calibration;

    explicit CalibrationRig(long long seconds) {
        auto d = std::make_unique<FakeDevice>();
        device = d.get();
        Options o;
        o.seconds = seconds;
        calibration = std::make_unique<WindowCalibration>(window, std::move(d), o);
        calibration->start();
        device->deliverAll();
    }
    // Feeds one second and lets the window handle what follows.
    void second(const std::vector<std::uint8_t>& samples) {
        device->fill(samples);
        device->deliverAll();
        QApplication::processEvents();
    }
    std::string box(Box b) const { return window.box(b)->text().toStdString(); }
    std::string status() const { return window.statusLabel()->text().toStdString(); }
};

std::vector<std::vector<std::uint8_t>> seconds(bool upward, double cpm = 1200) {
    SignalRecipe s;
    s.cpm = cpm;
    s.seconds = 3;
    s.upward = upward;
    const auto all = toSamples(makeGmSignal(s));
    std::vector<std::vector<std::uint8_t>> out;
    for (std::size_t at = 0; at < all.size(); at += 22050) out.emplace_back(all.begin() + at, all.begin() + at + 22050);
    return out;
}

}  // namespace

TEST(WindowCalibration, ListensThenPutsTheProposalIntoTheBoxesAndExplainsWithoutStartingCapture) {
    CalibrationRig rig(3);
    EXPECT_FALSE(rig.window.button("cmdRec")->isEnabled()) << "no capture while the assistant listens";
    const auto s = seconds(false);
    rig.second(s[0]);
    EXPECT_EQ(rig.status(), "入力を調べています… 1／3秒");
    rig.second(s[1]);
    rig.second(s[2]);
    ASSERT_TRUE(rig.calibration->done());
    EXPECT_EQ(rig.device->calls.back(), "Close");
    EXPECT_EQ(rig.status(), "");
    EXPECT_TRUE(rig.window.button("cmdRec")->isEnabled());
    EXPECT_TRUE(rig.dialogs.messages.empty()) << "the result is a view of its own";
    ASSERT_NE(rig.calibration->view(), nullptr);
    EXPECT_TRUE(rig.calibration->view()->isVisible());
    EXPECT_EQ(rig.calibration->view()->findChild<QPushButton*>("applyProposal"), nullptr) << "the boxes are filled already";
    const std::string message = rig.calibration->view()->reasons().toStdString();
    EXPECT_NE(message.find("下向き"), std::string::npos) << message;
    EXPECT_EQ(message.find("--invert"), std::string::npos) << message;
    EXPECT_NE(message.find("しきい値 " + rig.box(Box::Text3)), std::string::npos) << message;
    EXPECT_NE(rig.box(Box::Text3), "50");
    EXPECT_NE(rig.box(Box::Text5), "10");
    EXPECT_EQ(rig.box(Box::Text7), "") << "nothing else is touched";
}

TEST(WindowCalibration, UpwardPulsesAreSaidAndNoPulsesLeaveTheBoxesAlone) {
    CalibrationRig up(3);
    for (const auto& s : seconds(true)) up.second(s);
    ASSERT_NE(up.calibration->view(), nullptr);
    EXPECT_NE(up.calibration->view()->reasons().toStdString().find("上向き"), std::string::npos);
    EXPECT_NE(up.calibration->view()->reasons().toStdString().find("--invert"), std::string::npos);

    CalibrationRig quiet(2);
    for (const auto& s : seconds(false, 0)) quiet.second(s);
    ASSERT_NE(quiet.calibration->view(), nullptr);
    EXPECT_NE(quiet.calibration->view()->reasons().toStdString().find("パルスが見つかりませんでした"), std::string::npos);
    EXPECT_EQ(quiet.box(Box::Text3), "50");
    EXPECT_EQ(quiet.box(Box::Text4), "3");
    EXPECT_EQ(quiet.box(Box::Text5), "10");
}

TEST(WindowCalibration, ASourceThatDoesNotOpenIsSaidInAMessage) {
    FakeDialogs dialogs;
    Form1 window{dialogs};
    auto d = std::make_unique<FakeDevice>();
    d->failOpen = true;
    WindowCalibration calibration(window, std::move(d), Options{});
    calibration.start();
    EXPECT_TRUE(calibration.done());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages.front(), "入力を開けないため、設定を調べられません（no input）。");
    EXPECT_TRUE(window.button("cmdRec")->isEnabled());
}

TEST(WindowCalibration, AnInputLostWhileListeningIsSaidInAMessageAndProposesNothing) {
    CalibrationRig rig(3);
    EXPECT_EQ(rig.status(), "入力を調べています…");  // before the first second
    rig.second(seconds(false)[0]);
    rig.device->failureText = "the device is gone";
    rig.device->Stop();
    rig.device->deliverAll();
    QApplication::processEvents();
    ASSERT_TRUE(rig.calibration->done());
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages.front(), "入力が途切れたため、設定を調べられません（the device is gone）。");
    EXPECT_EQ(rig.status(), "");
    EXPECT_TRUE(rig.window.button("cmdRec")->isEnabled());
    EXPECT_EQ(rig.box(Box::Text3), "50");
    EXPECT_EQ(rig.box(Box::Text5), "10");
}

TEST(WindowCalibration, WithoutSecondsItListensUntilEnoughPulsesAndSaysHowManySoFar) {
    FakeDialogs dialogs;
    Form1 window{dialogs};
    auto d = std::make_unique<FakeDevice>();
    FakeDevice* device = d.get();
    WindowCalibration calibration(window, std::move(d), Options{});
    calibration.start();
    device->deliverAll();
    SignalRecipe s;
    s.cpm = 1200;
    s.seconds = kLeastListen + 5;
    const auto all = toSamples(makeGmSignal(s));
    long long fed = 0;
    for (std::size_t at = 0; at + 22050 <= all.size() && !calibration.done(); at += 22050) {
        device->fill(std::vector<std::uint8_t>(all.begin() + at, all.begin() + at + 22050));
        device->deliverAll();
        QApplication::processEvents();
        if (++fed == 1)
            EXPECT_EQ(window.statusLabel()->text().toStdString().rfind("入力を調べています… 1秒、パルス", 0), 0u)
                << window.statusLabel()->text().toStdString();
    }
    EXPECT_TRUE(calibration.done());
    EXPECT_EQ(fed, kLeastListen) << "20 pulses a second: enough by then";
    ASSERT_NE(calibration.view(), nullptr);
    const QImage& picture = calibration.view()->picture();
    ASSERT_FALSE(picture.isNull());
    int red = 0, shaded = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            red += picture.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
            shaded += picture.pixelColor(x, y) == QColor(200, 230, 255) ? 1 : 0;
        }
    EXPECT_GT(red, 100) << "the proposal's line from top to bottom";
    EXPECT_GT(shaded, 1000) << "the flat stretch";
}
