#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

TEST(Control, StartCallsTheDeviceInOrderAndStateChangedDrivesTheButtons) {
    Rig rig;
    rig.device.bufferCount = 3;
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(rig.device.calls, (std::vector<std::string>{"Open", "QueueBuffer 0", "QueueBuffer 1", "QueueBuffer 2", "Start"}));
    EXPECT_EQ(rig.monitor.state().SampleBuffer.size(), 22050u);
    EXPECT_EQ(rig.face.states, std::vector<bool>{true});
    rig.monitor.stop();
    rig.device.deliverAll();
    EXPECT_EQ(rig.device.calls.back(), "Close");
    EXPECT_EQ(rig.face.states, (std::vector<bool>{true, false}));
}

TEST(Control, StartRefusesAMissingOrUnusableSensitivity) {
    Rig rig;
    rig.face.texts[Box::Text1] = "77";
    rig.face.texts[Box::Text2] = "88";
    EXPECT_FALSE(rig.start(""));
    EXPECT_EQ(rig.face.messages, std::vector<std::string>{"GM菅γ線感度を入力してください"});
    EXPECT_EQ(rig.face.text(Box::Text1), "0");  // the resets happen first
    EXPECT_EQ(rig.face.text(Box::Text2), "0");
    for (const char* bad : {"abc", "0", "-120", " ", "1e3"}) EXPECT_FALSE(rig.start(bad)) << bad;
    EXPECT_EQ(rig.face.messages.back(), "GM菅γ線感度には0より大きい数値を入力してください");
    EXPECT_TRUE(rig.device.calls.empty());
}

TEST(Control, StartResetsOnlyTheCountersOfARun) {
    Rig rig;
    rig.face.checks[Check::Check2] = true;
    rig.start();
    rig.secondWithPulses(12);
    rig.monitor.stop();
    rig.device.deliverAll();
    const auto history = rig.monitor.state().DoseHistory;
    rig.start();
    EXPECT_EQ(rig.monitor.state().TotalCount, 0);
    EXPECT_EQ(rig.monitor.state().ElapsedSeconds, 0);
    EXPECT_EQ(rig.monitor.state().SecondCounts[1], 12);
    EXPECT_EQ(rig.monitor.state().DoseHistory, history);
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
}

TEST(Control, ADeviceThatCannotOpenIsReported) {
    Rig rig;
    rig.device.failOpen = true;
    EXPECT_FALSE(rig.start());
    ASSERT_TRUE(rig.face.hasProblem(ProblemKey::CaptureNoInput));
    EXPECT_EQ(rig.face.problems[ProblemKey::CaptureNoInput].detail, "no input");
    rig.device.failOpen = false;
    rig.device.failOpenUnreadable = true;
    EXPECT_FALSE(rig.start());
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::CaptureUnreadable));
    rig.device.failOpenUnreadable = false;
    EXPECT_TRUE(rig.start());
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::CaptureNoInput));
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::CaptureUnreadable));
}

TEST(Control, ALostDeviceEndsCaptureTheNormalWay) {
    Rig rig;
    rig.start();
    rig.device.failureText = "device unplugged";
    rig.device.Stop();
    rig.device.deliverAll();
    EXPECT_EQ(rig.face.states.back(), false);
    EXPECT_EQ(rig.face.problems[ProblemKey::CaptureLost].detail, "device unplugged");
}

TEST(Control, UnloadDeletesTheScratchFileEvenOneThatExistedBefore) {
    Rig rig;
    EXPECT_TRUE(rig.files.held.count("~Record.tmp"));
    rig.start();
    EXPECT_TRUE(rig.monitor.unload());
    EXPECT_FALSE(rig.files.exists("~Record.tmp"));
    EXPECT_TRUE(rig.files.held.empty());
    EXPECT_EQ(rig.monitor.state().scratchFileNumber, 0);
}
