// The two display windows as the pipeline sees them. The engine decides what is
// drawn and when; a face that has no windows passes nullptr.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/convert.h"
#include "engine/snapshot.h"

namespace ravelin {

// L, the dose of the trend graph's top tick: T2 / 0.7 to the nearest whole number, halves to even.
inline double trendTopValue(double t2) { return roundHalfEven(t2 / 0.7); }
// Whether T2 gives the graph a scale: T2 / 0.7 in range and L not 0.
inline bool trendHasScale(double t2) { return std::isfinite(t2 / 0.7) && trendTopValue(t2) != 0; }

struct TrendInputs {
    const std::array<float, 600>* history;  // DoseHistory
    int latest;                             // LatestHistoryIndex
    // The limit boxes as the graph reads them; absent when they never converted.
    std::optional<double> t1;
    std::optional<double> t2;
    std::optional<float> t1Single;
    std::optional<float> t2Single;
};

class Displays {
public:
    virtual ~Displays() = default;
    // Shows, clears and draws the waveform window: the threshold lines that have a
    // level, then, when both have, the points of every odd sample.
    virtual void drawSnapshot(std::span<const std::uint8_t> samples, const SnapshotLevels& levels) = 0;
    // Shows and redraws the trend graph window. Returns false when the redraw stopped
    // early because the stage-2 limit gives no scale (|T2| <= 0.35) or is missing.
    virtual bool redrawTrend(const TrendInputs& inputs) = 0;
};

}  // namespace ravelin
