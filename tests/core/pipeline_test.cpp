#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
// Counts the calls of one kind the system made on the device.
int countCalls(const FakeDevice& d, const std::string& prefix) {
    int n = 0;
    for (const auto& c : d.calls) n += c.rfind(prefix, 0) == 0;
    return n;
}

class SpyDisplays : public Displays {
public:
    int snapshots = 0, redraws = 0;
    SnapshotLevels lastLevels;
    std::optional<double> lastT2;
    bool scaleOk = true;
    void drawSnapshot(std::span<const std::uint8_t>, const SnapshotLevels& levels) override {
        ++snapshots;
        lastLevels = levels;
    }
    bool redrawTrend(const TrendInputs& in) override {
        ++redraws;
        lastT2 = in.t2;
        return scaleOk;
    }
};

// A rig whose monitor draws into spy windows.
struct DisplayRig {
    Rig rig;
    SpyDisplays displays;
    Monitor monitor{rig.face, rig.face, MonitorServices{rig.device, rig.files, rig.clock, rig.player, &displays}};
    void start() {
        rig.face.texts[Box::Text7] = "120";
        monitor.start();
        rig.device.deliverAll();
    }
};
}  // namespace

TEST(Pipeline, FirstSecondsGiveCpmAndDoseOfTheWorkedExample) {
    Rig rig;
    ASSERT_TRUE(rig.start("120"));
    rig.secondWithPulses(3);
    EXPECT_EQ(rig.face.text(Box::Text1), "1");
    EXPECT_EQ(rig.face.text(Box::Text2), "3");
    EXPECT_EQ(rig.face.text(Box::Text6), "180");
    EXPECT_EQ(rig.face.text(Box::Text8), "0.25");
    rig.secondWithPulses(0);
    EXPECT_EQ(rig.face.text(Box::Text6), "90");
    EXPECT_EQ(rig.face.text(Box::Text2), "3");
}

TEST(Pipeline, ShortOrEmptyBuffersCountASecondWithNoPulses) {
    Rig rig;
    rig.start();
    rig.secondWithPulses(5, 22050);
    rig.secondWithPulses(5, 1000);  // short: not scanned, buffer made anew
    EXPECT_EQ(rig.monitor.state().SampleBuffer.size(), 22050u);
    EXPECT_EQ(rig.monitor.state().SampleBuffer[200], 0);
    rig.second({});  // byteCount 0
    EXPECT_EQ(rig.face.text(Box::Text1), "3");
    EXPECT_EQ(rig.face.text(Box::Text2), "5");
    EXPECT_EQ(rig.monitor.state().SecondCounts[2], 0);
    EXPECT_EQ(rig.monitor.state().SecondCounts[3], 0);
}

TEST(Pipeline, BuffersAreHandedBackUnlessStopping) {
    Rig rig;
    rig.start();
    const int before = countCalls(rig.device, "QueueBuffer");
    rig.secondWithPulses(0);
    EXPECT_EQ(countCalls(rig.device, "QueueBuffer"), before + 1);
    rig.device.fill(std::vector<std::uint8_t>(22050, 128), /*stopFlag=*/1);
    rig.device.deliverAll();
    EXPECT_EQ(countCalls(rig.device, "QueueBuffer"), before + 1);
    EXPECT_EQ(rig.face.text(Box::Text1), "2");  // still counted as a second
}

TEST(Pipeline, ArmedSurvivesBuffersAndStart) {
    Rig rig;
    rig.start();
    std::vector<std::uint8_t> s(22050, 128);
    s[22048] = 10;
    s[22049] = 10;
    rig.second(s);
    EXPECT_EQ(rig.monitor.state().Armed, 1);
    rig.monitor.stop();
    rig.device.deliverAll();
    rig.start();
    rig.second(std::vector<std::uint8_t>(22050, 128));
    EXPECT_EQ(rig.face.text(Box::Text2), "1");
}

