#pragma once

#include <string>

#include "app/options.h"

namespace ravelin {

// The headless monitor checks its settings before capture starts, since nothing can
// change them later. Returns the message for the first bad one, or empty.
std::string checkHeadlessSettings(const Options& options);

}  // namespace ravelin
