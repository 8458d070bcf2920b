#include "engine/dead_time.h"

#include <cmath>

namespace ravelin {

std::optional<double> deadTimeCorrected(double value, double countsPerSecond, double tauSeconds) {
    const double loss = countsPerSecond * tauSeconds;
    if (!(loss < 1.0)) return std::nullopt;
    const double corrected = value / (1.0 - loss);
    // 2^53: past it a CPM is no longer a whole number a double holds exactly.
    if (!(corrected < 9007199254740992.0)) return std::nullopt;
    return corrected;
}

float applyDeadTime(DoseStep& step, double measuredCpm, float sensitivity, double tauSeconds, float uncorrectedDose) {
    const double rate = step.window > 0 ? static_cast<double>(step.counts) / step.window : 0.0;
    const auto corrected = deadTimeCorrected(measuredCpm, rate, tauSeconds);
    if (!corrected) {
        step.deadTimeSaturated = true;
        return uncorrectedDose;
    }
    step.cpmShown = static_cast<std::int64_t>(std::floor(*corrected));
    // The same precision as the uncorrected dose of that part of the run.
    if (step.window < 60) return static_cast<float>(*corrected) / sensitivity;
    return static_cast<float>(*corrected / static_cast<double>(sensitivity));
}

}  // namespace ravelin
