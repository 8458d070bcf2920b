#include "engine/calibration.h"

#include <algorithm>
#include <cmath>

#include "engine/calibration_store.h"
#include "engine/plateau.h"
#include "engine/resample.h"

namespace ravelin {
namespace {

constexpr double kMaxSkipSeconds = 0.010;    // longer than any ringing of a counter's click
constexpr int kLevelPoints = 48;             // levels tried, at most
constexpr double kSkipStep = 1.2;            // skips tried beyond 8 samples: this much apart
constexpr double kNarrowPulse = 2.0;         // samples beyond half depth: too narrow for the rate
constexpr std::int32_t kLiveRate = 22050;
constexpr double kRingingExcess = 0.02;
constexpr double kSkipMargin = 1.5;          // the skip, past where the ringing ends
constexpr std::int64_t kRailShare = 1000;    // one sample in this many at 0 or 255: the input clips
constexpr double kLeastDeadTime = 100e-6;    // seconds: shorter than any tube's dead time

template <class T>
T quantile(std::vector<T> values, double q) {
    if (values.empty()) return T{};
    const auto k = static_cast<std::size_t>(std::min(q * static_cast<double>(values.size()), values.size() - 1.0));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

// The side whose big excursions are bigger, among sides that have a share of them; only
// where the plateaus cannot tell.
std::vector<int> peaksOf(const CalibrationStore::Side& side, double atLeast = 0) {
    std::vector<int> peaks;
    for (const auto& e : side.excursions)
        if (e.peak >= atLeast) peaks.push_back(e.peak);
    return peaks;
}

bool biggerGoesUp(const CalibrationStore::Side& down, const CalibrationStore::Side& up) {
    const auto n = [](const CalibrationStore::Side& s) { return static_cast<std::int64_t>(s.size()); };
    const bool downOk = n(down) > 0 && n(down) * 10 >= n(up);
    const bool upOk = n(up) > 0 && n(up) * 10 >= n(down);
    if (downOk != upOk) return upOk;
    const int qd = quantile(peaksOf(down), 0.9), qu = quantile(peaksOf(up), 0.9);
    if (qd != qu) return qu > qd;
    return n(up) > n(down);
}

std::vector<CalibrationResult::Bin> depthHistogram(const std::vector<int>& peaks) {
    const int from = *std::min_element(peaks.begin(), peaks.end());
    const int top = *std::max_element(peaks.begin(), peaks.end()) + 1;
    constexpr int kBins = 8;
    const int width = std::max(1, (top - from + kBins - 1) / kBins);
    std::vector<CalibrationResult::Bin> bins;
    for (int b = from; b < top; b += width) bins.push_back({b, b + width, 0});
    for (const int p : peaks) ++bins[static_cast<std::size_t>((p - from) / width)].count;
    return bins;
}

// The levels for arming `depth` below the baseline, in the detector's view: armed below
// T, counted on the way back above T + 2D, halfway back to the baseline.
PlateauPoint levelsAt(int lower, double base) {
    const double depth = base - lower;
    const int deadBand = std::max(0, static_cast<int>(std::floor(depth / 4)));
    return {static_cast<std::int16_t>(lower + deadBand), static_cast<std::int16_t>(deadBand), depth, 0};
}

DetectorSettings settingsOf(const PlateauPoint& p, std::int16_t skip) {
    return {static_cast<std::int16_t>(p.threshold - p.deadBand), static_cast<std::int16_t>(p.threshold + p.deadBand), skip};
}

// One side of the signal judged by its plateaus: the level curve, the skip curve, the choice.
struct Judgement {
    std::vector<PlateauPoint> curve;
    FlatStretch flat;
    std::size_t chosen = 0;
    std::vector<SkipPoint> skips;
    FlatStretch skipFlat;
    std::int16_t skip = 0;
};

class SideAnalysis {
public:
    SideAnalysis(const CalibrationStore& store, bool flip, double baseline)
        : store_(store), flip_(flip), leastSkip_(std::ceil(kLeastDeadTime * store.rate)) {
        base_ = flip ? 255.0 - baseline : baseline;
        // Armings only on kept samples: the lower level at or below the quietest kept low.
        const int quiet = flip ? 255 - store.quietHigh : store.quietLow;
        const int shallowest = std::min(quiet, static_cast<int>(std::ceil(base_)) - 1);
        int lowest = 255;
        for (int v = 0; v < 256; ++v)
            if (store.histogram[static_cast<std::size_t>(flip ? 255 - v : v)] > 0) {
                lowest = v;
                break;
            }
        const int deepest = std::max(1, lowest + 1);
        // Every whole level where there are few, else levels evenly spread in log depth.
        const int span = shallowest - deepest + 1;
        for (int i = 0; i < std::min(span, kLevelPoints); ++i) {
            int lower = shallowest - i;
            if (span > kLevelPoints) {
                const double from = base_ - shallowest, to = base_ - deepest;
                lower = static_cast<int>(std::lround(base_ - from * std::pow(to / from, i / (kLevelPoints - 1.0))));
            }
            if (levels_.empty() || lower < levels_.back().threshold - levels_.back().deadBand)
                levels_.push_back(levelsAt(lower, base_));
        }
        for (int k = 0; k <= std::min(store.maxSkip, 8); ++k) skipGrid_.push_back(static_cast<std::int16_t>(k));
        for (double k = 8 * kSkipStep; k <= store.maxSkip; k *= kSkipStep) {
            const auto s = static_cast<std::int16_t>(std::lround(k));
            if (s > skipGrid_.back()) skipGrid_.push_back(s);
        }
    }

    Judgement run(std::int16_t firstSkip) const {
        Judgement side;
        side.skip = firstSkip;
        if (levels_.empty()) return side;
        for (int round = 0; round < 2; ++round) {
            levelPlateau(side);
            skipPlateau(side);
        }
        levelPlateau(side);
        return side;
    }

private:
    void levelPlateau(Judgement& side) const {
        side.curve = levels_;
        std::vector<double> depths;
        std::vector<std::int64_t> counts;
        for (auto& p : side.curve) {
            p.count = store_.count(settingsOf(p, side.skip), flip_);
            depths.push_back(p.depth);
            counts.push_back(p.count);
        }
        side.flat = widestFlatStretch(depths, counts, kLeastPulses);
        side.chosen = side.flat.found ? middleOf(depths, side.flat) : 0;
        if (side.flat.found && side.flat.width < kLeastPlateauWidth) side.chosen = flattestPoint(depths, counts, kLeastPulses);
    }

    void skipPlateau(Judgement& side) const {
        const PlateauPoint& at = side.curve[side.chosen];
        side.skips.clear();
        std::vector<double> positions;
        std::vector<std::int64_t> counts;
        for (const std::int16_t k : skipGrid_) {
            side.skips.push_back({k, store_.count(settingsOf(at, k), flip_)});
            positions.push_back(k + 1.0);
            counts.push_back(side.skips.back().count);
        }
        // Skips shorter than any tube's dead time stay flat over a few samples while a pulse
        // still rings: the stretch is looked for from the least dead time on. The proposal
        // keeps a margin past where the ringing ends, no further: a longer skip only loses
        // close pulses at higher rates.
        std::size_t first = 0;
        while (first + 1 < side.skips.size() && side.skips[first].skip < leastSkip_) ++first;
        side.skipFlat = widestFlatStretch(std::span(positions).subspan(first), std::span(counts).subspan(first), kLeastPulses);
        if (!side.skipFlat.found) return;
        side.skipFlat.from += first;
        side.skipFlat.to += first;
        const std::int16_t from = side.skips[side.skipFlat.from].skip, to = side.skips[side.skipFlat.to].skip;
        const double wanted = std::max<double>(leastSkip_, kSkipMargin * from);
        side.skip = static_cast<std::int16_t>(std::min<double>(to, std::ceil(wanted)));
    }

    const CalibrationStore& store_;
    bool flip_;
    double leastSkip_;
    double base_ = 0;
    std::vector<PlateauPoint> levels_;
    std::vector<std::int16_t> skipGrid_;
};

std::int32_t maxSkipFor(std::int32_t rate) {
    return static_cast<std::int32_t>(std::min(32767.0, std::ceil(kMaxSkipSeconds * rate)));
}

}  // namespace

Calibrator::Calibrator(std::int32_t rate, bool rateAdjustable)
    : rate_(rate), rateAdjustable_(rateAdjustable), store_(std::make_unique<CalibrationStore>(rate, maxSkipFor(rate))) {
    if (rate > kLiveRate) {
        at22050_ = std::make_unique<CalibrationStore>(kLiveRate, maxSkipFor(kLiveRate));
        decimator_ = std::make_unique<Decimator>(rate, kLiveRate,
                                                 [store = at22050_.get()](std::span<const std::uint8_t> s) { store->add(s); });
    }
}

Calibrator::~Calibrator() = default;

void Calibrator::addBuffer(std::span<const std::uint8_t> samples) {
    store_->add(samples);
    if (decimator_) decimator_->add(samples);
}

std::int64_t Calibrator::seconds() const { return static_cast<std::int64_t>(store_->starts.size()); }

std::int64_t Calibrator::pulsesSoFar() const {
    if (store_->down.size() == 0 && store_->up.size() == 0) return 0;
    return static_cast<std::int64_t>((biggerGoesUp(store_->down, store_->up) ? store_->up : store_->down).size());
}

CalibrationResult Calibrator::finish() const {
    CalibrationResult r;
    r.rate = rate_;
    r.seconds = seconds();
    const CalibrationStore& s = *store_;
    if (s.samples == 0 || rate_ <= 0) {
        r.reason = "no samples came from the source";
        return r;
    }
    r.baseline = histogramMedian(s.histogram);
    r.noise = histogramNoise(s.histogram);
    r.excursionLevel = std::max(5.0 * r.noise, 3.0);
    if (s.down.size() == 0 && s.up.size() == 0) {
        r.reason = "nothing stands out of the noise: no pulses reached the input";
        return r;
    }

    // Both polarities are judged the same way; the wider plateau tells which way the pulses go.
    // The first level plateau is found with the longest skip, which no ringing outlasts.
    const auto firstSkip = static_cast<std::int16_t>(s.maxSkip);
    const Judgement down = SideAnalysis(s, false, r.baseline).run(firstSkip);
    const Judgement up = SideAnalysis(s, true, r.baseline).run(firstSkip);
    const auto width = [](const Judgement& side) { return side.flat.found ? side.flat.width : 0.0; };
    const bool plateausTell = std::max(width(down), width(up)) >= kLeastPlateauWidth && width(down) != width(up);
    r.upward = plateausTell ? width(up) > width(down) : biggerGoesUp(s.down, s.up);
    const Judgement& side = r.upward ? up : down;
    const CalibrationStore::Side& pulses = r.upward ? s.up : s.down;

    // The excursions the proposal's lower level reaches, on each side, are what it counts
    // and what it would count the wrong way round; smaller bumps are neither.
    const double reach = side.curve.empty() ? 0 : side.curve[side.chosen].depth;
    std::vector<int> widths;
    std::int64_t clipped = 0;
    std::vector<int> peaks;
    for (const auto& e : pulses.excursions) {
        if (e.peak < reach) continue;
        peaks.push_back(e.peak);
        widths.push_back(e.width);
        clipped += e.clipped ? 1 : 0;
    }
    r.pulseExcursions = static_cast<std::int64_t>(peaks.size());
    r.otherExcursions = static_cast<std::int64_t>(peaksOf(r.upward ? s.down : s.up, reach).size());
    r.pulsesHeard = r.pulseExcursions;
    if (!peaks.empty()) {
        r.typicalDepth = quantile(peaks, 0.5);
        r.depths = depthHistogram(peaks);
        r.clipped = clipped * 50 >= r.pulseExcursions;
        r.pulseWidth = quantile(widths, 0.5);
    }
    // An input driven against an end of the range clips whichever way its pulses go.
    const std::int64_t atRail = s.histogram.front() + s.histogram.back();
    r.clipped = r.clipped || atRail * kRailShare >= s.samples;
    r.weak = r.typicalDepth < 12;
    r.tooFewPulses = r.pulsesHeard < kEnoughPulses;
    if (rateAdjustable_ && rate_ <= kLiveRate && r.pulseExcursions > 0 && r.pulseWidth <= kNarrowPulse)
        r.recommendedRate = 44100;

    r.plateau = side.curve;
    r.skips = side.skips;
    if (!side.flat.found) {
        r.reason = r.pulsesHeard < kLeastPulses ? kTooFewPulsesEn : "the levels tried count no pulses";
        return r;
    }
    r.flatFrom = side.flat.from;
    r.flatTo = side.flat.to;
    r.chosen = side.chosen;
    r.flatness = side.flat.change;
    r.plateauFound = side.flat.width >= kLeastPlateauWidth;
    const PlateauPoint& chosen = side.curve[side.chosen];
    r.threshold = chosen.threshold;
    r.deadBand = chosen.deadBand;
    r.skip = side.skip;
    if (side.skipFlat.found) {
        r.ringingSamples = side.skips[side.skipFlat.from].skip;
        r.skipFlatTo = side.skips[side.skipFlat.to].skip;
        // Ringing: a skip as short as any tube's dead time still counts pulses twice.
        const auto least = static_cast<std::int16_t>(std::ceil(kLeastDeadTime * rate_));
        std::int64_t atLeast = side.skips.front().count;
        for (const SkipPoint& k : side.skips)
            if (k.skip <= least) atLeast = k.count;
        r.ringing = r.ringingSamples > least && static_cast<double>(atLeast) >
                    (1 + kRingingExcess) * static_cast<double>(side.skips[side.skipFlat.from].count) + 1;
    }

    // What the proposal counts, second by second as the monitor scans.
    r.counted = s.count(settingsOf(chosen, r.skip), r.upward);
    r.cpm = static_cast<double>(r.counted) * 60.0 * rate_ / static_cast<double>(s.samples);
    if (at22050_) {
        r.skipAt22050 = static_cast<std::int16_t>(std::lround(static_cast<double>(r.skip) * kLiveRate / rate_));
        r.countAt22050 = at22050_->count(settingsOf(chosen, r.skipAt22050), r.upward);
    }
    if (r.pulsesHeard < kLeastPulses) {
        r.reason = kTooFewPulsesEn;
        return r;
    }
    if (r.counted == 0) {
        r.reason = "the settings found count no pulses";
        return r;
    }
    r.found = true;
    return r;
}

}  // namespace ravelin
