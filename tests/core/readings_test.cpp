// The interval behind each reading, the dead-time correction and the tube presets.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "engine/convert.h"
#include "engine/dead_time.h"
#include "engine/poisson_interval.h"
#include "engine/reading_interval.h"
#include "engine/tubes.h"
#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
// P(X <= k) for a Poisson mean mu, summed term by term in logs: the definition the
// Garwood bounds must meet, independent of the gamma-function route.
double poissonCdf(std::int64_t k, double mu) {
    double sum = 0.0;
    for (std::int64_t i = 0; i <= k; ++i) sum += std::exp(i * std::log(mu) - mu - std::lgamma(i + 1.0));
    return sum;
}
float sens(float box) { return *sensitivityFromBox(box); }
}  // namespace

TEST(ChiSquare, QuantilesMatchPublishedTables) {
    // Values of the usual chi-square table, six significant digits.
    struct Row { double p, dof, x; };
    for (const Row r : {Row{0.025, 2, 0.0506356}, Row{0.975, 2, 7.37776}, Row{0.025, 6, 1.23734},
                        Row{0.975, 8, 17.5345}, Row{0.025, 20, 9.59078}, Row{0.975, 22, 36.7807},
                        Row{0.025, 100, 74.2219}, Row{0.975, 100, 129.561}})
        EXPECT_NEAR(chiSquareQuantile(r.p, r.dof), r.x, r.x * 5e-6) << r.p << " " << r.dof;
}

TEST(Garwood, KnownIntervalsAtZeroOneTenAndAThousand) {
    // Two degrees of freedom have a closed form: chi2(p; 2) / 2 = -ln(1 - p).
    EXPECT_EQ(garwoodInterval(0).low, 0.0);
    EXPECT_NEAR(garwoodInterval(0).high, -std::log(0.025), 1e-12);
    EXPECT_NEAR(garwoodInterval(1).low, -std::log(0.975), 1e-12);
    EXPECT_NEAR(garwoodInterval(1).high, 5.571643, 1e-6);
    EXPECT_NEAR(garwoodInterval(10).low, 4.795389, 1e-6);
    EXPECT_NEAR(garwoodInterval(10).high, 18.390356, 1e-6);
    EXPECT_NEAR(garwoodInterval(1000).low, 938.9730, 1e-4);
    EXPECT_NEAR(garwoodInterval(1000).high, 1063.9521, 1e-4);
    // Each bound leaves 2.5 % of the Poisson distribution beyond the observed count.
    for (const std::int64_t n : {1, 2, 10, 57, 1000, 3600}) {
        const auto i = garwoodInterval(n);
        EXPECT_NEAR(poissonCdf(n, i.high), 0.025, 1e-9) << n;
        EXPECT_NEAR(1.0 - poissonCdf(n - 1, i.low), 0.025, 1e-9) << n;
    }
    // The largest window the monitor can hold: 60 seconds of 32767 pulses.
    const auto big = garwoodInterval(60LL * 32767);
    EXPECT_NEAR(big.low, 60.0 * 32767 - 1.96 * std::sqrt(60.0 * 32767), 5.0);
    EXPECT_NEAR(big.high, 60.0 * 32767 + 1.96 * std::sqrt(60.0 * 32767), 5.0);
}

TEST(ReadingInterval, PerMinuteOverTheCpmWindowAndInMicrosievertsPerHour) {
    MonitorState st;
    DoseStep step = doseStep(st, 1, 3, sens(120));
    EXPECT_EQ(step.counts, 3);
    EXPECT_EQ(step.window, 1);
    ReadingInterval i = readingInterval(step, sens(120), std::nullopt);
    EXPECT_NEAR(i.cpmLow, 0.6186721 * 60, 1e-5);
    EXPECT_NEAR(i.cpmHigh, 8.767273 * 60, 1e-5);
    EXPECT_DOUBLE_EQ(i.doseHigh, i.cpmHigh / 720.0);  // not truncated like the dose
    const ReadingIntervalTexts t = intervalTexts(i);
    EXPECT_EQ(t.cpmLow, "37.12033");
    EXPECT_EQ(t.cpmHigh, "526.0364");
    EXPECT_EQ(t.doseHigh, singleText(static_cast<float>(i.cpmHigh / 720.0)));
    // From the second minute on the window is the last 60 seconds.
    for (int s = 2; s <= 70; ++s) step = doseStep(st, s, s > 10 ? 1 : 0, sens(120));
    EXPECT_EQ(step.counts, 60);
    EXPECT_EQ(step.window, 60);
    i = readingInterval(step, sens(120), std::nullopt);
    EXPECT_DOUBLE_EQ(i.cpmLow, garwoodInterval(60).low);
}

