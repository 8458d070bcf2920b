// The two windows rendered offscreen, checked pixel by pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include <cstdlib>
#include <vector>

#include "ui/display_windows.h"

using namespace ravelin;

namespace {

QImage rendered(QWidget* window) { return window->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QRgb rgb(int r, int g, int b) { return qRgb(r, g, b); }

TrendInputs defaults(const std::array<float, 600>& history, int latest) {
    return TrendInputs{&history, latest, 0.27, 2.7, 0.27f, 2.7f};
}

class DisplayWindowsTest : public ::testing::Test {
protected:
    DisplayWindows windows;
    QRgb background() const { return QApplication::palette().color(QPalette::Window).rgb(); }
    QRgb foreground() const { return QApplication::palette().color(QPalette::WindowText).rgb(); }
};

}  // namespace

TEST_F(DisplayWindowsTest, TrendWindowHasItsCaptionAndSize) {
    EXPECT_EQ(windows.trendWindow(), nullptr);
    std::array<float, 600> history{};
    EXPECT_TRUE(windows.redrawTrend(defaults(history, 0)));
    QWidget* w = windows.trendWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("放射線量　リアルタイムグラフ"));
    EXPECT_EQ(w->size(), QSize(719, 395));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->parentWidget(), nullptr);
}

TEST_F(DisplayWindowsTest, TrendDefaultsPutLimitLinesAndBarsOnTheirPixels) {
    std::array<float, 600> history{};
    history[5] = 1.0f;     // newest, column 51
    history[4] = 0.27f;    // equal to T1, column 52
    history[3] = 2.7f;     // equal to T2, column 53
    history[2] = 2.75f;    // above T2, column 54
    ASSERT_TRUE(windows.redrawTrend(defaults(history, 5)));
    const QImage image = rendered(windows.trendWindow());
    ASSERT_EQ(image.size(), QSize(719, 395));

    // Stage-2 line at y 147.5 -> row 148, stage-1 line at 329.75 -> row 330.
    for (int x : {50, 300, 650}) {
        EXPECT_EQ(image.pixel(x, 148), rgb(255, 0, 0)) << x;
        EXPECT_EQ(image.pixel(x, 330), rgb(128, 128, 0)) << x;
    }
    EXPECT_EQ(image.pixel(300, 147), background());
    EXPECT_EQ(image.pixel(300, 149), background());
    EXPECT_EQ(image.pixel(651, 148), background());

    // A 1 uSv/h bar from 275 to 350, over the stage-1 line.
    EXPECT_EQ(image.pixel(51, 274), background());
    for (int y : {275, 300, 330, 350}) EXPECT_EQ(image.pixel(51, y), rgb(255, 255, 0)) << y;
    EXPECT_EQ(image.pixel(51, 351), background());

    // Equal to a limit is not above it.
    EXPECT_EQ(image.pixel(52, 330), rgb(0, 255, 0));
    EXPECT_EQ(image.pixel(52, 329), background());
    EXPECT_EQ(image.pixel(53, 200), rgb(255, 255, 0));
    EXPECT_EQ(image.pixel(54, 200), rgb(255, 0, 0));

    // Zero doses are one pixel on the baseline; the axes and ticks in the foreground.
    EXPECT_EQ(image.pixel(400, 350), rgb(0, 255, 0));
    EXPECT_EQ(image.pixel(400, 349), background());
    EXPECT_EQ(image.pixel(50, 100), foreground());
    EXPECT_EQ(image.pixel(50, 350), foreground());
    EXPECT_EQ(image.pixel(110, 360), foreground());
    EXPECT_EQ(image.pixel(47, 110), foreground());
}

TEST_F(DisplayWindowsTest, TrendScaleFailureKeepsWhatWasDrawn) {
    std::array<float, 600> history{};
    history.fill(1.0f);
    ASSERT_TRUE(windows.redrawTrend(defaults(history, 0)));
    TrendInputs zero = defaults(history, 0);
    zero.t2 = 0.35;
    zero.t2Single = 0.35f;
    EXPECT_FALSE(windows.redrawTrend(zero));
    const QImage image = rendered(windows.trendWindow());
    EXPECT_EQ(image.pixel(50, 100), foreground());     // axes drawn
    EXPECT_EQ(image.pixel(47, 290), foreground());     // dose ticks drawn
    EXPECT_EQ(image.pixel(300, 300), background());    // no bars, no limit line
    EXPECT_EQ(image.pixel(300, 148), background());

    TrendInputs missing = defaults(history, 0);
    missing.t2.reset();
    EXPECT_FALSE(windows.redrawTrend(missing));
    EXPECT_EQ(rendered(windows.trendWindow()).pixel(47, 290), background());

    // A missing stage-1 limit is the settings' problem, not the scale's.
    TrendInputs noT1 = defaults(history, 0);
    noT1.t1.reset();
    EXPECT_TRUE(windows.redrawTrend(noT1));
    EXPECT_EQ(rendered(windows.trendWindow()).pixel(300, 148), background());
}

