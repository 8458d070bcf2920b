// The waveform snapshot as drawing operations in twips: the red line at the lower
// level, the blue line at the upper one, and one point per odd sample.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/snapshot.h"
#include "drawing/trend_plot.h"

namespace ravelin {

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};

// A point in the foreground colour.
struct PlotPoint {
    float x, y;
    friend bool operator==(const PlotPoint&, const PlotPoint&) = default;
};

struct WaveformPlot {
    std::vector<PlotLine> lines;    // the threshold lines whose level exists, red first
    std::vector<PlotPoint> points;  // only when both levels exist
};

WaveformPlot waveformPlot(std::span<const std::uint8_t> samples, const SnapshotLevels& levels);

// The pixel a drawing coordinate falls on: the nearest one, halves up (147.5 -> 148).
// Values far outside any window are held at +-1e6 so that they stay integers.
int nearestPixel(double value);

// Twips to pixels at 15 twips per pixel, to the nearest pixel as above.
int twipsToPixel(double twips);

}  // namespace ravelin
