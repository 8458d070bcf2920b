#include <gtest/gtest.h>

#include <vector>

#include "drawing/waveform_plot.h"

using namespace ravelin;

TEST(WaveformPlot, DefaultsGiveRedAboveBlueAndEveryOddSample) {
    std::vector<std::uint8_t> samples(22050);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i % 256);
    const WaveformPlot plot = waveformPlot(samples, snapshotLevels(50, 3));
    ASSERT_EQ(plot.lines.size(), 2u);
    EXPECT_EQ(plot.lines[0], (PlotLine{1, 376, 11024.5, 376, kRed}));
    EXPECT_EQ(plot.lines[1], (PlotLine{1, 424, 11024.5, 424, kBlue}));
    ASSERT_EQ(plot.points.size(), 11025u);
    EXPECT_EQ(plot.points[0], (PlotPoint{1, 8}));
    EXPECT_EQ(plot.points[1], (PlotPoint{2, 24}));
    EXPECT_EQ(plot.points.back(), (PlotPoint{11025, static_cast<float>((22049 % 256) * 8)}));
}

TEST(WaveformPlot, LevelsThatOverflowStopTheDrawing) {
    const std::vector<std::uint8_t> samples(101, 128);
    // C + D = 4096: the red line only.
    WaveformPlot plot = waveformPlot(samples, snapshotLevels(4000, 96));
    ASSERT_EQ(plot.lines.size(), 1u);
    EXPECT_EQ(plot.lines[0].colour, kRed);
    EXPECT_TRUE(plot.points.empty());
    // C - D out of range: nothing after the clear.
    plot = waveformPlot(samples, snapshotLevels(-5000, 3));
    EXPECT_TRUE(plot.lines.empty());
    EXPECT_TRUE(plot.points.empty());
    // An odd-sized buffer ends its lines at (n - 1) / 2 and has floor(n / 2) points.
    plot = waveformPlot(samples, snapshotLevels(50, -3));
    EXPECT_EQ(plot.lines[0], (PlotLine{1, 424, 50, 424, kRed}));
    EXPECT_EQ(plot.lines[1], (PlotLine{1, 376, 50, 376, kBlue}));
    EXPECT_EQ(plot.points.size(), 50u);
    EXPECT_EQ(plot.points.back(), (PlotPoint{50, 1024}));
}

TEST(PixelRounding, NearestWithHalvesUp) {
    EXPECT_EQ(nearestPixel(147.5), 148);
    EXPECT_EQ(nearestPixel(329.75), 330);
    EXPECT_EQ(nearestPixel(-0.5), 0);
    EXPECT_EQ(nearestPixel(-0.51), -1);
    EXPECT_EQ(nearestPixel(1e300), 1000000);
    EXPECT_EQ(nearestPixel(-1e300), -1000000);
    EXPECT_EQ(twipsToPixel(376), 25);
    EXPECT_EQ(twipsToPixel(424), 28);
    EXPECT_EQ(twipsToPixel(7.5), 1);
    EXPECT_EQ(twipsToPixel(11024.5), 735);
}
