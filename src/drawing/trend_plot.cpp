#include "drawing/trend_plot.h"

#include <cmath>

#include "engine/convert.h"

namespace ravelin {

Rgb trendBarColour(float dose, float t1, float t2) {
    Rgb colour = kLightGreen;
    if (dose > t1) colour = kLightYellow;
    if (dose > t2) colour = kLightRed;
    return colour;
}

TrendPlot trendPlot(const std::array<float, 600>& history, int latest, const TrendLimits& limits) {
    TrendPlot plot;
    auto& ops = plot.ops;
    ops.reserve(2 + 9 * 2 + 2 + 5 * 2 + 1 + 2 + 600);
    const auto line = [&](double x1, double y1, double x2, double y2, std::optional<Rgb> colour = std::nullopt) {
        ops.push_back(PlotLine{x1, y1, x2, y2, colour});
    };
    const auto text = [&](double x, double y, std::string s) { ops.push_back(PlotText{x, y, std::move(s)}); };

    line(50, 50, 50, 350);
    line(50, 350, 650, 350);
    int x = 110;
    for (; x <= 600; x += 60) {
        line(x, 350, x, 360);
        text(x - 10, 365, printNumberText(x - 50));
    }
    text(x - 10, 365, "600sec");
    text(x - 40, 378, "→時間");

    // A box that never converted, or a limit so large that the division leaves the range.
    if (!limits.t2 || !std::isfinite(*limits.t2 / 0.7)) {
        plot.end = TrendEnd::NoStage2Limit;
        return plot;
    }
    const double top = trendTopValue(*limits.t2);
    const double step = top / 5;
    double v = top;
    for (int y = 50; y <= 349; y += 60) {
        line(45, y, 50, y);
        text(20, y, printNumberText(v));
        v = v - step;
    }
    text(20, 30, "μSV/h");

    if (!trendHasScale(*limits.t2)) {
        plot.end = TrendEnd::ZeroScale;
        return plot;
    }
    const double k = 300 / top;
    if (!limits.t1) {
        plot.end = TrendEnd::NoStage1Limit;
        return plot;
    }
    const double level2 = 300 - *limits.t2 * k;
    const double level1 = 300 - *limits.t1 * k;
    line(50, level2 + 50, 650, level2 + 50, kLightRed);
    line(50, level1 + 50, 650, level1 + 50, kDarkYellow);

    if (!limits.t1Single || !limits.t2Single) {
        plot.end = TrendEnd::NoSingleLimit;
        return plot;
    }
    // A slot number from outside the ring is taken modulo its size rather than read past it.
    int i = ((latest % 600) + 600) % 600;
    for (int column = 600; column >= 1; --column) {
        i = i + 1;
        if (i == 600) i = 0;
        const float d = history[static_cast<std::size_t>(i)];
        const double barTop = 350 - static_cast<double>(d) * k;
        line(column + 50, barTop, column + 50, 350, trendBarColour(d, *limits.t1Single, *limits.t2Single));
    }
    return plot;
}

}  // namespace ravelin
