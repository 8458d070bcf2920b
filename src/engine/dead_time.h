// Dead-time correction, non-paralysable model: a tube that is blind for tau seconds
// after each pulse and measures m counts per second saw a true rate of m / (1 - m tau).
#pragma once

#include <optional>

#include "engine/dose.h"

namespace ravelin {

// `value` (a rate in any unit) divided by 1 - m tau, m the measured counts per second.
// Nothing when m tau >= 1, or when the result is beyond any count (2^53 or more).
std::optional<double> deadTimeCorrected(double value, double countsPerSecond, double tauSeconds);

// Corrects a dose step's CPM and dose for dead time; `measuredCpm` is the CPM as the
// step computed it (single precision in the first minute, the plain sum after), so
// that tau = 0 changes nothing. Returns the dose to use; when the correction is
// impossible the step is marked saturated and `uncorrectedDose` comes back.
float applyDeadTime(DoseStep& step, double measuredCpm, float sensitivity, double tauSeconds, float uncorrectedDose);

}  // namespace ravelin
