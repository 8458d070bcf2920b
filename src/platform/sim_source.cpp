#include "platform/sim_source.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravelin {
namespace {

constexpr int kPhases = 16;       // sub-sample positions of a pulse's start
constexpr int kPulseLength = 48;  // samples until the ringing has died away

// One pulse of unit amplitude (a dip of about 100 sample units) starting `t` samples
// before the sample: a fast fall, an exponential recovery, then a damped ring from
// the counter's coupling.
double pulseShape(double t) {
    constexpr double fall = 0.8, recovery = 5.0;
    static const double peak = [] {
        const double tp = std::log(recovery / fall) * fall * recovery / (recovery - fall);
        return std::exp(-tp / recovery) - std::exp(-tp / fall);
    }();
    double v = -100.0 * (std::exp(-t / recovery) - std::exp(-t / fall)) / peak;
    constexpr double ringStart = 9.0, ringDecay = 10.0, ringPeriod = 10.0, ringSize = 12.0;
    if (t >= ringStart)
        v += ringSize * std::exp(-(t - ringStart) / ringDecay) * std::sin(2.0 * M_PI * (t - ringStart) / ringPeriod);
    return v;
}

// The pulse table at a rate: the shape is made for 22050 samples a second and stretched
// in time, so a pulse lasts as long at any rate.
std::vector<std::vector<float>> pulseTable(std::int32_t rate) {
    const double scale = static_cast<double>(TubeSignal::kRate) / rate;
    const auto length = static_cast<std::size_t>(std::ceil(kPulseLength / scale));
    std::vector<std::vector<float>> t(kPhases, std::vector<float>(length));
    for (int p = 0; p < kPhases; ++p)
        for (std::size_t k = 0; k < length; ++k)
            t[p][k] = static_cast<float>(pulseShape((static_cast<double>(k) + p / double(kPhases)) * scale));
    return t;
}

}  // namespace

TubeSignal::TubeSignal(double cpm, std::uint64_t seed, std::int32_t rate)
    : rate_(rate), shapes_(pulseTable(rate)), perSample_(cpm / 60.0 / rate), random_(seed),
      sum_(static_cast<std::size_t>(rate) + shapes_.front().size(), 0.0f) {
    touched_.reserve(64);
    noiseState_ = random_() | 1;
    nextPulse_ = exponential();
}

double TubeSignal::exponential() {
    if (!(perSample_ > 0)) return std::numeric_limits<double>::infinity();
    const double u = static_cast<double>(random_() >> 11) * 0x1.0p-53;  // [0, 1)
    return -std::log1p(-u) / perSample_;
}

void TubeSignal::next(std::uint8_t* out) {
    const std::size_t length = shapes_.front().size();
    const double end = static_cast<double>(start_ + static_cast<std::uint64_t>(rate_));
    const double deadTime = kDeadTimeSeconds * rate_;
    // Arrivals inside the dead time after a registered pulse are lost; the wait for the
    // next arrival after it is again exponential, so it is drawn from there directly.
    while (nextPulse_ < end) {
        const double first = std::ceil(nextPulse_);
        const auto offset = static_cast<std::size_t>(first - static_cast<double>(start_));
        const int phase = std::min(kPhases - 1, static_cast<int>((first - nextPulse_) * kPhases));
        // A tube's pulses vary a little in height.
        const float height = 1.0f + 0.15f * static_cast<float>(random_() >> 40) * 0x1.0p-24f;
        const auto& shape = shapes_[static_cast<std::size_t>(phase)];
        float* at = sum_.data() + offset;
        for (std::size_t k = 0; k < length; ++k) at[k] += height * shape[k];
        touched_.push_back(offset);
        ++pulses_;
        nextPulse_ += deadTime + exponential();
    }

    // Baseline and noise everywhere; the samples a pulse touches are then made again with it.
    std::uint64_t bits = 0;
    for (std::int32_t i = 0; i < rate_; ++i) {
        if ((i & 15) == 0) {
            noiseState_ ^= noiseState_ << 13;
            noiseState_ ^= noiseState_ >> 7;
            noiseState_ ^= noiseState_ << 17;
            bits = noiseState_;
        }
        // Triangular noise of -3..3 sample units.
        out[i] = static_cast<std::uint8_t>(125 + static_cast<int>(bits & 3) + static_cast<int>((bits >> 2) & 3));
        bits >>= 4;
    }
    std::size_t covered = 0;
    for (const std::size_t start : touched_) {
        const std::size_t from = std::max(start, covered);
        const std::size_t to = std::min<std::size_t>(start + length, static_cast<std::size_t>(rate_));
        for (std::size_t i = from; i < to; ++i) {
            const long v = std::lrint(sum_[i]) + out[i];
            out[i] = static_cast<std::uint8_t>(std::clamp(v, 0L, 255L));
            sum_[i] = 0.0f;
        }
        covered = std::max(covered, to);
    }
    touched_.clear();
    // The tails of the last pulses belong to the next second.
    std::copy(sum_.begin() + rate_, sum_.end(), sum_.begin());
    std::fill(sum_.begin() + rate_, sum_.end(), 0.0f);
    touched_.push_back(0);
    start_ += static_cast<std::uint64_t>(rate_);
}

SimulatedTube::SimulatedTube(double cpm, bool fast, std::optional<std::uint64_t> seed, std::int32_t rate)
    : SecondCapture(fast ? Pace::Fast : Pace::RealTime, rate), cpm_(cpm), rate_(rate), seed_(seed) {}

SimulatedTube::~SimulatedTube() = default;

std::int32_t SimulatedTube::openSource() {
    const std::uint64_t seed = seed_ ? *seed_ : (std::uint64_t{std::random_device{}()} << 32 | std::random_device{}());
    signal_ = std::make_unique<TubeSignal>(cpm_, seed, rate_);
    return rate_;
}

SecondCapture::Produced SimulatedTube::produce(std::uint8_t* out, std::int32_t room) {
    if (room < rate_) return {0, true};
    signal_->next(out);
    return {rate_, false};
}

}  // namespace ravelin
