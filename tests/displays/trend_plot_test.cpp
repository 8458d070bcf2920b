#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/convert.h"
#include "drawing/trend_plot.h"

using namespace ravelin;

namespace {

const TrendLimits kDefaults{0.27, 2.7, 0.27f, 2.7f};

std::vector<PlotText> texts(const TrendPlot& plot) {
    std::vector<PlotText> out;
    for (const auto& op : plot.ops)
        if (const auto* t = std::get_if<PlotText>(&op)) out.push_back(*t);
    return out;
}

std::vector<PlotLine> lines(const TrendPlot& plot) {
    std::vector<PlotLine> out;
    for (const auto& op : plot.ops)
        if (const auto* l = std::get_if<PlotLine>(&op)) out.push_back(*l);
    return out;
}

// The 600 bars are the last 600 operations; bar j (0 = first drawn) stands in column 650 - j.
std::vector<PlotLine> bars(const TrendPlot& plot) {
    auto all = lines(plot);
    EXPECT_GE(all.size(), 600u);
    return std::vector<PlotLine>(all.end() - 600, all.end());
}

const PlotLine& barInColumn(const std::vector<PlotLine>& bars, int column) { return bars[650 - column]; }

}  // namespace

TEST(TrendScale, TopValueRoundsHalvesToEven) {
    EXPECT_EQ(trendTopValue(2.7), 4);
    EXPECT_EQ(trendTopValue(1.75), 2);  // 2.5
    EXPECT_EQ(trendTopValue(3.15), 4);  // 4.5
    EXPECT_EQ(trendTopValue(0.35), 0);  // 0.5
    EXPECT_EQ(trendTopValue(-2.7), -4);
}

TEST(TrendPlot, DefaultsDrawEverythingInOrder) {
    std::array<float, 600> history{};
    const TrendPlot plot = trendPlot(history, 0, kDefaults);
    EXPECT_EQ(plot.end, TrendEnd::Complete);

    const auto t = texts(plot);
    std::vector<std::string> shown;
    for (const auto& text : t) shown.push_back(text.text);
    EXPECT_EQ(shown, (std::vector<std::string>{" 60 ", " 120 ", " 180 ", " 240 ", " 300 ", " 360 ", " 420 ", " 480 ",
                                               " 540 ", "600sec", "→時間", " 4 ", " 3.2 ", " 2.4 ", " 1.6 ", " 0.8 ",
                                               "μSV/h"}));
    EXPECT_EQ(t[0], (PlotText{100, 365, " 60 "}));
    EXPECT_EQ(t[8], (PlotText{580, 365, " 540 "}));
    EXPECT_EQ(t[9], (PlotText{640, 365, "600sec"}));
    EXPECT_EQ(t[10], (PlotText{610, 378, "→時間"}));
    EXPECT_EQ(t[11], (PlotText{20, 50, " 4 "}));
    EXPECT_EQ(t[15], (PlotText{20, 290, " 0.8 "}));
    EXPECT_EQ(t[16], (PlotText{20, 30, "μSV/h"}));

    // 2 axes, 14 ticks, 2 limit lines, 600 bars.
    const auto l = lines(plot);
    ASSERT_EQ(l.size(), 618u);
    EXPECT_EQ(l[0], (PlotLine{50, 50, 50, 350, std::nullopt}));
    EXPECT_EQ(l[1], (PlotLine{50, 350, 650, 350, std::nullopt}));
    EXPECT_EQ(l[2], (PlotLine{110, 350, 110, 360, std::nullopt}));
    EXPECT_EQ(l[10], (PlotLine{590, 350, 590, 360, std::nullopt}));
    EXPECT_EQ(l[11], (PlotLine{45, 50, 50, 50, std::nullopt}));
    EXPECT_EQ(l[15], (PlotLine{45, 290, 50, 290, std::nullopt}));
    EXPECT_EQ(l[16], (PlotLine{50, 147.5, 650, 147.5, kLightRed}));
    EXPECT_EQ(l[17], (PlotLine{50, 329.75, 650, 329.75, kDarkYellow}));

    // Each tick's label is printed right after the tick.
    ASSERT_TRUE(std::holds_alternative<PlotLine>(plot.ops[2]));
    ASSERT_TRUE(std::holds_alternative<PlotText>(plot.ops[3]));
}

