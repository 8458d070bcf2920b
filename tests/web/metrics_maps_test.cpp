// The public maps in /metrics: present only with map statuses, each family whole under its
// HELP and TYPE, and the rest of the text untouched by them.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "web/live_state.h"
#include "web/metrics_text.h"

namespace ravelin {
namespace {

std::shared_ptr<LiveSecond> minuteSecond() {
    auto s = std::make_shared<LiveSecond>();
    s->sequence = 120;
    s->seconds = 120;
    s->total = 1200;
    s->cpm = "600";
    s->dose = "0.833";
    return s;
}

MapStatus status(const char* service, MapState state, std::uint64_t sent, std::uint64_t dropped) {
    MapStatus m;
    m.service = service;
    m.state = state;
    m.sent = sent;
    m.dropped = dropped;
    return m;
}

// Every sample by name and labels; fails the test on a line out of the format, a sample
// away from its family's TYPE, a family twice, or a family without HELP.
std::map<std::string, std::string> parsed(const std::string& text) {
    std::map<std::string, std::string> samples;
    std::set<std::string> typed, helped;
    std::string current, line;
    std::istringstream lines(text);
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex("# HELP (\\w+) .+"))) {
            helped.insert(m[1]);
        } else if (std::regex_match(line, m, std::regex("# TYPE (\\w+) (counter|gauge)"))) {
            EXPECT_TRUE(typed.insert(m[1]).second) << "a family twice: " << line;
            EXPECT_EQ(std::string(m[1]).ends_with("_total"), m[2] == "counter") << line;
            EXPECT_TRUE(helped.count(m[1])) << "TYPE before HELP: " << line;
            current = m[1];
        } else if (std::regex_match(line, m, std::regex("(\\w+)(\\{(\\w+=\"[^\"]*\",?)+\\})? (\\S+)"))) {
            EXPECT_EQ(m[1], current) << "a sample away from its family: " << line;
            EXPECT_TRUE(samples.emplace(std::string(m[1]) + std::string(m[2]), m[4]).second) << "twice: " << line;
        } else {
            ADD_FAILURE() << "not a metric line: " << line;
        }
    }
    return samples;
}

TEST(MetricsMaps, WithoutMapsNothingOfThemAndWithThemOnlyLinesAdded) {
    auto plain = minuteSecond();
    const std::string without = metricsText(plain.get(), true, "1.4.0");
    EXPECT_EQ(without.find("ravelin_map"), std::string::npos);
    EXPECT_EQ(metricsText(nullptr, false, "1.4.0").find("ravelin_map"), std::string::npos);

    auto shared = minuteSecond();
    shared->maps = {status("radmon.org", MapState::Working, 2, 0)};
    const std::string with = metricsText(shared.get(), true, "1.4.0");
    // Taking the maps' lines out gives the text without them, byte for byte.
    std::istringstream lines(with);
    std::string line, rest;
    while (std::getline(lines, line))
        if (line.find("ravelin_map_") == std::string::npos) rest += line + "\n";
    EXPECT_EQ(rest, without);
    EXPECT_TRUE(with.ends_with("ravelin_build_info{version=\"1.4.0\"} 1\n"));
}

TEST(MetricsMaps, EachServiceItsStateAndCountsTheOutboxOnlyWhereThereIsOne) {
    auto s = minuteSecond();
    MapStatus safecast = status("Safecast", MapState::Failing, 7, 3);
    safecast.hasOutbox = true;
    safecast.waiting = 12;
    safecast.outboxError = "No space left on device";
    safecast.reason = "HTTP 500";
    s->maps = {status("radmon.org", MapState::Working, 5, 1), status("GMCmap", MapState::Stopped, 0, 4), safecast};
    const auto samples = parsed(metricsText(s.get(), true, "1.4.0"));
    const auto at = [&](const std::string& key) {
        const auto it = samples.find(key);
        return it == samples.end() ? std::string("none") : it->second;
    };
    // One state of four is 1 for each service.
    const std::set<std::pair<std::string, std::string>> on = {
        {"radmon", "working"}, {"gmcmap", "stopped"}, {"safecast", "failing"}};
    for (const char* service : {"radmon", "gmcmap", "safecast"})
        for (const char* name : {"starting", "working", "failing", "stopped"})
            EXPECT_EQ(at(std::string("ravelin_map_upload_state{service=\"") + service + "\",state=\"" + name + "\"}"),
                      on.count({service, name}) ? "1" : "0")
                << service << " " << name;
    EXPECT_EQ(at("ravelin_map_readings_sent_total{service=\"radmon\"}"), "5");
    EXPECT_EQ(at("ravelin_map_readings_sent_total{service=\"safecast\"}"), "7");
    EXPECT_EQ(at("ravelin_map_readings_dropped_total{service=\"radmon\"}"), "1");
    EXPECT_EQ(at("ravelin_map_readings_dropped_total{service=\"gmcmap\"}"), "4");
    EXPECT_EQ(at("ravelin_map_readings_dropped_total{service=\"safecast\"}"), "3");
    EXPECT_EQ(at("ravelin_map_readings_waiting{service=\"safecast\"}"), "12");
    EXPECT_EQ(at("ravelin_map_outbox_write_failing{service=\"safecast\"}"), "1");
    // The live maps keep no outbox: no waiting, no outbox sample for them.
    EXPECT_EQ(samples.count("ravelin_map_readings_waiting{service=\"radmon\"}"), 0u);
    EXPECT_EQ(samples.count("ravelin_map_outbox_write_failing{service=\"gmcmap\"}"), 0u);
    // The other families are still there and right.
    EXPECT_EQ(at("ravelin_pulses_total"), "1200");
    EXPECT_EQ(at("ravelin_build_info{version=\"1.4.0\"}"), "1");

    // Without Safecast, no outbox families at all, not even empty ones: its 8 samples go.
    s->maps.pop_back();
    const std::string live = metricsText(s.get(), true, "1.4.0");
    EXPECT_EQ(live.find("ravelin_map_readings_waiting"), std::string::npos);
    EXPECT_EQ(live.find("ravelin_map_outbox_write_failing"), std::string::npos);
    EXPECT_EQ(parsed(live).size(), samples.size() - 8);
}

TEST(MetricsMaps, LabelValuesAreEscaped) {
    auto s = minuteSecond();
    s->maps = {status("My \"map\"\\x\n", MapState::Working, 1, 0)};
    const std::string text = metricsText(s.get(), true, "v\"2\\");
    EXPECT_NE(text.find("ravelin_map_readings_sent_total{service=\"my \\\"map\\\"\\\\x\\n\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("ravelin_build_info{version=\"v\\\"2\\\\\"} 1\n"), std::string::npos);
}

}  // namespace
}  // namespace ravelin