TEST(DeadTime, TheModelAndItsEdge) {
    EXPECT_DOUBLE_EQ(*deadTimeCorrected(600, 100, 0.005), 1200);  // m tau = 0.5 doubles the rate
    EXPECT_DOUBLE_EQ(*deadTimeCorrected(600, 100, 0), 600);
    EXPECT_TRUE(deadTimeCorrected(60, 1, 0.999999));               // just below the edge: huge but finite
    EXPECT_GT(*deadTimeCorrected(60, 1, 0.999999), 5.9e7);
    EXPECT_FALSE(deadTimeCorrected(60, 1, 1.0));                   // m tau = 1: nothing to correct to
    EXPECT_FALSE(deadTimeCorrected(60, 200, 0.01));
    EXPECT_FALSE(deadTimeCorrected(60, 1, 1.0 - 1e-16));           // beyond any count
}

TEST(DeadTime, ZeroChangesNoReadingOfAnyPartOfTheRun) {
    std::mt19937 random(7);
    MonitorState plain, corrected;
    for (int s = 1; s <= 130; ++s) {
        const int n = static_cast<int>(random() % 40);
        const DoseStep a = doseStep(plain, s, n, sens(29));
        const DoseStep b = doseStep(corrected, s, n, sens(29), 0.0);
        ASSERT_EQ(a.cpmShown, b.cpmShown) << s;
        ASSERT_EQ(a.dose, b.dose) << s;
        ASSERT_FALSE(b.deadTimeSaturated);
    }
    EXPECT_EQ(plain.DoseHistory, corrected.DoseHistory);
}

TEST(DeadTime, CorrectsCpmDoseAndIntervalAndGivesWayAtTheEdge) {
    // 3 pulses in 1 s with 10 ms: 180 / 0.97 = 185.57 CPM shown as 185; 0.2577 µSv/h truncated.
    MonitorState st;
    DoseStep step = doseStep(st, 1, 3, sens(120), 0.01);
    EXPECT_EQ(step.cpmShown, 185);
    EXPECT_EQ(singleText(step.dose), "0.257");
    EXPECT_EQ(st.CurrentDose, step.dose);
    ReadingInterval i = readingInterval(step, sens(120), 0.01);
    const double rawHigh = garwoodInterval(3).high * 60;
    EXPECT_DOUBLE_EQ(i.cpmHigh, rawHigh / (1 - rawHigh / 60 * 0.01));
    // A full minute: the plain sum corrected, in double precision.
    MonitorState full;
    for (int s = 1; s < 60; ++s) doseStep(full, s, 0, sens(120));
    step = doseStep(full, 60, 3000, sens(120), 0.01);  // 50 cps x 10 ms = 0.5
    EXPECT_EQ(step.cpmShown, 6000);
    // 100 cps x 10 ms = 1: the uncorrected reading and interval stand.
    MonitorState edge, raw;
    step = doseStep(edge, 1, 100, sens(120), 0.01);
    const DoseStep plain = doseStep(raw, 1, 100, sens(120));
    EXPECT_TRUE(step.deadTimeSaturated);
    EXPECT_EQ(step.cpmShown, plain.cpmShown);
    EXPECT_EQ(step.dose, plain.dose);
    EXPECT_DOUBLE_EQ(readingInterval(step, sens(120), 0.01).cpmHigh, readingInterval(plain, sens(120), {}).cpmHigh);
    // 90 counts: the reading corrects, its upper bound passes 1 / tau and has no bound.
    MonitorState near;
    step = doseStep(near, 1, 90, sens(120), 0.01);
    EXPECT_FALSE(step.deadTimeSaturated);
    EXPECT_EQ(step.cpmShown, 54000);
    i = readingInterval(step, sens(120), 0.01);
    EXPECT_TRUE(std::isinf(i.cpmHigh));
    EXPECT_EQ(intervalTexts(i).cpmHigh, "inf");
    EXPECT_EQ(intervalTexts(i).doseHigh, "inf");
}

