// The one small interface between the pipeline and whatever shows it: the main
// window implements it with widgets, the headless monitor with options and stdout.
#pragma once

#include <string>

#include "engine/problems.h"

namespace ravelin {

// Boxes the system reads settings from or writes readouts to.
enum class Box { Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11 };
enum class Check { Check1, Check2, Check3, Check4, Check5 };

class MonitorFace {
public:
    virtual ~MonitorFace() = default;
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
