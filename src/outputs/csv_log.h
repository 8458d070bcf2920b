// The per-minute CSV log: one record a minute appended to the file of the day.
// Append-only and loses nothing: a record that cannot be written is kept and
// retried, in order within its file, into the file of its own date.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "engine/services.h"

namespace ravelin {

struct LogRecord {
    std::string path;      // SaveFolder + "μSVHData" + yyyymmdd + ".csv"
    std::string date;      // yyyy/mm/dd
    std::string clock;     // hh:mm
    std::string doseText;  // as Text8 shows it
    std::string line() const;  // the record's bytes, CR LF included
};

// The record for this moment; the date and time are read once, so a record written
// at midnight names the file of the date it carries.
LogRecord makeLogRecord(const Clock& clock, const std::string& saveFolder, float dose);

// The file name of the day for a folder prefix.
std::string logFileName(const std::string& saveFolder, const LocalDateTime& now);

class CsvLog {
public:
    explicit CsvLog(FileSystem& files) : files_(files) {}

    // Queues the record and writes every record still pending, oldest first.
    // Returns true when nothing is left pending.
    bool append(const LogRecord& record);
    // Tries the pending records again (at stop, at exit).
    bool retry();

    struct Pending {
        LogRecord record;
        std::string bytes;
        std::size_t written = 0;  // a record partly written goes on from here
        bool synced = false;
    };
    const std::deque<Pending>& pending() const { return pending_; }
    const std::string& lastError() const { return lastError_; }

private:
    bool writeOne(Pending& p);

    FileSystem& files_;
    std::deque<Pending> pending_;
    std::string lastError_;
};

}  // namespace ravelin
