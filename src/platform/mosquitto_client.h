// The MQTT client on libmosquitto: a thread of its own connects, reconnects with
// backoff and writes to the socket; its events come back on the creating thread.
#pragma once

#include <memory>
#include <string>

#include "outputs/broker_url.h"
#include "outputs/mqtt_client.h"

namespace ravelin {

struct MosquittoSettings {
    BrokerUrl broker;
    std::string caFile;  // mqtts:// without it: the system's CA store
    std::string user;    // empty: anonymous
    std::string password;
    std::string clientId;
};

// nullptr with the reason in `error` when the settings cannot be used (a CA file libmosquitto refuses).
// Its events arrive through the Qt event loop of the thread that created it.
std::unique_ptr<MqttClient> createMosquittoClient(const MosquittoSettings& settings, std::string& error);

}  // namespace ravelin
