// The setup assistant's counting plateau as drawing operations: the count against the
// level, the flat stretch shaded, the proposed level marked. No windowing code here.
#pragma once

#include <vector>

#include "drawing/trend_plot.h"
#include "engine/calibration.h"

namespace ravelin {

inline constexpr int kPlateauWidth = 420;   // pixels
inline constexpr int kPlateauHeight = 220;
inline constexpr Rgb kPlateauShade{200, 230, 255};  // the flat stretch
inline constexpr Rgb kPlateauCurve{0, 0, 192};
inline constexpr Rgb kPlateauChosen{255, 0, 0};

// Where the plot's frame lies, in pixels.
struct PlateauFrame {
    double left = 60, top = 12, right = kPlateauWidth - 12, bottom = kPlateauHeight - 42;
};

// The picture of `result.plateau`; nothing but the frame and a note when it is empty.
// The levels run left to right from the shallowest to the deepest, one column each; the
// count's axis runs from 0 to twice the proposal's count, so the noise's counts leave the top.
std::vector<PlotOp> plateauPlot(const CalibrationResult& result);

// The x of a point of the plateau and the y of a count, in the plot's pixels.
double plateauX(const CalibrationResult& result, std::size_t point);
double plateauY(const CalibrationResult& result, std::int64_t count);

}  // namespace ravelin
