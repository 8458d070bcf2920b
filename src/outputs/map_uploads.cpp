#include "outputs/map_uploads.h"

#include <cstdio>

#include "engine/convert.h"
#include "outputs/station_messages.h"

namespace ravelin {

const char* mapStateName(MapState state) {
    switch (state) {
        case MapState::Starting: return "starting";
        case MapState::Working: return "working";
        case MapState::Failing: return "failing";
        case MapState::Stopped: return "stopped";
    }
    return "";
}

void MapUploads::recordDue(const LogRecord& record, bool) {
    // The 60th second's record comes before its report; the report brings the CPM.
    MapReading r;
    r.utc = clock_.utcNow();
    r.usvH = record.doseText;
    due_ = r;
}

void MapUploads::secondDone(const SecondReport& report) {
    if (outbox_) outbox_->tick(report.seconds);
    if (!due_) return;
    MapReading r = std::move(*due_);
    due_.reset();
    r.cpm = cpmText(report);
    char average[32];
    std::snprintf(average, sizeof average, "%.2f",
                  report.seconds > 0 ? static_cast<double>(report.total) * 60.0 / report.seconds : 0.0);
    r.averageCpm = average;
    // No dose yet, or a readout that is no number: nothing a map could take.
    if (!parseOutboxLine(utcTimeText(r.utc) + "," + r.cpm + "," + r.usvH + "," + r.averageCpm)) return;
    for (auto& uploader : live_) uploader->add(r);
    if (outbox_) outbox_->add(r);
}

std::vector<MapStatus> MapUploads::statuses() const {
    std::vector<MapStatus> out;
    for (const auto& uploader : live_) out.push_back(uploader->status());
    if (outbox_) out.push_back(outbox_->status());
    return out;
}

std::string MapUploads::stateJson() const { return mapsStateJson(statuses()); }

std::string mapsStateJson(const std::vector<MapStatus>& statuses) {
    std::string out = "\"maps\":{";
    bool first = true;
    for (const auto& s : statuses) {
        if (!first) out += ",";
        first = false;
        out += jsonString(s.service) + ":{\"state\":\"" + mapStateName(s.state) +
               "\",\"sent\":" + integerText(static_cast<std::int64_t>(s.sent)) +
               ",\"dropped\":" + integerText(static_cast<std::int64_t>(s.dropped)) +
               ",\"waiting\":" + integerText(static_cast<std::int64_t>(s.waiting)) + "}";
    }
    return out + "}";
}

bool MapUploads::busy() const {
    for (const auto& uploader : live_)
        if (uploader->busy()) return true;
    return outbox_ && outbox_->busy();
}

}  // namespace ravelin
