#include "engine/resample.h"

#include <algorithm>
#include <cmath>

namespace ravelin {
namespace {
constexpr int kPhases = 256;
constexpr int kZeroCrossings = 16;  // of the sinc, each side
constexpr double kCutoff = 0.45;    // of the output rate
}  // namespace

Decimator::Decimator(std::int32_t fromRate, std::int32_t toRate, std::function<void(std::span<const std::uint8_t>)> second)
    : ratio_(static_cast<double>(fromRate) / toRate),
      half_(static_cast<int>(std::ceil(kZeroCrossings * std::max(1.0, ratio_)))),
      toRate_(toRate),
      second_(std::move(second)) {
    // h(u) for u = k - p, p's fraction in kPhases steps: a Blackman-windowed sinc whose
    // cutoff is kCutoff of the output rate, normalised to a gain of one.
    const double fc = kCutoff / std::max(1.0, ratio_);
    table_.resize(static_cast<std::size_t>(kPhases) * 2 * static_cast<std::size_t>(half_));
    for (int phase = 0; phase < kPhases; ++phase) {
        const double frac = static_cast<double>(phase) / kPhases;
        double sum = 0;
        float* row = &table_[static_cast<std::size_t>(phase) * 2 * static_cast<std::size_t>(half_)];
        for (int t = 0; t < 2 * half_; ++t) {
            const double u = (t - half_ + 1) - frac;
            const double x = 2 * fc * u;
            const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            const double w = u / half_;
            const double window = std::abs(w) >= 1 ? 0 : 0.42 + 0.5 * std::cos(M_PI * w) + 0.08 * std::cos(2 * M_PI * w);
            row[t] = static_cast<float>(sinc * window);
            sum += row[t];
        }
        for (int t = 0; t < 2 * half_; ++t) row[t] = static_cast<float>(row[t] / sum);
    }
}

void Decimator::add(std::span<const std::uint8_t> samples) {
    for (const std::uint8_t v : samples) pending_.push_back(static_cast<float>(v) - 128.0f);
    for (;;) {
        const double p = static_cast<double>(next_) * ratio_;
        const auto centre = static_cast<std::int64_t>(std::floor(p));
        if (centre + half_ >= pendingStart_ + static_cast<std::int64_t>(pending_.size())) break;
        const auto phase = std::min(kPhases - 1, static_cast<int>((p - static_cast<double>(centre)) * kPhases));
        const float* row = &table_[static_cast<std::size_t>(phase) * 2 * static_cast<std::size_t>(half_)];
        double sum = 0;
        for (int t = 0; t < 2 * half_; ++t) {
            const std::int64_t k = centre - half_ + 1 + t - pendingStart_;
            sum += row[t] * (k < 0 ? pending_.front() : pending_[static_cast<std::size_t>(k)]);
        }
        out_.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(sum + 128.0), 0L, 255L)));
        ++next_;
        if (static_cast<std::int32_t>(out_.size()) == toRate_) {
            second_(out_);
            out_.clear();
        }
    }
    // Keep only what the next outputs reach back to.
    const std::int64_t needed = static_cast<std::int64_t>(std::floor(static_cast<double>(next_) * ratio_)) - half_;
    if (needed > pendingStart_) {
        const auto drop = std::min<std::int64_t>(needed - pendingStart_, static_cast<std::int64_t>(pending_.size()));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(drop));
        pendingStart_ += drop;
    }
}

void Decimator::finish() {
    if (!out_.empty()) second_(out_);
    out_.clear();
}

}  // namespace ravelin
