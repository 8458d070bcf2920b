#include "engine/plateau.h"

#include <algorithm>
#include <cmath>

namespace ravelin {

FlatStretch widestFlatStretch(std::span<const double> positions, std::span<const std::int64_t> counts, std::int64_t least) {
    FlatStretch best;
    const std::size_t n = std::min(positions.size(), counts.size());
    for (std::size_t from = 0; from < n; ++from) {
        std::int64_t low = counts[from], high = counts[from];
        for (std::size_t to = from; to < n; ++to) {
            low = std::min(low, counts[to]);
            high = std::max(high, counts[to]);
            if (low < least || static_cast<double>(high - low) > kFlatTolerance * static_cast<double>(high) + 1.0) break;
            const double width = positions[to] / positions[from];
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

std::size_t middleOf(std::span<const double> positions, const FlatStretch& s) {
    const double middle = std::sqrt(positions[s.from] * positions[s.to]);
    std::size_t at = s.from;
    for (std::size_t i = s.from; i <= s.to; ++i)
        if (std::abs(std::log(positions[i] / middle)) < std::abs(std::log(positions[at] / middle))) at = i;
    return at;
}

}  // namespace ravelin