TEST(Pipeline, BadBoxesUseTheLastValueThatConvertedAndAreReported) {
    Rig rig;
    rig.start();
    rig.face.texts[Box::Text3] = "abc";  // before any good text: the default 50
    rig.secondWithPulses(2);
    EXPECT_EQ(rig.face.text(Box::Text2), "2");
    ASSERT_TRUE(rig.face.hasProblem(settingProblem(Setting::Threshold)));
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Threshold)].boxText, "abc");
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Threshold)].fallback, BoxFallback::Default);
    rig.face.texts[Box::Text3] = "100";  // every sample of 128 is... above 97: nothing arms
    rig.secondWithPulses(2);
    EXPECT_FALSE(rig.face.hasProblem(settingProblem(Setting::Threshold)));
    rig.face.texts[Box::Text3] = "";  // back to 100, not to the default
    rig.secondWithPulses(2);
    EXPECT_EQ(rig.monitor.state().thresholdCentre, 100);
    ASSERT_TRUE(rig.face.hasProblem(settingProblem(Setting::Threshold)));
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Threshold)].boxText, "");
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Threshold)].fallback, BoxFallback::Previous);
    EXPECT_EQ(rig.face.text(Box::Text2), "6");

    rig.face.texts[Box::Text7] = "x";  // the sensitivity of the run goes on
    rig.secondWithPulses(0);
    EXPECT_TRUE(rig.face.hasProblem(settingProblem(Setting::Sensitivity)));
    EXPECT_EQ(rig.monitor.state().Sensitivity, 720.0f);
    rig.face.texts[Box::Text7] = "0";  // zero would divide by zero
    rig.secondWithPulses(0);
    EXPECT_EQ(rig.monitor.state().Sensitivity, 720.0f);
}

TEST(Pipeline, NegativeSkipScansAsZeroAndOverflowingLevelsKeepTheLastGoodOnes) {
    Rig rig;
    rig.start();
    rig.face.texts[Box::Text5] = "-3";
    rig.secondWithPulses(4);
    EXPECT_EQ(rig.face.text(Box::Text2), "4");
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::SkipNegative));
    rig.face.texts[Box::Text5] = "10";
    rig.face.texts[Box::Text3] = "32767";  // C + D overflows 16 bits
    rig.secondWithPulses(4);
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::Overflow));
    EXPECT_EQ(rig.face.text(Box::Text2), "8");
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::SkipNegative));
}

TEST(Pipeline, ScratchFileThatCannotBeCreatedStillCounts) {
    FakeFace face;
    FakeDevice device;
    MemoryFileSystem files;
    files.failHold = true;
    FixedClock clock;
    RecordingPlayer player;
    Monitor monitor(face, face, MonitorServices{device, files, clock, player, nullptr});
    monitor.load();
    EXPECT_TRUE(face.hasProblem(ProblemKey::ScratchFile));
    face.texts[Box::Text7] = "120";
    monitor.start();
    device.deliverAll();
    std::vector<std::uint8_t> s(22050, 128);
    s[500] = 10;
    device.fill(s);
    device.deliverAll();
    EXPECT_EQ(face.text(Box::Text2), "1");
}

TEST(Pipeline, TestSnapshotStopsCaptureAndIgnoresLaterBuffers) {
    DisplayRig d;
    auto& [rig, displays, monitor] = d;
    rig.face.checks[Check::Check1] = true;
    rig.face.checks[Check::Check5] = true;
    d.start();
    rig.device.fill(std::vector<std::uint8_t>(22050, 128));
    rig.device.fill(std::vector<std::uint8_t>(22050, 128));  // already on its way when Stop is called
    rig.device.deliverAll();
    EXPECT_EQ(displays.snapshots, 1);
    EXPECT_EQ(displays.redraws, 1);  // the rest of the second still runs
    EXPECT_EQ(*displays.lastLevels.lower, 376);
    EXPECT_EQ(*displays.lastLevels.upper, 424);
    EXPECT_EQ(monitor.state().TestDone, 1);
    EXPECT_EQ(rig.face.text(Box::Text1), "1");
    EXPECT_EQ(rig.face.states.back(), false);
}

