#include "app/history_options.h"

#include <cctype>
#include <cstdio>
#include <tuple>

#include "history/history_log.h"

namespace ravelin {

namespace {
bool endsWith(const std::string& s, const char* end) {
    const std::string e(end);
    if (s.size() <= e.size()) return false;
    for (std::size_t i = 0; i < e.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - e.size() + i])) != e[i]) return false;
    return true;
}
}  // namespace

std::string historyOptionsError(const QStringList& given, bool history) {
    // The history reads the logs only: of the monitor's options it takes the two limits.
    static const QStringList withHistory = {"history", "summary", "export", "from", "to", "alarm1", "alarm2"};
    static const QStringList historyOnly = {"summary", "export", "from", "to"};
    for (const QString& name : given) {
        if (history && !withHistory.contains(name))
            return "--" + name.toStdString() + " cannot be given with --history";
        if (!history && historyOnly.contains(name)) return "--" + name.toStdString() + " works only with --history";
    }
    if (given.contains("summary") && given.contains("export")) return "--summary and --export cannot be given together";
    for (const char* name : {"from", "to"})
        if (given.contains(name) && !given.contains("export"))
            return std::string("--") + name + " works only with --export";
    return {};
}

bool parseHistoryDates(const std::optional<std::string>& from, const std::optional<std::string>& to, Options& o,
                       std::string& error) {
    for (const auto& [name, text, day] : {std::tuple{"--from", &from, &o.fromDay}, std::tuple{"--to", &to, &o.toDay}}) {
        if (!*text) continue;
        *day = parseDay(**text);
        if (!*day) {
            error = std::string(name) + ": \"" + **text + "\" is not a date yyyy-mm-dd";
            return false;
        }
    }
    if (o.fromDay && o.toDay && *o.fromDay > *o.toDay) {
        error = "--from " + *from + " is after --to " + *to;
        return false;
    }
    return true;
}

bool historyExportKnown(const std::string& file) { return endsWith(file, ".png") || endsWith(file, ".svg"); }

}  // namespace ravelin
