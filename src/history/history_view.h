// What the history plot shows for a time range and a size: the dose as lines broken at
// the gaps, decimated to the pixel columns, its moving average, the alarm limits, the
// ticks and labels. Pure: the window, the PNG and the SVG paint the same result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_log.h"

namespace ravelin {

// Records further apart than this many minutes have a gap between them (the monitor stopped).
inline constexpr std::int32_t kHistoryGapMinutes = 2;

// A time range in minutes (as HistoryRecord::minute), from < to.
struct HistoryRange {
    double from = 0, to = 1440;
    friend bool operator==(const HistoryRange&, const HistoryRange&) = default;
};

enum class HistorySpan { Day, Week, Month, All };

// The range of a span ending at the newest record (All: the first to the newest record).
HistoryRange spanRange(const std::vector<HistoryRecord>& records, HistorySpan span);
// The range of the records from one date (yyyy-mm-dd, inclusive) to another, either open.
HistoryRange datesRange(const std::vector<HistoryRecord>& records, std::optional<std::int32_t> fromDay,
                        std::optional<std::int32_t> toDay);
// Zoomed by `factor` (< 1 narrows) around `centre`, never below ten minutes.
HistoryRange zoomed(const HistoryRange& r, double centre, double factor);
HistoryRange panned(const HistoryRange& r, double minutes);

// The moving average's window for a range: ten minutes, or a hundredth of the range if longer.
std::int32_t averageWindowMinutes(const HistoryRange& r);

struct PlotPoint {
    float x, y;
};
struct AxisTick {
    double at;  // pixels along the axis
    std::string label;
};

struct HistoryPlotInput {
    HistoryRange range;
    int width = 1200, height = 600;
    std::optional<double> alarm1, alarm2;
};

struct HistoryPlot {
    double left = 0, top = 0, right = 0, bottom = 0;  // the plot area in pixels
    std::vector<std::vector<PlotPoint>> dose;         // one polyline per run without a gap
    std::vector<std::vector<PlotPoint>> average;
    std::optional<double> alarm1Y, alarm2Y;           // when inside the area
    std::vector<AxisTick> timeTicks, doseTicks;
    std::string rangeText;    // "2024/05/01 00:00 – 2024/05/08 00:00"
    std::string averageText;  // "移動平均（10分）"
    std::size_t records = 0;  // records inside the range
    double doseTop = 1;       // the dose at the top of the area
};

HistoryPlot historyPlot(const std::vector<HistoryRecord>& records, const HistoryPlotInput& input);

// The index of the record nearest `minute` inside the range, or nothing.
std::optional<std::size_t> nearestRecord(const std::vector<HistoryRecord>& records, const HistoryRange& r,
                                         double minute);

// "yyyy/mm/dd hh:mm" of a record's minute.
std::string minuteText(std::int32_t minute);

}  // namespace ravelin
