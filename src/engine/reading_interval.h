// The 95 % interval behind each second's CPM and dose readouts.
#pragma once

#include <optional>
#include <string>

#include "engine/dose.h"

namespace ravelin {

// Bounds per minute and in µSv/h; an upper bound the dead-time model cannot give is infinite.
struct ReadingInterval {
    double cpmLow, cpmHigh, doseLow, doseHigh;
};

// The Garwood interval of the step's counts over its window, per minute. With a dead
// time (seconds) each end is corrected as the reading is, unless the reading itself
// could not be; the dose ends divide by `sensitivity` (CPM per µSv/h), not truncated.
ReadingInterval readingInterval(const DoseStep& step, float sensitivity, std::optional<double> deadTime);

// The four bounds as number texts (seven significant digits), "inf" for an unbounded end.
struct ReadingIntervalTexts {
    std::string cpmLow, cpmHigh, doseLow, doseHigh;
};
ReadingIntervalTexts intervalTexts(const ReadingInterval& interval);
// All four empty when there is no interval yet.
ReadingIntervalTexts intervalTexts(const std::optional<ReadingInterval>& interval);

}  // namespace ravelin
