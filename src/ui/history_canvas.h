// The plot area of the history window: paints what historyPlot() computes and turns the
// wheel, drags and keys into new ranges.
#pragma once

#include <QPoint>
#include <QWidget>
#include <optional>

#include "history/history_view.h"

class QRubberBand;

namespace ravelin {

class HistoryCanvas : public QWidget {
public:
    explicit HistoryCanvas(QWidget* parent = nullptr);

    void setLog(const HistoryLog* log);
    void setLimits(std::optional<double> alarm1, std::optional<double> alarm2);
    void setRange(const HistoryRange& range);
    const HistoryRange& range() const { return range_; }
    // Records appended: a view that showed the newest record moves on with it.
    void recordsAdded(std::int32_t previousNewest);
    // The text shown for the record nearest a point of the canvas, or "" (the tooltip).
    QString hoverText(QPoint at);
    HistoryPlotInput plotInput() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    // The plot of the current range and size, computed again only when they or the records change.
    const HistoryPlot& plot();
    double minuteAt(double x) const;
    double pixelsPerMinute() const;

    const HistoryLog* log_ = nullptr;
    HistoryRange range_;
    std::optional<double> alarm1_, alarm2_;
    std::optional<PlotPoint> marker_;
    HistoryPlot plot_;
    std::optional<HistoryPlotInput> plotFor_;
    std::size_t plotRecords_ = 0;
    std::optional<QPoint> dragFrom_;
    HistoryRange dragRange_;
    QRubberBand* band_ = nullptr;
    QPoint bandFrom_;
};

}  // namespace ravelin
