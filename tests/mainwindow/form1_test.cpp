// The main window as real widgets, offscreen: the table, the button rule, the
// messages, the problem line, the options and the readouts the pipeline writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "app/assembly.h"
#include "app/gui.h"
#include "app/options.h"
#include "engine/convert.h"
#include "fake_dialogs.h"
#include "outputs/csv_log.h"
#include "support/fakes.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"
#include "window_rig.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

std::vector<std::uint8_t> withPulses(int pulses) {
    std::vector<std::uint8_t> s(22050, 128);
    for (int p = 0; p < pulses; ++p)
        for (std::size_t j = 0; j < 5; ++j) s[100 + static_cast<std::size_t>(p) * 50 + j] = 20;
    return s;
}

QImage render(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Rows holding ink darker than the background, as [first, last].
std::pair<int, int> inkRows(const QImage& image, QRect area) {
    int first = -1, last = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

constexpr const char* kTallText = "8gÉ|ｇ感";

int inkHeightInBox(QLineEdit* e) {
    e->setText(kTallText);
    e->setCursorPosition(0);
    e->deselect();
    const QImage image = render(e);
    const auto [top, bottom] = inkRows(image, image.rect().adjusted(1, 1, -1, -1));
    return top < 0 ? -1 : bottom - top;
}

int freeInkHeight(const QFont& font) {
    QImage image(300, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(10, 50, QString::fromUtf8(kTallText));
    }
    const auto [top, bottom] = inkRows(image, image.rect());
    return bottom - top;
}

}  // namespace

TEST(Form1Window, CaptionSizeAndEveryControlAsTheTableGivesIt) {
    WindowRig rig;
    Form1& w = rig.window;
    EXPECT_EQ(w.windowTitle(), "Ravelin V1.4");
    EXPECT_EQ(w.width(), 452);
    EXPECT_EQ(w.height(), 344 + kStatusLineHeight);
    EXPECT_LE(w.height(), 368);
    for (const ControlSpec& c : form1Controls()) {
        QWidget* widget = w.control(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), QRect(twipsToPixels(c.left), twipsToPixels(c.top), twipsToPixels(c.width),
                                            twipsToPixels(c.height)))
            << c.name;
        EXPECT_TRUE(widget->isEnabled()) << c.name;
        QString shown;
        if (auto* e = qobject_cast<QLineEdit*>(widget)) shown = e->text();
        if (auto* l = qobject_cast<QLabel*>(widget)) shown = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) shown = b->text();
        EXPECT_EQ(shown, q(c.text)) << c.name;
        if (auto* b = qobject_cast<QCheckBox*>(widget)) EXPECT_EQ(b->isChecked(), c.name == "Check4") << c.name;
    }
    QWidget* line = w.control("Line1");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->geometry(), QRect(8, 208, 433, 1));
    EXPECT_EQ(w.statusLabel()->geometry(), QRect(0, 344, 452, kStatusLineHeight));
    EXPECT_TRUE(w.statusLabel()->text().isEmpty());
}

TEST(Form1Window, TabOrderFollowsTheTableAndSkipsTheLabels) {
    WindowRig rig;
    std::vector<QWidget*> expected;
    for (const ControlSpec& c : form1Controls())
        if (c.kind != ControlKind::Label) expected.push_back(rig.window.control(c.name));
    QWidget* at = expected.front();
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QWidget* next = at->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        EXPECT_EQ(next, expected[i]) << "after " << at->objectName().toStdString();
        at = expected[i];
    }
    for (const ControlSpec& c : form1Controls())
        if (c.kind == ControlKind::Label) EXPECT_EQ(rig.window.control(c.name)->focusPolicy(), Qt::NoFocus);
}

