#include "engine/reading_interval.h"

#include <cmath>
#include <limits>

#include "engine/convert.h"
#include "engine/dead_time.h"
#include "engine/poisson_interval.h"

namespace ravelin {

namespace {
double correctedEnd(double cpm, double tau) {
    // The model maps measured rates below 1 / tau one to one onto true rates, so the
    // ends of the measured rate's interval are the ends of the true rate's.
    return deadTimeCorrected(cpm, cpm / 60.0, tau).value_or(std::numeric_limits<double>::infinity());
}

std::string endText(double value) { return std::isinf(value) ? "inf" : singleText(static_cast<float>(value)); }
}  // namespace

ReadingInterval readingInterval(const DoseStep& step, float sensitivity, std::optional<double> deadTime) {
    const CountInterval counts = garwoodInterval(step.counts);
    const double perMinute = step.window > 0 ? 60.0 / step.window : 0.0;
    double low = counts.low * perMinute, high = counts.high * perMinute;
    if (deadTime && !step.deadTimeSaturated) {
        low = correctedEnd(low, *deadTime);
        high = correctedEnd(high, *deadTime);
    }
    const double s = static_cast<double>(sensitivity);
    return ReadingInterval{low, high, low / s, high / s};
}

ReadingIntervalTexts intervalTexts(const ReadingInterval& i) {
    return ReadingIntervalTexts{endText(i.cpmLow), endText(i.cpmHigh), endText(i.doseLow), endText(i.doseHigh)};
}

ReadingIntervalTexts intervalTexts(const std::optional<ReadingInterval>& interval) {
    return interval ? intervalTexts(*interval) : ReadingIntervalTexts{};
}

}  // namespace ravelin
