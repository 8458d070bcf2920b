#include "outputs/map_uploader.h"

#include <algorithm>

#include "engine/civil_time.h"

namespace ravelin {

MapStatusKeeper::MapStatusKeeper(std::string service, MapStatusSink& sink) : sink_(sink) {
    status_.service = std::move(service);
}

void MapStatusKeeper::set(MapState state, const std::string& reason) {
    if (state == status_.state) return;
    // Starting to working is no news; anything else is.
    const bool news = !(status_.state == MapState::Starting && state == MapState::Working);
    status_.state = state;
    status_.reason = state == MapState::Working ? std::string{} : reason;
    if (news) sink_.mapStateChanged(status_);
}

void MapStatusKeeper::notify() { sink_.mapStateChanged(status_); }

LiveMapUploader::LiveMapUploader(std::string service, HttpClient& client, MakeRequest request, Judge judge,
                                 MapStatusSink& sink)
    : client_(client), request_(std::move(request)), judge_(std::move(judge)), keeper_(std::move(service), sink) {}

void LiveMapUploader::add(const MapReading& reading) {
    if (keeper_.status().state == MapState::Stopped) {
        ++keeper_.status().dropped;
        return;
    }
    // Seconds since 1970 by the readings' own UTC times: a --fast replay's readings come
    // within the same real minute, and the map is not to get them faster than one a minute.
    const std::int64_t at = static_cast<std::int64_t>(minuteOf(reading.utc.year, reading.utc.month, reading.utc.day,
                                                              reading.utc.hour, reading.utc.minute)) * 60 +
                            reading.utc.second;
    const bool tooSoon = lastSent_ && at >= *lastSent_ && at - *lastSent_ < kMinSpacing;
    if (inFlight_ || tooSoon) {
        // A request still out has a time-out shorter than a minute, so that too is a
        // replay's pace: the reading is dropped rather than sent late.
        ++keeper_.status().dropped;
        return;
    }
    lastSent_ = at;
    inFlight_ = true;
    client_.send(request_(reading), [this](const HttpResponse& response) {
        inFlight_ = false;
        const Judgement j = judge_(response);
        if (j.verdict == Verdict::Accepted) {
            ++keeper_.status().sent;
            keeper_.set(MapState::Working);
            return;
        }
        ++keeper_.status().dropped;
        keeper_.set(j.verdict == Verdict::Refused ? MapState::Stopped : MapState::Failing, j.reason);
    });
}

OutboxUploader::OutboxUploader(std::string service, HttpClient& client, Outbox& outbox,
                               LiveMapUploader::MakeRequest request, LiveMapUploader::Judge judge, MapStatusSink& sink)
    : client_(client), outbox_(outbox), request_(std::move(request)), judge_(std::move(judge)),
      keeper_(std::move(service), sink) {
    keeper_.status().hasOutbox = true;
    refreshCounts();
}

void OutboxUploader::refreshCounts() {
    MapStatus& s = keeper_.status();
    s.waiting = outbox_.size();
    const std::uint64_t before = s.dropped;
    s.dropped = outbox_.dropped();
    // The cap dropping the oldest is told at the first drop and at every 60th after, not at each.
    if (s.dropped != before && (before == 0 || s.dropped / 60 != before / 60)) keeper_.notify();
    const std::string error = outbox_.unwritten() > 0 ? outbox_.lastError() : std::string{};
    // A full disk (or its end) is news of its own, whatever the service does.
    if (error != s.outboxError) {
        s.outboxError = error;
        keeper_.notify();
    }
}

void OutboxUploader::tick(std::int64_t seconds) {
    // A new run counts its seconds from 0 again: the wait left carries over.
    if (retryAt_ && seconds < now_) retryAt_ = *retryAt_ - now_ + seconds;
    now_ = seconds;
    if (retryAt_ && now_ >= *retryAt_) {
        retryAt_.reset();
        sendNext();
    }
}

void OutboxUploader::add(const MapReading& reading) {
    outbox_.add(reading, inFlight_);
    refreshCounts();
    sendNext();
}

bool OutboxUploader::sendNow() {
    if (stopped() || outbox_.empty()) return false;
    if (inFlight_) return true;
    retryAt_.reset();
    sendNext();
    return inFlight_;
}

void OutboxUploader::sendNext() {
    if (inFlight_ || retryAt_ || stopped() || outbox_.empty()) return;
    inFlight_ = true;
    client_.send(request_(outbox_.front()), [this](const HttpResponse& r) { answered(r); });
}

void OutboxUploader::answered(const HttpResponse& response) {
    inFlight_ = false;
    const Judgement j = judge_(response);
    if (j.verdict == Verdict::Accepted) {
        outbox_.popFront(true);
        outbox_.trim(false);
        ++keeper_.status().sent;
        backoff_ = 0;
        refreshCounts();
        keeper_.set(MapState::Working);
        sendNext();
        return;
    }
    outbox_.trim(false);  // the cap waited while the oldest reading was in flight
    refreshCounts();
    if (j.verdict == Verdict::Refused) {
        keeper_.set(MapState::Stopped, j.reason);
        return;
    }
    backoff_ = backoff_ == 0 ? kFirstBackoff : std::min(backoff_ * 2, kMaxBackoff);
    std::int64_t wait = backoff_;
    if (response.status == 429 && response.retryAfterSeconds) wait = std::max<std::int64_t>(*response.retryAfterSeconds, 1);
    retryAt_ = now_ + wait;
    keeper_.set(MapState::Failing, j.reason);
}

}  // namespace ravelin
