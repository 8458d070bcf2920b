// Station mode: the readings of every second and the per-minute records, published
// to an MQTT broker with Home Assistant discovery. The network client sits behind
// MqttClient; nothing here waits on the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/face.h"
#include "engine/pipeline.h"
#include "engine/services.h"

namespace ravelin {

struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 0;
    bool retain = false;
};

// What the client reports, always on the thread the pipeline runs on.
class MqttClientEvents {
public:
    virtual ~MqttClientEvents() = default;
    // The broker accepted the connection.
    virtual void connected() = 0;
    // A connection attempt failed or an open connection was lost; the client retries by itself.
    virtual void connectionLost(const std::string& reason) = 0;
    // The broker acknowledged the QoS 1 message with this id.
    virtual void delivered(int messageId) = 0;
};

// An MQTT connection that never blocks its caller.
class MqttClient {
public:
    virtual ~MqttClient() = default;
    virtual void setEvents(MqttClientEvents* events) = 0;
    // Starts connecting in the background, with `will` as the last will, and keeps
    // reconnecting with backoff until stop().
    virtual void start(const MqttMessage& will) = 0;
    // Hands a message over. A QoS 1 message is kept until the broker acknowledges it,
    // across reconnections, and its id is returned; -1 when the message was not taken
    // (QoS 0 while disconnected, or a message the client cannot send).
    virtual int publish(const MqttMessage& message) = 0;
    // Disconnects cleanly (the will is not sent) and stops retrying.
    virtual void stop() = 0;
};

// The clock of the messages' time stamps, in UTC.
class UtcClock {
public:
    virtual ~UtcClock() = default;
    virtual LocalDateTime utcNow() const = 0;
};

// A broker address from --mqtt.
struct BrokerUrl {
    bool tls = false;
    std::string host;
    int port = 1883;
    std::string text() const;  // mqtt://host:port, as reports name it
};

// mqtt://host[:port] or mqtts://host[:port] (IPv6 literals in brackets); nothing when malformed.
std::optional<BrokerUrl> parseBrokerUrl(const std::string& url);

// Empty when the prefix can head topics; otherwise why not.
std::string topicPrefixError(const std::string& prefix);

// "yyyy-MM-ddTHH:mm:ssZ"
std::string utcTimeText(const LocalDateTime& utc);

// The number text if it is a JSON number, else null: a readout is never sent as a broken document.
std::string jsonNumber(const std::string& text);

// A JSON string literal, quotes included.
std::string jsonString(const std::string& text);

// The payloads, byte for byte.
std::string statePayload(const SecondReport& report, const LocalDateTime& utc);
std::string recordPayload(const LogRecord& record, const LocalDateTime& utc);

struct StationConfig {
    std::string prefix;          // topics are prefix + "/state", "/record", "/status"
    std::string deviceName;      // the station's name in Home Assistant
    std::string version;         // the program's version, shown on the device entry
    std::size_t maxKept = 1440;  // records kept while they cannot be delivered
};

// The Home Assistant discovery configs (retained): CPM and dose-rate sensors, two alarm binary sensors.
std::vector<MqttMessage> discoveryMessages(const StationConfig& config);

class StationPublisher : public PipelineObserver, public MqttClientEvents {
public:
    // Problems (the broker unreachable, records dropped) go to `face`; `brokerName` names the broker in them.
    StationPublisher(MqttClient& client, const UtcClock& clock, MonitorFace& face, StationConfig config,
                     std::string brokerName);

    // Sets the last will and starts the connection.
    void start();

    void secondDone(const SecondReport& report) override;
    void recordDue(const LogRecord& record, bool logged) override;

    void connected() override;
    void connectionLost(const std::string& reason) override;
    void delivered(int messageId) override;

    // Publishes "offline" before a clean disconnect (the will covers only a lost connection).
    void goOffline();

    bool isConnected() const { return connected_; }
    // Nothing left to deliver: no record kept, the latest state sent, "offline" acknowledged if asked for.
    bool idle() const;
    std::size_t keptRecords() const { return records_.size(); }
    std::uint64_t droppedRecords() const { return dropped_; }
    bool linkFailed() const { return linkFailed_; }

    std::string topic(const char* leaf) const { return config_.prefix + "/" + leaf; }

private:
    void sendNextRecord();

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
    std::uint64_t dropped_ = 0;
    bool offlineAsked_ = false;
    std::optional<int> offlineId_;
    bool offlineAcked_ = false;
};

}  // namespace ravelin
