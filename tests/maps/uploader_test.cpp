#include <gtest/gtest.h>

#include "fake_http_client.h"
#include "outputs/map_uploads.h"
#include "outputs/station_publisher.h"
#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
MapReading reading(int minute, const std::string& cpm = "23") {
    return MapReading{{2026, 12, 8, 10, minute, 0}, cpm, "0.12", "22.50"};
}

const SafecastAccount kSafecast{"http://127.0.0.1:9/measurements.json", "42", "KEY+/", "35.5", "-139.25"};

struct Sink : MapStatusSink {
    std::vector<MapStatus> told;
    void mapStateChanged(const MapStatus& s) override { told.push_back(s); }
};

struct SafecastRig {
    MemoryFileSystem fs;
    FakeHttpClient http;
    Sink sink;
    Outbox outbox{fs, "safecast.outbox", 100};
    OutboxUploader up{"Safecast", http, outbox,
                      [](const MapReading& r) { return safecastRequest(kSafecast, r, 30000); }, judgeSafecast, sink};
    // The minute of each request sent, in order.
    std::vector<int> minutesSent() const {
        std::vector<int> out;
        for (const auto& r : http.sent) out.push_back(std::stoi(r.body.substr(r.body.find("T10:") + 4, 2)));
        return out;
    }
};
}  // namespace

TEST(MapRequests, EachServiceGetsItsPublishedParameters) {
    const MapReading r = reading(7, "31");
    const HttpRequest radmon = radmonRequest({"https://radmon.org/radmon.php", "my station", "p&w"}, r, 50000);
    EXPECT_EQ(radmon.method, "GET");
    EXPECT_EQ(radmon.url, "https://radmon.org/radmon.php?function=submit&user=my%20station&password=p%26w&value=31"
                          "&unit=CPM&datetime=2026-12-08%2010%3A07%3A00");
    const HttpRequest gmc = gmcmapRequest({"http://www.GMCmap.com/log2.asp", "12", "345"}, r, 50000);
    EXPECT_EQ(gmc.url, "http://www.GMCmap.com/log2.asp?AID=12&GID=345&CPM=31&ACPM=22.50&uSV=0.12");
    const HttpRequest sc = safecastRequest(kSafecast, r, 30000);
    EXPECT_EQ(sc.method, "POST");
    EXPECT_EQ(sc.url, "http://127.0.0.1:9/measurements.json?api_key=KEY%2B%2F");
    EXPECT_EQ(sc.contentType, "application/json");
    EXPECT_EQ(sc.body, "{\"measurement\":{\"latitude\":35.5,\"longitude\":-139.25,\"value\":31,\"unit\":\"cpm\","
                       "\"captured_at\":\"2026-12-08T10:07:00Z\",\"device_id\":42}}");
    EXPECT_EQ(sc.timeoutMs, 30000);
    EXPECT_EQ(redacted(sc.url, "KEY+/"), "http://127.0.0.1:9/measurements.json?api_key=***");
}

TEST(MapAnswers, EachServiceAnswerMeansWhatItsApiSays) {
    const auto verdict = [](Judgement j) { return j.verdict; };
    HttpResponse r;
    r.status = 200;
    r.body = "OK<br>";
    EXPECT_EQ(verdict(judgeRadmon(r)), Verdict::Accepted);
    r.body = "Incorrect Login.";
    EXPECT_EQ(verdict(judgeRadmon(r)), Verdict::Refused);
    r.body = "\r\n<!-- sendmail.asp-->\r\n\r\nOK.ERR0";
    EXPECT_EQ(verdict(judgeGmcmap(r)), Verdict::Accepted);
    r.body = "User is not found.ERR1.";
    EXPECT_EQ(verdict(judgeGmcmap(r)), Verdict::Refused);
    r.body = "<html>busy</html>";
    EXPECT_EQ(verdict(judgeGmcmap(r)), Verdict::Failed);
    r.status = 201;
    r.body = "{\"id\":17,\"value\":31}";
    EXPECT_EQ(verdict(judgeSafecast(r)), Verdict::Accepted);
    r.body = "<html>proxy</html>";
    EXPECT_EQ(verdict(judgeSafecast(r)), Verdict::Failed);
    r.status = 422;
    r.body = "{\"md5sum\":[\"has already been taken\"]}";
    EXPECT_EQ(verdict(judgeSafecast(r)), Verdict::Accepted);  // a repeat of one it holds
    r.body = "{\"value\":[\"can't be blank\"]}";
    EXPECT_EQ(verdict(judgeSafecast(r)), Verdict::Refused);
    for (int status : {0, 408, 429, 500, 502, 503}) {
        r.status = status;
        EXPECT_EQ(verdict(judgeSafecast(r)), Verdict::Failed) << status;
    }
    r.status = 401;
    EXPECT_EQ(verdict(judgeSafecast(r)), Verdict::Refused);
}