TEST(DeadTime, ThePipelineReportsTheEdgeAndClearsIt) {
    Rig rig;
    rig.monitor.state().DeadTime = 0.01;
    ASSERT_TRUE(rig.start("120"));
    rig.secondWithPulses(100);
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::DeadTimeSaturated));
    EXPECT_EQ(rig.face.text(Box::Text6), "6000");
    EXPECT_EQ(rig.face.problems.at(ProblemKey::DeadTimeSaturated).detail, "10000");
    EXPECT_NE(problemSentenceJa(rig.face.problems.at(ProblemKey::DeadTimeSaturated)).find("10000µs"), std::string::npos);
    for (int s = 0; s < 5; ++s) rig.secondWithPulses(0);  // 100 in 6 s: 16.7 cps x 10 ms
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::DeadTimeSaturated));
    EXPECT_EQ(rig.face.text(Box::Text6), "1200");  // 1000 / (1 - 1/6)
}

TEST(Pipeline, EachSecondsReportCarriesItsInterval) {
    struct Spy : PipelineObserver {
        std::vector<SecondReport> reports;
        void secondDone(const SecondReport& r) override { reports.push_back(r); }
    } spy;
    Rig rig;
    rig.monitor.pipeline().addObserver(&spy);
    ASSERT_TRUE(rig.start("120"));
    rig.secondWithPulses(3);
    rig.secondWithPulses(0);
    ASSERT_EQ(spy.reports.size(), 2u);
    EXPECT_EQ(intervalTexts(spy.reports[0].interval).cpmLow, "37.12033");
    EXPECT_EQ(intervalTexts(spy.reports[0].interval).cpmHigh, "526.0364");
    EXPECT_EQ(intervalTexts(spy.reports[1].interval).cpmHigh, "263.0182");  // the same counts over 2 s
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::DeadTimeSaturated));
}

TEST(Pipeline, TheReportsTextsAreTheReadoutsEvenWhenTheDoseOverflows) {
    struct Spy : PipelineObserver {
        std::vector<std::pair<std::string, std::string>> texts;
        void secondDone(const SecondReport& r) override { texts.emplace_back(cpmText(r), doseText(r)); }
    } spy;
    Rig rig;
    rig.monitor.pipeline().addObserver(&spy);
    // 2e-38: a divisor so small that any count leaves the float range.
    ASSERT_TRUE(rig.start("0." + std::string(37, '0') + "2"));
    rig.secondWithPulses(0);
    rig.secondWithPulses(3);
    ASSERT_TRUE(rig.face.hasProblem(ProblemKey::DoseOverflow));
    ASSERT_EQ(spy.texts.size(), 2u);
    EXPECT_EQ(spy.texts[1], std::make_pair(rig.face.text(Box::Text6), rig.face.text(Box::Text8)));
    EXPECT_EQ(spy.texts[1].first, "90");
}

