// Finds GM pulses in one buffer: armed below C - D, counted above C + D, with a
// jump of K samples after each arming so ringing inside a pulse is not counted twice.
#pragma once

#include <cstdint>
#include <span>

namespace ravelin {

struct DetectorSettings {
    std::int16_t lower;  // C - D
    std::int16_t upper;  // C + D
    std::int16_t skip;   // K, 0 or more
};

// Scans samples[1..last] (index 0 is never examined). `armed` carries over from the
// previous buffer and is updated. Returns the pulses counted in this buffer.
std::int32_t scanPulses(std::span<const std::uint8_t> samples, const DetectorSettings& settings,
                        std::int16_t& armed);

// The loop exactly as written, one sample at a time; the reference the fast scan is tested against.
std::int32_t scanPulsesReference(std::span<const std::uint8_t> samples, const DetectorSettings& settings,
                                 std::int16_t& armed);

}  // namespace ravelin
