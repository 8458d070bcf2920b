#include "engine/log_record.h"

#include <cstdio>

#include "engine/convert.h"

namespace ravelin {

namespace {
std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}
}  // namespace

std::string LogRecord::line() const { return "\"" + date + "\",\"" + clock + "\"," + doseText + "\r\n"; }

std::string logFileName(const std::string& saveFolder, const LocalDateTime& now) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d%s%s", now.year, twoDigits(now.month).c_str(), twoDigits(now.day).c_str());
    return saveFolder + "\u03bcSVHData" + date + ".csv";
}

LogRecord makeLogRecord(const Clock& clock, const std::string& saveFolder, float dose) {
    const LocalDateTime now = clock.now();
    LogRecord record;
    record.path = logFileName(saveFolder, now);
    char date[16];
    std::snprintf(date, sizeof date, "%04d/%s/%s", now.year, twoDigits(now.month).c_str(), twoDigits(now.day).c_str());
    record.date = date;
    record.clock = twoDigits(now.hour) + ":" + twoDigits(now.minute);
    record.doseText = singleText(dose);
    return record;
}

}  // namespace ravelin
