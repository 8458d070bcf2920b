#include "ui/display_windows.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>

#include "drawing/trend_plot.h"
#include "drawing/waveform_plot.h"
#include "ui/plot_paint.h"

namespace ravelin {
namespace {

// A top-level window with a fixed client area that shows an image of its own, so a
// drawing survives being covered and uncovered; the system draws into the image.
class PlotWindow : public QWidget {
public:
    PlotWindow(const QString& caption, QSize client) : image_(client, QImage::Format_RGB32) {
        setWindowTitle(caption);
        setFixedSize(client);
        // Shown every second while the user types in the main window: never take the focus.
        setAttribute(Qt::WA_ShowWithoutActivating);
        // An open graph must not keep the program alive once the main window has closed.
        setAttribute(Qt::WA_QuitOnClose, false);
        clear();
    }

    QImage& image() { return image_; }
    QColor foreground() const { return palette().color(QPalette::WindowText); }

    // Makes the window visible where it is, without raising it over other windows.
    void showQuietly() {
        if (!isVisible()) show();
    }
    void clear() { image_.fill(palette().color(QPalette::Window)); }
    void imageChanged() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.drawImage(event->rect(), image_, event->rect());
    }

private:
    QImage image_;
};

// Paints the trend graph's operations; the coordinates are pixels.
void paintTrend(PlotWindow& window, const std::vector<PlotOp>& ops) {
    QPainter painter(&window.image());
    paintPlotOps(painter, ops, window.foreground(), window.font());
}

// Paints the snapshot; the coordinates are twips.
void paintWaveform(PlotWindow& window, const WaveformPlot& plot) {
    QImage& image = window.image();
    {
        QPainter painter(&image);
        for (const PlotLine& line : plot.lines)
            drawPixelLine(painter, twipsToPixel(line.x1), twipsToPixel(line.y1), twipsToPixel(line.x2),
                          twipsToPixel(line.y2), toQColor(line.colour.value_or(Rgb{0, 0, 0})));
    }
    const QRgb foreground = window.foreground().rgb();
    for (const PlotPoint& point : plot.points) {
        const int x = twipsToPixel(point.x), y = twipsToPixel(point.y);
        if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) continue;
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = foreground;
    }
}

}  // namespace

struct DisplayWindows::Data {
    std::unique_ptr<PlotWindow> waveform;
    std::unique_ptr<PlotWindow> trend;
};

DisplayWindows::DisplayWindows() : d_(std::make_unique<Data>()) {}
DisplayWindows::~DisplayWindows() = default;

void DisplayWindows::drawSnapshot(std::span<const std::uint8_t> samples, const SnapshotLevels& levels) {
    // 10815 x 2595 twips.
    if (!d_->waveform) d_->waveform = std::make_unique<PlotWindow>(QStringLiteral("パルステストモード"), QSize(721, 173));
    PlotWindow& window = *d_->waveform;
    window.showQuietly();
    window.clear();
    paintWaveform(window, waveformPlot(samples, levels));
    window.imageChanged();
}

bool DisplayWindows::redrawTrend(const TrendInputs& inputs) {
    // 10785 x 5925 twips.
    if (!d_->trend)
        d_->trend = std::make_unique<PlotWindow>(QStringLiteral("放射線量　リアルタイムグラフ"), QSize(719, 395));
    PlotWindow& window = *d_->trend;
    window.showQuietly();
    window.clear();
    const TrendPlot plot =
        trendPlot(*inputs.history, inputs.latest, TrendLimits{inputs.t1, inputs.t2, inputs.t1Single, inputs.t2Single});
    paintTrend(window, plot.ops);
    window.imageChanged();
    return plot.scaled();
}

void DisplayWindows::closeAll() {
    if (d_->waveform) d_->waveform->close();
    if (d_->trend) d_->trend->close();
}

QWidget* DisplayWindows::waveformWindow() const { return d_->waveform.get(); }
QWidget* DisplayWindows::trendWindow() const { return d_->trend.get(); }

}  // namespace ravelin
