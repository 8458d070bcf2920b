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

    const Setting ints[] = {Setting::Threshold, Setting::DeadBand, Setting::Skip};
    std::int16_t values[3];
    for (int i = 0; i < 3; ++i) {
        const SettingRow& row = settingRow(ints[i]);
        const std::string text = settingOption(o, ints[i]).value_or(std::string(row.defaultText));
        const auto v = toInt16(text);
        if (!v) return std::string(row.option) + ": \"" + text + "\" is not a number from -32768 to 32767";
        values[i] = *v;
    }
    if (values[2] < 0) return "--skip: \"" + *o.skip + "\" is below 0";
    const int lower = values[0] - values[1], upper = values[0] + values[1];
    if (lower < -32768 || lower > 32767 || upper < -32768 || upper > 32767)
        return "--threshold and --dead-band: " + std::to_string(values[0]) + " ± " + std::to_string(values[1]) +
               " is outside -32768 to 32767";

    for (const Setting limit : {Setting::Alarm1Limit, Setting::Alarm2Limit})
        if (const auto& text = settingOption(o, limit); text && !toSingle(*text))
            return std::string(settingRow(limit).option) + ": \"" + *text + "\" is not a number";
    return {};
}

}  // namespace ravelin