TEST(OutboxUploader, AWaitCarriesOverWhenANewRunCountsFromZero) {
    SafecastRig s;
    s.up.tick(3600);
    s.up.add(reading(1));
    s.http.answer(500);  // 15 s to wait
    s.up.tick(0);        // 停止, then 開始: the seconds start again
    s.up.tick(14);
    EXPECT_TRUE(s.http.pending.empty());
    s.up.tick(15);
    EXPECT_EQ(s.http.pending.size(), 1u);
}

TEST(OutboxUploader, SendsOneAtATimeInOrderAndBacksOffAfterFailures) {
    SafecastRig s;
    s.up.tick(60);
    s.up.add(reading(1));
    s.up.add(reading(2));
    ASSERT_EQ(s.http.pending.size(), 1u);  // one in flight
    s.http.answer(500);
    EXPECT_EQ(s.up.status().state, MapState::Failing);
    ASSERT_EQ(s.sink.told.size(), 1u);
    EXPECT_EQ(s.sink.told[0].waiting, 2u);
    s.up.tick(74);
    EXPECT_TRUE(s.http.pending.empty());  // 15 s not yet over
    s.up.tick(75);
    ASSERT_EQ(s.http.pending.size(), 1u);
    s.http.answer(0);
    s.up.tick(104);
    EXPECT_TRUE(s.http.pending.empty());  // doubled: 30 s
    s.up.add(reading(3));
    EXPECT_TRUE(s.http.pending.empty());  // a new reading does not cut the back-off short
    s.up.tick(105);
    s.http.answer(201, "{\"id\":1}");
    s.http.answer(201, "{\"id\":2}");
    s.http.answer(201, "{\"id\":3}");
    EXPECT_EQ(s.minutesSent(), (std::vector<int>{1, 1, 1, 2, 3}));
    EXPECT_EQ(s.up.status().state, MapState::Working);
    EXPECT_EQ(s.sink.told.size(), 2u);  // failing once, working again once: not at every retry
    EXPECT_TRUE(s.outbox.empty());
}

TEST(OutboxUploader, TheBackOffIsCappedAndA429WaitsWhatItSays) {
    SafecastRig s;
    s.up.add(reading(1));
    std::int64_t now = 0;
    std::vector<std::int64_t> waits;
    for (int i = 0; i < 8; ++i) {
        s.http.answer(503);
        const std::int64_t from = now;
        while (s.http.pending.empty()) s.up.tick(++now);
        waits.push_back(now - from);
    }
    EXPECT_EQ(waits, (std::vector<std::int64_t>{15, 30, 60, 120, 240, 480, 600, 600}));
    s.http.answer(429, "", 7);
    const std::int64_t from = now;
    while (s.http.pending.empty()) s.up.tick(++now);
    EXPECT_EQ(now - from, 7);
}

TEST(OutboxUploader, ARefusalStopsTheUploadsAndKeepsTheOutbox) {
    SafecastRig s;
    s.up.add(reading(1));
    s.up.add(reading(2));
    s.http.answer(401, "{\"error\":\"sign in\"}");
    EXPECT_TRUE(s.up.stopped());
    ASSERT_EQ(s.sink.told.size(), 1u);
    EXPECT_EQ(s.sink.told[0].state, MapState::Stopped);
    EXPECT_EQ(s.sink.told[0].reason, "Safecast refuses the API key (HTTP 401)");
    for (int t = 0; t < 2000; ++t) s.up.tick(t);
    s.up.add(reading(3));
    EXPECT_EQ(s.http.sent.size(), 1u);
    EXPECT_FALSE(s.up.sendNow());
    Outbox again(s.fs, "safecast.outbox", 100);
    std::string error;
    ASSERT_TRUE(again.load(error));
    EXPECT_EQ(again.size(), 3u);
}

