#include "outputs/station_publisher.h"

#include <cstdio>

#include "engine/convert.h"
#include "outputs/csv_log.h"

namespace ravelin {

namespace {
const char* kMicroSievertsPerHour = "\xC2\xB5Sv/h";  // MICRO SIGN, as Home Assistant shows the unit

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

std::string BrokerUrl::text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tls ? "mqtts://" : "mqtt://") + (v6 ? "[" + host + "]" : host) + ":" + integerText(port);
}

std::optional<BrokerUrl> parseBrokerUrl(const std::string& url) {
    BrokerUrl b;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        b.tls = true;
        b.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();  // "mqtt://host/" names the same broker
    std::string portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos) return std::nullopt;
        b.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
            if (portText.empty()) return std::nullopt;
        }
    } else {
        const auto colon = rest.find(':');
        b.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            portText = rest.substr(colon + 1);
            if (portText.empty()) return std::nullopt;
        }
    }
    if (b.host.empty()) return std::nullopt;
    for (const char c : b.host) {
        // No user info, path, query or blanks: credentials come from their own options.
        if (c == '@' || c == '/' || c == '?' || c == '#' || static_cast<unsigned char>(c) <= ' ') return std::nullopt;
    }
    if (!portText.empty()) {
        if (portText.size() > 5) return std::nullopt;
        for (const char c : portText)
            if (!isDigit(c)) return std::nullopt;
        const int port = std::stoi(portText);
        if (port < 1 || port > 65535) return std::nullopt;
        b.port = port;
    }
    return b;
}

std::string topicPrefixError(const std::string& prefix) {
    if (prefix.empty()) return "the topic prefix is empty";
    if (prefix.find_first_of("+#") != std::string::npos) return "a topic prefix cannot hold '+' or '#'";
    if (prefix.find('\0') != std::string::npos) return "a topic prefix cannot hold a NUL";
    if (prefix.front() == '/' || prefix.back() == '/') return "a topic prefix cannot begin or end with '/'";
    if (prefix.front() == '$') return "topics beginning with '$' belong to the broker";
    if (prefix.size() > 1000) return "the topic prefix is too long";
    return {};
}

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
