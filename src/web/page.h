// The station's page: one document with its style and script inside, nothing fetched
// from anywhere but the monitor.
#pragma once

#include <string>

namespace ravelin {

// Whether an Accept-Language header prefers English to Japanese (the page's own language).
bool prefersEnglish(const std::string& acceptLanguage);

// The page in Japanese, or in English, with the log folder and the last record written.
std::string stationPage(bool english, const std::string& folder, const std::string& record);

}  // namespace ravelin
