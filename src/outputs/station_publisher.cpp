#include "outputs/station_publisher.h"

#include <algorithm>

#include "engine/convert.h"
#include "outputs/station_messages.h"

namespace ravelin {
namespace {

// The bytes of the MQTT packet carrying `m`, as a broker's max_packet_size counts them.
std::size_t packetBytes(const MqttMessage& m) {
    const std::size_t remaining = 2 + m.topic.size() + (m.qos > 0 ? 2 : 0) + m.payload.size();
    std::size_t lengthBytes = 1;
    for (std::size_t rest = remaining; rest >= 128; rest /= 128) ++lengthBytes;
    return 1 + lengthBytes + remaining;
}

}  // namespace

StationPublisher::StationPublisher(MqttClient& client, const UtcClock& clock, MonitorFace& face, StationConfig config,
                                   std::string brokerName)
    : client_(client), clock_(clock), face_(face), config_(std::move(config)), brokerName_(std::move(brokerName)) {
    client_.setEvents(this);
}

void StationPublisher::start() {
    client_.start(MqttMessage{topic("status"), "offline", 1, true});
}

void StationPublisher::secondDone(const SecondReport& report) {
    std::string payload = statePayload(report, clock_.utcNow());
    if (stateExtra_) addToState(payload, stateExtra_());
    if (connected_ && send(MqttMessage{topic("state"), payload, 0, true}, "state") >= 0) {
        unsentState_.reset();
        return;
    }
    unsentState_ = std::move(payload);
}

void StationPublisher::recordDue(const LogRecord& record, bool logged) {
    everyRecordLogged_ = everyRecordLogged_ && logged;
    records_.push_back(recordPayload(record, clock_.utcNow()));
    if (records_.size() > config_.maxKept) {
        // The record in flight belongs to the client now; the oldest one still here goes.
        records_.erase(records_.begin() + (inFlight_ ? 1 : 0));
        ++dropped_;
        if (linkFailed_) ++droppedUnreachable_;
        // Said at the first drop and once an hour's worth after, not at every record of a long outage.
        if (dropped_ == 1 || dropped_ % 60 == 0)
            face_.setProblem(Problem{ProblemKey::StationRecordsDropped, {},
                                     integerText(static_cast<std::int64_t>(dropped_)),
                                     integerText(static_cast<std::int64_t>(config_.maxKept))});
    }
    sendNextRecord();
}

void StationPublisher::sendNextRecord() {
    // One record in flight at a time: a redelivery after a reconnection can only repeat the record just sent.
    if (!connected_ || inFlight_ || records_.empty()) return;
    const int id = send(MqttMessage{topic("record"), records_.front(), 1, false}, "record");
    if (id >= 0) inFlight_ = id;
}

int StationPublisher::send(const MqttMessage& m, const char* kind) {
    const int id = client_.publish(m);
    // QoS 0 gets no acknowledgement: it counts as taken, though its size proves nothing.
    if (id >= 0 && watching_ && handed_.size() < 64)
        handed_.push_back(Handed{id, m.topic, kind, packetBytes(m), m.qos == 0});
    return id;
}

void StationPublisher::connected() {
    connected_ = true;
    linkFailed_ = false;
    // QoS 1 messages not acknowledged go out again first, in order, sent by the client itself.
    std::erase_if(handed_, [](const Handed& h) { return h.acked; });
    watching_ = true;
    // After a connection the broker cut short, the problem stands until one lasts.
    if (!lastLossCutShort_) clearLink();
    // One copy of each waits at a broker that keeps cutting the connection, not one more per try.
    const auto waiting = [this](const std::string& t) {
        return std::any_of(handed_.begin(), handed_.end(), [&t](const Handed& h) { return h.topic == t; });
    };
    if (!waiting(topic("status"))) send(MqttMessage{topic("status"), "online", 1, true}, "status");
    for (const auto& m : discoveryMessages(config_))
        if (!waiting(m.topic)) send(m, "discovery");
    if (unsentState_ && send(MqttMessage{topic("state"), *unsentState_, 0, true}, "state") >= 0)
        unsentState_.reset();
    // A record in flight is sent again by the client itself.
    sendNextRecord();
    if (offlineAsked_ && !offlineId_) goOffline();
}

void StationPublisher::connectionLost(const MqttLoss& loss) {
    connected_ = false;
    linkFailed_ = true;
    lastLossCutShort_ = loss.cutShort;
    const std::string reason = loss.cutShort && loss.byBroker ? cutShortCause() : loss.reason;
    if (reason == reportedLink_) return;  // said already: once per change, not once per try
    reportedLink_ = reason;
    face_.setProblem(Problem{ProblemKey::StationLink, {}, brokerName_, reason});
}

void StationPublisher::connectionSteady() {
    watching_ = false;  // a connection that lasts is not watched further: the list stays short
    handed_.clear();
    lastLossCutShort_ = false;
    clearLink();
}

void StationPublisher::clearLink() {
    face_.clearProblem(ProblemKey::StationLink);
    reportedLink_.clear();
}

std::string StationPublisher::cutShortCause() const {
    // A broker takes packets in order: the first one it did not acknowledge is the one it refused,
    // and a size limit is the likely cause only when that packet is larger than every one it took.
    for (const auto& h : handed_) {
        if (h.acked) continue;
        if (largestTaken_ > 0 && h.bytes > largestTaken_)
            return "the broker closed the connection right after the " +
                   integerText(static_cast<std::int64_t>(h.bytes)) + "-byte " + h.kind +
                   " message: check its max_packet_size";
        break;
    }
    return "the broker closed the connection right after accepting it";
}

void StationPublisher::delivered(int messageId) {
    for (auto& h : handed_) {
        if (h.id != messageId) continue;
        h.acked = true;
        largestTaken_ = std::max(largestTaken_, h.bytes);
    }
    if (offlineId_ && *offlineId_ == messageId) {
        offlineAcked_ = true;
        return;
    }
    if (!inFlight_ || *inFlight_ != messageId) return;  // discovery and status messages
    inFlight_.reset();
    records_.pop_front();
    sendNextRecord();
}

void StationPublisher::goOffline() {
    offlineAsked_ = true;
    if (!connected_) return;
    const int id = client_.publish(MqttMessage{topic("status"), "offline", 1, true});
    if (id >= 0) offlineId_ = id;
}

bool StationPublisher::idle() const {
    const bool offlineDone = !offlineAsked_ || offlineAcked_;
    return records_.empty() && !unsentState_ && offlineDone;
}

}  // namespace ravelin
