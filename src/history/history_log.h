// Reading the per-minute CSV logs back: every μSVHData*.csv of a folder, as written by
// any run on any day. Read only; torn and foreign lines are skipped and counted.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/civil_time.h"

namespace ravelin {

// A folder of logs, read only. Names are file names without the folder.
class LogFolder {
public:
    virtual ~LogFolder() = default;
    // The names of the folder's files (any order); false with the reason when it cannot be listed.
    virtual bool list(std::vector<std::string>& names, std::string& error) = 0;
    // The bytes of a file from `offset` to its current end; false with the reason when unreadable.
    virtual bool readFrom(const std::string& name, std::uint64_t offset, std::string& bytes, std::string& error) = 0;
};

// Whether a file name is one of the log's: "μSVHData" ... ".csv".
bool isLogFileName(std::string_view name);

// One record: its local time as minutes since 1970-01-01 00:00 of the calendar (no zone),
// its dose and where its dose text is kept.
struct HistoryRecord {
    std::int32_t minute;
    float dose;
    std::uint32_t textAt;
    std::uint32_t textSize;
};

// A record's fields read from one line (without its line end); false for anything else.
struct ParsedRecord {
    std::int32_t minute = 0;
    double dose = 0;
    std::string_view doseText;
};
bool parseRecordLine(std::string_view line, ParsedRecord& out);

// A date yyyy-mm-dd as days since 1970-01-01, by the log's own calendar check; nothing
// when it is not a real date.
std::optional<int> parseDay(const std::string& text);


// A line that was not taken, for the report on standard error.
struct SkippedLine {
    std::string file;
    std::uint64_t line;  // 1-based
    std::string why;
};

// All records of a folder, in time order (records of one minute in the order read).
// refresh() reads only what was appended since the last call; a last line without its
// line end is left unread until it is completed (a record cut inside its dose would
// otherwise be taken with a wrong value).
class HistoryLog {
public:
    explicit HistoryLog(LogFolder& folder) : folder_(folder) {}

    // Reads new files and appended bytes. Returns the number of records added, or -1 with
    // the reason when the folder cannot be listed (a file that cannot be read is skipped).
    long refresh(std::string& error);
    // Counts the unfinished last lines as torn, for a reading that is not followed further.
    void finish();

    const std::vector<HistoryRecord>& records() const { return records_; }
    std::string_view doseText(const HistoryRecord& r) const {
        return std::string_view(texts_).substr(r.textAt, r.textSize);
    }
    const std::vector<SkippedLine>& skipped() const { return skipped_; }
    std::size_t fileCount() const { return files_.size(); }

private:
    struct FileState {
        std::uint64_t offset = 0;  // bytes taken: whole lines only
        std::uint64_t lines = 0;
        bool unfinished = false;   // bytes after offset without a line end
    };
    void take(const std::string& name, FileState& state, const std::string& bytes);

    LogFolder& folder_;
    std::map<std::string, FileState> files_;
    std::vector<HistoryRecord> records_;
    std::string texts_;
    std::vector<SkippedLine> skipped_;
};

}  // namespace ravelin