TEST(OutboxUploader, AFullDiskIsToldAndItsEndToo) {
    SafecastRig s;
    s.fs.failOpen = true;
    s.up.add(reading(1));
    ASSERT_EQ(s.sink.told.size(), 1u);
    EXPECT_NE(s.sink.told[0].outboxError.find("Permission denied"), std::string::npos);
    s.up.add(reading(2));
    EXPECT_EQ(s.sink.told.size(), 1u);  // the same failure is not told again
    s.fs.failOpen = false;
    s.http.answer(201, "{\"id\":1}");  // sent from memory; the next reading reaches the file now
    ASSERT_EQ(s.sink.told.size(), 2u);
    EXPECT_EQ(s.sink.told[1].outboxError, "");
}

TEST(LiveMapUploader, OnlyCurrentReadingsGoAndARefusalStopsIt) {
    FakeHttpClient http;
    Sink sink;
    LiveMapUploader up("radmon.org", http,
                       [](const MapReading& r) { return radmonRequest({"http://h/radmon.php", "u", "p"}, r, 50000); },
                       judgeRadmon, sink);
    up.add(reading(1));
    up.add(reading(2));  // the first is still out: this one is dropped, never sent late
    EXPECT_EQ(http.sent.size(), 1u);
    http.answer(200, "OK");
    http.pending.clear();
    up.add(reading(3));
    http.answer(500);  // a failed reading is not tried again: the next one is current
    up.add(reading(4));
    EXPECT_EQ(http.sent.size(), 3u);
    EXPECT_NE(http.sent[2].url.find("10%3A04%3A00"), std::string::npos);
    http.answer(200, "Incorrect login.");
    up.add(reading(5));
    EXPECT_EQ(http.sent.size(), 3u);
    EXPECT_EQ(up.status().state, MapState::Stopped);
    EXPECT_EQ(up.status().sent, 1u);
    EXPECT_EQ(up.status().dropped, 4u);
    ASSERT_EQ(sink.told.size(), 2u);  // failing, then stopped
    EXPECT_EQ(sink.told[0].state, MapState::Failing);
    EXPECT_EQ(sink.told[1].reason, "radmon.org says the login is wrong (user or data-sending password)");
}

TEST(MapUploads, TheReadingIsTheSixtiethSecondsCpmAndDoseAtItsUtcTime) {
    struct Clock : UtcClock {
        LocalDateTime utcNow() const override { return {2026, 12, 8, 9, 30, 0}; }
    } clock;
    FakeHttpClient http;
    Sink sink;
    MapUploads uploads(clock);
    uploads.addLiveMap(std::make_unique<LiveMapUploader>(
        "GMCmap", http, [](const MapReading& r) { return gmcmapRequest({"http://g/log2.asp", "1", "2"}, r, 50000); },
        judgeGmcmap, sink));
    uploads.secondDone(SecondReport{59, 1000, 17, 0.1f, true, 0, 0});
    uploads.recordDue(LogRecord{"x.csv", "2026/12/08", "18:30", "0.145"}, false);  // logged or not
    EXPECT_TRUE(http.sent.empty());
    uploads.secondDone(SecondReport{60, 1020, 21, 0.145f, true, 0, 0});
    ASSERT_EQ(http.sent.size(), 1u);
    EXPECT_EQ(http.sent[0].url, "http://g/log2.asp?AID=1&GID=2&CPM=21&ACPM=1020.00&uSV=0.145");
    uploads.secondDone(SecondReport{61, 1021, 21, 0.145f, true, 0, 0});
    EXPECT_EQ(http.sent.size(), 1u);
    http.answer(200, "OK.ERR0");
    // Before any dose (no sensitivity yet) there is nothing to publish.
    uploads.recordDue(LogRecord{"x.csv", "2026/12/08", "18:31", ""}, true);
    uploads.secondDone(SecondReport{120, 1100, 0, 0.0f, false, 0, 0});
    EXPECT_EQ(http.sent.size(), 1u);
    EXPECT_EQ(uploads.stateJson(),
              "\"maps\":{\"GMCmap\":{\"state\":\"working\",\"sent\":1,\"dropped\":0,\"waiting\":0}}");
}

