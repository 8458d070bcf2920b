// An MQTT client in memory that behaves as the real one does across reconnections:
// QoS 1 messages not yet acknowledged are kept and sent again after the next connect.
#pragma once

#include <string>
#include <vector>

#include "outputs/station_publisher.h"

namespace ravelin::test {

class FakeMqttClient : public MqttClient {
public:
    struct Sent {
        MqttMessage message;
        int id;
        bool acked = false;
    };

    void setEvents(MqttClientEvents* events) override { events_ = events; }
    void start(const MqttMessage& will) override {
        started = true;
        this->will = will;
    }
    int publish(const MqttMessage& m) override {
        if (m.qos == 0 && !up) return -1;
        const int id = nextId++;
        sent.push_back({m, id});
        if (up) wire.push_back(m);
        return id;
    }
    void stop() override { stopped = true; }

    // The broker accepts the connection: unacknowledged QoS 1 messages go out again, in order.
    void connect() {
        up = true;
        for (const auto& s : sent)
            if (s.message.qos == 1 && !s.acked) wire.push_back(s.message);
        events_->connected();
    }
    void lose(const std::string& reason = "Connection refused") {
        up = false;
        events_->connectionLost(MqttLoss{reason});
    }
    // The broker takes the connection and closes it right away, after acknowledging the first `acks` messages.
    void connectAndCut(std::size_t acks) {
        connect();
        for (std::size_t i = 0; i < sent.size() && acks > 0; ++i) {
            if (sent[i].message.qos == 1 && !sent[i].acked) {
                sent[i].acked = true;
                --acks;
                events_->delivered(sent[i].id);
            }
        }
        up = false;
        events_->connectionLost(MqttLoss{"The connection was lost.", true, true});
    }
    void steady() { events_->connectionSteady(); }
    // The broker acknowledges every QoS 1 message outstanding, oldest first.
    void ackAll() {
        for (std::size_t i = 0; i < sent.size(); ++i) {
            if (sent[i].message.qos == 1 && !sent[i].acked && up) {
                sent[i].acked = true;
                events_->delivered(sent[i].id);
            }
        }
    }

    // The payloads the broker received on a topic, in order.
    std::vector<std::string> onWire(const std::string& topic) const {
        std::vector<std::string> out;
        for (const auto& m : wire)
            if (m.topic == topic) out.push_back(m.payload);
        return out;
    }

    bool up = false, started = false, stopped = false;
    MqttMessage will;
    std::vector<Sent> sent;
    std::vector<MqttMessage> wire;
    int nextId = 1;

private:
    MqttClientEvents* events_ = nullptr;
};

}  // namespace ravelin::test
