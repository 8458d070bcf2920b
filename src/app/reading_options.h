// The options that change how readings are made: --tube, --dead-time-us and --stats.
#pragma once

#include <string>

#include "app/options.h"

namespace ravelin {

// Checks them and turns --tube into the sensitivity text and --dead-time-us into
// seconds. Empty, or the command-line error to report (exit status 2).
std::string resolveReadingOptions(Options& options);

}  // namespace ravelin
