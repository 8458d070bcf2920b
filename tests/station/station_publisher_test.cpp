#include <gtest/gtest.h>

#include <limits>

#include "fake_mqtt_client.h"
#include "outputs/broker_url.h"
#include "outputs/csv_log.h"
#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
class FixedUtcClock : public UtcClock {
public:
    LocalDateTime time{2024, 5, 1, 3, 4, 5};
    LocalDateTime utcNow() const override { return time; }
};

SecondReport report(std::int32_t seconds, float dose = 0.138f, std::int16_t latch1 = 0, std::int16_t latch2 = 0) {
    return SecondReport{seconds, 1234, 23, dose, true, latch1, latch2};
}

LogRecord record(const std::string& clock, const std::string& dose = "0.25") {
    return LogRecord{"data/x.csv", "2024/05/01", clock, dose};
}

struct Station {
    FakeMqttClient client;
    FixedUtcClock clock;
    FakeFace face;
    StationPublisher publisher;
    explicit Station(std::size_t maxKept = 1440)
        : publisher(client, clock, face, StationConfig{"ravelin/host1", "Ravelin host1", "1.4.0", maxKept},
                    "mqtt://broker:1883") {
        publisher.start();
    }
    // The record payloads the broker received, by their "clock".
    std::vector<std::string> recordClocks() const {
        std::vector<std::string> out;
        for (const auto& p : client.onWire("ravelin/host1/record")) {
            const auto at = p.find("\"clock\":\"") + 9;
            out.push_back(p.substr(at, 5));
        }
        return out;
    }
};

const MqttMessage* findSent(const FakeMqttClient& c, const std::string& topic) {
    for (const auto& s : c.sent)
        if (s.message.topic == topic) return &s.message;
    return nullptr;
}
}  // namespace

TEST(BrokerUrl, AcceptsHostsPortsAndTlsAndRefusesTheRest) {
    auto u = parseBrokerUrl("mqtt://broker.local");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->host, "broker.local");
    EXPECT_EQ(u->port, 1883);
    EXPECT_FALSE(u->tls);
    u = parseBrokerUrl("mqtts://10.0.0.2:8884");
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->tls);
    EXPECT_EQ(u->port, 8884);
    EXPECT_EQ(parseBrokerUrl("mqtts://h")->port, 8883);
    u = parseBrokerUrl("mqtt://[::1]:1999");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->host, "::1");
    EXPECT_EQ(u->text(), "mqtt://[::1]:1999");
    for (const char* bad : {"", "broker", "http://h", "mqtt://", "mqtt://:1883", "mqtt://h:", "mqtt://h:0",
                            "mqtt://h:65536", "mqtt://h:12x", "mqtt://user:pw@h", "mqtt://h/topic", "mqtt://[::1",
                            "mqtt://h h"})
        EXPECT_FALSE(parseBrokerUrl(bad)) << bad;
}

TEST(TopicPrefix, RefusesWildcardsAndEdgeSlashes) {
    EXPECT_EQ(topicPrefixError("ravelin/host1"), "");
    for (const char* bad : {"", "a/+/b", "a/#", "/a", "a/", "$SYS/x"}) EXPECT_NE(topicPrefixError(bad), "") << bad;
}

TEST(StationPayloads, StateAndRecordBytesUseTheReadoutTexts) {
    const LocalDateTime utc{2024, 5, 1, 3, 4, 5};
    EXPECT_EQ(statePayload(report(60, 0.138f, 1, 0), utc),
              R"({"time":"2024-05-01T03:04:05Z","seconds":60,"total":1234,"cpm":23,"usv_h":0.138,)"
              R"("alarm1":true,"alarm2":false,"cpm_low":null,"cpm_high":null,"usv_h_low":null,"usv_h_high":null})");
    // The interval of the reading follows the readouts' fields; an unbounded end is null.
    SecondReport withInterval = report(60);
    withInterval.interval = ReadingInterval{17.5, 30.1, 0.02430556, std::numeric_limits<double>::infinity()};
    EXPECT_EQ(statePayload(withInterval, utc),
              R"({"time":"2024-05-01T03:04:05Z","seconds":60,"total":1234,"cpm":23,"usv_h":0.138,)"
              R"("alarm1":false,"alarm2":false,"cpm_low":17.5,"cpm_high":30.1,"usv_h_low":0.02430556,"usv_h_high":null})");
    EXPECT_EQ(recordPayload(record("12:34", "0.2"), utc),
              R"({"time":"2024-05-01T03:04:05Z","date":"2024/05/01","clock":"12:34","usv_h":0.2})");
    // A readout that is not a JSON number never breaks the document.
    for (const char* bad : {"", "1.", ".5", "01", "1e5", "NaN", "0.1 ", "--1"}) EXPECT_EQ(jsonNumber(bad), "null") << bad;
    for (const char* good : {"0", "-3", "0.25", "340282300000000000000000000000000000000"})
        EXPECT_EQ(jsonNumber(good), good);
    EXPECT_EQ(jsonString("a\"b\\c\n"), R"("a\"b\\c\u000a")");
}

