// The reading a minute the public maps get, and the text helpers their requests share.
#pragma once

#include <optional>
#include <string>

#include "engine/services.h"

namespace ravelin {

// The minute's CPM and dose, as the readouts showed them on its 60th second, timed at
// that second in UTC.
struct MapReading {
    LocalDateTime utc;
    std::string cpm;   // whole counts a minute
    std::string usvH;  // µSv/h
    std::string averageCpm;  // the mean count rate since the run started
};

// One outbox line, LF included: "yyyy-mm-ddThh:mm:ssZ,CPM,USV_H,AVERAGE_CPM\n".
std::string outboxLine(const MapReading& reading);
// The reading of an outbox line without its LF; nothing for a damaged line.
std::optional<MapReading> parseOutboxLine(const std::string& line);

// Percent-encodes everything but the unreserved characters, for a query parameter.
std::string urlEncode(const std::string& text);

// `url` with every occurrence of each non-empty secret (as given and percent-encoded)
// replaced by "***", for messages.
std::string redacted(std::string url, const std::string& secret1, const std::string& secret2 = {});

// `base` with "?" or "&" and `query` after it.
std::string withQuery(const std::string& base, const std::string& query);

}  // namespace ravelin