TEST(Pipeline, SnapshotWithOverflowingLevelsIsReportedAndCaptureGoesOn) {
    DisplayRig d;
    auto& [rig, displays, monitor] = d;
    rig.face.checks[Check::Check1] = true;
    rig.face.texts[Box::Text3] = "4096";
    d.start();
    rig.secondWithPulses(0);
    EXPECT_TRUE(displays.lastLevels.lower.has_value());
    EXPECT_FALSE(displays.lastLevels.upper.has_value());
    EXPECT_EQ(monitor.state().TestDone, 0);
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::SnapshotOverflow));
    EXPECT_TRUE(rig.device.recording);
    // Unticked, no snapshot is due and the problem is gone.
    rig.face.checks[Check::Check1] = false;
    rig.secondWithPulses(0);
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::SnapshotOverflow));
}

TEST(Pipeline, TrendGraphThatCannotScaleIsReported) {
    DisplayRig d;
    auto& [rig, displays, monitor] = d;
    displays.scaleOk = false;
    rig.face.checks[Check::Check5] = true;
    rig.face.texts[Box::Text10] = "0.3";
    rig.face.texts[Box::Text9] = "zz";  // not reached: the redraw stops at the scale
    d.start();
    rig.secondWithPulses(0);
    EXPECT_EQ(*displays.lastT2, 0.3);
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::TrendScale));
    EXPECT_FALSE(rig.face.hasProblem(settingProblem(Setting::Alarm1Limit)));
    EXPECT_EQ(rig.face.text(Box::Text1), "1");
    // A limit box that stops converting: its previous value stands in, and the problem says so.
    rig.face.texts[Box::Text10] = "abc";
    rig.secondWithPulses(0);
    ASSERT_TRUE(rig.face.hasProblem(settingProblem(Setting::Alarm2Limit)));
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Alarm2Limit)].boxText, "abc");
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Alarm2Limit)].fallback, BoxFallback::Previous);
    // Unticked, the graph is not drawn and its problem is gone.
    rig.face.checks[Check::Check5] = false;
    rig.secondWithPulses(0);
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::TrendScale));
}

TEST(Pipeline, ALimitBoxThatNeverConvertedSaysThereIsNoValueYet) {
    Rig rig;
    rig.face.checks[Check::Check2] = true;
    rig.face.texts[Box::Text9] = "abc";
    rig.start();
    rig.secondWithPulses(0);
    ASSERT_TRUE(rig.face.hasProblem(settingProblem(Setting::Alarm1Limit)));
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Alarm1Limit)].boxText, "abc");
    EXPECT_EQ(rig.face.problems[settingProblem(Setting::Alarm1Limit)].fallback, BoxFallback::Nothing);
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 0);
}

TEST(Pipeline, ASecondBeyondItsSlotIsCappedAndReportedForAMinuteWhileTheTotalKeepsEveryPulse) {
    Rig rig;
    rig.device.bufferSize = 100000;  // a recording at a high sample rate
    rig.start("600");                // Sensitivity 3600
    rig.face.texts[Box::Text5] = "0";
    std::vector<std::uint8_t> busy(100000);
    for (std::size_t i = 0; i < busy.size(); ++i) busy[i] = i % 2 ? 0 : 255;  // 50,000 pulses
    rig.second(busy);
    EXPECT_EQ(rig.face.text(Box::Text2), "49999");
    EXPECT_EQ(rig.face.text(Box::Text6), "1966020");  // 32767 x 60
    ASSERT_TRUE(rig.face.hasProblem(ProblemKey::CountOverflow));
    for (int s = 2; s <= 60; ++s) rig.secondWithPulses(0);
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::CountOverflow));  // still in the minute's sum
    rig.secondWithPulses(0);
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::CountOverflow));
}

TEST(Pipeline, TheTotalCountGoesPastThirtyTwoBits) {
    Rig rig;
    rig.start();
    rig.monitor.state().TotalCount = 2147483647;
    rig.secondWithPulses(2);
    EXPECT_EQ(rig.face.text(Box::Text2), "2147483649");
}
