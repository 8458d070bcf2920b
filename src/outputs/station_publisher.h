// Station mode: the readings of every second and the per-minute records, published
// to an MQTT broker with Home Assistant discovery. The network client sits behind
// MqttClient; nothing here waits on the network.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/face.h"
#include "engine/pipeline.h"
#include "engine/services.h"
#include "outputs/mqtt_client.h"
#include "outputs/station_messages.h"

namespace ravelin {

class StationPublisher : public PipelineObserver, public MqttClientEvents {
public:
    // Problems (the broker unreachable, records dropped) go to `face`; `brokerName` names the broker in them.
    StationPublisher(MqttClient& client, const UtcClock& clock, MonitorFace& face, StationConfig config,
                     std::string brokerName);

    // More members for each state message, `"name":value` pairs (the public maps' states);
    // without it the state message is as it always was.
    void setStateExtra(std::function<std::string()> extra) { stateExtra_ = std::move(extra); }

    // Sets the last will and starts the connection.
    void start();

    void secondDone(const SecondReport& report) override;
    void recordDue(const LogRecord& record, bool logged) override;

    void connected() override;
    void connectionLost(const MqttLoss& loss) override;
    void connectionSteady() override;
    void delivered(int messageId) override;

    // Publishes "offline" before a clean disconnect (the will covers only a lost connection).
    void goOffline();

    bool isConnected() const { return connected_; }
    // Nothing left to deliver: no record kept, the latest state sent, "offline" acknowledged if asked for.
    bool idle() const;
    std::size_t keptRecords() const { return records_.size(); }
    // Every record of the run had the CSV log ticked, so the log holds what the broker did not get.
    bool everyRecordLogged() const { return everyRecordLogged_; }
    std::uint64_t droppedRecords() const { return dropped_; }
    // Of those, the ones dropped after the broker was found unreachable; the rest came faster than it took them.
    std::uint64_t droppedUnreachable() const { return droppedUnreachable_; }
    bool linkFailed() const { return linkFailed_; }

    std::string topic(const char* leaf) const { return config_.prefix + "/" + leaf; }

private:
    // A message handed to the client on the current connection, for telling why the broker cut it.
    struct Handed {
        int id;
        std::string topic;
        const char* kind;
        std::size_t bytes;
        bool acked;
    };

    void sendNextRecord();
    int send(const MqttMessage& message, const char* kind);
    std::string cutShortCause() const;
    void clearLink();

    MqttClient& client_;
    const UtcClock& clock_;
    MonitorFace& face_;
    StationConfig config_;
    std::string brokerName_;
    bool connected_ = false;
    bool linkFailed_ = false;
    // Records waiting for the broker, oldest first; the front one is in flight when inFlight_ is set.
    std::deque<std::string> records_;
    std::optional<int> inFlight_;
    std::optional<std::string> unsentState_;  // only the latest state matters
    std::function<std::string()> stateExtra_;
    std::uint64_t dropped_ = 0;
    std::uint64_t droppedUnreachable_ = 0;
    bool everyRecordLogged_ = true;
    std::vector<Handed> handed_;
    bool watching_ = false;         // handed_ is kept from connecting until the connection is steady
    std::size_t largestTaken_ = 0;  // the largest packet this broker acknowledged in the run
    bool lastLossCutShort_ = false;
    std::string reportedLink_;  // the link problem said last; empty when none stands
    bool offlineAsked_ = false;
    std::optional<int> offlineId_;
    bool offlineAcked_ = false;
};

}  // namespace ravelin
