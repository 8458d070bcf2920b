// The web server's answers without a network: routes, the history's records, the
// metrics' shape, the pictures, the address and the page's language.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "support/fake_log_folder.h"
#include "web/http_address.h"
#include "web/http_answers.h"
#include "web/live_state.h"
#include "web/metrics_text.h"
#include "web/page.h"
#include "web/svg_writer.h"

namespace ravelin {
namespace {

struct Served {
    test::FakeLogFolder folder;
    HistoryLog history{folder};
    std::mutex mutex;
    std::string version = "1.4.0";
    std::map<std::string, std::string> query;
    std::shared_ptr<const LiveSecond> latest;
    TrendPictureCache trend;

    WebAnswer get(const std::string& path, const std::string& language = "") {
        WebRequest r{path, language,
                     [this](const char* key) -> const char* {
                         const auto it = query.find(key);
                         return it == query.end() ? nullptr : it->second.c_str();
                     },
                     latest};
        return answerRequest(r, WebContext{version, mutex, history, trend});
    }
    static std::string body(const WebAnswer& a) {
        if (!a.lines) return a.body;
        std::string out;
        for (std::size_t i = 0; i < a.lineCount; ++i) out += a.lines(i);
        return out;
    }
};

std::shared_ptr<LiveSecond> second(std::int32_t seconds, std::int64_t total) {
    auto s = std::make_shared<LiveSecond>();
    s->sequence = static_cast<std::uint64_t>(seconds);
    s->seconds = seconds;
    s->total = total;
    s->stateJson = "{\"seconds\":" + std::to_string(seconds) + "}";
    s->cpm = "600";
    s->dose = "0.833";
    s->at = std::chrono::steady_clock::now();
    return s;
}

TEST(WebAnswers, OnlyTheKnownPathsAnswerAndNothingBeforeTheFirstSecond) {
    Served served;
    for (const char* path : {"/index.html", "/../etc/passwd", "/api", "/api/now/", "/metrics/x", "//", "/events/.."})
        EXPECT_EQ(served.get(path).status, 404u) << path;
    EXPECT_EQ(served.get("/api/now").status, 503u);
    EXPECT_EQ(served.get("/metrics").status, 200u);
    EXPECT_EQ(served.get("/trend.svg").status, 200u);
    served.latest = second(5, 42);
    const WebAnswer now = served.get("/api/now");
    EXPECT_EQ(now.status, 200u);
    EXPECT_EQ(now.body, "{\"seconds\":5}");
    EXPECT_STREQ(now.type, "application/json");
}

TEST(WebAnswers, HistoryGivesTheRecordsOfTheDaysAsTheFilesHoldThem) {
    Served served;
    served.folder.files["μSVHData20240501.csv"] =
        "\"2024/05/01\",\"23:59\",0.101\r\n\"2024/05/02\",\"00:00\",0.102\r\n";
    served.folder.files["μSVHData20240503.csv"] = "\"2024/05/03\",\"12:30\",0.0300\r\ngarbage\r\n";
    served.folder.files["notes.txt"] = "\"2024/05/02\",\"01:00\",9\r\n";
    EXPECT_EQ(Served::body(served.get("/api/history")),
              "\"2024/05/01\",\"23:59\",0.101\r\n\"2024/05/02\",\"00:00\",0.102\r\n\"2024/05/03\",\"12:30\",0.0300\r\n");
    served.query = {{"from", "2024-05-02"}, {"to", "2024-05-02"}};
    EXPECT_EQ(Served::body(served.get("/api/history")), "\"2024/05/02\",\"00:00\",0.102\r\n");
    served.query = {{"from", "2024-05-03"}};
    EXPECT_EQ(Served::body(served.get("/api/history")), "\"2024/05/03\",\"12:30\",0.0300\r\n");
    served.query = {{"to", "2024-04-30"}};
    const WebAnswer none = served.get("/api/history");
    EXPECT_EQ(none.status, 200u);
    EXPECT_EQ(Served::body(none), "");
    for (const char* bad : {"2024-02-30", "2024-5-01", "yesterday", "2024-05-01x"}) {
        served.query = {{"from", bad}};
        EXPECT_EQ(served.get("/api/history").status, 400u) << bad;
    }
}

TEST(WebAnswers, MetricsHaveHelpAndTypeAndCountersEndInTotal) {
    auto s = second(61, 612);
    s->recordsWritten = 1;
    s->alarm2 = true;
    s->alarm2Ticked = true;
    const std::string text = metricsText(s.get(), true, "1.4.0");
    std::istringstream lines(text);
    std::string line;
    std::map<std::string, std::string> types;
    std::set<std::string> helped;
    std::map<std::string, std::string> samples;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex("# HELP (\\w+) .+"))) helped.insert(m[1]);
        else if (std::regex_match(line, m, std::regex("# TYPE (\\w+) (counter|gauge)"))) types[m[1]] = m[2];
        else if (std::regex_match(line, m, std::regex("(\\w+)(\\{[^}]*\\})? (\\S+)"))) {
            ASSERT_TRUE(types.count(m[1])) << "sample before its TYPE: " << line;
            samples[std::string(m[1]) + std::string(m[2])] = m[3];
        } else {
            ADD_FAILURE() << "not a metric line: " << line;
        }
    }
    for (const auto& [name, type] : types) {
        EXPECT_TRUE(helped.count(name)) << name;
        EXPECT_EQ(name.ends_with("_total"), type == "counter") << name;
    }
    EXPECT_EQ(samples["ravelin_pulses_total"], "612");
    EXPECT_EQ(samples["ravelin_processed_seconds_total"], "61");
    EXPECT_EQ(samples["ravelin_dose_rate_microsieverts_per_hour"], "0.833");
    EXPECT_EQ(samples["ravelin_alarm_stage_firing{stage=\"2\"}"], "1");
    EXPECT_EQ(samples["ravelin_alarm_stage_firing{stage=\"1\"}"], "0");
    EXPECT_EQ(samples["ravelin_build_info{version=\"1.4.0\"}"], "1");
    // No dose yet: the dose gauges have no sample rather than a made-up one.
    EXPECT_EQ(metricsText(nullptr, false, "1").find("\nravelin_dose_rate_microsieverts_per_hour "), std::string::npos);
}

