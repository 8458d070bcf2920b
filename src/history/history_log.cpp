#include "history/history_log.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace ravelin {

namespace {
constexpr std::string_view kPrefix = "\u03bcSVHData";
constexpr std::string_view kSuffix = ".csv";

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// Exactly `count` ASCII digits at `at`.
bool digitsAt(std::string_view s, std::size_t at, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// The dose as singleText writes it: an optional '-', digits, optionally '.' and digits.
bool isPlainDecimal(std::string_view s) {
    std::size_t i = s.empty() || s[0] != '-' ? 0 : 1;
    const std::size_t intStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == intStart) return false;
    if (i == s.size()) return true;
    if (s[i] != '.') return false;
    const std::size_t fracStart = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i == s.size() && i > fracStart;
}
}  // namespace

bool isLogFileName(std::string_view name) {
    return name.size() >= kPrefix.size() + kSuffix.size() && name.substr(0, kPrefix.size()) == kPrefix &&
           name.substr(name.size() - kSuffix.size()) == kSuffix;
}

bool parseRecordLine(std::string_view line, ParsedRecord& out) {
    // "yyyy/mm/dd","hh:mm",dose
    static constexpr std::string_view shape = "\"0000/00/00\",\"00:00\",";
    if (line.size() <= shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] != '0' && line[i] != shape[i]) return false;
    int y, mo, d, h, mi;
    if (!digitsAt(line, 1, 4, y) || !digitsAt(line, 6, 2, mo) || !digitsAt(line, 9, 2, d) ||
        !digitsAt(line, 14, 2, h) || !digitsAt(line, 17, 2, mi))
        return false;
    if (y < 1902 || y > 6000 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59)
        return false;
    const std::string_view dose = line.substr(shape.size());
    if (!isPlainDecimal(dose)) return false;
    double value = 0;
    const auto [end, ec] = std::from_chars(dose.data(), dose.data() + dose.size(), value);
    if (ec != std::errc{} || end != dose.data() + dose.size()) return false;
    out.minute = minuteOf(y, mo, d, h, mi);
    out.dose = value;
    out.doseText = dose;
    return true;
}

std::optional<int> parseDay(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3)
        return std::nullopt;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    ParsedRecord probe;
    char line[40];
    std::snprintf(line, sizeof line, "\"%04d/%02d/%02d\",\"00:00\",0", y, m, d);
    if (!parseRecordLine(line, probe)) return std::nullopt;  // the log's own calendar check
    return probe.minute / 1440;
}

long HistoryLog::refresh(std::string& error) {
    std::vector<std::string> names;
    if (!folder_.list(names, error)) return -1;
    std::sort(names.begin(), names.end());
    const std::size_t before = records_.size();
    std::string bytes;
    for (const auto& name : names) {
        if (!isLogFileName(name)) continue;
        FileState& state = files_[name];
        bytes.clear();
        std::string readError;
        if (!folder_.readFrom(name, state.offset, bytes, readError)) continue;
        take(name, state, bytes);
    }
    // Files are read in name (date) order, so the records are mostly in order already.
    const auto byMinute = [](const HistoryRecord& a, const HistoryRecord& b) { return a.minute < b.minute; };
    const auto from = records_.begin() + static_cast<long>(before == 0 ? 0 : before - 1);
    if (!std::is_sorted(from, records_.end(), byMinute)) std::stable_sort(records_.begin(), records_.end(), byMinute);
    return static_cast<long>(records_.size() - before);
}

void HistoryLog::take(const std::string& name, FileState& state, const std::string& bytes) {
    std::size_t start = 0;
    ParsedRecord parsed;
    for (;;) {
        const std::size_t lf = bytes.find('\n', start);
        if (lf == std::string::npos) break;
        std::string_view line(bytes.data() + start, lf - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++state.lines;
        if (parseRecordLine(line, parsed)) {
            records_.push_back(HistoryRecord{parsed.minute, static_cast<float>(parsed.dose),
                                             static_cast<std::uint32_t>(texts_.size()),
                                             static_cast<std::uint32_t>(parsed.doseText.size())});
            texts_.append(parsed.doseText);
        } else {
            skipped_.push_back(SkippedLine{name, state.lines, line.empty() ? "empty line" : "not a record"});
        }
        start = lf + 1;
    }
    state.offset += start;
    state.unfinished = start < bytes.size();
}

void HistoryLog::finish() {
    for (auto& [name, state] : files_) {
        if (!state.unfinished) continue;
        skipped_.push_back(SkippedLine{name, state.lines + 1, "torn (no line end)"});
        state.unfinished = false;
    }
}

}  // namespace ravelin