TEST_F(DisplayWindowsTest, WindowKeepsItsDrawingAndComesBackAfterClosing) {
    std::array<float, 600> history{};
    history[0] = 1.0f;
    windows.redrawTrend(defaults(history, 0));
    QWidget* w = windows.trendWindow();
    const QImage before = rendered(w);
    w->hide();
    w->show();
    EXPECT_EQ(rendered(w), before);

    w->close();
    EXPECT_FALSE(w->isVisible());
    windows.redrawTrend(defaults(history, 0));
    EXPECT_TRUE(windows.trendWindow()->isVisible());

    const std::vector<std::uint8_t> samples(22050, 128);
    windows.drawSnapshot(samples, snapshotLevels(50, 3));
    windows.waveformWindow()->close();
    windows.drawSnapshot(samples, snapshotLevels(50, 3));
    EXPECT_TRUE(windows.waveformWindow()->isVisible());

    windows.closeAll();
    EXPECT_FALSE(windows.trendWindow()->isVisible());
    EXPECT_FALSE(windows.waveformWindow()->isVisible());
}

// The offscreen platform activates every window it shows, so only the request is checked here.
TEST_F(DisplayWindowsTest, WindowsAskNotToBeActivatedNorToKeepTheProgramAlive) {
    std::array<float, 600> history{};
    windows.redrawTrend(defaults(history, 0));
    windows.drawSnapshot(std::vector<std::uint8_t>(100, 0), snapshotLevels(50, 3));
    for (QWidget* w : {windows.trendWindow(), windows.waveformWindow()}) {
        EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
        EXPECT_FALSE(w->testAttribute(Qt::WA_QuitOnClose));
    }
}

TEST_F(DisplayWindowsTest, WaveformLinesAndPoints) {
    std::vector<std::uint8_t> samples(22050, 128);
    windows.drawSnapshot(samples, snapshotLevels(50, 3));
    QWidget* w = windows.waveformWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("パルステストモード"));
    EXPECT_EQ(w->size(), QSize(721, 173));
    QImage image = rendered(w);
    // Red at 376 twips -> row 25, blue at 424 -> row 28, the samples at 1024 -> row 68.
    for (int x : {0, 360, 720}) {
        EXPECT_EQ(image.pixel(x, 25), rgb(255, 0, 0)) << x;
        EXPECT_EQ(image.pixel(x, 28), rgb(0, 0, 255)) << x;
        EXPECT_EQ(image.pixel(x, 68), foreground()) << x;
        EXPECT_EQ(image.pixel(x, 26), background()) << x;
    }

    // D = 0: the blue line covers the red one.
    windows.drawSnapshot(samples, snapshotLevels(50, 0));
    image = rendered(w);
    EXPECT_EQ(image.pixel(360, 27), rgb(0, 0, 255));  // 400 twips
    EXPECT_EQ(image.pixel(360, 25), background());     // the earlier snapshot is cleared

    // A negative dead band puts red below blue.
    windows.drawSnapshot(samples, snapshotLevels(50, -3));
    image = rendered(w);
    EXPECT_EQ(image.pixel(360, 25), rgb(0, 0, 255));
    EXPECT_EQ(image.pixel(360, 28), rgb(255, 0, 0));

    // A short buffer: the lines end at (n - 1) / 2 twips, the points at n / 2.
    samples.assign(301, 0);
    windows.drawSnapshot(samples, snapshotLevels(50, 3));
    image = rendered(w);
    EXPECT_EQ(image.pixel(10, 25), rgb(255, 0, 0));   // 150 twips
    EXPECT_EQ(image.pixel(11, 25), background());
    EXPECT_EQ(image.pixel(0, 0), foreground());       // zero samples at the top
    EXPECT_EQ(image.pixel(10, 0), foreground());
    EXPECT_EQ(image.pixel(11, 0), background());

    // An overflowing upper level: shown and cleared, the red line only.
    windows.drawSnapshot(std::vector<std::uint8_t>(22050, 128), snapshotLevels(4000, 96));
    image = rendered(w);
    EXPECT_EQ(image.pixel(360, 68), background());
    EXPECT_EQ(image.pixel(0, 0), background());
}

int main(int argc, char** argv) {
    // Windows are drawn without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
