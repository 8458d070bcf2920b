// Painting the history plot: the same drawing in the window, into a PNG and into an SVG.
#pragma once

#include <optional>
#include <string>

#include "history/history_view.h"

class QPainter;
class QImage;

namespace ravelin {

// Paints `plot` over a width × height canvas from (0, 0); `marker` rings one point (hover).
void paintHistory(QPainter& painter, const HistoryPlot& plot, int width, int height,
                  std::optional<PlotPoint> marker = std::nullopt);

// The plot of a range as an image of the given size.
QImage historyImage(const HistoryLog& log, const HistoryPlotInput& input);

// Writes the plot to FILE.png (width × height pixels) or FILE.svg; false with the reason.
bool exportHistory(const HistoryLog& log, const HistoryPlotInput& input, const std::string& path,
                   std::string& error);

}  // namespace ravelin
