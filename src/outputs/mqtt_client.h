// The network side of station mode: an MQTT connection that never blocks its caller,
// with a real back end on libmosquitto (platform/) and a test double (tests/).
#pragma once

#include <string>

namespace ravelin {

struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 0;
    bool retain = false;
};

// How a connection ended, as far as the client can tell.
struct MqttLoss {
    std::string reason;  // in words
    // The broker had accepted the connection and it ended within a few seconds.
    bool cutShort = false;
    // The broker closed it (not a time-out, nor the client dropping it).
    bool byBroker = false;
};

// What the client reports, always on the thread the pipeline runs on.
class MqttClientEvents {
public:
    virtual ~MqttClientEvents() = default;
    // The broker accepted the connection.
    virtual void connected() = 0;
    // A connection attempt failed or an open connection was lost; the client retries by itself.
    virtual void connectionLost(const MqttLoss& loss) = 0;
    // The connection has lasted long enough to count as working (the back-off starts afresh).
    virtual void connectionSteady() {}
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

}  // namespace ravelin
