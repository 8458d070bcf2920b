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

    // 16-bit integer; the setting's default before any text of the box converted.
    std::int16_t readInt16(Setting setting);
    // Single or double; nothing when neither the box nor any earlier text of it converts.
    std::optional<float> readSingle(Setting setting);
    std::optional<double> readDouble(Setting setting);
    // The sensitivity in CPM per µSv/h; the box must give a value above 0.
    std::optional<float> readSensitivity();

private:
    enum class Kind { Int16, Single, Double, Sensitivity };
    template <typename T, typename Convert>
    std::optional<T> read(Setting setting, Kind kind, Convert convert);

    MonitorFace& face_;
    std::map<std::pair<Setting, Kind>, std::string> lastGood_;
};

// The checks of a setting's value, shared by the check before a headless run, Start and
// every second's scan, so that they can never disagree.

// The detector's levels C - D and C + D; a level that leaves 16 bits is nothing.
struct ThresholdLevels {
    std::optional<std::int16_t> lower, upper;
    bool fit() const { return lower && upper; }
};
ThresholdLevels thresholdLevels(std::int16_t centre, std::int16_t deadBand);

// A skip count below 0 would jump back to the arming sample for ever.
constexpr bool skipUsable(std::int16_t skip) { return skip >= 0; }

enum class SensitivityVerdict { Usable, Empty, NotANumber, NotAbove0, TooLarge };
// What a GM菅γ線感度 text gives; `divisor` gets the CPM per µSv/h when usable.
SensitivityVerdict checkSensitivity(const std::string& text, float* divisor = nullptr);

}  // namespace ravelin