TEST(WebAnswers, PicturesAreSvgDrawnFromThePlots) {
    Served served;
    auto s = second(3, 30);
    s->doseHistory[0] = 0.5f;
    s->t1 = 0.3;
    s->t2 = 3;
    s->t1Single = 0.3f;
    s->t2Single = 3.0f;
    served.latest = s;
    const WebAnswer trend = served.get("/trend.svg");
    EXPECT_STREQ(trend.type, "image/svg+xml; charset=utf-8");
    const std::vector<PlotOp> ops = trendPlot(s->doseHistory, 0, {s->t1, s->t2, s->t1Single, s->t2Single}).ops;
    std::size_t lines = 0, texts = 0;
    for (std::size_t at = 0; (at = trend.body.find("<line ", at)) != std::string::npos; ++at) ++lines;
    for (std::size_t at = 0; (at = trend.body.find("<text ", at)) != std::string::npos; ++at) ++texts;
    EXPECT_EQ(lines + texts, ops.size());
    EXPECT_NE(trend.body.find("→時間"), std::string::npos);
    EXPECT_NE(trend.body.find("stroke=\"#ff0000\""), std::string::npos);  // the stage-2 line
    EXPECT_TRUE(trend.body.ends_with("</svg>\n"));

    served.folder.files["μSVHData20240501.csv"] = "\"2024/05/01\",\"10:00\",0.1\r\n\"2024/05/01\",\"10:01\",0.2\r\n";
    const WebAnswer history = served.get("/history.svg");
    EXPECT_NE(history.body.find("<polyline"), std::string::npos);
    EXPECT_NE(history.body.find("2件"), std::string::npos);
    EXPECT_EQ(xmlEscaped("<a&\"b'>"), "&lt;a&amp;&quot;b&#39;&gt;");
}

TEST(WebAnswers, ThePageIsJapaneseUnlessTheBrowserPrefersEnglish) {
    EXPECT_FALSE(prefersEnglish(""));
    EXPECT_FALSE(prefersEnglish("ja,en-US;q=0.9,en;q=0.8"));
    EXPECT_TRUE(prefersEnglish("en-US,en;q=0.9,ja;q=0.8"));
    EXPECT_TRUE(prefersEnglish("ja;q=0.5, en-GB"));
    EXPECT_FALSE(prefersEnglish("enx,de"));
    Served served;
    auto s = second(1, 1);
    s->logFolder = "/var/lib/<ravelin>/";
    s->lastRecord = "\"2024/05/01\",\"10:00\",0.1";
    served.latest = s;
    const WebAnswer ja = served.get("/", "ja");
    EXPECT_NE(ja.body.find("<html lang=\"ja\">"), std::string::npos);
    EXPECT_NE(ja.body.find("/var/lib/&lt;ravelin&gt;/"), std::string::npos);
    EXPECT_NE(ja.body.find("&quot;2024/05/01&quot;"), std::string::npos);
    EXPECT_TRUE(ja.page);
    EXPECT_NE(served.get("/", "en").body.find("<html lang=\"en\">"), std::string::npos);
    // Nothing comes from anywhere but the monitor.
    EXPECT_EQ(ja.body.find("http://"), std::string::npos);
    EXPECT_EQ(ja.body.find("https://"), std::string::npos);
}

TEST(WebAddress, PortAloneIsLoopbackAndAddressesMustBeNumeric) {
    std::string error;
    auto a = parseHttpAddress("8080", error);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(), "127.0.0.1:8080");
    a = parseHttpAddress("0.0.0.0:80", error);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "0.0.0.0");
    a = parseHttpAddress("[::1]:9000", error);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->ipv6);
    EXPECT_EQ(a->text(), "[::1]:9000");
    for (const char* bad : {"", "65536", "-1", "localhost:80", "1.2.3:80", "[::1]", "80x", "::1:80"})
        EXPECT_FALSE(parseHttpAddress(bad, error)) << bad;
}

TEST(WebBoard, AWaiterWakesForANewerSecondAndTheWriterNeverWaits) {
    LiveBoard board;
    EXPECT_EQ(board.latest(), nullptr);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        board.publish(second(1, 10));
    });
    const auto got = board.waitNewer(0, std::chrono::seconds(5));
    writer.join();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->seconds, 1);
    // Held by a reader, the old second outlives the swap.
    board.publish(second(2, 20));
    EXPECT_EQ(got->total, 10);
    EXPECT_EQ(board.latest()->total, 20);
}

}  // namespace
}  // namespace ravelin
