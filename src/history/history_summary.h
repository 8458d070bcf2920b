// The per-day summary of the CSV logs: records, mean, smallest and largest dose.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "history/history_log.h"

namespace ravelin {

// The mean of decimal texts rounded to three decimals, a half to even, computed on the
// exact decimal values; "" for no texts. Written with exactly three decimals ("0.140").
std::string exactMeanText(const std::vector<std::string_view>& doseTexts);

// "date,records,mean,min,max" and one line per day with records, in date order; min and
// max are the dose texts as written in the file (the first of equal values).
std::string historySummary(const HistoryLog& log);

// One line per skipped line: "FILE line N: WHY".
std::string skippedReport(const HistoryLog& log);

}  // namespace ravelin
