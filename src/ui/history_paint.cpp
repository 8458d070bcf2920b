#include "ui/history_paint.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include "drawing/history_style.h"
#include "ui/form1_layout.h"

namespace ravelin {

namespace {

QColor qColour(Rgb c) { return QColor(c.r, c.g, c.b); }
const QColor kDoseColour = qColour(kHistoryDoseColour);
const QColor kAverageColour = qColour(kHistoryAverageColour);
const QColor kAlarm1Colour = qColour(kHistoryAlarm1Colour);
const QColor kAlarm2Colour = qColour(kHistoryAlarm2Colour);
const QColor kGridColour = qColour(kHistoryGridColour);

void drawRuns(QPainter& painter, const std::vector<std::vector<PlotPoint>>& runs, const QColor& colour,
              double width) {
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const auto& run : runs) {
        if (run.size() == 1) {  // a record alone between two gaps
            painter.drawPoint(QPointF(run[0].x, run[0].y));
            continue;
        }
        // Segment by segment: one stroked path of thousands of overlapping columns is slow to fill.
        std::vector<QLineF> segments;
        segments.reserve(run.size() - 1);
        for (std::size_t i = 1; i < run.size(); ++i) segments.emplace_back(run[i - 1].x, run[i - 1].y, run[i].x, run[i].y);
        painter.drawLines(segments.data(), static_cast<int>(segments.size()));
    }
}

void drawLimit(QPainter& painter, const HistoryPlot& plot, std::optional<double> y, const QColor& colour) {
    if (!y) return;
    painter.setPen(QPen(colour, 1.5, Qt::DashLine));
    painter.drawLine(QPointF(plot.left, *y), QPointF(plot.right, *y));
}

// One legend entry: a short stroke and its text; returns where the next one starts.
double legendEntry(QPainter& painter, double x, double y, const QColor& colour, const QString& text,
                   Qt::PenStyle style = Qt::SolidLine) {
    painter.setPen(QPen(colour, 2, style));
    painter.drawLine(QPointF(x, y), QPointF(x + 22, y));
    painter.setPen(Qt::black);
    const QFontMetrics metrics(painter.font());
    painter.drawText(QPointF(x + 27, y + metrics.ascent() / 2.0 - 1), text);
    return x + 27 + metrics.horizontalAdvance(text) + 18;
}

}  // namespace

void paintHistory(QPainter& painter, const HistoryPlot& plot, int width, int height, std::optional<PlotPoint> marker) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(QRectF(0, 0, width, height), Qt::white);
    QFont font;
    QStringList families;
    for (const char* family : proportionalGothicFamilies()) families << QString::fromUtf8(family);
    font.setFamilies(families);
    font.setPixelSize(13);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QRectF area(QPointF(plot.left, plot.top), QPointF(plot.right, plot.bottom));

    // Grid and labels.
    painter.setPen(QPen(kGridColour, 1));
    for (const auto& t : plot.timeTicks) painter.drawLine(QPointF(t.at, plot.top), QPointF(t.at, plot.bottom));
    for (const auto& t : plot.doseTicks) painter.drawLine(QPointF(plot.left, t.at), QPointF(plot.right, t.at));
    painter.setPen(Qt::black);
    for (const auto& t : plot.timeTicks) {
        const QString label = QString::fromStdString(t.label);
        painter.drawText(QPointF(t.at - metrics.horizontalAdvance(label) / 2.0, plot.bottom + 4 + metrics.ascent()),
                         label);
    }
    for (const auto& t : plot.doseTicks) {
        const QString label = QString::fromStdString(t.label);
        painter.drawText(QPointF(plot.left - 6 - metrics.horizontalAdvance(label), t.at + metrics.ascent() / 2.0 - 1),
                         label);
    }
    painter.drawText(QPointF(8, 14 + metrics.ascent() / 2.0), QString::fromUtf8(kHistoryUnit));
    const QString range = QString::fromStdString(plot.rangeText);
    painter.drawText(QPointF(plot.right - metrics.horizontalAdvance(range), height - 6.0), range);
    painter.drawText(QPointF(plot.left, height - 6.0), QStringLiteral("%1件").arg(plot.records));

    double x = plot.left;
    const double y = 16;
    x = legendEntry(painter, x, y, kDoseColour, QString::fromUtf8(kHistoryDoseLegend));
    x = legendEntry(painter, x, y, kAverageColour, QString::fromStdString(plot.averageText));
    x = legendEntry(painter, x, y, kAlarm1Colour, QString::fromUtf8(kHistoryAlarm1Legend), Qt::DashLine);
    legendEntry(painter, x, y, kAlarm2Colour, QString::fromUtf8(kHistoryAlarm2Legend), Qt::DashLine);

    // The data, clipped to the area.
    painter.save();
    painter.setClipRect(area);
    drawLimit(painter, plot, plot.alarm1Y, kAlarm1Colour);
    drawLimit(painter, plot, plot.alarm2Y, kAlarm2Colour);
    drawRuns(painter, plot.dose, kDoseColour, 1.2);
    drawRuns(painter, plot.average, kAverageColour, 2);
    if (marker) {
        painter.setPen(QPen(Qt::black, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QPointF(marker->x, marker->y), 5, 5);
    }
    painter.restore();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);
    painter.restore();
}

QImage historyImage(const HistoryLog& log, const HistoryPlotInput& input) {
    QImage image(input.width, input.height, QImage::Format_RGB32);
    QPainter painter(&image);
    paintHistory(painter, historyPlot(log.records(), input), input.width, input.height);
    return image;
}

bool exportHistory(const HistoryLog& log, const HistoryPlotInput& input, const std::string& path, std::string& error) {
    const QString file = QString::fromStdString(path);
    if (file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        if (historyImage(log, input).save(file, "PNG")) return true;
        error = path + ": the image could not be written";
        return false;
    }
    if (!file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        error = path + ": not a .png or .svg file";
        return false;
    }
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(input.width, input.height));
    svg.setViewBox(QRect(0, 0, input.width, input.height));
    svg.setTitle(QString::fromUtf8(kHistoryTitle));
    QPainter painter;
    if (!painter.begin(&svg)) {
        error = path + ": the drawing could not be written";
        return false;
    }
    paintHistory(painter, historyPlot(log.records(), input), input.width, input.height);
    if (!painter.end()) {
        error = path + ": the drawing could not be written";
        return false;
    }
    return true;
}

}  // namespace ravelin
