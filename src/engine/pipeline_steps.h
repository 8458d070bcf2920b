// The two steps of a second that other parts of the program carry out for the
// pipeline: the minute's log record and the alarm stages.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/log_record.h"

namespace ravelin {

class RecordLog {
public:
    virtual ~RecordLog() = default;
    // Queues the record and writes every record not yet written, oldest first;
    // true when nothing is left unwritten.
    virtual bool append(const LogRecord& record) = 0;
    // Tries the records not yet written again.
    virtual bool retry() = 0;
    virtual std::size_t unwrittenCount() const = 0;
    // Why the last write failed.
    virtual const std::string& lastError() const = 0;
    // The files found ending in a cut line (closed before the next record) since the
    // last call, in the order found.
    virtual std::vector<std::string> takeCutFiles() = 0;
};

class AlarmCheck {
public:
    virtual ~AlarmCheck() = default;
    // The check of one stage (1 or 2) for this second; the limit passed when it fired.
    virtual std::optional<float> CheckAlarmStage(int stage) = 0;
};

}  // namespace ravelin
