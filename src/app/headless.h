#pragma once

#include "app/options.h"

namespace ravelin {

// Runs the monitor without a window. Returns the exit status: 0 the source ended,
// --seconds were done or a signal stopped it; 1 the source failed; 2 a bad setting;
// 3 log records could not be written.
int runHeadless(const Options& options);

}  // namespace ravelin