// The pipeline reads the other limits, and the window reports a scale problem, by the
// same rule that the drawing follows.
TEST(TrendScale, TheDrawingHasAScaleExactlyWhenThePipelineThinksSo) {
    std::array<float, 600> history{};
    for (double t2 : {2.7, 0.35, 0.36, -0.35, -0.36, 0.0, 1.7e308, -1.7e308, 1e-300, 1.2e308}) {
        const TrendPlot plot = trendPlot(history, 0, TrendLimits{0.27, t2, 0.27f, 2.7f});
        EXPECT_EQ(plot.scaled(), trendHasScale(t2)) << t2;
    }
}

TEST(TrendPlot, LabelsComeFromRepeatedSubtraction) {
    std::array<float, 600> history{};
    const auto labelsFor = [&](double t2) {
        std::vector<std::string> out;
        const auto t = texts(trendPlot(history, 0, TrendLimits{0.27, t2, 0.27f, static_cast<float>(t2)}));
        for (std::size_t i = 11; i < 16; ++i) out.push_back(t[i].text);
        return out;
    };
    EXPECT_EQ(labelsFor(1.75), (std::vector<std::string>{" 2 ", " 1.6 ", " 1.2 ", " 0.8 ", " 0.4 "}));
    EXPECT_EQ(labelsFor(3.15), (std::vector<std::string>{" 4 ", " 3.2 ", " 2.4 ", " 1.6 ", " 0.8 "}));
    EXPECT_EQ(labelsFor(7), (std::vector<std::string>{" 10 ", " 8 ", " 6 ", " 4 ", " 2 "}));
    EXPECT_EQ(labelsFor(-2.7), (std::vector<std::string>{"-4 ", "-3.2 ", "-2.4 ", "-1.6 ", "-0.8 "}));
}

TEST(TrendPlot, ScaleFollowsTheStage2Limit) {
    std::array<float, 600> history{};
    history[0] = 1.0f;
    const TrendPlot plot = trendPlot(history, 0, TrendLimits{0.27, 1.75, 0.27f, 1.75f});  // L 2, k 150
    const auto l = lines(plot);
    EXPECT_EQ(l[16].y1, 350 - 1.75 * 150);
    EXPECT_EQ(l[17].y1, 350 - 0.27 * 150);
    EXPECT_EQ(barInColumn(bars(plot), 51).y1, 200);
}

TEST(TrendPlot, FailuresStopWhereTheRedrawStops) {
    std::array<float, 600> history{};
    // No stage-2 limit: the axes, nine ticks and eleven texts.
    TrendPlot plot = trendPlot(history, 0, TrendLimits{0.27, std::nullopt, 0.27f, 2.7f});
    EXPECT_EQ(plot.end, TrendEnd::NoStage2Limit);
    EXPECT_EQ(plot.ops.size(), 2u + 9 * 2 + 2);
    EXPECT_EQ(std::get<PlotText>(plot.ops.back()).text, "→時間");

    // A limit whose division leaves the double range stops at the same place.
    plot = trendPlot(history, 0, TrendLimits{0.27, 1.7e308, 0.27f, 2.7f});
    EXPECT_EQ(plot.end, TrendEnd::NoStage2Limit);
    EXPECT_EQ(plot.ops.size(), 22u);

    // L = 0: five zero labels and the unit, then no scale.
    for (double t2 : {0.35, -0.35, 0.0, 0.2}) {
        plot = trendPlot(history, 0, TrendLimits{0.27, t2, 0.27f, static_cast<float>(t2)});
        EXPECT_EQ(plot.end, TrendEnd::ZeroScale) << t2;
        ASSERT_EQ(plot.ops.size(), 22u + 5 * 2 + 1);
        const auto t = texts(plot);
        for (std::size_t i = 11; i < 16; ++i) EXPECT_EQ(t[i].text, " 0 ");
        EXPECT_EQ(t.back().text, "μSV/h");
    }

    // No stage-1 limit: everything up to the unit, no limit line.
    plot = trendPlot(history, 0, TrendLimits{std::nullopt, 2.7, 0.27f, 2.7f});
    EXPECT_EQ(plot.end, TrendEnd::NoStage1Limit);
    EXPECT_EQ(plot.ops.size(), 33u);

    // No single-precision limit: the limit lines but no bar.
    for (const TrendLimits limits : {TrendLimits{0.27, 2.7, std::nullopt, 2.7f}, TrendLimits{0.27, 2.7, 0.27f, std::nullopt}}) {
        plot = trendPlot(history, 0, limits);
        EXPECT_EQ(plot.end, TrendEnd::NoSingleLimit);
        ASSERT_EQ(plot.ops.size(), 35u);
        EXPECT_EQ(std::get<PlotLine>(plot.ops.back()).colour, kDarkYellow);
    }
}

