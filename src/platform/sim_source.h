// The built-in simulated GM tube: Poisson arrivals, a tube dead time, and the pulse
// a counter's output makes on a sound input, at 22050 samples a second or another rate
// (the pulse keeps its shape in time).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "platform/capture_base.h"

namespace ravelin {

// The tube's signal, one second at a time; no clock, no event loop.
class TubeSignal {
public:
    static constexpr std::int32_t kRate = 22050;
    static constexpr double kDeadTimeSeconds = 0.0007;  // longer than a pulse takes to recover

    TubeSignal(double cpm, std::uint64_t seed, std::int32_t rate = kRate);

    // The next second: rate() samples around a baseline of 128.
    void next(std::uint8_t* out);
    std::int32_t rate() const { return rate_; }
    // Pulses the tube has put into the seconds made so far.
    std::uint64_t pulses() const { return pulses_; }

private:
    double exponential();

    std::int32_t rate_;
    std::vector<std::vector<float>> shapes_;  // the pulse at each sub-sample phase
    double perSample_;          // mean arrivals per sample
    double nextPulse_;          // sample position of the next registered pulse
    std::uint64_t start_ = 0;   // sample position of the next second
    std::uint64_t pulses_ = 0;
    std::mt19937_64 random_;
    std::uint64_t noiseState_;
    std::vector<float> sum_;    // pulses of this second plus the tail reaching into the next
    std::vector<std::size_t> touched_;  // where pulses start in this second, in order
};

class SimulatedTube : public SecondCapture {
public:
    // Without a seed every Open starts a different tube.
    SimulatedTube(double cpm, bool fast, std::optional<std::uint64_t> seed, std::int32_t rate = TubeSignal::kRate);
    ~SimulatedTube() override;

    std::uint64_t pulses() const { return signal_ ? signal_->pulses() : 0; }

protected:
    std::int32_t openSource() override;
    void closeSource() override {}
    Produced produce(std::uint8_t* out, std::int32_t room) override;

private:
    double cpm_;
    std::int32_t rate_;
    std::optional<std::uint64_t> seed_;
    std::unique_ptr<TubeSignal> signal_;
};

}  // namespace ravelin
