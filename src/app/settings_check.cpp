#include "app/settings_check.h"

#include "control/monitor.h"
#include "engine/convert.h"
#include "engine/settings.h"

namespace ravelin {
namespace {

std::string sensitivityError(const std::optional<std::string>& text) {
    const std::string quoted = "--sensitivity: \"" + text.value_or("") + "\"";
    switch (checkSensitivity(text.value_or(""))) {
        case SensitivityVerdict::Usable: return {};
        case SensitivityVerdict::Empty: return kNoSensitivityMessage;
        case SensitivityVerdict::NotANumber: return quoted + " is not a number";
        case SensitivityVerdict::NotAbove0: return quoted + " is not above 0";
        case SensitivityVerdict::TooLarge:
            return quoted + " is too large: the dose rate's divisor leaves the number range";
    }
    return {};
}

}  // namespace

std::string checkHeadlessSettings(const Options& o) {
    if (std::string error = sensitivityError(settingOption(o, Setting::Sensitivity)); !error.empty()) return error;

    // The integers first, then what they give together, then the numbers.
    std::int16_t values[kSettingTable.size()] = {};
    for (const auto& row : kSettingTable) {
        if (row.conversion != Conversion::Int16) continue;
        const std::string text = settingOption(o, row.setting).value_or(std::string(row.defaultText));
        const auto v = toInt16(text);
        if (!v) return std::string(row.option) + ": \"" + text + "\" is not a number from -32768 to 32767";
        values[static_cast<std::size_t>(row.setting)] = *v;
    }
    const auto value = [&values](Setting s) { return values[static_cast<std::size_t>(s)]; };
    if (!skipUsable(value(Setting::Skip))) return "--skip: \"" + *settingOption(o, Setting::Skip) + "\" is below 0";
    if (!thresholdLevels(value(Setting::Threshold), value(Setting::DeadBand)).fit())
        return "--threshold and --dead-band: " + std::to_string(value(Setting::Threshold)) + " ± " +
               std::to_string(value(Setting::DeadBand)) + " is outside -32768 to 32767";

    for (const auto& row : kSettingTable)
        if (const auto& text = settingOption(o, row.setting);
            row.conversion == Conversion::Single && text && !toSingle(*text))
            return std::string(row.option) + ": \"" + *text + "\" is not a number";
    return {};
}

}  // namespace ravelin
