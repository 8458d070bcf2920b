#include <gtest/gtest.h>

#include "engine/convert.h"
#include "engine/dose.h"

using namespace ravelin;

namespace {
float sens(float box) { return *sensitivityFromBox(box); }
}  // namespace

TEST(Dose, WorkedExamplesOfTheFirstMinute) {
    MonitorState st;
    auto a = doseStep(st, 1, 3, sens(120));
    EXPECT_EQ(sens(120), 720.0f);
    EXPECT_EQ(a.cpmShown, 180);
    EXPECT_EQ(singleText(a.dose), "0.25");
    auto b = doseStep(st, 2, 0, sens(120));
    EXPECT_EQ(b.cpmShown, 90);
    // 1 pulse in 7 seconds: cpm 8.571..., shown as its floor.
    MonitorState st2;
    for (int s = 1; s <= 6; ++s) doseStep(st2, s, s == 1 ? 1 : 0, sens(120));
    EXPECT_EQ(doseStep(st2, 7, 0, sens(120)).cpmShown, 8);
}

TEST(Dose, FromSecondSixtyTheCpmIsTheSumAndTheDoseIsTruncated) {
    MonitorState st;
    for (int s = 1; s <= 59; ++s) doseStep(st, s, 0, sens(120));
    for (int s = 60; s < 160; ++s) doseStep(st, s, s >= 100 ? 1 : 0, sens(120));
    // Seconds 100..159: 60 pulses in the last 60 s, slots from an earlier minute overwritten.
    auto r = doseStep(st, 160, 0, sens(120));
    EXPECT_EQ(r.cpmShown, 59);
    MonitorState st3;
    for (int s = 1; s <= 59; ++s) doseStep(st3, s, 0, sens(120));
    doseStep(st3, 60, 100, sens(120));
    // 100 / 720 = 0.13888...: truncated, not rounded.
    EXPECT_EQ(singleText(st3.CurrentDose), "0.138");
}

TEST(Dose, EveryStepIsInSinglePrecision) {
    // 3 pulses in 25 seconds with 120 cps per mR/h: single steps give 0.01, a double shortcut 0.009.
    MonitorState st;
    for (int s = 1; s < 25; ++s) doseStep(st, s, s == 1 ? 3 : 0, sens(120));
    EXPECT_EQ(singleText(doseStep(st, 25, 0, sens(120)).dose), "0.01");
    // From the second minute on: 3 pulses with 0.1 cps per mR/h give 5, not 4.999.
    MonitorState st2;
    for (int s = 1; s < 60; ++s) doseStep(st2, s, 0, sens(0.1f));
    EXPECT_EQ(singleText(doseStep(st2, 60, 3, sens(0.1f)).dose), "5");
}

TEST(Dose, RingSlots) {
    MonitorState st;
    doseStep(st, 600, 7, sens(120));
    EXPECT_EQ(st.LatestHistoryIndex, 0);
    EXPECT_EQ(st.SecondCounts[0], 7);
    doseStep(st, 601, 0, sens(120));
    EXPECT_EQ(st.LatestHistoryIndex, 1);
    EXPECT_EQ(st.DoseHistory[1], st.CurrentDose);
    EXPECT_EQ(st.SecondCounts[1], 0);
}

TEST(Dose, SensitivityMustBeFiniteAndAboveZero) {
    EXPECT_FALSE(sensitivityFromBox(0));
    EXPECT_FALSE(sensitivityFromBox(-5));
    EXPECT_FALSE(sensitivityFromBox(3e38f));  // x 6 leaves the float range
    EXPECT_TRUE(sensitivityFromBox(1e-30f));
}

TEST(Dose, ADoseOutOfTheFloatRangeKeepsThePreviousOne) {
    MonitorState st;
    doseStep(st, 1, 3, sens(120));
    const auto r = doseStep(st, 2, 3, *sensitivityFromBox(1e-37f));
    EXPECT_FALSE(r.finite);
    EXPECT_EQ(singleText(st.CurrentDose), "0.25");
    EXPECT_EQ(st.DoseHistory[2], 0.25f);
}
