// What the problem line under the designed area says.
#pragma once

#include <map>
#include <string>

#include "engine/problems.h"

namespace ravelin {

// The problems standing now, one per key.
using ProblemSet = std::map<ProblemKey, Problem>;

struct StatusLine {
    std::string sentence;  // the most serious problem's sentence; empty when all is well
    std::string more;      // "（他N件）" when N more stand, else empty
    std::string text() const { return sentence + more; }
};

// Ties in seriousness go by the order of the keys. A box's text past its first 1000
// characters is quoted as those and "…" (the line shows far fewer).
StatusLine statusLine(const ProblemSet& problems);

// Every standing problem's sentence, most serious first, one a line; a box's text past
// its first 100 characters is quoted as those and "…".
std::string statusLineDetails(const ProblemSet& problems);

}  // namespace ravelin
