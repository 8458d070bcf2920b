#include "drawing/waveform_plot.h"

#include <cmath>

namespace ravelin {

WaveformPlot waveformPlot(std::span<const std::uint8_t> samples, const SnapshotLevels& levels) {
    WaveformPlot plot;
    // The lines end at last / 2, a real division: 22049 gives 11024.5.
    const float end = static_cast<float>(static_cast<double>(samples.size()) - 1) / 2.0f;
    if (!levels.lower) return plot;
    plot.lines.push_back(PlotLine{1, static_cast<double>(*levels.lower), end, static_cast<double>(*levels.lower), kRed});
    if (!levels.upper) return plot;
    plot.lines.push_back(PlotLine{1, static_cast<double>(*levels.upper), end, static_cast<double>(*levels.upper), kBlue});

    plot.points.reserve(samples.size() / 2);
    float x = 1;
    for (std::size_t i = 1; i < samples.size(); i += 2) {
        plot.points.push_back(PlotPoint{x, static_cast<float>(samples[i] * 8)});
        x = x + 1;
    }
    return plot;
}

int nearestPixel(double value) {
    if (std::isnan(value)) return -1000000;
    const double pixel = std::floor(value + 0.5);
    if (pixel < -1e6) return -1000000;
    if (pixel > 1e6) return 1000000;
    return static_cast<int>(pixel);
}

int twipsToPixel(double twips) { return nearestPixel(twips / 15.0); }

}  // namespace ravelin
