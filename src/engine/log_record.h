// The record each minute makes for the CSV log and the station.
#pragma once

#include <string>

#include "engine/services.h"

namespace ravelin {

struct LogRecord {
    std::string path;      // SaveFolder + "μSVHData" + yyyymmdd + ".csv"
    std::string date;      // yyyy/mm/dd
    std::string clock;     // hh:mm
    std::string doseText;  // as the dose readout shows it
    std::string line() const;  // the record's bytes, CR LF included
};

// The record for this moment; the date and time are read once, so a record written
// at midnight names the file of the date it carries.
LogRecord makeLogRecord(const Clock& clock, const std::string& saveFolder, float dose);

// The file name of the day for a folder prefix.
std::string logFileName(const std::string& saveFolder, const LocalDateTime& now);

}  // namespace ravelin
