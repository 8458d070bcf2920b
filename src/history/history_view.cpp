#include "history/history_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ravelin {

namespace {

constexpr double kLeft = 70, kRight = 20, kTop = 40, kBottom = 46;

std::int32_t newest(const std::vector<HistoryRecord>& r) { return r.empty() ? 0 : r.back().minute; }

HistoryRange atLeastAnHour(double from, double to) {
    if (to - from < 60) {
        const double mid = (from + to) / 2;
        return {mid - 30, mid + 30};
    }
    return {from, to};
}

// The smallest of 1, 2, 2.5, 5 × 10^k not below `v`.
double niceCeil(double v) {
    const double p = std::pow(10.0, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * p >= v * (1 - 1e-12)) return m * p;
    return 10 * p;
}

std::string fixedText(double v, int decimals) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// Tick steps in minutes: aligned to the clock, then to local midnights.
constexpr std::int32_t kSteps[] = {1,    2,    5,    10,    15,    30,    60,    120,   180,    360,
                                   720,  1440, 2880, 10080, 20160, 43200, 86400, 131400, 262800, 525600};

struct Run {
    std::vector<PlotPoint>* line;
    long column = 0;
    int count = 0;
    float firstX = 0, low = 0, high = 0, sum = 0;
    bool lowFirst = true;
};

}  // namespace

HistoryRange spanRange(const std::vector<HistoryRecord>& records, HistorySpan span) {
    const double end = newest(records) + 1;
    switch (span) {
        case HistorySpan::Day: return {end - 1440, end};
        case HistorySpan::Week: return {end - 7 * 1440, end};
        case HistorySpan::Month: return {end - 30 * 1440, end};
        case HistorySpan::All: break;
    }
    return atLeastAnHour(records.empty() ? end - 1440 : records.front().minute, end);
}

HistoryRange datesRange(const std::vector<HistoryRecord>& records, std::optional<std::int32_t> fromDay,
                        std::optional<std::int32_t> toDay) {
    const HistoryRange all = spanRange(records, HistorySpan::All);
    const double from = fromDay ? *fromDay * 1440.0 : all.from;
    const double to = toDay ? (*toDay + 1) * 1440.0 : all.to;
    return to > from ? HistoryRange{from, to} : HistoryRange{from, from + 1440};
}

HistoryRange zoomed(const HistoryRange& r, double centre, double factor) {
    const double span = std::max(10.0, (r.to - r.from) * factor);
    const double share = r.to > r.from ? std::clamp((centre - r.from) / (r.to - r.from), 0.0, 1.0) : 0.5;
    const double from = centre - span * share;
    return {from, from + span};
}

HistoryRange panned(const HistoryRange& r, double minutes) { return {r.from + minutes, r.to + minutes}; }

std::int32_t averageWindowMinutes(const HistoryRange& r) {
    return std::max<std::int32_t>(10, static_cast<std::int32_t>(std::lround((r.to - r.from) / 100)));
}

std::string minuteText(std::int32_t minute) {
    const CivilMinute c = civilOf(minute);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", c.year, c.month, c.day, c.hour, c.minute);
    return buf;
}

std::optional<std::size_t> nearestRecord(const std::vector<HistoryRecord>& records, const HistoryRange& r,
                                         double minute) {
    const auto at = std::lower_bound(records.begin(), records.end(), minute,
                                     [](const HistoryRecord& a, double m) { return a.minute < m; });
    std::optional<std::size_t> best;
    for (auto it : {at, at == records.begin() ? at : at - 1}) {
        if (it == records.end() || it->minute < r.from || it->minute > r.to) continue;
        const auto i = static_cast<std::size_t>(it - records.begin());
        if (!best || std::abs(it->minute - minute) < std::abs(records[*best].minute - minute)) best = i;
    }
    return best;
}

