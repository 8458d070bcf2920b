#include "app/settings_check.h"

#include "control/monitor.h"
#include "engine/convert.h"
#include "engine/dose.h"

namespace ravelin {

std::string checkHeadlessSettings(const Options& o) {
    if (!o.sensitivity || o.sensitivity->empty()) return kNoSensitivityMessage;
    const auto sensitivity = toSingle(*o.sensitivity);
    if (!sensitivity) return "--sensitivity: \"" + *o.sensitivity + "\" is not a number";
    if (!(*sensitivity > 0.0f)) return "--sensitivity: \"" + *o.sensitivity + "\" is not above 0";
    if (!sensitivityFromBox(*sensitivity))
        return "--sensitivity: \"" + *o.sensitivity + "\" is too large: the dose rate's divisor leaves the number range";

    struct Int16Setting {
        const char* option;
        const std::optional<std::string>& text;
        const char* fallback;
    };
    const Int16Setting ints[] = {{"--threshold", o.threshold, "50"}, {"--dead-band", o.deadBand, "3"}, {"--skip", o.skip, "10"}};
    std::int16_t values[3];
    for (int i = 0; i < 3; ++i) {
        const std::string text = ints[i].text.value_or(ints[i].fallback);
        const auto v = toInt16(text);
        if (!v) return std::string(ints[i].option) + ": \"" + text + "\" is not a number from -32768 to 32767";
        values[i] = *v;
    }
    if (values[2] < 0) return "--skip: \"" + *o.skip + "\" is below 0";
    const int lower = values[0] - values[1], upper = values[0] + values[1];
    if (lower < -32768 || lower > 32767 || upper < -32768 || upper > 32767)
        return "--threshold and --dead-band: " + std::to_string(values[0]) + " ± " + std::to_string(values[1]) +
               " is outside -32768 to 32767";

    const std::pair<const char*, const std::optional<std::string>&> limits[] = {{"--alarm1", o.alarm1}, {"--alarm2", o.alarm2}};
    for (const auto& [option, text] : limits)
        if (text && !toSingle(*text)) return std::string(option) + ": \"" + *text + "\" is not a number";
    return {};
}

}  // namespace ravelin
