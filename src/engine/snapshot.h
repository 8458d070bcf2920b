// The waveform snapshot's two threshold levels, 8 x (C - D) and 8 x (C + D) in twips,
// each in 16-bit arithmetic; a level that overflows is absent.
#pragma once

#include <cstdint>
#include <optional>

namespace ravelin {

struct SnapshotLevels {
    std::optional<std::int16_t> lower;  // red line
    std::optional<std::int16_t> upper;  // blue line; not computed when lower overflowed
};

SnapshotLevels snapshotLevels(std::int16_t centre, std::int16_t deadBand);

}  // namespace ravelin
