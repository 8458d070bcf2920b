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

// A box has no length limit. The tooltip quotes at most 100 characters of its text (a
// whole long text would be wider than any screen); the line, elided to its 452 pixels
// anyway, 1000, so that a huge text costs no more to lay out than a short one.
constexpr std::size_t kTooltipQuote = 100;
constexpr std::size_t kLineQuote = 1000;

Problem withShortQuote(const Problem& p, std::size_t limit) {
    Problem out = p;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < p.boxText.size(); ++i) {
        // Counted at the first byte of each UTF-8 character.
        if ((static_cast<unsigned char>(p.boxText[i]) & 0xC0) == 0x80) continue;
        if (characters++ == limit) {
            out.boxText = p.boxText.substr(0, i) + "…";
            break;
        }
    }
    return out;
}
}  // namespace

StatusLine statusLine(const ProblemSet& problems) {
    if (problems.empty()) return {};
    const auto sorted = bySeriousness(problems);
    StatusLine line{problemSentenceJa(withShortQuote(*sorted.front(), kLineQuote)), {}};
    if (sorted.size() > 1) line.more = "（他" + integerText(static_cast<std::int64_t>(sorted.size() - 1)) + "件）";
    return line;
}

std::string statusLineDetails(const ProblemSet& problems) {
    std::string text;
    for (const Problem* p : bySeriousness(problems)) {
        if (!text.empty()) text += "\n";
        text += problemSentenceJa(withShortQuote(*p, kTooltipQuote));
    }
    return text;
}

}  // namespace ravelin
