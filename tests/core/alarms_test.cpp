#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
// A rig in its second second with a chosen dose: sensitivity 720 CPM per µSv/h, so n pulses
// in one second of the first minute give n x 60 / 720 µSv/h.
struct AlarmRig : Rig {
    AlarmRig() { start("120"); }
    // 3 pulses -> 0.25, 12 pulses -> 1, 36 -> 3
    void secondAt(int pulses) { secondWithPulses(pulses); }
    void runFresh(int pulses) {
        monitor.stop();
        device.deliverAll();
        start("120");
        secondWithPulses(pulses);
    }
};
}  // namespace

TEST(Alarms, AStageFiresOnlyAboveItsLimitAndLatches) {
    AlarmRig rig;
    rig.face.checks[Check::Check2] = true;
    rig.face.texts[Box::Text9] = "0.25";
    rig.secondAt(3);  // 0.25: equal, does not fire
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 0);
    EXPECT_TRUE(rig.player.calls.empty());
    rig.face.texts[Box::Text9] = "0.249";  // an edited limit counts at the next second
    rig.runFresh(3);
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
    EXPECT_EQ(rig.player.playing, "daiichi.wav");
    // Latched: no further checks, whatever the limit box says.
    rig.face.texts[Box::Text9] = "garbage";
    rig.secondAt(3);
    EXPECT_EQ(rig.player.calls.size(), 1u);
    EXPECT_FALSE(rig.face.hasProblem(settingProblem(Setting::Alarm1Limit)));
}

TEST(Alarms, BothStagesInOneSecondLeaveStageTwoPlaying) {
    AlarmRig rig;
    rig.face.checks[Check::Check2] = true;
    rig.face.checks[Check::Check3] = true;
    rig.face.texts[Box::Text10] = "2";
    rig.runFresh(36);  // 3 µSv/h
    EXPECT_EQ(rig.player.calls, (std::vector<std::string>{"play daiichi.wav", "play daini.wav"}));
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
    EXPECT_EQ(rig.monitor.state().AlarmLatch2, 1);
    // Stage 1's button silences stage 2's sound and clears only its own latch...
    rig.monitor.stopAlarm(1);
    EXPECT_EQ(rig.player.playing, "");
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 0);
    EXPECT_EQ(rig.monitor.state().AlarmLatch2, 1);
    // ...and stage 1, still above its limit, starts again the next second.
    rig.secondAt(36);
    EXPECT_EQ(rig.player.playing, "daiichi.wav");
}

TEST(Alarms, OnlyTheStopButtonsEndASound) {
    AlarmRig rig;
    rig.face.checks[Check::Check2] = true;
    rig.runFresh(12);
    ASSERT_EQ(rig.player.playing, "daiichi.wav");
    rig.face.checks[Check::Check2] = false;  // unticking leaves it latched and playing
    rig.secondAt(0);
    rig.monitor.stop();  // so does Stop
    rig.device.deliverAll();
    EXPECT_EQ(rig.player.playing, "daiichi.wav");
    rig.face.checks[Check::Check2] = true;
    rig.start("120");  // and Start
    rig.secondAt(12);
    EXPECT_EQ(rig.player.calls.size(), 1u);
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
    rig.monitor.stopAlarm(2);  // the other button stops the sound but not this latch
    EXPECT_EQ(rig.player.playing, "");
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 1);
}

TEST(Alarms, ALimitThatDoesNotConvertUsesTheLastOneOrLeavesTheStageUnchecked) {
    AlarmRig rig;
    rig.face.checks[Check::Check3] = true;
    rig.face.texts[Box::Text10] = "";  // never converted: stage 2 is not checked
    rig.runFresh(36);
    EXPECT_EQ(rig.monitor.state().AlarmLatch2, 0);
    EXPECT_TRUE(rig.face.hasProblem(settingProblem(Setting::Alarm2Limit)));
    rig.face.texts[Box::Text10] = "5";
    rig.secondAt(36);
    EXPECT_FALSE(rig.face.hasProblem(settingProblem(Setting::Alarm2Limit)));
    rig.face.texts[Box::Text10] = "5,0";  // 5 still holds: 3 µSv/h does not fire
    rig.secondAt(36);
    EXPECT_EQ(rig.monitor.state().AlarmLatch2, 0);
    rig.face.texts[Box::Text10] = "\xef\xbc\x91";  // full-width 1
    rig.secondAt(36);
    EXPECT_EQ(rig.monitor.state().AlarmLatch2, 1);
}

TEST(Alarms, StopButtonWithNothingPlaying) {
    AlarmRig rig;
    rig.monitor.stopAlarm(1);
    EXPECT_EQ(rig.monitor.state().AlarmLatch1, 0);
    EXPECT_EQ(rig.player.calls, (std::vector<std::string>{"stop"}));
}
