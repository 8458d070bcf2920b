#pragma once

#include "app/options.h"

class QApplication;

namespace ravelin {

class Form1;

// Whether the window can be shown: a display, or a platform that needs none.
bool hasDisplay();
// True when there is a display to open a window on; else says so on stderr with `advice`.
bool displayOrSay(const char* advice);

// What every window of the program needs of its application: C number formatting,
// the program's name and Qt's own texts in Japanese.
void prepareApplication(QApplication& app);

// Runs the main window. Returns the exit status.
int runGui(int& argc, char** argv, const Options& options);

// Puts the settings options into the boxes as typed text (unchecked) and ticks the
// boxes they name; --log-folder also shows the log folder. What the options set in the
// run's state is the assembly's (applyRunOptions).
void applyOptions(Form1& window, const Options& options);

}  // namespace ravelin
