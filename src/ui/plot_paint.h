// Paints the Qt-free drawing operations (pixels) with a QPainter.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <vector>

#include "drawing/trend_plot.h"

namespace ravelin {

QColor toQColor(const Rgb& rgb);

// Both ends are drawn; lines along a row or a column are filled exactly.
void drawPixelLine(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& colour);

// Every operation in order; a text's (x, y) is its top-left corner.
void paintPlotOps(QPainter& painter, const std::vector<PlotOp>& ops, const QColor& foreground, const QFont& font);

}  // namespace ravelin
