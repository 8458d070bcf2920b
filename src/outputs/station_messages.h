// Station mode's messages, byte for byte: the state of each second, the per-minute
// record and the Home Assistant discovery configs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/log_record.h"
#include "engine/pipeline.h"
#include "engine/services.h"
#include "outputs/mqtt_client.h"

namespace ravelin {

// "yyyy-MM-ddTHH:mm:ssZ"
std::string utcTimeText(const LocalDateTime& utc);

// The number text if it is a JSON number, else null: a readout is never sent as a broken document.
std::string jsonNumber(const std::string& text);

// A JSON string literal, quotes included.
std::string jsonString(const std::string& text);

// The payloads, byte for byte.
std::string statePayload(const SecondReport& report, const LocalDateTime& utc);
// The state message with one more member (`"name":value`) after the others.
void addToState(std::string& payload, const std::string& member);
std::string recordPayload(const LogRecord& record, const LocalDateTime& utc);

struct StationConfig {
    std::string prefix;          // topics are prefix + "/state", "/record", "/status"
    std::string deviceName;      // the station's name in Home Assistant
    std::string version;         // the program's version, shown on the device entry
    std::size_t maxKept = 1440;  // records kept while they cannot be delivered
};

// The Home Assistant discovery configs (retained): CPM and dose-rate sensors, two alarm binary sensors.
std::vector<MqttMessage> discoveryMessages(const StationConfig& config);

}  // namespace ravelin
