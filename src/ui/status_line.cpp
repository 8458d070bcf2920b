#include "ui/status_line.h"

#include <algorithm>
#include <vector>

#include "engine/convert.h"

namespace ravelin {
namespace {
std::vector<const Problem*> bySeriousness(const ProblemSet& problems) {
    std::vector<const Problem*> out;
    for (const auto& [key, p] : problems) out.push_back(&p);
    std::stable_sort(out.begin(), out.end(),
                     [](const Problem* a, const Problem* b) { return problemRank(a->key) < problemRank(b->key); });
    return out;
}
}  // namespace

StatusLine statusLine(const ProblemSet& problems) {
    if (problems.empty()) return {};
    const auto sorted = bySeriousness(problems);
    StatusLine line{problemSentenceJa(*sorted.front()), {}};
    if (sorted.size() > 1) line.more = "（他" + integerText(static_cast<std::int64_t>(sorted.size() - 1)) + "件）";
    return line;
}

std::string statusLineDetails(const ProblemSet& problems) {
    std::string text;
    for (const Problem* p : bySeriousness(problems)) {
        if (!text.empty()) text += "\n";
        text += problemSentenceJa(*p);
    }
    return text;
}

}  // namespace ravelin
