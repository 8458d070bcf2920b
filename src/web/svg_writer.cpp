#include "web/svg_writer.h"

#include <cstdio>

#include "drawing/history_style.h"

namespace ravelin {
namespace {

constexpr const char* kFonts = "'IPAPGothic','IPAGothic','Noto Sans CJK JP',sans-serif";

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    std::string s = buf;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s;
}

std::string colour(Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string header(int width, int height, const char* title) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
           "\" font-family=\"" + kFonts + "\"><title>" + title + "</title><rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
}

std::string line(double x1, double y1, double x2, double y2, Rgb c, double width, const char* extra = "") {
    return "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) + "\" y2=\"" + number(y2) +
           "\" stroke=\"" + colour(c) + "\" stroke-width=\"" + number(width) + "\"" + extra + "/>\n";
}

std::string text(double x, double y, const std::string& s, const char* anchor, const char* baseline, int size) {
    return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" font-size=\"" + std::to_string(size) +
           "\" text-anchor=\"" + anchor + "\" dominant-baseline=\"" + baseline + "\">" + xmlEscaped(s) + "</text>\n";
}

void runs(std::string& out, const std::vector<std::vector<PlotPoint>>& runs, Rgb c, double width) {
    for (const auto& run : runs) {
        if (run.size() == 1) {  // a record alone between two gaps
            out += "<circle cx=\"" + number(run[0].x) + "\" cy=\"" + number(run[0].y) + "\" r=\"" + number(width) +
                   "\" fill=\"" + colour(c) + "\"/>\n";
            continue;
        }
        out += "<polyline fill=\"none\" stroke=\"" + colour(c) + "\" stroke-width=\"" + number(width) +
               "\" stroke-linejoin=\"round\" stroke-linecap=\"round\" points=\"";
        for (const auto& p : run) out += number(p.x) + "," + number(p.y) + " ";
        out += "\"/>\n";
    }
}

// A legend entry: a short stroke and its text; the next one starts after an estimate of the text's width.
double legend(std::string& out, double x, double y, Rgb c, const std::string& label, bool dashed) {
    out += line(x, y, x + 22, y, c, 2, dashed ? " stroke-dasharray=\"6 3\"" : "");
    out += text(x + 27, y, label, "start", "central", 13);
    double width = 0;
    for (std::size_t i = 0; i < label.size(); ++i) {
        const auto u = static_cast<unsigned char>(label[i]);
        if (u < 0x80) width += 7.5;
        else if (u >= 0xE0) width += 13;  // a wide (three-byte) character
        else if (u >= 0xC0) width += 7.5;
    }
    return x + 27 + width + 18;
}

}  // namespace

std::string xmlEscaped(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string trendSvg(const std::vector<PlotOp>& ops) {
    std::string out = header(719, 395, "放射線量　リアルタイムグラフ");
    out.reserve(64 * ops.size());
    const Rgb black{0, 0, 0};
    for (const PlotOp& op : ops) {
        if (const auto* l = std::get_if<PlotLine>(&op)) {
            // Pixel centres, as the window's one-pixel lines cover them.
            out += line(l->x1 + 0.5, l->y1, l->x2 + 0.5, l->y2 + (l->y1 == l->y2 ? 0 : 1), l->colour.value_or(black), 1);
        } else {
            const auto& t = std::get<PlotText>(op);
            out += text(t.x, t.y, t.text, "start", "hanging", 12);
        }
    }
    return out + "</svg>\n";
}

std::string historySvg(const HistoryPlot& plot, int width, int height) {
    std::string out = header(width, height, kHistoryTitle);
    for (const auto& t : plot.timeTicks) out += line(t.at, plot.top, t.at, plot.bottom, kHistoryGridColour, 1);
    for (const auto& t : plot.doseTicks) out += line(plot.left, t.at, plot.right, t.at, kHistoryGridColour, 1);
    for (const auto& t : plot.timeTicks) out += text(t.at, plot.bottom + 4, t.label, "middle", "hanging", 13);
    for (const auto& t : plot.doseTicks) out += text(plot.left - 6, t.at, t.label, "end", "central", 13);
    out += text(8, 14, kHistoryUnit, "start", "central", 13);
    out += text(plot.right, height - 6.0, plot.rangeText, "end", "auto", 13);
    out += text(plot.left, height - 6.0, std::to_string(plot.records) + "件", "start", "auto", 13);

    double x = plot.left;
    x = legend(out, x, 16, kHistoryDoseColour, kHistoryDoseLegend, false);
    x = legend(out, x, 16, kHistoryAverageColour, plot.averageText, false);
    x = legend(out, x, 16, kHistoryAlarm1Colour, kHistoryAlarm1Legend, true);
    legend(out, x, 16, kHistoryAlarm2Colour, kHistoryAlarm2Legend, true);

    out += "<clipPath id=\"area\"><rect x=\"" + number(plot.left) + "\" y=\"" + number(plot.top) + "\" width=\"" +
           number(plot.right - plot.left) + "\" height=\"" + number(plot.bottom - plot.top) + "\"/></clipPath>\n";
    out += "<g clip-path=\"url(#area)\">\n";
    const char* dashed = " stroke-dasharray=\"6 3\"";
    if (plot.alarm1Y) out += line(plot.left, *plot.alarm1Y, plot.right, *plot.alarm1Y, kHistoryAlarm1Colour, 1.5, dashed);
    if (plot.alarm2Y) out += line(plot.left, *plot.alarm2Y, plot.right, *plot.alarm2Y, kHistoryAlarm2Colour, 1.5, dashed);
    runs(out, plot.dose, kHistoryDoseColour, 1.2);
    runs(out, plot.average, kHistoryAverageColour, 2);
    out += "</g>\n<rect x=\"" + number(plot.left) + "\" y=\"" + number(plot.top) + "\" width=\"" +
           number(plot.right - plot.left) + "\" height=\"" + number(plot.bottom - plot.top) +
           "\" fill=\"none\" stroke=\"#000\"/>\n";
    return out + "</svg>\n";
}

}  // namespace ravelin