TEST(StationPublisher, ConnectPublishesStatusDiscoveryAndTheWillIsOffline) {
    Station s;
    EXPECT_TRUE(s.client.started);
    EXPECT_EQ(s.client.will.topic, "ravelin/host1/status");
    EXPECT_EQ(s.client.will.payload, "offline");
    EXPECT_TRUE(s.client.will.retain);
    s.client.connect();
    const MqttMessage* status = findSent(s.client, "ravelin/host1/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->payload, "online");
    EXPECT_TRUE(status->retain);

    const char* configs[] = {"homeassistant/sensor/ravelin_host1/cpm/config",
                             "homeassistant/sensor/ravelin_host1/dose_rate/config",
                             "homeassistant/binary_sensor/ravelin_host1/alarm1/config",
                             "homeassistant/binary_sensor/ravelin_host1/alarm2/config"};
    for (const char* topic : configs) {
        const MqttMessage* m = findSent(s.client, topic);
        ASSERT_TRUE(m) << topic;
        EXPECT_TRUE(m->retain);
        EXPECT_NE(m->payload.find(R"("state_topic":"ravelin/host1/state")"), std::string::npos);
        EXPECT_NE(m->payload.find(R"("availability_topic":"ravelin/host1/status")"), std::string::npos);
        EXPECT_NE(m->payload.find(R"("device":{"identifiers":["ravelin_host1"],"name":"Ravelin host1")"),
                  std::string::npos);
    }
    const std::string dose = findSent(s.client, configs[1])->payload;
    EXPECT_NE(dose.find("\"unit_of_measurement\":\"\xC2\xB5Sv/h\""), std::string::npos);
    EXPECT_NE(dose.find(R"("state_class":"measurement")"), std::string::npos);
    EXPECT_NE(dose.find(R"("value_template":"{{ value_json.usv_h }}")"), std::string::npos);
    EXPECT_NE(dose.find(R"("json_attributes_topic":"ravelin/host1/state")"), std::string::npos);
    EXPECT_NE(dose.find(R"("json_attributes_template":"{{ {'cpm_low': value_json.cpm_low, 'cpm_high': )"
                        R"(value_json.cpm_high, 'usv_h_low': value_json.usv_h_low, 'usv_h_high': )"
                        R"(value_json.usv_h_high} | tojson }}")"),
              std::string::npos);
    EXPECT_NE(findSent(s.client, configs[2])->payload.find("value_json.alarm1"), std::string::npos);
}

TEST(StationPublisher, StatesAreRetainedQos0AndOnlyTheLatestWaitsForTheBroker) {
    Station s;
    s.publisher.secondDone(report(1, 0.1f));
    s.publisher.secondDone(report(2, 0.2f));
    s.publisher.secondDone(report(3, 0.3f));
    EXPECT_TRUE(s.client.sent.empty());  // nothing offered while down
    EXPECT_FALSE(s.publisher.idle());
    s.client.connect();
    auto states = s.client.onWire("ravelin/host1/state");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_NE(states[0].find("\"seconds\":3,"), std::string::npos);
    s.publisher.secondDone(report(4));
    states = s.client.onWire("ravelin/host1/state");
    ASSERT_EQ(states.size(), 2u);
    const MqttMessage* m = findSent(s.client, "ravelin/host1/state");
    EXPECT_EQ(m->qos, 0);
    EXPECT_TRUE(m->retain);
    // A lost link: the states of the gap are not queued.
    s.client.lose();
    for (int i = 5; i <= 9; ++i) s.publisher.secondDone(report(i));
    s.client.connect();
    states = s.client.onWire("ravelin/host1/state");
    ASSERT_EQ(states.size(), 3u);
    EXPECT_NE(states[2].find("\"seconds\":9,"), std::string::npos);
}

TEST(StationPublisher, RecordsAreQos1NotRetainedOneInFlightInOrder) {
    Station s;
    s.client.connect();
    s.publisher.recordDue(record("00:01"), true);
    s.publisher.recordDue(record("00:02"), false);  // published whether or not the CSV box is ticked
    const MqttMessage* m = findSent(s.client, "ravelin/host1/record");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->qos, 1);
    EXPECT_FALSE(m->retain);
    EXPECT_EQ(s.recordClocks(), (std::vector<std::string>{"00:01"}));  // the second waits for the first's ack
    s.client.ackAll();
    EXPECT_EQ(s.recordClocks(), (std::vector<std::string>{"00:01", "00:02"}));
    EXPECT_TRUE(s.publisher.idle());
}

TEST(StationPublisher, RecordsKeptWhileDownArriveInOrderAndARedeliveryRepeatsOnlyItself) {
    Station s;
    s.publisher.recordDue(record("00:01"), true);  // broker down at start
    s.client.connect();
    s.client.ackAll();
    s.publisher.recordDue(record("00:02"), true);  // in flight when the link goes
    s.client.lose();
    EXPECT_TRUE(s.face.hasProblem(ProblemKey::StationLink));
    EXPECT_EQ(s.face.problems[ProblemKey::StationLink].detail, "mqtt://broker:1883");
    EXPECT_EQ(s.face.problems[ProblemKey::StationLink].reason, "Connection refused");
    s.publisher.recordDue(record("00:03"), true);
    s.publisher.recordDue(record("00:04"), true);
    EXPECT_EQ(s.publisher.keptRecords(), 3u);
    s.client.connect();
    EXPECT_FALSE(s.face.hasProblem(ProblemKey::StationLink));
    s.client.ackAll();
    // 00:02 went out before the loss and again after it: a repeat right after itself.
    EXPECT_EQ(s.recordClocks(), (std::vector<std::string>{"00:01", "00:02", "00:02", "00:03", "00:04"}));
    EXPECT_TRUE(s.publisher.idle());
    EXPECT_TRUE(s.publisher.everyRecordLogged());
    s.publisher.recordDue(record("00:05"), false);  // a minute with the CSV log unticked
    EXPECT_FALSE(s.publisher.everyRecordLogged()) << "the exit's count no longer says the log has them";
}

TEST(StationPublisher, OverflowDropsTheOldestWithAReport) {
    Station s(3);
    s.client.connect();
    s.publisher.recordDue(record("00:01"), true);  // in flight: the client holds it
    s.client.lose();
    for (const char* c : {"00:02", "00:03", "00:04", "00:05"}) s.publisher.recordDue(record(c), true);
    EXPECT_EQ(s.publisher.keptRecords(), 3u);
    EXPECT_EQ(s.publisher.droppedRecords(), 2u);
    ASSERT_TRUE(s.face.hasProblem(ProblemKey::StationRecordsDropped));
    // Said at the first drop: one dropped, of a limit of 3.
    EXPECT_EQ(s.face.problems[ProblemKey::StationRecordsDropped].detail, "1");
    EXPECT_EQ(s.face.problems[ProblemKey::StationRecordsDropped].reason, "3");
    s.client.connect();
    s.client.ackAll();
    EXPECT_EQ(s.recordClocks(), (std::vector<std::string>{"00:01", "00:01", "00:04", "00:05"}));
}

TEST(StationPublisher, GoingOfflineWaitsForItsAcknowledgement) {
    Station s;
    s.client.connect();
    s.client.ackAll();
    s.publisher.goOffline();
    EXPECT_FALSE(s.publisher.idle());
    EXPECT_EQ(s.client.onWire("ravelin/host1/status").back(), "offline");
    s.client.ackAll();
    EXPECT_TRUE(s.publisher.idle());
}

TEST(StationPublisher, FollowsARealPipelineRecordForRecordWithTheCsvLine) {
    Rig rig;
    FakeMqttClient client;
    FixedUtcClock utc;
    StationPublisher publisher(client, utc, rig.face, StationConfig{"p", "d", "v"}, "b");
    rig.monitor.pipeline().addObserver(&publisher);
    publisher.start();
    client.connect();
    ASSERT_TRUE(rig.start("120"));
    for (int i = 0; i < 120; ++i) rig.secondWithPulses(i % 4);
    client.ackAll();
    const auto records = client.onWire("p/record");
    ASSERT_EQ(records.size(), 2u);
    std::string csv;
    for (const auto& [path, bytes] : rig.files.files)
        if (path.size() > 4 && path.substr(path.size() - 4) == ".csv") csv = bytes;
    const std::string firstLine = csv.substr(0, csv.find("\r\n"));
    // "2012/03/05","09:41",0.25 -> the same date, clock and dose text
    const std::string dose = firstLine.substr(firstLine.rfind(',') + 1);
    EXPECT_EQ(records[0], R"({"time":"2024-05-01T03:04:05Z","date":"2012/03/05","clock":"09:41","usv_h":)" + dose + "}");
    const auto states = client.onWire("p/state");
    ASSERT_EQ(states.size(), 120u);
    EXPECT_NE(states.back().find("\"seconds\":120,\"total\":" + rig.face.text(Box::Text2) +
                                 ",\"cpm\":" + rig.face.text(Box::Text6) + ",\"usv_h\":" + rig.face.text(Box::Text8)),
              std::string::npos);
}

namespace {
// Counts what the station says, to check that a fault repeated at each try is said once.
class CountingFace : public FakeFace {
public:
    void setProblem(const Problem& p) override {
        ++said;
        FakeFace::setProblem(p);
    }
    int said = 0;
};

struct CutStation {
    FakeMqttClient client;
    FixedUtcClock clock;
    CountingFace face;
    StationPublisher publisher{client, clock, face, StationConfig{"ravelin/host1", "Ravelin host1", "1.4.0", 3},
                               "mqtt://broker:1883"};
    CutStation() { publisher.start(); }
    std::size_t handedOver(const std::string& topic) const {
        std::size_t n = 0;
        for (const auto& s : client.sent) n += s.message.topic == topic;
        return n;
    }
};
}  // namespace

TEST(StationPublisher, ABrokerCuttingEveryConnectionIsNamedOnceWithTheMessageItRefused) {
    CutStation s;
    const std::string discovery = "homeassistant/sensor/ravelin_host1/cpm/config";
    // The broker takes "online" and closes the connection at the first discovery config, five times over.
    for (int i = 0; i < 5; ++i) s.client.connectAndCut(i == 0 ? 1 : 0);
    EXPECT_EQ(s.face.said, 1);
    ASSERT_TRUE(s.face.hasProblem(ProblemKey::StationLink));
    const MqttMessage* refused = findSent(s.client, discovery);
    ASSERT_TRUE(refused);
    // Its MQTT packet: type byte, a two-byte length, topic with its length, packet id, payload.
    const std::size_t bytes = 1 + 2 + 2 + refused->topic.size() + 2 + refused->payload.size();
    EXPECT_EQ(s.face.problems[ProblemKey::StationLink].reason,
              "the broker closed the connection right after the " + std::to_string(bytes) +
                  "-byte discovery message: check its max_packet_size");
    // The client holds the unacknowledged configs and "online"; no new copy is handed over at each try.
    EXPECT_EQ(s.handedOver(discovery), 1u);
    EXPECT_EQ(s.handedOver("ravelin/host1/status"), 2u);
    // A connection that lasts clears the problem; only then does a new cut count as news.
    s.client.connect();
    EXPECT_TRUE(s.face.hasProblem(ProblemKey::StationLink));
    s.client.steady();
    EXPECT_FALSE(s.face.hasProblem(ProblemKey::StationLink));
    s.client.ackAll();
    s.client.connectAndCut(0);
    EXPECT_EQ(s.face.said, 2);
    EXPECT_EQ(s.face.problems[ProblemKey::StationLink].reason,
              "the broker closed the connection right after accepting it");
}

TEST(StationPublisher, AnOrdinaryOutageIsSaidOnceAndClearedOnReconnecting) {
    CutStation s;
    s.client.lose();
    s.client.lose();
    EXPECT_EQ(s.face.said, 1);
    EXPECT_EQ(s.face.problems[ProblemKey::StationLink].reason, "Connection refused");
    s.client.connect();
    EXPECT_FALSE(s.face.hasProblem(ProblemKey::StationLink));
    s.client.lose();
    EXPECT_EQ(s.face.said, 2);
}

TEST(StationPublisher, RecordsDroppedBeforeAnyFailureAreNotBlamedOnAnUnreachableBroker) {
    CutStation s;  // keeps 3
    s.client.connect();
    for (const char* c : {"00:01", "00:02", "00:03", "00:04", "00:05"}) s.publisher.recordDue(record(c), true);
    EXPECT_EQ(s.publisher.droppedRecords(), 2u);  // faster than acknowledged: the broker is there
    EXPECT_EQ(s.publisher.droppedUnreachable(), 0u);
    s.client.lose();
    s.publisher.recordDue(record("00:06"), true);
    EXPECT_EQ(s.publisher.droppedRecords(), 3u);
    EXPECT_EQ(s.publisher.droppedUnreachable(), 1u);
}
