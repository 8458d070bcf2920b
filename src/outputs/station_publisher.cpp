#include "outputs/station_publisher.h"

#include "engine/convert.h"
#include "outputs/station_messages.h"

namespace ravelin {

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
    if (stateExtra_) payload.insert(payload.size() - 1, "," + stateExtra_());
    if (connected_ && client_.publish(MqttMessage{topic("state"), payload, 0, true}) >= 0) {
        unsentState_.reset();
        return;
    }
    unsentState_ = std::move(payload);
}

void StationPublisher::recordDue(const LogRecord& record, bool) {
    records_.push_back(recordPayload(record, clock_.utcNow()));
    if (records_.size() > config_.maxKept) {
        // The record in flight belongs to the client now; the oldest one still here goes.
        records_.erase(records_.begin() + (inFlight_ ? 1 : 0));
        ++dropped_;
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
    const int id = client_.publish(MqttMessage{topic("record"), records_.front(), 1, false});
    if (id >= 0) inFlight_ = id;
}

void StationPublisher::connected() {
    connected_ = true;
    linkFailed_ = false;
    face_.clearProblem(ProblemKey::StationLink);
    client_.publish(MqttMessage{topic("status"), "online", 1, true});
    for (const auto& m : discoveryMessages(config_)) client_.publish(m);
    if (unsentState_ && client_.publish(MqttMessage{topic("state"), *unsentState_, 0, true}) >= 0)
        unsentState_.reset();
    // A record in flight is sent again by the client itself.
    sendNextRecord();
    if (offlineAsked_ && !offlineId_) goOffline();
}

void StationPublisher::connectionLost(const std::string& reason) {
    connected_ = false;
    linkFailed_ = true;
    face_.setProblem(Problem{ProblemKey::StationLink, {}, brokerName_, reason});
}

void StationPublisher::delivered(int messageId) {
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
