// The uploads to the public maps: the state each service reports, and the two kinds of
// uploader. A live map (radmon.org, GMCmap) gets the latest reading only; Safecast gets
// every reading, from the outbox, in order. Time is the monitor's seconds count (one
// buffer, one second), so that a replay with --fast runs the back-off as fast as it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "outputs/http_client.h"
#include "outputs/map_reading.h"
#include "outputs/outbox.h"

namespace ravelin {

enum class MapState { Starting, Working, Failing, Stopped };

struct MapStatus {
    std::string service;  // "radmon.org", "GMCmap", "Safecast"
    MapState state = MapState::Starting;
    std::size_t waiting = 0;     // readings in the outbox
    std::uint64_t dropped = 0;   // readings given up
    std::uint64_t sent = 0;      // readings the service took
    std::string reason;          // why it fails or stopped, without any secret
    std::string outboxError;     // why readings cannot be written to the outbox; empty when they can
    bool hasOutbox = false;      // every reading goes through an outbox (Safecast), so `waiting` means something
};

// Told when a service goes from working to failing or stopped and back, not at every
// retry, and when the outbox starts or stops failing to write.
class MapStatusSink {
public:
    virtual ~MapStatusSink() = default;
    virtual void mapStateChanged(const MapStatus& status) = 0;
};

// What an answer means to the service that gave it.
enum class Verdict { Accepted, Failed, Refused };
struct Judgement {
    Verdict verdict;
    std::string reason;  // for Failed and Refused
};

// Keeps the status and tells the sink when the state changes.
class MapStatusKeeper {
public:
    MapStatusKeeper(std::string service, MapStatusSink& sink);
    void set(MapState state, const std::string& reason = {});
    // Tells the sink the status as it is (the outbox's failure changed).
    void notify();
    MapStatus& status() { return status_; }
    const MapStatus& status() const { return status_; }

private:
    MapStatus status_;
    MapStatusSink& sink_;
};

// A live map: each reading is sent when it is made, or dropped when the request before
// is still out (a request's time-out is shorter than a minute, so none arrives late) or
// when it comes less than 50 s (by the readings' UTC times) after the last one sent; one
// that fails is dropped too. A refusal stops the uploads.
class LiveMapUploader {
public:
    // Readings a second apart from a real run can be 59 s apart by the clock: 50 s is "a minute".
    static constexpr std::int64_t kMinSpacing = 50;
    using MakeRequest = std::function<HttpRequest(const MapReading&)>;
    using Judge = std::function<Judgement(const HttpResponse&)>;
    LiveMapUploader(std::string service, HttpClient& client, MakeRequest request, Judge judge, MapStatusSink& sink);

    void add(const MapReading& reading);
    const MapStatus& status() const { return keeper_.status(); }
    bool busy() const { return inFlight_; }

private:
    HttpClient& client_;
    MakeRequest request_;
    Judge judge_;
    MapStatusKeeper keeper_;
    bool inFlight_ = false;
    std::optional<std::int64_t> lastSent_;  // UTC seconds of the last reading sent
};

// Safecast: every reading goes through the outbox, oldest first, one request in flight.
// After a failure it waits (doubling from 15 s to 10 min; 429's Retry-After when
// given); a refusal stops the uploads and keeps the outbox for the next start.
class OutboxUploader {
public:
    static constexpr std::int64_t kFirstBackoff = 15, kMaxBackoff = 600;
    OutboxUploader(std::string service, HttpClient& client, Outbox& outbox, LiveMapUploader::MakeRequest request,
                   LiveMapUploader::Judge judge, MapStatusSink& sink);

    // The seconds count goes on: a back-off that ran out sends again.
    void tick(std::int64_t seconds);
    void add(const MapReading& reading);
    // Sends what waits now, back-off or not (at exit); false when nothing can be sent.
    bool sendNow();

    const MapStatus& status() const { return keeper_.status(); }
    bool busy() const { return inFlight_; }
    bool stopped() const { return keeper_.status().state == MapState::Stopped; }
    const Outbox& outbox() const { return outbox_; }

private:
    void sendNext();
    void answered(const HttpResponse& response);
    void refreshCounts();

    HttpClient& client_;
    Outbox& outbox_;
    LiveMapUploader::MakeRequest request_;
    LiveMapUploader::Judge judge_;
    MapStatusKeeper keeper_;
    bool inFlight_ = false;
    std::int64_t now_ = 0;
    std::optional<std::int64_t> retryAt_;
    std::int64_t backoff_ = 0;
};

}  // namespace ravelin
