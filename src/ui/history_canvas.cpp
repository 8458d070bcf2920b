#include "ui/history_canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "ui/history_paint.h"

namespace ravelin {

namespace {
constexpr double kZoomIn = 0.8, kZoomOut = 1.25;
constexpr int kHoverPixels = 12;  // a record farther from the pointer is not shown
}  // namespace

HistoryCanvas::HistoryCanvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(600, 300);
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

void HistoryCanvas::setLog(const HistoryLog* log) {
    log_ = log;
    plotFor_.reset();
    update();
}

void HistoryCanvas::setLimits(std::optional<double> alarm1, std::optional<double> alarm2) {
    alarm1_ = alarm1;
    alarm2_ = alarm2;
    update();
}

void HistoryCanvas::setRange(const HistoryRange& range) {
    range_ = range;
    marker_.reset();
    update();
}

void HistoryCanvas::recordsAdded(std::int32_t previousNewest) {
    if (log_ && !log_->records().empty() && range_.to >= previousNewest + 1 && range_.from <= previousNewest + 1)
        range_ = panned(range_, log_->records().back().minute + 1 - range_.to);
    update();
}

HistoryPlotInput HistoryCanvas::plotInput() const {
    HistoryPlotInput in;
    in.range = range_;
    in.width = width();
    in.height = height();
    in.alarm1 = alarm1_;
    in.alarm2 = alarm2_;
    return in;
}

double HistoryCanvas::pixelsPerMinute() const {
    const HistoryPlot empty = historyPlot({}, plotInput());
    return (empty.right - empty.left) / (range_.to - range_.from);
}

double HistoryCanvas::minuteAt(double x) const {
    const HistoryPlot empty = historyPlot({}, plotInput());
    return range_.from + (x - empty.left) / pixelsPerMinute();
}

QString HistoryCanvas::hoverText(QPoint at) {
    marker_.reset();
    if (!log_) return {};
    const auto& records = log_->records();
    const auto i = nearestRecord(records, range_, minuteAt(at.x()));
    if (!i) return {};
    const HistoryPlot& p = plot();
    const PlotPoint point{
        static_cast<float>(p.left + (records[*i].minute - range_.from) * pixelsPerMinute()),
        static_cast<float>(p.bottom - records[*i].dose / p.doseTop * (p.bottom - p.top))};
    if (std::abs(point.x - at.x()) > kHoverPixels) return {};
    marker_ = point;
    return QString::fromStdString(minuteText(records[*i].minute)) + "  " +
           QString::fromUtf8(log_->doseText(records[*i]).data(), static_cast<int>(records[*i].textSize)) +
           QStringLiteral(" µSv/h");
}

const HistoryPlot& HistoryCanvas::plot() {
    static const std::vector<HistoryRecord> none;
    const HistoryPlotInput in = plotInput();
    const std::size_t count = log_ ? log_->records().size() : 0;
    const bool same = plotFor_ && plotFor_->range == in.range && plotFor_->width == in.width &&
                      plotFor_->height == in.height && plotFor_->alarm1 == in.alarm1 && plotFor_->alarm2 == in.alarm2 &&
                      plotRecords_ == count;
    if (!same) {
        plot_ = historyPlot(log_ ? log_->records() : none, in);
        plotFor_ = in;
        plotRecords_ = count;
    }
    return plot_;
}

void HistoryCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintHistory(painter, plot(), width(), height(), marker_);
}

void HistoryCanvas::wheelEvent(QWheelEvent* e) {
    if (e->angleDelta().y() == 0) return;
    setRange(zoomed(range_, minuteAt(e->position().x()), e->angleDelta().y() > 0 ? kZoomIn : kZoomOut));
}

void HistoryCanvas::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton || (e->button() == Qt::LeftButton && e->modifiers() & Qt::ShiftModifier)) {
        bandFrom_ = e->pos();
        band_->setGeometry(QRect(bandFrom_, QSize()));
        band_->show();
    } else if (e->button() == Qt::LeftButton) {
        dragFrom_ = e->pos();
        dragRange_ = range_;
    }
}

void HistoryCanvas::mouseMoveEvent(QMouseEvent* e) {
    if (band_->isVisible()) {
        band_->setGeometry(QRect(bandFrom_, e->pos()).normalized());
    } else if (dragFrom_) {
        setRange(panned(dragRange_, (dragFrom_->x() - e->pos().x()) / pixelsPerMinute()));
    } else {
        const QString text = hoverText(e->pos());
        if (text.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(e->globalPosition().toPoint(), text, this);
        update();
    }
}

void HistoryCanvas::mouseReleaseEvent(QMouseEvent* e) {
    if (band_->isVisible()) {
        band_->hide();
        const double a = minuteAt(bandFrom_.x()), b = minuteAt(e->pos().x());
        if (std::abs(bandFrom_.x() - e->pos().x()) >= 5) setRange({std::min(a, b), std::max(a, b)});
    }
    dragFrom_.reset();
}

void HistoryCanvas::keyPressEvent(QKeyEvent* e) {
    const double span = range_.to - range_.from, centre = (range_.from + range_.to) / 2;
    switch (e->key()) {
        case Qt::Key_Left: setRange(panned(range_, -span / 10)); break;
        case Qt::Key_Right: setRange(panned(range_, span / 10)); break;
        case Qt::Key_Plus:
        case Qt::Key_Up: setRange(zoomed(range_, centre, kZoomIn)); break;
        case Qt::Key_Minus:
        case Qt::Key_Down: setRange(zoomed(range_, centre, kZoomOut)); break;
        default: QWidget::keyPressEvent(e);
    }
}

void HistoryCanvas::leaveEvent(QEvent*) {
    marker_.reset();
    update();
}

}  // namespace ravelin
