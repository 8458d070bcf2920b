#include "engine/plateau.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravelin {

FlatStretch widestFlatStretch(std::span<const double> positions, std::span<const std::int64_t> counts, std::int64_t least,
                              Width measure) {
    FlatStretch best;
    const std::size_t n = std::min(positions.size(), counts.size());
    for (std::size_t from = 0; from < n; ++from) {
        std::int64_t low = counts[from], high = counts[from];
        for (std::size_t to = from; to < n; ++to) {
            low = std::min(low, counts[to]);
            high = std::max(high, counts[to]);
            if (low < least || static_cast<double>(high - low) > kFlatTolerance * static_cast<double>(high) + 1.0) break;
            const double width =
                measure == Width::Ratio ? positions[to] / positions[from] : positions[to] - positions[from];
            if (!best.found || width > best.width * (1 + 1e-9)) {
                best.found = true;
                best.from = from;
                best.to = to;
                best.width = width;
                best.change = high > 0 ? static_cast<double>(high - low) / static_cast<double>(high) : 0;
            }
        }
    }
    return best;
}

std::size_t flattestPoint(std::span<const double> positions, std::span<const std::int64_t> counts, std::int64_t least) {
    const std::size_t n = std::min(positions.size(), counts.size());
    std::size_t best = 0;
    double flattest = std::numeric_limits<double>::infinity();
    const auto slope = [&](std::size_t a, std::size_t b) {
        if (counts[a] <= 0 || counts[b] <= 0) return std::numeric_limits<double>::infinity();
        return std::abs(std::log(static_cast<double>(counts[b]) / static_cast<double>(counts[a])) /
                        std::log(positions[b] / positions[a]));
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (counts[i] < least) continue;
        const double worst = std::max(i > 0 ? slope(i - 1, i) : 0.0, i + 1 < n ? slope(i, i + 1) : 0.0);
        if (worst < flattest) {
            flattest = worst;
            best = i;
        }
    }
    return best;
}

std::size_t middleOf(std::span<const double> positions, const FlatStretch& s) {
    const double middle = std::sqrt(positions[s.from] * positions[s.to]);
    std::size_t at = s.from;
    for (std::size_t i = s.from; i <= s.to; ++i)
        if (std::abs(std::log(positions[i] / middle)) < std::abs(std::log(positions[at] / middle))) at = i;
    return at;
}

}  // namespace ravelin
