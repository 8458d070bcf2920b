#include "web/web_feed.h"

#include <memory>

#include "engine/displays.h"
#include "engine/reading_interval.h"
#include "outputs/station_messages.h"

namespace ravelin {

WebFeed::WebFeed(Monitor& monitor, MonitorFace& face, const UtcClock& clock, LiveBoard& board,
                 const MapUploads* maps)
    : monitor_(monitor), face_(face), clock_(clock), board_(board), maps_(maps) {}

void WebFeed::secondDone(const SecondReport& r) {
    auto s = std::make_shared<LiveSecond>();
    s->sequence = ++sequence_;
    s->stateJson = statePayload(r, clock_.utcNow());
    s->seconds = r.seconds;
    s->total = r.total;
    s->cpm = cpmText(r);
    s->dose = doseText(r);
    const ReadingIntervalTexts interval = intervalTexts(r.interval);
    s->cpmLow = interval.cpmLow;
    s->cpmHigh = interval.cpmHigh;
    s->doseLow = interval.doseLow;
    s->doseHigh = interval.doseHigh;
    s->alarm1 = r.alarmLatch1 != 0;
    s->alarm2 = r.alarmLatch2 != 0;
    s->alarm1Ticked = face_.isChecked(Switch::Alarm1);
    s->alarm2Ticked = face_.isChecked(Switch::Alarm2);
    const MonitorState& state = monitor_.state();
    s->logFolder = state.SaveFolder;
    s->lastRecord = lastRecord_;
    const std::uint64_t pending = monitor_.log().unwrittenCount();
    s->recordsPending = pending;
    s->recordsWritten = recordsLogged_ > pending ? recordsLogged_ - pending : 0;
    s->doseHistory = state.DoseHistory;
    s->latestHistory = state.LatestHistoryIndex;
    // The limits as the trend graph reads them: the others only once the stage-2 limit gives a scale.
    SettingReader& settings = monitor_.settings();
    s->t2 = settings.readDouble(Setting::Alarm2Limit);
    if (s->t2 && trendHasScale(*s->t2)) {
        s->t1 = settings.readDouble(Setting::Alarm1Limit);
        s->t1Single = settings.readSingle(Setting::Alarm1Limit);
        s->t2Single = settings.readSingle(Setting::Alarm2Limit);
    }
    if (s->alarm1Ticked) s->alarm1Limit = settings.readDouble(Setting::Alarm1Limit);
    if (s->alarm2Ticked) s->alarm2Limit = s->t2;
    // Copied on the pipeline's thread, where the uploads keep them, as the state message takes them.
    if (maps_) {
        s->maps = maps_->statuses();
        addToState(s->stateJson, mapsStateJson(s->maps));  // the same message as the station's MQTT state
    }
    s->at = std::chrono::steady_clock::now();
    board_.publish(std::move(s));
}

void WebFeed::recordDue(const LogRecord& record, bool logged) {
    if (!logged) return;
    ++recordsLogged_;
    std::string line = record.line();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    lastRecord_ = line;
}

}  // namespace ravelin
