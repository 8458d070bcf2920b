// --history: the history window alone, --summary on stdout, --export to a file; and the
// main window's Ctrl+H, which opens the history over the folder the log is written to.
#pragma once

#include <memory>

#include "app/options.h"

class QObject;

namespace ravelin {

class Form1;
struct MonitorState;

// Runs --history [DIR] [--summary | --export FILE]. Returns the exit status.
int runHistory(int& argc, char** argv, const Options& options);

// Opens 「線量率の履歴」 over the log folder in use, with the alarm limits of the boxes.
class HistoryOpener {
public:
    virtual ~HistoryOpener() = default;
    virtual void open() = 0;
};

// Ctrl+H on the main window opens the history. The history window lives as long as the
// returned object.
std::unique_ptr<HistoryOpener> attachHistoryShortcut(Form1& window, const MonitorState& state);

}  // namespace ravelin