TEST(StationState, CarriesTheMapsOnlyWhenAskedTo) {
    struct Client : MqttClient {
        std::vector<MqttMessage> sent;
        void setEvents(MqttClientEvents*) override {}
        void start(const MqttMessage&) override {}
        int publish(const MqttMessage& m) override {
            sent.push_back(m);
            return static_cast<int>(sent.size());
        }
        void stop() override {}
    } client;
    struct Clock : UtcClock {
        LocalDateTime utcNow() const override { return {2026, 12, 8, 9, 30, 0}; }
    } clock;
    FakeFace face;
    StationPublisher publisher(client, clock, face, StationConfig{"p", "P", "1", 10}, "mqtt://b");
    publisher.connected();
    const SecondReport r{5, 9, 21, 0.1f, true, 0, 0};
    publisher.secondDone(r);
    const std::string plain = client.sent.back().payload;
    EXPECT_EQ(plain, statePayload(r, clock.utcNow()));
    publisher.setStateExtra([] { return std::string("\"maps\":{}"); });
    publisher.secondDone(r);
    EXPECT_EQ(client.sent.back().payload, plain.substr(0, plain.size() - 1) + ",\"maps\":{}}");
}

TEST(OutboxUploader, TheCapsDropsAreToldAtTheFirstAndEverySixtiethNotEachOne) {
    MemoryFileSystem fs;
    FakeHttpClient http;
    Sink sink;
    Outbox outbox(fs, "safecast.outbox", 2);
    OutboxUploader up("Safecast", http, outbox,
                      [](const MapReading& r) { return safecastRequest(kSafecast, r, 30000); }, judgeSafecast, sink);
    up.add(reading(0));
    http.answer(401);  // stopped: every reading waits, the cap drops the oldest
    sink.told.clear();
    for (int m = 1; m <= 130; ++m) up.add(reading(m % 60));
    EXPECT_EQ(outbox.dropped(), 129u);
    ASSERT_EQ(sink.told.size(), 3u);
    EXPECT_EQ(sink.told[0].dropped, 1u);
    EXPECT_EQ(sink.told[1].dropped, 60u);
    EXPECT_EQ(sink.told[2].dropped, 120u);
    EXPECT_EQ(outbox.size(), 2u);
}

TEST(LiveMapUploader, NeverMoreThanOneReadingAMinuteByTheReadingsClock) {
    FakeHttpClient http;
    Sink sink;
    LiveMapUploader up("GMCmap", http,
                       [](const MapReading& r) { return gmcmapRequest({"http://g/log2.asp", "1", "2"}, r, 50000); },
                       judgeGmcmap, sink);
    const auto at = [](int hour, int minute, int second) {
        return MapReading{{2026, 12, 8, hour, minute, second}, "20", "0.1", "20.00"};
    };
    const auto send = [&](const MapReading& r) {
        const std::size_t before = http.sent.size();
        up.add(r);
        if (!http.pending.empty()) http.answer(200, "OK.ERR0");
        return http.sent.size() > before;
    };
    EXPECT_TRUE(send(at(10, 0, 0)));
    EXPECT_FALSE(send(at(10, 0, 0)));   // a --fast replay's next minute, the same real second
    EXPECT_FALSE(send(at(10, 0, 49)));
    EXPECT_TRUE(send(at(10, 0, 59)));   // a real run's next minute, 59 s by the clock
    EXPECT_TRUE(send(at(9, 0, 0)));     // the clock set back: not a wait of an hour
    EXPECT_TRUE(send(at(23, 59, 59)));
    EXPECT_TRUE(send({{2026, 12, 9, 0, 0, 59}, "20", "0.1", "20.00"}));  // across midnight
    EXPECT_EQ(up.status().dropped, 2u);
}