TEST(TrendPlot, NewestBarNextToTheAxisOldestAtTheFarEnd) {
    std::array<float, 600> history{};
    for (int i = 0; i < 600; ++i) history[static_cast<std::size_t>(i)] = static_cast<float>(i) / 1000.0f;
    const auto b = bars(trendPlot(history, 1, kDefaults));
    const auto slotOf = [](const PlotLine& bar) { return static_cast<int>(std::lround((350 - bar.y1) / 75 * 1000)); };
    EXPECT_EQ(slotOf(barInColumn(b, 51)), 1);
    EXPECT_EQ(slotOf(barInColumn(b, 52)), 0);
    EXPECT_EQ(slotOf(barInColumn(b, 53)), 599);
    EXPECT_EQ(slotOf(barInColumn(b, 650)), 2);  // the oldest kept
    for (const auto& bar : b) {
        EXPECT_EQ(bar.x1, bar.x2);
        EXPECT_EQ(bar.y2, 350);
    }
    EXPECT_EQ(b.front().x1, 650);
    EXPECT_EQ(b.back().x1, 51);

    // The newest slot at the end of the ring wraps to slot 0 as the oldest.
    const auto wrapped = bars(trendPlot(history, 599, kDefaults));
    EXPECT_EQ(slotOf(barInColumn(wrapped, 51)), 599);
    EXPECT_EQ(slotOf(barInColumn(wrapped, 650)), 0);
}

TEST(TrendPlot, BarHeightsAndColoursUseStrictComparisonsInSingle) {
    std::array<float, 600> history{};
    history[10] = 1.0f;
    history[9] = 0.27f;                           // equal to T1
    history[8] = std::nextafter(0.27f, 1.0f);     // just above T1
    history[7] = 2.7f;                            // equal to T2
    history[6] = std::nextafter(2.7f, 3.0f);      // just above T2
    history[5] = 5.0f;                            // above L
    history[4] = -0.5f;                           // below the baseline
    const auto b = bars(trendPlot(history, 10, kDefaults));
    EXPECT_EQ(barInColumn(b, 51), (PlotLine{51, 275, 51, 350, kLightYellow}));
    EXPECT_EQ(barInColumn(b, 52).colour, kLightGreen);
    EXPECT_EQ(barInColumn(b, 53).colour, kLightYellow);
    EXPECT_EQ(barInColumn(b, 54).colour, kLightYellow);
    EXPECT_EQ(barInColumn(b, 55).colour, kLightRed);
    EXPECT_EQ(barInColumn(b, 56).y1, 350 - 5.0 * 75);
    EXPECT_EQ(barInColumn(b, 57).y1, 387.5);
    EXPECT_EQ(barInColumn(b, 57).colour, kLightGreen);
    EXPECT_EQ(barInColumn(b, 58), (PlotLine{58, 350, 58, 350, kLightGreen}));

    // The single-precision 0.27 lies above the double 0.27: only the single decides.
    EXPECT_GT(static_cast<double>(0.27f), 0.27);
    EXPECT_EQ(trendBarColour(0.27f, 0.27f, 2.7f), kLightGreen);
    // Above T2 wins even with T1 set above T2.
    EXPECT_EQ(trendBarColour(3.0f, 5.0f, 2.7f), kLightRed);
    EXPECT_EQ(trendBarColour(2.0f, 5.0f, 2.7f), kLightGreen);
}

TEST(PrintForm, FifteenSignificantDigitsBetweenBlanks) {
    EXPECT_EQ(printNumberText(4.0 - 0.8), " 3.2 ");
    EXPECT_EQ(printNumberText(4.0 - 0.8 - 0.8 - 0.8), " 1.6 ");
    EXPECT_EQ(printNumberText(0.1 + 0.2), " 0.3 ");
    EXPECT_EQ(printNumberText(1.0 / 3.0), " 0.333333333333333 ");
    EXPECT_EQ(printNumberText(2.0 / 3.0), " 0.666666666666667 ");
    EXPECT_EQ(printNumberText(-0.0), " 0 ");
    EXPECT_EQ(printNumberText(540), " 540 ");
    EXPECT_EQ(printNumberText(-0.4), "-0.4 ");
    EXPECT_EQ(printNumberText(0.05), " 0.05 ");
}