HistoryPlot historyPlot(const std::vector<HistoryRecord>& records, const HistoryPlotInput& in) {
    HistoryPlot plot;
    plot.left = kLeft;
    plot.top = kTop;
    plot.right = std::max(kLeft + 10, in.width - kRight);
    plot.bottom = std::max(kTop + 10, in.height - kBottom);
    const HistoryRange r = in.range;
    const double pxPerMinute = (plot.right - plot.left) / (r.to - r.from);
    const std::int32_t window = averageWindowMinutes(r);
    plot.rangeText = minuteText(static_cast<std::int32_t>(std::floor(r.from))) + " – " +
                     minuteText(static_cast<std::int32_t>(std::ceil(r.to)));
    plot.averageText = "移動平均（" + std::to_string(window) + "分）";

    // One record beyond each edge, so a line runs out of the area instead of stopping short.
    const auto byMinute = [](const HistoryRecord& a, double m) { return a.minute < m; };
    auto lo = std::lower_bound(records.begin(), records.end(), r.from, byMinute);
    auto hi = std::lower_bound(lo, records.end(), r.to, byMinute);
    while (hi != records.end() && hi->minute <= r.to) ++hi;
    plot.records = static_cast<std::size_t>(hi - lo);
    const auto avgFrom = std::lower_bound(records.begin(), lo, r.from - window, byMinute);
    if (lo != records.begin()) --lo;
    if (hi != records.end()) ++hi;

    double highest = in.alarm1.value_or(0);
    for (auto it = lo; it != hi; ++it)
        if (it->minute >= r.from && it->minute <= r.to) highest = std::max(highest, static_cast<double>(it->dose));
    plot.doseTop = highest > 0 && std::isfinite(highest) ? niceCeil(highest * 1.1) : 1;
    const double pxPerDose = (plot.bottom - plot.top) / plot.doseTop;
    const auto yOf = [&](double dose) { return static_cast<float>(plot.bottom - dose * pxPerDose); };
    const auto xOf = [&](double minute) { return static_cast<float>(plot.left + (minute - r.from) * pxPerMinute); };

    // Min and max per pixel column keep the peaks; a lone record keeps its own place.
    const auto flush = [&](Run& run, bool average) {
        if (run.count == 0) return;
        const float x = run.count == 1 ? run.firstX : static_cast<float>(plot.left + run.column + 0.5);
        if (average) {
            run.line->push_back({x, yOf(run.sum / run.count)});
        } else if (run.count == 1 || run.low == run.high) {
            run.line->push_back({x, yOf(run.low)});
        } else {
            run.line->push_back({x, yOf(run.lowFirst ? run.low : run.high)});
            run.line->push_back({x, yOf(run.lowFirst ? run.high : run.low)});
        }
        run.count = 0;
    };
    const auto add = [&](Run& run, std::vector<std::vector<PlotPoint>>& lines, bool newRun, double minute,
                         float value, bool average) {
        const long column = static_cast<long>(std::floor((minute - r.from) * pxPerMinute));
        if (newRun || column != run.column) flush(run, average);
        if (newRun) {
            lines.emplace_back();
            run.line = &lines.back();
        }
        if (run.count == 0) {
            run.column = column;
            run.firstX = xOf(minute);
            run.low = run.high = value;
            run.sum = 0;
        }
        if (value < run.low) run.low = value, run.lowFirst = false;
        if (value > run.high) run.high = value, run.lowFirst = true;
        if (run.count == 0) run.lowFirst = true;
        run.sum += value;
        ++run.count;
    };

    Run doseRun, avgRun;
    double sum = 0;
    auto windowStart = avgFrom;
    for (auto it = avgFrom; it != hi; ++it) {
        const bool gap = it == avgFrom || it->minute - (it - 1)->minute > kHistoryGapMinutes;
        if (gap) windowStart = it, sum = 0;
        sum += it->dose;
        while (it->minute - windowStart->minute >= window) sum -= (windowStart++)->dose;
        if (it < lo) continue;
        const bool newRun = gap || it == lo;
        add(doseRun, plot.dose, newRun, it->minute, it->dose, false);
        add(avgRun, plot.average, newRun, it->minute, static_cast<float>(sum / double(it - windowStart + 1)), true);
    }
    flush(doseRun, false);
    flush(avgRun, true);

    const auto limitY = [&](const std::optional<double>& limit) -> std::optional<double> {
        if (!limit || *limit < 0 || *limit > plot.doseTop) return std::nullopt;
        return yOf(*limit);
    };
    plot.alarm1Y = limitY(in.alarm1);
    plot.alarm2Y = limitY(in.alarm2);

    const double doseStep = niceCeil(plot.doseTop / 5);
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(doseStep) + 1e-9)) +
                                         (std::fmod(doseStep / std::pow(10.0, std::floor(std::log10(doseStep))), 1.0) > 0.1));
    for (int i = 0; i * doseStep <= plot.doseTop * (1 + 1e-9); ++i)
        plot.doseTicks.push_back({yOf(i * doseStep), fixedText(i * doseStep, decimals)});

    const double span = r.to - r.from;
    const double most = std::max(2.0, (plot.right - plot.left) / 90);
    std::int32_t step = kSteps[std::size(kSteps) - 1];
    for (std::int32_t s : kSteps)
        if (span / s <= most) {
            step = s;
            break;
        }
    for (double t = std::ceil(r.from / step) * step; t <= r.to; t += step) {
        const CivilMinute c = civilOf(static_cast<std::int32_t>(t));
        char label[24];
        if (step >= 43200) std::snprintf(label, sizeof label, "%04d/%02d/%02d", c.year, c.month, c.day);
        else if (step >= 1440 || (c.hour == 0 && c.minute == 0)) std::snprintf(label, sizeof label, "%02d/%02d", c.month, c.day);
        else std::snprintf(label, sizeof label, "%02d:%02d", c.hour, c.minute);
        plot.timeTicks.push_back({xOf(t), label});
    }
    return plot;
}

}  // namespace ravelin
