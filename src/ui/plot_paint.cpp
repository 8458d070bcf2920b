#include "ui/plot_paint.h"

#include <QFontMetrics>
#include <algorithm>

#include "drawing/waveform_plot.h"

namespace ravelin {

QColor toQColor(const Rgb& rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

void drawPixelLine(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& colour) {
    if (x1 == x2 || y1 == y2) {
        const int left = std::min(x1, x2), top = std::min(y1, y2);
        painter.fillRect(QRect(left, top, std::max(x1, x2) - left + 1, std::max(y1, y2) - top + 1), colour);
        return;
    }
    painter.setPen(QPen(colour, 0));
    painter.drawLine(x1, y1, x2, y2);
}

void paintPlotOps(QPainter& painter, const std::vector<PlotOp>& ops, const QColor& foreground, const QFont& font) {
    painter.setFont(font);
    painter.setPen(foreground);
    const int ascent = QFontMetrics(font).ascent();
    for (const PlotOp& op : ops) {
        if (const auto* line = std::get_if<PlotLine>(&op)) {
            drawPixelLine(painter, nearestPixel(line->x1), nearestPixel(line->y1), nearestPixel(line->x2),
                          nearestPixel(line->y2), line->colour ? toQColor(*line->colour) : foreground);
        } else {
            const auto& text = std::get<PlotText>(op);
            painter.setPen(foreground);
            painter.drawText(QPoint(nearestPixel(text.x), nearestPixel(text.y) + ascent),
                             QString::fromStdString(text.text));
        }
    }
}

}  // namespace ravelin
