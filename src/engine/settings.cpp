#include "engine/settings.h"

#include "engine/convert.h"
#include "engine/dose.h"
#include "engine/setting_table.h"

namespace ravelin {

ProblemKey SettingReader::problemFor(Box box) {
    const SettingRow* row = settingRowOf(box);
    return row ? row->problem : ProblemKey::BoxText10;
}

template <typename T, typename Convert>
std::optional<T> SettingReader::read(Box box, Kind kind, Convert convert) {
    const std::string text = face_.text(box);
    const auto key = std::make_pair(box, kind);
    if (auto value = convert(text)) {
        lastGood_[key] = text;
        face_.clearProblem(problemFor(box));
        return value;
    }
    const auto it = lastGood_.find(key);
    const BoxFallback fallback = it != lastGood_.end() ? BoxFallback::Previous
                                 : kind == Kind::Int16 ? BoxFallback::Default
                                                       : BoxFallback::Nothing;
    face_.setProblem(Problem{problemFor(box), text, {}, {}, fallback});
    if (it == lastGood_.end()) return std::nullopt;
    return convert(it->second);
}

std::int16_t SettingReader::readInt16(Box box, std::int16_t fallback) {
    return read<std::int16_t>(box, Kind::Int16, [](const std::string& t) { return toInt16(t); }).value_or(fallback);
}

std::optional<float> SettingReader::readSingle(Box box) {
    return read<float>(box, Kind::Single, [](const std::string& t) { return toSingle(t); });
}

std::optional<double> SettingReader::readDouble(Box box) {
    return read<double>(box, Kind::Double, [](const std::string& t) { return toDouble(t); });
}

std::optional<float> SettingReader::readSensitivity() {
    return read<float>(Box::Text7, Kind::Sensitivity, [](const std::string& t) -> std::optional<float> {
        const auto value = toSingle(t);
        if (!value) return std::nullopt;
        return sensitivityFromBox(*value);
    });
}

}  // namespace ravelin
