#include "engine/calibration.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/detector.h"

namespace ravelin {
namespace {

constexpr double kMadToSigma = 1.4826;     // MAD of a normal distribution to its standard deviation
constexpr double kStandOut = 5.0;          // excursions this many noise deviations out are not noise
constexpr double kLeastStandOut = 3.0;     // ... and never closer than this to the baseline
constexpr double kLevelFraction = 0.5;     // the lower level at this fraction of the typical depth
constexpr double kChainGapSeconds = 0.001; // re-armings closer than this belong to one pulse's ringing
constexpr double kLeastSkipSeconds = 0.0001;  // shorter than any tube's dead time
constexpr double kSkipMargin = 1.25;
constexpr double kRingingExcess = 0.15;    // re-armings beyond chance that show ringing

// The median of the sample values, each value v standing for the interval v ± 0.5, so
// that a baseline between two values (half 127, half 128) comes out between them.
double histogramMedian(const std::vector<std::int64_t>& h) {
    const double half = 0.5 * static_cast<double>(std::accumulate(h.begin(), h.end(), std::int64_t{0}));
    double before = 0;
    for (std::size_t v = 0; v < h.size(); ++v) {
        const auto here = static_cast<double>(h[v]);
        if (before + here >= half && here > 0) return static_cast<double>(v) - 0.5 + (half - before) / here;
        before += here;
    }
    return 128;
}

// The median absolute deviation of the sample values from `centre`.
double histogramMad(const std::vector<std::int64_t>& h, double centre) {
    std::vector<std::pair<double, std::int64_t>> deviations;
    std::int64_t total = 0;
    for (std::size_t v = 0; v < h.size(); ++v) {
        if (h[v] == 0) continue;
        deviations.emplace_back(std::abs(static_cast<double>(v) - centre), h[v]);
        total += h[v];
    }
    std::sort(deviations.begin(), deviations.end());
    std::int64_t seen = 0;
    for (const auto& [d, w] : deviations) {
        seen += w;
        if (2 * seen >= total) return d;
    }
    return 0;
}

template <class T>
T quantile(std::vector<T> values, double q) {
    if (values.empty()) return T{};
    const auto k = static_cast<std::size_t>(std::min(q * static_cast<double>(values.size()), values.size() - 1.0));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

// Runs of samples standing out on one side of the baseline: their peak depths.
struct Side {
    std::vector<int> peaks;
    std::int64_t clippedPeaks = 0;  // runs that reached the end of the sample range
};

void findExcursions(const std::vector<std::uint8_t>& s, double baseline, double enter, double leave, Side& down,
                    Side& up) {
    int state = 0;
    double peak = 0;
    bool clipped = false;
    auto close = [&] {
        Side& side = state < 0 ? down : up;
        side.peaks.push_back(static_cast<int>(std::lround(peak)));
        side.clippedPeaks += clipped ? 1 : 0;
        state = 0;
    };
    for (const std::uint8_t v : s) {
        const double d = static_cast<double>(v) - baseline;
        if (state != 0) {
            if (state * d >= leave) {
                peak = std::max(peak, state * d);
                clipped |= v == 0 || v == 255;
                continue;
            }
            close();
        }
        if (d <= -enter || d >= enter) {
            state = d < 0 ? -1 : 1;
            peak = state * d;
            clipped = v == 0 || v == 255;
        }
    }
    if (state != 0) close();
}

// The polarity: the side whose big excursions are bigger, among sides that have a
// share of them (a stray spike on the other side does not decide).
bool pulsesGoUp(const Side& down, const Side& up) {
    const auto n = [](const Side& s) { return static_cast<std::int64_t>(s.peaks.size()); };
    const bool downOk = n(down) > 0 && n(down) * 10 >= n(up);
    const bool upOk = n(up) > 0 && n(up) * 10 >= n(down);
    if (downOk != upOk) return upOk;
    const int qd = quantile(down.peaks, 0.9), qu = quantile(up.peaks, 0.9);
    if (qd != qu) return qu > qd;
    return n(up) > n(down);
}

std::vector<CalibrationResult::Bin> depthHistogram(const std::vector<int>& peaks, int from) {
    const int top = *std::max_element(peaks.begin(), peaks.end()) + 1;
    constexpr int kBins = 8;
    const int width = std::max(1, (top - from + kBins - 1) / kBins);
    std::vector<CalibrationResult::Bin> bins;
    for (int b = from; b < top; b += width) bins.push_back({b, b + width, 0});
    for (const int p : peaks) ++bins[static_cast<std::size_t>((p - from) / width)].count;
    return bins;
}

// Where a detector without skip arms from rest, in the oriented samples.
std::vector<std::int64_t> armings(const std::vector<std::uint8_t>& s, bool flip, int lower, int upper) {
    std::vector<std::int64_t> at;
    bool armed = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const int x = flip ? 255 - s[i] : s[i];
        if (x < lower) {
            if (!armed) at.push_back(static_cast<std::int64_t>(i));
            armed = true;
        } else if (x > upper) {
            armed = false;
        }
    }
    return at;
}

struct Ringing {
    bool present = false;
    std::int64_t longest = 0;   // samples from a pulse's first arming to its last re-arming
    std::int64_t shortestGap = 0;  // between pulses (a low quantile), 0 when too few
};

// Re-armings within a millisecond of the previous one are chained into one pulse. They
// are ringing when there are clearly more of them than random arrivals at the rate of
// each second would give.
Ringing measureRinging(const std::vector<std::int64_t>& arms, std::int32_t rate) {
    Ringing r;
    if (arms.size() < 2) return r;
    const auto chainGap = static_cast<std::int64_t>(std::ceil(kChainGapSeconds * rate));
    std::vector<std::int64_t> lengths, starts;
    std::int64_t first = arms.front(), last = arms.front(), events = 1;
    auto endChain = [&] {
        if (events > 1) lengths.push_back(last - first);
        starts.push_back(first);
    };
    for (std::size_t k = 1; k < arms.size(); ++k) {
        if (arms[k] - last <= chainGap) {
            last = arms[k];
            ++events;
            continue;
        }
        endChain();
        first = last = arms[k];
        events = 1;
    }
    endChain();
    const double followers = static_cast<double>(arms.size() - starts.size());
    std::vector<std::int64_t> perSecond;
    for (const auto s : starts) {
        const auto second = static_cast<std::size_t>(s / rate);
        if (perSecond.size() <= second) perSecond.resize(second + 1, 0);
        ++perSecond[second];
    }
    double chance = 0;
    for (const auto n : perSecond)
        chance += static_cast<double>(n) * (1.0 - std::exp(-static_cast<double>(n) * kChainGapSeconds));
    const double observed = followers / static_cast<double>(arms.size());
    const double expected = chance / static_cast<double>(starts.size());
    r.present = followers >= 2 && observed > expected + kRingingExcess;
    if (r.present) r.longest = quantile(lengths, 0.95);
    if (starts.size() >= 20) {
        std::vector<std::int64_t> gaps;
        for (std::size_t k = 1; k < starts.size(); ++k) gaps.push_back(starts[k] - starts[k - 1]);
        r.shortestGap = quantile(gaps, 0.01);
    }
    return r;
}

}  // namespace

Calibrator::Calibrator(std::int32_t rate) : rate_(rate), histogram_(256, 0) {}

void Calibrator::addBuffer(std::span<const std::uint8_t> samples) {
    starts_.push_back(samples_.size());
    samples_.insert(samples_.end(), samples.begin(), samples.end());
    for (const std::uint8_t v : samples) ++histogram_[v];
}

CalibrationResult Calibrator::finish() const {
    CalibrationResult r;
    r.rate = rate_;
    r.seconds = seconds();
    if (samples_.empty() || rate_ <= 0) {
        r.reason = "no samples came from the source";
        return r;
    }
    const double baseline = histogramMedian(histogram_);
    r.baseline = baseline;
    r.noise = std::max(0.5, kMadToSigma * histogramMad(histogram_, baseline));
    r.excursionLevel = std::max(kStandOut * r.noise, kLeastStandOut);

    Side down, up;
    findExcursions(samples_, baseline, r.excursionLevel, 0.5 * r.excursionLevel, down, up);
    if (down.peaks.empty() && up.peaks.empty()) {
        r.reason = "nothing stands out of the noise: no pulses reached the input";
        return r;
    }
    r.upward = pulsesGoUp(down, up);
    const Side& pulses = r.upward ? up : down;
    r.pulseExcursions = static_cast<std::int64_t>(pulses.peaks.size());
    r.otherExcursions = static_cast<std::int64_t>((r.upward ? down : up).peaks.size());
    r.typicalDepth = quantile(pulses.peaks, 0.5);
    r.depths = depthHistogram(pulses.peaks, *std::min_element(pulses.peaks.begin(), pulses.peaks.end()));
    r.clipped = pulses.clippedPeaks * 50 >= r.pulseExcursions;

    // In the detector's view the pulses dip: for upward pulses that is after --invert.
    // A sample arms when it is at least `depth` below the baseline: half the typical
    // depth, never within the noise. The count comes on the way back, 2D higher.
    const double base = r.upward ? 255.0 - baseline : baseline;
    const double depth = std::max(kLevelFraction * r.typicalDepth, r.excursionLevel);
    r.weak = kLevelFraction * r.typicalDepth < r.excursionLevel || r.typicalDepth < 12;
    const int lower = std::max(1, static_cast<int>(std::floor(base - depth)) + 1);
    int deadBand = std::max(1, static_cast<int>(std::ceil(r.noise)));
    // The upper level stays below the baseline's noise, so every return counts.
    if (lower + 2 * deadBand > base - 2.0 * r.noise) deadBand = 1;
    const int centre = lower + deadBand;
    r.threshold = static_cast<std::int16_t>(centre);
    r.deadBand = static_cast<std::int16_t>(deadBand);

    const Ringing ringing = measureRinging(armings(samples_, r.upward, centre - deadBand, centre + deadBand), rate_);
    r.ringing = ringing.present;
    r.ringingSamples = static_cast<std::int32_t>(ringing.longest);
    const auto least = static_cast<std::int64_t>(std::ceil(kLeastSkipSeconds * rate_));
    std::int64_t skip = least;
    if (ringing.present) skip += static_cast<std::int64_t>(std::ceil(kSkipMargin * static_cast<double>(ringing.longest)));
    // The skip never swallows the next pulse where pulses come close together.
    if (ringing.shortestGap > 0) skip = std::min(skip, std::max(least, ringing.shortestGap - 1));
    r.skip = static_cast<std::int16_t>(std::min<std::int64_t>(skip, 32767));

    // What the proposal counts, buffer by buffer as the monitor scans.
    const DetectorSettings settings{static_cast<std::int16_t>(centre - deadBand), static_cast<std::int16_t>(centre + deadBand), r.skip};
    std::int16_t armed = 0;
    std::vector<std::uint8_t> buffer;
    for (std::size_t b = 0; b < starts_.size(); ++b) {
        const std::size_t from = starts_[b], to = b + 1 < starts_.size() ? starts_[b + 1] : samples_.size();
        if (static_cast<std::int64_t>(to - from) < rate_) continue;  // a short buffer is not scanned
        buffer.assign(samples_.begin() + static_cast<std::ptrdiff_t>(from), samples_.begin() + static_cast<std::ptrdiff_t>(to));
        if (r.upward)
            for (auto& v : buffer) v = static_cast<std::uint8_t>(255 - v);
        r.counted += scanPulses(buffer, settings, armed);
    }
    r.cpm = static_cast<double>(r.counted) * 60.0 * rate_ / static_cast<double>(samples_.size());
    if (r.counted == 0) {
        r.reason = "the settings found count no pulses";
        return r;
    }
    r.found = true;
    return r;
}

}  // namespace ravelin
