#include "engine/calibration_store.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ravelin {
namespace {

constexpr double kIqrToSigma = 1.349;   // interquartile range of a normal distribution to its standard deviation
constexpr double kKeepBeyond = 3.0;     // noise deviations: a sample this far out is kept, at first
constexpr double kMostKeepBeyond = 6.0;
constexpr double kKeepStep = 0.5;
constexpr std::int64_t kBudgetAfter = 60;  // seconds heard before the budget is held to
constexpr double kKeepBudget = 0.125;      // of the samples heard: more kept and the band widens
constexpr double kLeastContextSeconds = 0.001;  // the skips a pulse's context allows never shorten below this
constexpr double kLeastKeep = 1.5;      // ... and never closer than this to the baseline
constexpr double kStandOut = 5.0;       // an excursion this far out is counted as one
constexpr double kLeastStandOut = 3.0;

}  // namespace

double histogramQuantile(const std::vector<std::int64_t>& h, double q) {
    const double wanted = q * static_cast<double>(std::accumulate(h.begin(), h.end(), std::int64_t{0}));
    double before = 0;
    for (std::size_t v = 0; v < h.size(); ++v) {
        const auto here = static_cast<double>(h[v]);
        if (before + here >= wanted && here > 0) return static_cast<double>(v) - 0.5 + (wanted - before) / here;
        before += here;
    }
    return 128;
}

double histogramMedian(const std::vector<std::int64_t>& h) { return histogramQuantile(h, 0.5); }

double histogramNoise(const std::vector<std::int64_t>& h) {
    return std::max(0.5, (histogramQuantile(h, 0.75) - histogramQuantile(h, 0.25)) / kIqrToSigma);
}

CalibrationStore::CalibrationStore(std::int32_t rate_, std::int32_t maxSkip_) : rate(rate_), maxSkip(maxSkip_) {}

void CalibrationStore::add(std::span<const std::uint8_t> buffer) {
    for (const std::uint8_t v : buffer) ++histogram[v];
    samples += static_cast<std::int64_t>(buffer.size());
    starts.push_back(kept.size());
    lengths.push_back(static_cast<std::int32_t>(buffer.size()));
    if (buffer.empty()) return;

    // The baseline and the noise of everything so far: a busy second's own would take
    // its pulses' lobes for noise.
    const double base = histogramMedian(histogram);
    const double noise = histogramNoise(histogram);
    // Over the budget, what costs gives way: at a high rate the skips a pulse's context
    // allows shorten (skips that long would lose pulses there anyway); else a noisy input's
    // tails cross the band often, and the band widens (levels inside it are the noise's).
    const auto heard = static_cast<std::int64_t>(starts.size());
    if (heard > kBudgetAfter && static_cast<double>(kept.size()) > kKeepBudget * static_cast<double>(samples)) {
        const auto leastSkip = static_cast<std::int32_t>(kLeastContextSeconds * rate);
        if (pulseContexts > noiseContexts && maxSkip / 2 >= leastSkip)
            maxSkip /= 2;
        else if (keepBeyond < kMostKeepBeyond)
            keepBeyond += kKeepStep;
    }
    const double keep = std::max(kLeastKeep, keepBeyond * noise);
    const double standOut = std::max(kLeastStandOut, kStandOut * noise);
    const auto n = buffer.size();

    // The first sample is never examined and the last maxSkip + 2 decide whether a jump
    // is made: both stay as they are, and so does every sample a jump can land on.
    const std::size_t tail = n > static_cast<std::size_t>(maxSkip) + 2 ? n - static_cast<std::size_t>(maxSkip) - 2 : 1;
    std::size_t keepUntil = 1;  // samples before this are kept
    std::size_t gapFrom = 0;
    bool inGap = false;
    std::uint8_t gapLow = 255, gapHigh = 0;
    std::size_t gapLength = 0;
    auto closeGap = [&](std::size_t to) {
        if (!inGap) return;
        if (gapLength <= 2) {
            kept.insert(kept.end(), buffer.begin() + static_cast<std::ptrdiff_t>(gapFrom),
                        buffer.begin() + static_cast<std::ptrdiff_t>(to));
        } else {
            kept.push_back(gapLow);
            kept.push_back(gapHigh);
        }
        inGap = false;
    };
    kept.push_back(buffer[0]);
    for (std::size_t i = 1; i < n; ++i) {
        const double d = static_cast<double>(buffer[i]) - base;
        if (d < -keep || d > keep) {
            if (i >= keepUntil) ++(d <= -standOut || d >= standOut ? pulseContexts : noiseContexts);
            keepUntil = std::max(keepUntil, i + static_cast<std::size_t>(maxSkip) + 2);
        } else {
            quietLow = std::min<int>(quietLow, buffer[i]);
            quietHigh = std::max<int>(quietHigh, buffer[i]);
        }
        if (i < keepUntil || i >= tail) {
            closeGap(i);
            kept.push_back(buffer[i]);
            continue;
        }
        if (!inGap) {
            inGap = true;
            gapFrom = i;
            gapLow = 255;
            gapHigh = 0;
            gapLength = 0;
        }
        gapLow = std::min(gapLow, buffer[i]);
        gapHigh = std::max(gapHigh, buffer[i]);
        ++gapLength;
    }
    closeGap(n);

    // The excursions of this second, each side on its own.
    int state = 0;
    double peak = 0;
    bool clipped = false;
    std::size_t from = 0;
    auto close = [&](std::size_t to) {
        Side& side = state < 0 ? down : up;
        int width = 0;
        for (std::size_t k = from; k < to; ++k)
            width += state * (static_cast<double>(buffer[k]) - base) >= 0.5 * peak ? 1 : 0;
        side.excursions.push_back({static_cast<int>(std::lround(peak)), width, clipped});
        state = 0;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t v = buffer[i];
        const double d = static_cast<double>(v) - base;
        if (state != 0) {
            if (state * d >= 0.5 * standOut) {
                peak = std::max(peak, state * d);
                clipped |= v == 0 || v == 255;
                continue;
            }
            close(i);
        }
        if (d <= -standOut || d >= standOut) {
            state = d < 0 ? -1 : 1;
            peak = state * d;
            clipped = v == 0 || v == 255;
            from = i;
        }
    }
    if (state != 0) close(n);
}

std::int64_t CalibrationStore::count(const DetectorSettings& settings, bool flip) const {
    std::int16_t armed = 0;
    std::int64_t total = 0;
    std::vector<std::uint8_t> second;
    for (std::size_t b = 0; b < starts.size(); ++b) {
        if (lengths[b] < rate) continue;  // a short second is not scanned
        const std::size_t from = starts[b], to = b + 1 < starts.size() ? starts[b + 1] : kept.size();
        const std::span<const std::uint8_t> part(kept.data() + from, to - from);
        if (!flip) {
            total += scanPulses(part, settings, armed);
            continue;
        }
        second.resize(part.size());
        std::transform(part.begin(), part.end(), second.begin(), [](std::uint8_t v) { return static_cast<std::uint8_t>(255 - v); });
        total += scanPulses(second, settings, armed);
    }
    return total;
}

}  // namespace ravelin
