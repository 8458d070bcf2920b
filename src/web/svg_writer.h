// A small SVG writer for the Qt-free drawings: the trend graph's operations and the
// history plot, as documents a browser shows without anything else.
#pragma once

#include <string>
#include <vector>

#include "drawing/trend_plot.h"
#include "history/history_view.h"

namespace ravelin {

// The trend graph window's drawing (its 719 × 395 canvas), black on white like the window.
std::string trendSvg(const std::vector<PlotOp>& ops);

// The history plot over a width × height canvas, as the history window paints it.
std::string historySvg(const HistoryPlot& plot, int width, int height);

// Text with &, <, > and quotes escaped for XML.
std::string xmlEscaped(const std::string& text);

}  // namespace ravelin
