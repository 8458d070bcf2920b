#include "outputs/station_messages.h"

#include <cstdio>

#include "engine/convert.h"

namespace ravelin {

namespace {
const char* kMicroSievertsPerHour = "\xC2\xB5Sv/h";  // MICRO SIGN, as Home Assistant shows the unit

// Discovery ids allow only [a-zA-Z0-9_-].
std::string nodeId(const std::string& prefix) {
    std::string id;
    for (const char c : prefix) {
        const bool ok = isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
        id += ok ? c : '_';
    }
    return id;
}
}  // namespace

std::string utcTimeText(const LocalDateTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

std::string jsonNumber(const std::string& text) {
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && text[i] == '-') ++i;
    if (i >= n || !isDigit(text[i])) return "null";
    if (text[i] == '0') {
        ++i;
    } else {
        while (i < n && isDigit(text[i])) ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        if (i >= n || !isDigit(text[i])) return "null";
        while (i < n && isDigit(text[i])) ++i;
    }
    return i == n ? text : "null";
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string statePayload(const SecondReport& r, const LocalDateTime& utc) {
    const ReadingIntervalTexts interval = intervalTexts(r.interval);
    return "{\"time\":\"" + utcTimeText(utc) + "\",\"seconds\":" + integerText(r.seconds) +
           ",\"total\":" + integerText(r.total) + ",\"cpm\":" + jsonNumber(cpmText(r)) +
           ",\"usv_h\":" + jsonNumber(doseText(r)) + ",\"alarm1\":" + (r.alarmLatch1 != 0 ? "true" : "false") +
           ",\"alarm2\":" + (r.alarmLatch2 != 0 ? "true" : "false") + ",\"cpm_low\":" + jsonNumber(interval.cpmLow) +
           ",\"cpm_high\":" + jsonNumber(interval.cpmHigh) + ",\"usv_h_low\":" + jsonNumber(interval.doseLow) +
           ",\"usv_h_high\":" + jsonNumber(interval.doseHigh) + "}";
}

std::string recordPayload(const LogRecord& record, const LocalDateTime& utc) {
    return "{\"time\":\"" + utcTimeText(utc) + "\",\"date\":" + jsonString(record.date) +
           ",\"clock\":" + jsonString(record.clock) + ",\"usv_h\":" + jsonNumber(record.doseText) + "}";
}

std::vector<MqttMessage> discoveryMessages(const StationConfig& c) {
    const std::string node = nodeId(c.prefix);
    const std::string common =
        ",\"state_topic\":" + jsonString(c.prefix + "/state") +
        ",\"availability_topic\":" + jsonString(c.prefix + "/status") +
        ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"" +
        ",\"device\":{\"identifiers\":[" + jsonString(node) + "],\"name\":" + jsonString(c.deviceName) +
        ",\"manufacturer\":\"Ravelin\",\"model\":\"GM counter station\",\"sw_version\":" + jsonString(c.version) +
        "}}";
    struct Entity {
        const char* component;
        const char* object;
        const char* name;
        std::string fields;
    };
    const Entity entities[] = {
        {"sensor", "cpm", "CPM",
         ",\"value_template\":\"{{ value_json.cpm }}\",\"unit_of_measurement\":\"CPM\","
         "\"state_class\":\"measurement\",\"icon\":\"mdi:pulse\""},
        {"sensor", "dose_rate", "Dose rate",
         std::string(",\"value_template\":\"{{ value_json.usv_h }}\",\"unit_of_measurement\":\"") +
             kMicroSievertsPerHour + "\",\"state_class\":\"measurement\",\"icon\":\"mdi:radioactive\"" +
             ",\"json_attributes_topic\":" + jsonString(c.prefix + "/state") +
             ",\"json_attributes_template\":\"{{ {'cpm_low': value_json.cpm_low, 'cpm_high': value_json.cpm_high, "
             "'usv_h_low': value_json.usv_h_low, 'usv_h_high': value_json.usv_h_high} | tojson }}\""},
        {"binary_sensor", "alarm1", "Alarm stage 1",
         ",\"value_template\":\"{{ 'ON' if value_json.alarm1 else 'OFF' }}\",\"payload_on\":\"ON\","
         "\"payload_off\":\"OFF\",\"device_class\":\"safety\""},
        {"binary_sensor", "alarm2", "Alarm stage 2",
         ",\"value_template\":\"{{ 'ON' if value_json.alarm2 else 'OFF' }}\",\"payload_on\":\"ON\","
         "\"payload_off\":\"OFF\",\"device_class\":\"safety\""},
    };
    std::vector<MqttMessage> out;
    for (const auto& e : entities) {
        MqttMessage m;
        m.topic = std::string("homeassistant/") + e.component + "/" + node + "/" + e.object + "/config";
        m.payload = "{\"name\":" + jsonString(e.name) + ",\"unique_id\":" + jsonString(node + "_" + e.object) +
                    e.fields + common;
        m.qos = 1;
        m.retain = true;
        out.push_back(std::move(m));
    }
    return out;
}

void addToState(std::string& payload, const std::string& member) {
    if (!payload.empty() && payload.back() == '}') payload.insert(payload.size() - 1, "," + member);
}

}  // namespace ravelin