TEST(Tubes, TheTableIsCompleteAndEveryFactorIsABoxText) {
    const std::set<std::string> required = {"SBM-20", "SBM-19", "SBM-21", "SI-3BG", "SI-22G", "STS-5", "SBT-11",
                                            "J305", "M4011", "LND 712", "LND 7317", "HH614", "SI-29BG"};
    const std::set<std::string> kinds = {"maker datasheet", "maker passport", "published measurement",
                                         "published simulation"};
    std::set<std::string> names;
    for (const auto& t : tubePresets()) {
        EXPECT_TRUE(names.insert(t.name).second) << "twice: " << t.name;
        EXPECT_GT(std::string(t.source).size(), 20u) << t.name;
        const std::string factor = t.cpsPerMrh;
        // A figure comes with its isotope and the kind of its source; no figure, neither.
        EXPECT_EQ(factor.empty(), std::string(t.isotope).empty()) << t.name;
        EXPECT_EQ(factor.empty(), std::string(t.kind).empty()) << t.name;
        if (factor.empty()) continue;
        EXPECT_TRUE(kinds.count(t.kind)) << t.name << ": " << t.kind;
        // A plain decimal the box converts, giving a usable sensitivity.
        EXPECT_EQ(normaliseNumberText(factor).value_or(""), factor) << t.name;
        ASSERT_TRUE(toSingle(factor)) << t.name;
        EXPECT_TRUE(sensitivityFromBox(*toSingle(factor))) << t.name;
    }
    for (const auto& r : required) EXPECT_TRUE(names.count(r)) << "missing: " << r;
    EXPECT_STREQ(findTube("SBM-20")->cpsPerMrh, "18.06");
    EXPECT_STREQ(findTube("LND 712")->cpsPerMrh, "18");
    EXPECT_STREQ(findTube("LND 7317")->cpsPerMrh, "58");
    // The maker's figure first; for the J305 and M4011 the simulation, which reads the higher dose.
    const std::vector<std::array<const char*, 4>> rows = {
        {"SBM-19", "122", "not stated", "maker passport"},
        {"SBM-21", "2.92", "not stated", "maker passport"},
        {"SI-3BG", "0.235", "not stated", "maker passport"},
        {"SI-22G", "122.8", "natural background", "published measurement"},
        {"J305", "22.5", "Cs-137", "published simulation"},
        {"M4011", "18.06", "Cs-137", "published simulation"},
        {"HH614", "10", "Co-60", "maker datasheet"},
        {"SBM-20", "18.06", "Cs-137", "maker datasheet"},
        {"LND 7317", "58", "Co-60", "maker datasheet"},
    };
    for (const auto& [name, factor, isotope, kind] : rows) {
        ASSERT_TRUE(findTube(name)) << name;
        EXPECT_STREQ(findTube(name)->cpsPerMrh, factor) << name;
        EXPECT_STREQ(findTube(name)->isotope, isotope) << name;
        EXPECT_STREQ(findTube(name)->kind, kind) << name;
    }
    for (const char* name : {"STS-5", "SBT-11", "SI-29BG"}) EXPECT_STREQ(findTube(name)->cpsPerMrh, "") << name;
}

TEST(Tubes, NamesMatchWithoutCaseAndTheListingHasFiveColumns) {
    EXPECT_STREQ(findTube("sbm-20")->name, "SBM-20");
    EXPECT_STREQ(findTube("lnd 7317")->name, "LND 7317");
    EXPECT_FALSE(findTube("SBM20"));
    EXPECT_FALSE(findTube("LND 71"));
    EXPECT_FALSE(findTube(""));
    std::istringstream lines(tubeListText());
    std::string line;
    std::size_t count = 0;
    while (std::getline(lines, line)) {
        const auto& t = tubePresets()[count++];
        std::vector<std::string> columns;
        for (std::size_t at = 0, tab;; at = tab + 1) {
            tab = line.find('\t', at);
            columns.push_back(line.substr(at, tab == std::string::npos ? tab : tab - at));
            if (tab == std::string::npos) break;
        }
        ASSERT_EQ(columns.size(), 5u) << line;
        const auto orDash = [](const char* text) { return std::string(*text ? text : "-"); };
        EXPECT_EQ(columns[0], t.name);
        EXPECT_EQ(columns[1], orDash(t.cpsPerMrh));
        EXPECT_EQ(columns[2], t.source);
        EXPECT_EQ(columns[3], orDash(t.isotope));
        EXPECT_EQ(columns[4], orDash(t.kind));
    }
    EXPECT_EQ(count, tubePresets().size());
    EXPECT_EQ(tubeNames().substr(0, 16), "SBM-20, SBM-19, ");
}