TEST(Form1Window, FontsAreJapaneseGothicWithTheStoredSizes) {
    WindowRig rig;
    const QFontInfo label(rig.window.control("Label1")->font());
    EXPECT_TRUE(label.family().contains("Gothic", Qt::CaseInsensitive) || label.family().contains("ゴシック"))
        << label.family().toStdString();
    EXPECT_DOUBLE_EQ(rig.window.control("Label1")->font().pointSizeF(), 9.0);
    const QFont dose = rig.window.control("Text8")->font();
    EXPECT_DOUBLE_EQ(dose.pointSizeF(), 12.0);
    EXPECT_EQ(dose.weight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(rig.window.control("Command1")->font().pointSizeF(), 8.25);
    EXPECT_EQ(rig.window.control("Text8")->palette().color(QPalette::Text), QColor(255, 0, 0));
}

TEST(Form1Window, DoseDrawsPureRedAndInputBoxesShowTheirTextWhole) {
    WindowRig rig;
    rig.window.setText(Box::Text8, "0.123");
    rig.window.show();
    const QImage dose = render(rig.window.box(Box::Text8));
    int red = 0;
    for (int y = 0; y < dose.height(); ++y)
        for (int x = 0; x < dose.width(); ++x)
            if (dose.pixel(x, y) == qRgb(255, 0, 0)) ++red;
    EXPECT_GT(red, 20);

    // The ink of a tall text in an 18-pixel box is as high as the same text drawn freely.
    for (Box b : {Box::Text3, Box::Text7, Box::Text9, Box::Text11}) {
        QLineEdit* e = rig.window.box(b);
        EXPECT_EQ(e->height(), 18);
        EXPECT_EQ(inkHeightInBox(e), freeInkHeight(e->font())) << controlName(b) << ": clipped text";
    }
    // The measure sees clipping: a font too large for the box loses ink.
    QLineEdit* big = rig.window.box(Box::Text7);
    QFont f = big->font();
    f.setPointSize(16);
    big->setFont(f);
    EXPECT_LT(inkHeightInBox(big), freeInkHeight(f));
}

TEST(Form1Window, ButtonRuleOnStateChanged) {
    WindowRig rig;
    rig.window.show();
    QApplication::setActiveWindow(&rig.window);
    QPushButton* rec = rig.window.button("cmdRec");
    QPushButton* stop = rig.window.button("cmdStop");
    EXPECT_TRUE(rec->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    ASSERT_TRUE(rig.start());
    EXPECT_FALSE(rec->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_TRUE(stop->hasFocus());
    rig.click("cmdStop");
    rig.device.deliverAll();
    EXPECT_TRUE(rec->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(rec->hasFocus());  // not the readout box next in the tab order
    EXPECT_EQ(rig.device.calls.back(), "Close");
}

TEST(Form1Window, MessagesOfStartAndCommand4) {
    WindowRig rig;
    rig.type(Box::Text1, "typed");
    EXPECT_FALSE(rig.start(""));
    EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{kNoSensitivityMessage});
    EXPECT_EQ(rig.window.text(Box::Text1), "0");
    EXPECT_FALSE(rig.start("abc"));
    EXPECT_FALSE(rig.start("-3"));
    EXPECT_EQ(rig.dialogs.messages.size(), 3u);
    EXPECT_EQ(rig.dialogs.messages[1], kBadSensitivityMessage);
    EXPECT_EQ(std::count(rig.device.calls.begin(), rig.device.calls.end(), "Open"), 0);

    rig.click("Command4");
    EXPECT_EQ(rig.dialogs.messages.back(), "すいませんまだ作っていません");
    ASSERT_TRUE(rig.start());
    rig.click("Command4");
    EXPECT_EQ(rig.dialogs.messages.back(), "すいませんまだ作っていません");
    EXPECT_TRUE(rig.device.recording);
}

TEST(Form1Window, ABadBoxShowsOnTheProblemLineUntilItIsFixed) {
    WindowRig rig;
    ASSERT_TRUE(rig.start());
    rig.second(withPulses(2));
    EXPECT_EQ(rig.status(), "");
    rig.type(Box::Text3, "abc");
    rig.second(withPulses(2));
    const std::string sentence = problemSentenceJa(Problem{settingProblem(Setting::Threshold), "abc", {}, {}});
    EXPECT_EQ(rig.status(), sentence);
    EXPECT_EQ(rig.window.text(Box::Text2), "4");  // the last good threshold went on counting
    rig.type(Box::Text9, "x");
    rig.window.setChecked(Check::Check2, true);
    rig.second(withPulses(2));
    EXPECT_EQ(rig.status(), sentence + "（他1件）");
    EXPECT_NE(rig.window.statusLabel()->toolTip().indexOf("第一段警報上限値"), -1);
    rig.type(Box::Text3, "50");
    rig.type(Box::Text9, "0.27");
    rig.second(withPulses(2));
    EXPECT_EQ(rig.status(), "");
}

TEST(Form1Window, ALongProblemIsShortenedButKeepsTheCount) {
    WindowRig rig;
    rig.window.setProblem(Problem{ProblemKey::CaptureNoInput, {}, std::string(200, 'x'), {}});
    rig.window.setProblem(Problem{ProblemKey::NoAudioOutput, {}, {}, {}});
    const QString shown = rig.window.statusLabel()->text();
    EXPECT_TRUE(shown.endsWith("（他1件）"));
    EXPECT_LE(QFontMetrics(rig.window.statusLabel()->font()).horizontalAdvance(shown),
              rig.window.statusLabel()->contentsRect().width());
    rig.window.clearProblem(ProblemKey::CaptureNoInput);
    rig.window.clearProblem(ProblemKey::NoAudioOutput);
    EXPECT_TRUE(rig.window.statusLabel()->text().isEmpty());
}

TEST(Form1Window, EveryButtonAnswersReturnEnterAndSpaceUnlessDisabled) {
    WindowRig rig;
    for (const ControlSpec& c : form1Controls()) {
        if (c.kind != ControlKind::Button) continue;
        QPushButton* button = rig.window.button(c.name);
        int clicks = 0;
        // Counted only: the buttons' own work is tested elsewhere.
        button->disconnect(SIGNAL(clicked(bool)));
        QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(clicks, 3) << c.name;
        QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(button, Qt::Key_A);
        EXPECT_EQ(clicks, 3) << c.name;
        button->setEnabled(false);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(clicks, 3) << c.name << " disabled";
    }
}

TEST(Form1Window, AHundredThousandCharacterTextIsReportedLikeAnyBadText) {
    WindowRig rig;
    const std::string huge = std::string(99'999, '1') + "x";
    rig.type(Box::Text3, huge);
    ASSERT_EQ(rig.window.box(Box::Text3)->text().size(), 100'000);
    rig.window.box(Box::Text3)->end(false);
    QTest::keyClicks(rig.window.box(Box::Text3), "y");
    EXPECT_EQ(rig.window.text(Box::Text3), huge + "y");  // typing goes on past any limit
    ASSERT_TRUE(rig.start());
    rig.second(withPulses(2));
    // The tooltip quotes the first 100 characters and "…"; nothing has converted yet: the default.
    const std::string sentence = problemSentenceJa(
        Problem{settingProblem(Setting::Threshold), std::string(100, '1') + "…", {}, {}, BoxFallback::Default});
    EXPECT_EQ(rig.window.statusLabel()->toolTip().toStdString(), sentence);
    const QString shown = rig.window.statusLabel()->text();
    EXPECT_TRUE(shown.startsWith("「しきい値」の「111")) << shown.left(20).toStdString();
    EXPECT_LE(QFontMetrics(rig.window.statusLabel()->font()).horizontalAdvance(shown),
              rig.window.statusLabel()->contentsRect().width());
    // Up to 100 characters the tooltip quotes the text whole.
    rig.type(Box::Text3, std::string(99, '2') + "z");
    rig.second(withPulses(2));
    EXPECT_EQ(rig.window.statusLabel()->toolTip().toStdString(),
              problemSentenceJa(Problem{settingProblem(Setting::Threshold), std::string(99, '2') + "z", {}, {},
                                        BoxFallback::Default}));
}

TEST(Form1Window, ThePipelineWritesTheSameReadoutsAsIntoAnyFace) {
    WindowRig rig;
    Rig reference;
    ASSERT_TRUE(rig.start("29"));
    ASSERT_TRUE(reference.start("29"));
    for (int pulses : {3, 0, 7, 12}) {
        rig.second(withPulses(pulses));
        reference.second(withPulses(pulses));
    }
    for (Box b : {Box::Text1, Box::Text2, Box::Text6, Box::Text8})
        EXPECT_EQ(rig.window.text(b), reference.face.text(b)) << controlName(b);
    EXPECT_EQ(rig.window.text(Box::Text1), "4");
    EXPECT_EQ(rig.window.text(Box::Text2), "22");
}

TEST(Form1Window, StageStopButtonsClearTheirLatchAndSilence) {
    WindowRig rig;
    rig.window.setChecked(Check::Check2, true);
    rig.type(Box::Text9, "0.0001");
    ASSERT_TRUE(rig.start());
    rig.second(withPulses(5));
    EXPECT_EQ(rig.player.playing, "daiichi.wav");
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
    rig.click("cmdStop");
    rig.device.deliverAll();
    EXPECT_EQ(rig.player.playing, "daiichi.wav");  // Stop leaves the alarm sounding
    rig.click("Command3");
    EXPECT_EQ(rig.player.playing, "");
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
    rig.click("Command2");
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 0);
}

TEST(Form1Window, OptionsGoIntoTheBoxesUnchecked) {
    WindowRig rig;
    Options o;
    settingOption(o, Setting::Sensitivity) = "29";
    settingOption(o, Setting::Threshold) = "6O";  // a typo stays as typed and fails only when read
    settingOption(o, Setting::Alarm1Limit) = "0.5";
    settingOption(o, Setting::Alarm2Limit) = "5";
    o.noLog = true;
    o.graph = true;
    o.test = true;
    o.logFolder = "/var/log/rad";
    applyOptions(rig.window, o);
    applyRunOptions(rig.monitor.state(), o);
    EXPECT_EQ(rig.window.text(Box::Text7), "29");
    EXPECT_EQ(rig.window.text(Box::Text3), "6O");
    EXPECT_EQ(rig.window.text(Box::Text9), "0.5");
    EXPECT_EQ(rig.window.text(Box::Text10), "5");
    EXPECT_EQ(rig.window.text(Box::Text4), "3");
    EXPECT_TRUE(rig.window.isChecked(Check::Check1));
    EXPECT_TRUE(rig.window.isChecked(Check::Check2));
    EXPECT_TRUE(rig.window.isChecked(Check::Check3));
    EXPECT_FALSE(rig.window.isChecked(Check::Check4));
    EXPECT_TRUE(rig.window.isChecked(Check::Check5));
    EXPECT_EQ(rig.monitor.state().SaveFolder, "/var/log/rad/");
    EXPECT_EQ(rig.window.text(Box::Text11), "/var/log/rad/μSVHData_nnnntthh.csv");
    EXPECT_EQ(rig.status(), "");

    WindowRig plain;
    applyOptions(plain.window, Options{});
    applyRunOptions(plain.monitor.state(), Options{});
    EXPECT_EQ(plain.window.text(Box::Text7), "");
    EXPECT_TRUE(plain.window.isChecked(Check::Check4));
    EXPECT_FALSE(plain.window.isChecked(Check::Check2));
    EXPECT_EQ(plain.monitor.state().SaveFolder, "");
}

TEST(Form1Window, TubeAndDeadTimeOptionsReachTheBoxAndTheMonitor) {
    WindowRig rig;
    const ParseResult parsed = parseOptions({"ravelin", "--tube", "sbm-20", "--dead-time-us", "10000"});
    ASSERT_EQ(parsed.error, "");
    applyOptions(rig.window, parsed.options);
    applyRunOptions(rig.monitor.state(), parsed.options);
    EXPECT_EQ(rig.window.text(Box::Text7), "18.06");
    ASSERT_TRUE(rig.monitor.state().DeadTime);
    EXPECT_DOUBLE_EQ(*rig.monitor.state().DeadTime, 0.01);
    ASSERT_TRUE(rig.start("120"));
    rig.second(withPulses(3));
    EXPECT_EQ(rig.window.text(Box::Text6), "185");  // 180 / (1 - 3 x 0.01)
    rig.second(withPulses(100));                     // 103 pulses in 2 s: 51.5 cps x 10 ms
    rig.second(withPulses(200));                     // 101 cps: beyond the correction
    EXPECT_EQ(rig.window.text(Box::Text6), "6060");
    EXPECT_NE(rig.status().find("不感時間10000µs"), std::string::npos) << rig.status();
}

TEST(Form1Window, ReadoutTooltipsShowTheIntervalOfEachSecond) {
    WindowRig rig;
    const QRect cpmBox = rig.window.box(Box::Text6)->geometry();
    EXPECT_EQ(rig.window.box(Box::Text6)->toolTip(), "");
    ASSERT_TRUE(rig.start("120"));
    rig.second(withPulses(3));
    EXPECT_EQ(rig.window.box(Box::Text6)->toolTip().toStdString(), "95%信頼区間: 37.12033 \u2013 526.0364");
    EXPECT_EQ(rig.window.box(Box::Text8)->toolTip().toStdString(),
              "95%信頼区間: " + singleText(static_cast<float>(37.120327 / 720)) + " \u2013 " +
                  singleText(static_cast<float>(526.03638 / 720)));
    rig.second(withPulses(0));
    EXPECT_EQ(rig.window.box(Box::Text6)->toolTip().toStdString(), "95%信頼区間: 18.56016 \u2013 263.0182");
    EXPECT_EQ(rig.window.box(Box::Text6)->geometry(), cpmBox);
}

TEST(Form1Window, LogFolderDialogSettingsAndAPickedPath) {
    WindowRig rig;
    rig.dialogs.saveAnswer = "/home/user/logs/x.csv";
    rig.click("Command1");
    ASSERT_EQ(rig.dialogs.saveRequests.size(), 1u);
    const SaveDialogRequest& r = rig.dialogs.saveRequests[0];
    EXPECT_EQ(r.title, "収集データ保存フォルダ");
    EXPECT_EQ(r.initialFolder, "");
    EXPECT_EQ(r.fileName, "data/μSVHData_nnnntthh.csv");
    ASSERT_EQ(r.filters.size(), 2u);
    EXPECT_EQ(r.filters[0].name, "テキスト ファイル");
    EXPECT_EQ(r.filters[0].patterns, (std::vector<std::string>{"*.txt", "*.log"}));
    EXPECT_EQ(r.filters[1].name, "すべてのファイル");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_TRUE(r.folderMustExist);
    EXPECT_EQ(rig.window.text(Box::Text11), "/home/user/logs/x.csv");
    EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{"/home/user/logs/"});
    EXPECT_EQ(rig.monitor.state().SaveFolder, "/home/user/logs/");
}

TEST(Form1Window, CancellingTheLogFolderDialogKeepsTheDefaultName) {
    WindowRig rig;
    rig.dialogs.saveAnswer.reset();
    rig.click("Command1");
    EXPECT_EQ(rig.window.text(Box::Text11), "data/μSVHData_nnnntthh.csv");
    EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{"data/"});
    EXPECT_EQ(rig.monitor.state().SaveFolder, "data/");

    rig.dialogs.saveAnswer = "plain.csv";
    rig.click("Command1");
    EXPECT_EQ(rig.dialogs.messages.back(), "");
    EXPECT_EQ(rig.monitor.state().SaveFolder, "");
}

TEST(Form1Window, ARecordDueWhileTheFolderMessageIsOpenGoesToThePreviousFolder) {
    WindowRig rig;
    rig.files.folders.insert("/old");
    rig.files.folders.insert("/new");
    rig.monitor.state().SaveFolder = "/old/";
    ASSERT_TRUE(rig.start());
    for (int s = 0; s < 59; ++s) rig.second(withPulses(1));
    rig.dialogs.saveAnswer = "/new/x.csv";
    rig.dialogs.whileMessageOpen = [&rig] { rig.second(withPulses(1)); };
    rig.click("Command1");
    EXPECT_EQ(rig.window.text(Box::Text1), "60");
    EXPECT_EQ(rig.files.files.count("/old/μSVHData20120305.csv"), 1u);
    EXPECT_EQ(rig.files.files.count("/new/μSVHData20120305.csv"), 0u);
    EXPECT_EQ(rig.monitor.state().SaveFolder, "/new/");
}

namespace {
// A run whose one record could not be written.
void leaveOneRecordUnwritten(WindowRig& rig) {
    rig.monitor.state().SaveFolder = "/gone/";
    rig.files.failMkdir = true;
    ASSERT_TRUE(rig.start());
    for (int s = 0; s < 60; ++s) rig.second(withPulses(1));
    ASSERT_EQ(rig.monitor.log().pending().size(), 1u);
}
}  // namespace

TEST(Form1Window, ClosingWithUnwrittenRecordsSavesThemElsewhereWhenAsked) {
    WindowRig rig;
    leaveOneRecordUnwritten(rig);
    rig.files.folders.insert("/elsewhere");
    rig.dialogs.unwrittenAnswers = {UnwrittenChoice::Retry, UnwrittenChoice::SaveElsewhere};
    rig.dialogs.folderAnswer = "/elsewhere";
    rig.window.show();
    rig.window.close();
    ASSERT_EQ(rig.dialogs.unwrittenQuestions.size(), 2u);
    // The reason is the log's last error: the folder that could not be made.
    EXPECT_EQ(rig.dialogs.unwrittenQuestions[0],
              "CSVファイルに書き込めていない記録が1件あります（/gone: Permission denied）。\n別のフォルダに保存しますか？");
    EXPECT_EQ(rig.dialogs.folderTitles, (std::vector<std::string>{"記録の保存先フォルダ"}));
    const std::string& saved = rig.files.files["/elsewhere/μSVHData20120305.csv"];
    EXPECT_EQ(saved.rfind("\"2012/03/05\",\"09:41\",", 0), 0u) << saved;
    EXPECT_EQ(rig.window.exitStatus(), 0);
    EXPECT_EQ(rig.files.files.count("~Record.tmp"), 0u);
}

TEST(Form1Window, OnlyAnExplicitDiscardDropsUnwrittenRecords) {
    WindowRig rig;
    leaveOneRecordUnwritten(rig);
    rig.dialogs.unwrittenAnswers = {UnwrittenChoice::SaveElsewhere, UnwrittenChoice::Retry, UnwrittenChoice::Discard};
    rig.dialogs.folderAnswer.reset();  // the folder dialog cancelled: asked again
    rig.window.show();
    rig.window.close();
    EXPECT_EQ(rig.dialogs.unwrittenQuestions.size(), 3u);
    EXPECT_FALSE(rig.window.isVisible());
}

TEST(Form1Window, ClosingFromASignalPrintsUnwrittenRecordsInsteadOfAsking) {
    WindowRig rig;
    leaveOneRecordUnwritten(rig);
    rig.window.show();
    testing::internal::CaptureStderr();
    rig.window.closeFromSignal();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(rig.dialogs.unwrittenQuestions.empty());
    EXPECT_NE(err.find("unwritten record for /gone/μSVHData20120305.csv"), std::string::npos) << err;
    EXPECT_EQ(rig.window.exitStatus(), 3);
    EXPECT_FALSE(rig.window.isVisible());
}
