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
    std::int64_t counts = 0;        // the counts the CPM is made from: the last min(s, 60) seconds
    std::int32_t window = 0;        // min(s, 60)
    bool deadTimeSaturated = false; // m tau >= 1: the uncorrected CPM and dose stand
};

// Records n pulses for second s (s >= 1, already advanced), computes CPM and dose with
// `sensitivity`, writes DoseHistory, CurrentDose and LatestHistoryIndex. With a dead time
// (seconds) the CPM and dose are corrected for it (engine/dead_time.h).
DoseStep doseStep(MonitorState& state, std::int32_t s, std::int32_t n, float sensitivity,
                  std::optional<double> deadTime = std::nullopt);

}  // namespace ravelin
