// Signals shaped like those real GM counters put on a sound input, with the true
// number of pulses known by construction: clean trains, AC-coupled spikes with a
// positive overshoot (riding on each other's tails at high rates), acoustic clicks
// that ring, either polarity, any level, and a windowed-sinc resampler.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace ravelin::test {

enum class PulseKind {
    Clean,      // a flat-bottomed dip of 200 µs, no ringing
    AcSpike,    // a ~35 µs spike, then the coupling's overshoot (an eighth of it, the same area) over ~2 ms
    Click,      // a speaker click heard by a microphone: a 2–4 kHz ring lasting 2–4 ms
};

struct SignalRecipe {
    PulseKind kind = PulseKind::Clean;
    int rate = 22050;          // samples a second
    double cpm = 600;
    double seconds = 60;
    double depth = 100;        // of a pulse, in 8-bit sample units
    double noise = 1.5;        // standard deviation, in 8-bit sample units
    bool upward = false;       // the pulses rise instead of dip
    double deadTime = 300e-6;  // shortest time between pulses (the tube's dead time)
    std::uint64_t seed = 1;
};

struct GmSignal {
    int rate = 0;
    std::vector<double> level;  // around 0, in 8-bit sample units
    std::int64_t pulses = 0;
};

// One pulse of unit depth, `t` seconds after it starts (negative: not yet).
inline double pulseAt(PulseKind kind, double t, double ringHz, double ringSeconds) {
    if (t < 0) return 0;
    switch (kind) {
        case PulseKind::Clean:
            return t < 200e-6 ? -1.0 : 0.0;
        case PulseKind::AcSpike: {
            constexpr double tau = 15e-6;  // an alpha-function spike, peak at tau
            const double x = t / tau;
            const double spike = -x * std::exp(1.0 - x);
            // AC coupling: the overshoot's area is the spike's, so the mean level stays put.
            constexpr double rise = 100e-6, decay = 400e-6;
            constexpr double size = tau * M_E / (decay - rise * decay / (rise + decay));
            const double overshoot = size * (1.0 - std::exp(-t / rise)) * std::exp(-t / decay);
            return t > 20e-3 ? 0.0 : spike + overshoot;
        }
        case PulseKind::Click:
            if (t > 3 * ringSeconds) return 0;
            return -std::exp(-2.0 * t / ringSeconds) * std::sin(2.0 * M_PI * ringHz * t + 0.5);
    }
    return 0;
}

// Poisson arrivals with a dead time; every pulse's height varies by ±10 %.
inline GmSignal makeGmSignal(const SignalRecipe& recipe) {
    GmSignal g;
    g.rate = recipe.rate;
    const auto n = static_cast<std::size_t>(recipe.seconds * recipe.rate);
    g.level.assign(n, 0.0);
    std::mt19937_64 random(recipe.seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double perSecond = recipe.cpm / 60.0;
    const double reach = recipe.kind == PulseKind::Clean ? 250e-6 : 20e-3;
    double t = perSecond > 0 ? -std::log(1.0 - uniform(random)) / perSecond : recipe.seconds;
    while (t < recipe.seconds - reach) {
        const double height = recipe.depth * (0.9 + 0.2 * uniform(random)) * (recipe.upward ? -1.0 : 1.0);
        const double ringHz = 2000 + 2000 * uniform(random);
        const double ringSeconds = 2e-3 + 2e-3 * uniform(random);
        const auto first = static_cast<std::size_t>(std::ceil(t * recipe.rate));
        const auto last = std::min(n, static_cast<std::size_t>((t + reach) * recipe.rate) + 2);
        for (std::size_t i = first; i < last; ++i)
            g.level[i] += height * pulseAt(recipe.kind, static_cast<double>(i) / recipe.rate - t, ringHz, ringSeconds);
        ++g.pulses;
        t += recipe.deadTime + (perSecond > 0 ? -std::log(1.0 - uniform(random)) / perSecond : recipe.seconds);
    }
    for (auto& v : g.level) v += recipe.noise * gauss(random);
    return g;
}

// Band-limited resampling to `rate`: a Blackman-windowed sinc cut at 90 % of the lower
// Nyquist frequency, as a sound server's resampler does.
inline GmSignal resample(const GmSignal& in, int rate) {
    GmSignal out;
    out.rate = rate;
    out.pulses = in.pulses;
    const double ratio = static_cast<double>(in.rate) / rate;
    const double cutoff = 0.9 * std::min(1.0, 1.0 / ratio);  // of the input's Nyquist frequency
    constexpr int kHalf = 32;                                // taps each side, in output samples
    const double halfWidth = kHalf * std::max(1.0, ratio);
    const auto n = static_cast<std::size_t>(static_cast<double>(in.level.size()) / ratio);
    out.level.resize(n);
    // The kernel at 512 sub-sample phases, made once.
    constexpr int kPhases = 512;
    const int taps = static_cast<int>(std::ceil(halfWidth));
    std::vector<std::vector<double>> kernel(kPhases + 1, std::vector<double>(2 * taps + 1));
    for (int p = 0; p <= kPhases; ++p)
        for (int k = -taps; k <= taps; ++k) {
            const double x = k - static_cast<double>(p) / kPhases;
            const double sinc = x == 0 ? 1.0 : std::sin(M_PI * cutoff * x) / (M_PI * cutoff * x);
            const double w = std::abs(x) >= halfWidth ? 0.0
                             : 0.42 + 0.5 * std::cos(M_PI * x / halfWidth) + 0.08 * std::cos(2 * M_PI * x / halfWidth);
            kernel[p][k + taps] = cutoff * sinc * w;
        }
    for (std::size_t j = 0; j < n; ++j) {
        const double centre = static_cast<double>(j) * ratio;
        const auto base = static_cast<long>(std::floor(centre));
        const auto& kern = kernel[static_cast<std::size_t>(std::lround((centre - base) * kPhases))];
        double sum = 0;
        for (int k = -taps; k <= taps; ++k) {
            const long i = base + k;
            if (i >= 0 && i < static_cast<long>(in.level.size())) sum += in.level[static_cast<std::size_t>(i)] * kern[k + taps];
        }
        out.level[j] = sum;
    }
    return out;
}

// The 8-bit samples a capture delivers: a wider sample's top 8 bits, offset to 128.
inline std::vector<std::uint8_t> toSamples(const GmSignal& g, double scale = 1.0) {
    std::vector<std::uint8_t> s(g.level.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint8_t>(std::clamp(std::floor(128.0 + scale * g.level[i]), 0.0, 255.0));
    return s;
}

}  // namespace ravelin::test
