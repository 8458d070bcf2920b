#pragma once

#include "app/options.h"

namespace ravelin {

// Runs the main window. Returns the exit status.
int runGui(int& argc, char** argv, const Options& options);

}  // namespace ravelin
