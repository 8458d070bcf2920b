// The one small interface between the pipeline and whatever shows it: the main
// window implements it with widgets, the headless monitor with options and stdout.
#pragma once

#include <string>

#include "engine/problems.h"
#include "engine/setting_table.h"

namespace ravelin {

class MonitorFace {
public:
    virtual ~MonitorFace() = default;

    // What the core asks, in meanings; the tables give the box.
    std::string text(Setting setting) const { return text(settingRow(setting).box); }
    std::string text(Readout readout) const { return text(readoutBox(readout)); }
    void setText(Readout readout, const std::string& value) { setText(readoutBox(readout), value); }
    bool isChecked(Switch which) const { return isChecked(switchRow(which).check); }

    // What a face implements, on the numbered boxes.
    // The whole text of a box as it stands now (UTF-8).
    virtual std::string text(Box box) const = 0;
    // Replaces the whole text of a readout box.
    virtual void setText(Box box, const std::string& text) = 0;
    virtual bool isChecked(Check check) const = 0;
    // A problem the user should see, or its end (see problems.h).
    virtual void setProblem(const Problem& problem) = 0;
    virtual void clearProblem(ProblemKey key) = 0;
};

}  // namespace ravelin
