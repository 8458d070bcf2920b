// Turns each second's pulses into CPM and a dose rate in µSv/h.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/monitor_state.h"

namespace ravelin {

// Sensitivity in CPM per µSv/h from the box value in cps per mR/h (1 mR/h = 10 µSv/h).
// Nothing when it is not a finite number above 0.
std::optional<float> sensitivityFromBox(float cpsPerMrh);

struct DoseStep {
    std::int64_t cpmShown;  // Text6
    float dose;             // Text8, CurrentDose
    bool finite;            // false: the division or the truncation left the float range
};

// Records n pulses for second s (s >= 1, already advanced), computes CPM and dose with
// `sensitivity`, writes DoseHistory, CurrentDose and LatestHistoryIndex.
DoseStep doseStep(MonitorState& state, std::int32_t s, std::int32_t n, float sensitivity);

}  // namespace ravelin
