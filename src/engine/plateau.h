// The counting plateau: where the count stays flat as one setting of the detector moves.
#pragma once

#include <cstdint>
#include <span>

namespace ravelin {

// Counts within this share of each other (and one pulse more) are flat.
inline constexpr double kFlatTolerance = 0.01;

struct FlatStretch {
    bool found = false;
    std::size_t from = 0, to = 0;  // the points, both included
    double width = 0;              // positions[to] / positions[from], or their difference
    double change = 0;             // (largest - smallest count) / largest over the stretch
};

// How a stretch's width is measured: the ratio of its ends' positions, or their difference.
enum class Width { Ratio, Difference };

// The widest run of consecutive points, by their positions (positive and rising), whose
// counts are flat and at least `least`. Of two as wide, the first.
FlatStretch widestFlatStretch(std::span<const double> positions, std::span<const std::int64_t> counts, std::int64_t least,
                              Width measure = Width::Ratio);

// Where no stretch is flat: the point whose count changes least against the log of the
// position, with each neighbour, among counts of at least `least`; 0 when none has.
std::size_t flattestPoint(std::span<const double> positions, std::span<const std::int64_t> counts, std::int64_t least);

// The point nearest the geometric middle of the stretch's positions.
std::size_t middleOf(std::span<const double> positions, const FlatStretch& stretch);

}  // namespace ravelin
