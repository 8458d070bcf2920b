// What the setup assistant keeps of a signal, instead of every sample: each sample that
// stands out of its second's noise, the samples after it that a skip can land on, the
// start and end of each second, and every quiet stretch between as its lowest and highest
// sample. The real detector counts the kept seconds exactly as it counts the whole ones,
// for every lower level below the quiet samples and every skip up to `maxSkip`.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/detector.h"

namespace ravelin {

struct CalibrationStore {
    CalibrationStore(std::int32_t rate, std::int32_t maxSkip);

    void add(std::span<const std::uint8_t> buffer);

    // What the detector counts over the whole seconds (a short last one is not scanned,
    // as the monitor does), the samples turned over (255 - v) when `flip`.
    std::int64_t count(const DetectorSettings& settings, bool flip) const;

    std::int32_t rate, maxSkip;
    std::vector<std::int64_t> histogram = std::vector<std::int64_t>(256, 0);  // of every sample
    std::vector<std::uint8_t> kept;
    std::vector<std::size_t> starts;      // where each second begins in `kept`
    std::vector<std::int32_t> lengths;    // each second's length before keeping
    // Extremes of the samples that do not stand out (only these may be left out): a lower
    // level at or below quietLow arms on kept samples alone.
    int quietLow = 255, quietHigh = 0;

    // Excursions beyond five noise deviations of their second: peak depth, width at half
    // the depth (samples), and whether they touched the end of the sample range.
    struct Side {
        std::vector<int> peaks;
        std::vector<int> widths;
        std::int64_t clipped = 0;
    };
    Side down, up;

    std::int64_t samples = 0;
};

// A quantile of a histogram of sample values, each value v spread evenly over v ± 0.5, so
// that whole-numbered samples of a fine noise still give its width.
double histogramQuantile(const std::vector<std::int64_t>& histogram, double q);
double histogramMedian(const std::vector<std::int64_t>& histogram);
// The robust standard deviation: the interquartile range / 1.349, never below 0.5.
double histogramNoise(const std::vector<std::int64_t>& histogram);

}  // namespace ravelin
