// Reads the settings boxes at the moment of use. A box that does not convert is
// reported, and the last text of that box that did convert stands in for it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "engine/face.h"

namespace ravelin {

class SettingReader {
public:
    explicit SettingReader(MonitorFace& face) : face_(face) {}

    // 16-bit integer; `fallback` before any text of the box converted.
    std::int16_t readInt16(Box box, std::int16_t fallback);
    // Single or double; nothing when neither the box nor any earlier text of it converts.
    std::optional<float> readSingle(Box box);
    std::optional<double> readDouble(Box box);
    // The sensitivity in CPM per µSv/h; the box must give a value above 0.
    std::optional<float> readSensitivity();

    static ProblemKey problemFor(Box box);

private:
    enum class Kind { Int16, Single, Double, Sensitivity };
    template <typename T, typename Convert>
    std::optional<T> read(Box box, Kind kind, Convert convert);

    MonitorFace& face_;
    std::map<std::pair<Box, Kind>, std::string> lastGood_;
};

}  // namespace ravelin
