#include "engine/settings.h"

#include "engine/convert.h"
#include "engine/dose.h"

namespace ravelin {

ThresholdLevels thresholdLevels(std::int16_t centre, std::int16_t deadBand) {
    const auto fit = [](int level) -> std::optional<std::int16_t> {
        if (level < -32768 || level > 32767) return std::nullopt;
        return static_cast<std::int16_t>(level);
    };
    return ThresholdLevels{fit(centre - deadBand), fit(centre + deadBand)};
}

SensitivityVerdict checkSensitivity(const std::string& text, float* divisor) {
    if (text.empty()) return SensitivityVerdict::Empty;
    const auto value = toSingle(text);
    if (!value) return SensitivityVerdict::NotANumber;
    if (!(*value > 0.0f)) return SensitivityVerdict::NotAbove0;
    const auto perMinute = sensitivityFromBox(*value);
    if (!perMinute) return SensitivityVerdict::TooLarge;
    if (divisor) *divisor = *perMinute;
    return SensitivityVerdict::Usable;
}

template <typename T, typename Convert>
std::optional<T> SettingReader::read(Setting setting, Kind kind, Convert convert) {
    const SettingRow& row = settingRow(setting);
    const std::string text = face_.text(setting);
    const auto key = std::make_pair(setting, kind);
    if (auto value = convert(text)) {
        lastGood_[key] = text;
        face_.clearProblem(settingProblem(row.setting));
        return value;
    }
    const auto it = lastGood_.find(key);
    const BoxFallback fallback = it != lastGood_.end() ? BoxFallback::Previous
                                 : kind == Kind::Int16 ? BoxFallback::Default
                                                       : BoxFallback::Nothing;
    face_.setProblem(Problem{settingProblem(row.setting), text, {}, {}, fallback});
    if (it == lastGood_.end()) return std::nullopt;
    return convert(it->second);
}

std::int16_t SettingReader::readInt16(Setting setting) {
    const auto convert = [](const std::string& t) { return toInt16(t); };
    if (const auto value = read<std::int16_t>(setting, Kind::Int16, convert)) return *value;
    return convert(std::string(settingRow(setting).defaultText)).value_or(0);
}

std::optional<float> SettingReader::readSingle(Setting setting) {
    return read<float>(setting, Kind::Single, [](const std::string& t) { return toSingle(t); });
}

std::optional<double> SettingReader::readDouble(Setting setting) {
    return read<double>(setting, Kind::Double, [](const std::string& t) { return toDouble(t); });
}

std::optional<float> SettingReader::readSensitivity() {
    return read<float>(Setting::Sensitivity, Kind::Sensitivity, [](const std::string& t) -> std::optional<float> {
        float divisor = 0;
        if (checkSensitivity(t, &divisor) != SensitivityVerdict::Usable) return std::nullopt;
        return divisor;
    });
}

}  // namespace ravelin
