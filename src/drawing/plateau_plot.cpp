#include "drawing/plateau_plot.h"

#include <algorithm>

#include "engine/convert.h"

namespace ravelin {
namespace {

std::int64_t axisTop(const CalibrationResult& r) {
    const std::int64_t chosen = r.chosen < r.plateau.size() ? r.plateau[r.chosen].count : 0;
    return std::max<std::int64_t>(2 * chosen, 4);
}

}  // namespace

double plateauX(const CalibrationResult& r, std::size_t point) {
    const PlateauFrame f;
    const std::size_t n = std::max<std::size_t>(r.plateau.size(), 2);
    return f.left + (f.right - f.left) * static_cast<double>(point) / static_cast<double>(n - 1);
}

double plateauY(const CalibrationResult& r, std::int64_t count) {
    const PlateauFrame f;
    const double share = std::min(1.0, static_cast<double>(count) / static_cast<double>(axisTop(r)));
    return f.bottom - (f.bottom - f.top) * share;
}

std::vector<PlotOp> plateauPlot(const CalibrationResult& r) {
    const PlateauFrame f;
    std::vector<PlotOp> ops;
    const auto line = [&](double x1, double y1, double x2, double y2, std::optional<Rgb> colour = std::nullopt) {
        ops.push_back(PlotLine{x1, y1, x2, y2, colour});
    };
    const auto text = [&](double x, double y, std::string s) { ops.push_back(PlotText{x, y, std::move(s)}); };

    if (r.plateau.size() >= 2 && r.plateauFound) {
        for (double x = plateauX(r, r.flatFrom); x <= plateauX(r, r.flatTo); x += 1)
            line(x, f.top, x, f.bottom, kPlateauShade);
    }
    line(f.left, f.top, f.left, f.bottom);
    line(f.left, f.bottom, f.right, f.bottom);
    const std::int64_t top = axisTop(r);
    for (int k = 0; k <= 2; ++k) {
        const std::int64_t v = top * k / 2;
        const double y = plateauY(r, v);
        line(f.left - 4, y, f.left, y);
        text(4, y - 7, integerText(v));
    }
    text(f.left, f.bottom + 22, "しきい値（右ほど深い）");
    text(f.right - 60, f.bottom + 22, "計数");
    if (r.plateau.empty()) {
        text(f.left + 20, (f.top + f.bottom) / 2, "振れが見つかりません");
        return ops;
    }
    // A tick and the threshold at the ends and at the proposal.
    for (const std::size_t i : {std::size_t{0}, r.chosen, r.plateau.size() - 1}) {
        const double x = plateauX(r, i);
        line(x, f.bottom, x, f.bottom + 4);
        text(x - 10, f.bottom + 6, integerText(r.plateau[i].threshold));
    }
    for (std::size_t i = 1; i < r.plateau.size(); ++i)
        line(plateauX(r, i - 1), plateauY(r, r.plateau[i - 1].count), plateauX(r, i), plateauY(r, r.plateau[i].count),
             kPlateauCurve);
    const double x = plateauX(r, r.chosen), y = plateauY(r, r.plateau[r.chosen].count);
    line(x, f.top, x, f.bottom, kPlateauChosen);
    line(x - 4, y, x + 4, y, kPlateauChosen);
    text(x + 4, f.top, integerText(r.plateau[r.chosen].count));
    return ops;
}

}  // namespace ravelin
