// Turns a signal of any rate above 22050 Hz into 22050 Hz, as a sound server hands a
// card's samples to a program at the default live rate: a windowed-sinc low-pass, then
// 8-bit samples again. Fed one buffer at a time; whole seconds come out.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace ravelin {

class Decimator {
public:
    Decimator(std::int32_t fromRate, std::int32_t toRate, std::function<void(std::span<const std::uint8_t>)> second);
    void add(std::span<const std::uint8_t> samples);
    // The last, short second.
    void finish();

private:
    double ratio_;        // input samples per output sample
    int half_;            // taps each side
    std::int32_t toRate_;
    std::vector<float> table_;  // kPhases rows of 2 * half_ taps
    std::vector<float> pending_;
    std::int64_t pendingStart_ = 0;  // input index of pending_[0]
    std::int64_t next_ = 0;          // next output index
    std::vector<std::uint8_t> out_;
    std::function<void(std::span<const std::uint8_t>)> second_;
};

}  // namespace ravelin
