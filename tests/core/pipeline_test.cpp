#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

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
}
