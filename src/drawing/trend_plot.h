// The trend graph as a list of drawing operations: axes, ticks, labels, the two limit
// lines and 600 dose bars, in the order they are drawn. No windowing code here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/displays.h"

namespace ravelin {

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The four palette entries the graph uses.
inline constexpr Rgb kDarkYellow{128, 128, 0};   // stage-1 limit line
inline constexpr Rgb kLightGreen{0, 255, 0};     // bars at or below both limits
inline constexpr Rgb kLightRed{255, 0, 0};       // stage-2 limit line, bars above T2
inline constexpr Rgb kLightYellow{255, 255, 0};  // bars above T1, not above T2

// A line in drawing units, both ends included; no colour means the foreground colour.
struct PlotLine {
    double x1, y1, x2, y2;
    std::optional<Rgb> colour;
    friend bool operator==(const PlotLine&, const PlotLine&) = default;
};

// A text whose top-left corner stands at (x, y), in the foreground colour.
struct PlotText {
    double x, y;
    std::string text;
    friend bool operator==(const PlotText&, const PlotText&) = default;
};

using PlotOp = std::variant<PlotLine, PlotText>;

// Where a redraw ended.
enum class TrendEnd {
    Complete,
    NoStage2Limit,   // T2 missing or T2 / 0.7 not finite: after the axes and time labels
    ZeroScale,       // L = 0: after the five dose labels and the unit
    NoStage1Limit,   // T1 missing: before any limit line
    NoSingleLimit,   // T1 or T2 has no single-precision value: before the bars
};

struct TrendLimits {
    std::optional<double> t1;
    std::optional<double> t2;
    std::optional<float> t1Single;
    std::optional<float> t2Single;
};

struct TrendPlot {
    std::vector<PlotOp> ops;
    TrendEnd end = TrendEnd::Complete;
    // The stage-2 limit gave the graph a scale (trendHasScale): the dose axis and what follows were drawn.
    bool scaled() const { return end != TrendEnd::NoStage2Limit && end != TrendEnd::ZeroScale; }
};

// The bar colour of one dose: strict comparisons, above T2 wins over above T1.
Rgb trendBarColour(float dose, float t1, float t2);

// The whole redraw for DoseHistory with `latest` the newest slot (0..599).
TrendPlot trendPlot(const std::array<float, 600>& history, int latest, const TrendLimits& limits);

}  // namespace ravelin
