#include "engine/snapshot.h"

namespace ravelin {
namespace {
std::optional<std::int16_t> timesEight(int value) {
    if (value < -32768 || value > 32767) return std::nullopt;
    const int scaled = value * 8;
    if (scaled < -32768 || scaled > 32767) return std::nullopt;
    return static_cast<std::int16_t>(scaled);
}
}  // namespace

SnapshotLevels snapshotLevels(std::int16_t centre, std::int16_t deadBand) {
    SnapshotLevels levels;
    levels.lower = timesEight(centre - deadBand);
    if (levels.lower) levels.upper = timesEight(deadBand + centre);
    return levels;
}

}  // namespace ravelin
