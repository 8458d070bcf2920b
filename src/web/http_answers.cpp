#include "web/http_answers.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "drawing/trend_plot.h"
#include "history/history_view.h"
#include "web/metrics_text.h"
#include "web/page.h"
#include "web/svg_writer.h"

namespace ravelin {
namespace {

WebAnswer text(unsigned status, std::string body) {
    WebAnswer a;
    a.status = status;
    a.body = std::move(body);
    return a;
}

// The records of [from, to) as the log's lines, copied out of the history under its lock.
WebAnswer historyRecords(const WebRequest& request, const WebContext& context) {
    std::optional<std::int32_t> fromDay, toDay;
    for (const auto& [key, day] : {std::pair{"from", &fromDay}, {"to", &toDay}}) {
        const char* value = request.query(key);
        if (!value) continue;
        const auto d = parseDay(value);
        if (!d) return text(400, std::string(key) + ": not a date yyyy-mm-dd\n");
        *day = *d;
    }
    struct Line {
        std::int32_t minute;
        std::string dose;
    };
    auto lines = std::make_shared<std::vector<Line>>();
    {
        const std::lock_guard lock(context.historyMutex);
        std::string error;
        if (context.history.refresh(error) < 0) return text(500, "the log folder cannot be read: " + error + "\n");
        const std::int64_t from = fromDay ? std::int64_t{*fromDay} * 1440 : INT64_MIN;
        const std::int64_t to = toDay ? (std::int64_t{*toDay} + 1) * 1440 : INT64_MAX;
        for (const HistoryRecord& r : context.history.records())
            if (r.minute >= from && r.minute < to) lines->push_back({r.minute, std::string(context.history.doseText(r))});
    }
    WebAnswer a;
    a.type = "text/csv; charset=utf-8";
    a.lineCount = lines->size();
    a.lines = [lines](std::size_t i) {
        const Line& l = (*lines)[i];
        const CivilMinute c = civilOf(l.minute);
        char buf[40];
        std::snprintf(buf, sizeof buf, "\"%04d/%02d/%02d\",\"%02d:%02d\",", c.year, c.month, c.day, c.hour, c.minute);
        return buf + l.dose + "\r\n";
    };
    return a;
}

WebAnswer historyPicture(const WebRequest& request, const WebContext& context) {
    HistoryPlotInput input;
    input.width = 1000;
    input.height = 500;
    if (request.latest) {
        input.alarm1 = request.latest->alarm1Limit;
        input.alarm2 = request.latest->alarm2Limit;
    }
    WebAnswer a;
    a.type = "image/svg+xml; charset=utf-8";
    const std::lock_guard lock(context.historyMutex);
    std::string error;
    context.history.refresh(error);
    const auto& records = context.history.records();
    input.range = spanRange(records, HistorySpan::Day);
    a.body = historySvg(historyPlot(records, input), input.width, input.height);
    return a;
}

}  // namespace

WebAnswer answerRequest(const WebRequest& request, const WebContext& context) {
    const std::string& path = request.path;
    const LiveSecond* latest = request.latest.get();
    if (path == "/") {
        WebAnswer a;
        a.type = "text/html; charset=utf-8";
        a.page = true;
        a.body = stationPage(prefersEnglish(request.acceptLanguage), latest ? latest->logFolder : "",
                             latest ? latest->lastRecord : "");
        return a;
    }
    if (path == "/api/now") {
        if (!latest) return text(503, "no second processed yet\n");
        WebAnswer a;
        a.type = "application/json";
        a.body = latest->stateJson;
        return a;
    }
    if (path == "/metrics") {
        const bool receiving = latest && std::chrono::steady_clock::now() - latest->at < std::chrono::seconds(3);
        WebAnswer a;
        a.type = "text/plain; version=0.0.4; charset=utf-8";
        a.body = metricsText(latest, receiving, context.version);
        return a;
    }
    if (path == "/trend.svg") {
        const LiveSecond none;
        const LiveSecond& s = latest ? *latest : none;
        WebAnswer a;
        a.type = "image/svg+xml; charset=utf-8";
        const std::lock_guard lock(context.trend.mutex);
        if (context.trend.sequence != s.sequence) {
            context.trend.svg =
                trendSvg(trendPlot(s.doseHistory, s.latestHistory, TrendLimits{s.t1, s.t2, s.t1Single, s.t2Single}).ops);
            context.trend.sequence = s.sequence;
        }
        a.body = context.trend.svg;
        return a;
    }
    if (path == "/history.svg") return historyPicture(request, context);
    if (path == "/api/history") return historyRecords(request, context);
    return text(404, "not found\n");
}

}  // namespace ravelin
