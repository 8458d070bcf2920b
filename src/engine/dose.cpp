#include "engine/dose.h"

#include "engine/dead_time.h"

#include <cmath>
#include <limits>

namespace ravelin {

std::optional<float> sensitivityFromBox(float cpsPerMrh) {
    // Each step in single precision, as the readouts have always been computed.
    const float perMicro = cpsPerMrh / 10.0f;
    const float sensitivity = perMicro * 60.0f;
    if (!std::isfinite(sensitivity) || !(sensitivity > 0.0f)) return std::nullopt;
    return sensitivity;
}

namespace {
// floor(dose * 1000) / 1000, every step in single precision.
float truncateToThousandths(float dose) {
    const float scaled = dose * 1000.0f;
    return std::floor(scaled) / 1000.0f;
}
}  // namespace

DoseStep doseStep(MonitorState& state, std::int32_t s, std::int32_t n, float sensitivity,
                  std::optional<double> deadTime) {
    const auto clamped = n > std::numeric_limits<std::int16_t>::max() ? std::numeric_limits<std::int16_t>::max() : n;
    state.SecondCounts[static_cast<std::size_t>(s % 60)] = static_cast<std::int16_t>(clamped);

    DoseStep step{};
    float dose;
    double measuredCpm;
    if (s < 60) {
        std::int64_t sum = 0;
        for (std::int32_t i = 1; i <= s; ++i) sum += state.SecondCounts[static_cast<std::size_t>(i)];
        const float cpm = static_cast<float>((static_cast<double>(sum) / s) * 60.0);
        step.cpmShown = static_cast<std::int64_t>(std::floor(cpm));
        dose = cpm / sensitivity;
        measuredCpm = cpm;
        step.counts = sum;
        step.window = s;
    } else {
        std::int64_t sum = 0;
        for (const auto count : state.SecondCounts) sum += count;
        step.cpmShown = sum;
        dose = static_cast<float>(static_cast<double>(sum) / static_cast<double>(sensitivity));
        measuredCpm = static_cast<double>(sum);
        step.counts = sum;
        step.window = 60;
    }
    if (deadTime) dose = applyDeadTime(step, measuredCpm, sensitivity, *deadTime, dose);
    dose = truncateToThousandths(dose);
    step.finite = std::isfinite(dose);
    // A sensitivity so small that the dose leaves the float range: the second keeps
    // the previous dose rather than spreading an infinity into the log and the graph.
    if (!step.finite) dose = state.CurrentDose;
    step.dose = dose;

    const int slot = s % 600;
    state.DoseHistory[static_cast<std::size_t>(slot)] = dose;
    state.CurrentDose = dose;
    state.LatestHistoryIndex = slot;
    return step;
}

}  // namespace ravelin
