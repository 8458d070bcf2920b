#include <gtest/gtest.h>

#include "app/assembly.h"
#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

// The headless line's place: what it saw, and whether capture still ran when it saw it.
struct FirstObserver : PipelineObserver {
    explicit FirstObserver(FakeDevice& d) : device(d) {}
    void secondDone(const SecondReport& r) override { seen.push_back({r.seconds, device.recording}); }
    FakeDevice& device;
    std::vector<std::pair<long long, bool>> seen;
};

struct AssemblyRig {
    explicit AssemblyRig(const Options& o) : options(o) { assembly.monitor().load(); }
    void second() {
        device.fill(std::vector<std::uint8_t>(22050, 128));
        device.deliverAll();
    }
    Options options;
    FakeFace face;
    FakeDevice device;
    MemoryFileSystem files;
    FixedClock clock;
    RecordingPlayer player;
    FirstObserver first{device};
    Assembly assembly{options, face, face, device, player, nullptr, &first, files, clock};
};

}  // namespace

TEST(Assembly, TheCommandLineSetsTheRunAndTheSecondsStopComesAfterTheFirstObserver) {
    Options o;
    o.logFolder = "logs";
    o.deadTimeSeconds = 0.0001;
    o.seconds = 2;
    AssemblyRig rig(o);
    EXPECT_EQ(rig.assembly.monitor().state().SaveFolder, "logs/");
    EXPECT_EQ(rig.assembly.monitor().state().DeadTime, 0.0001);
    rig.face.texts[Box::Text7] = "120";
    ASSERT_TRUE(rig.assembly.monitor().start());
    rig.device.deliverAll();
    rig.second();
    rig.second();
    EXPECT_EQ(rig.first.seen, (std::vector<std::pair<long long, bool>>{{1, true}, {2, true}}));
    EXPECT_FALSE(rig.device.recording);

    // Without the options the run keeps its defaults and does not stop.
    AssemblyRig plain{Options{}};
    EXPECT_EQ(plain.assembly.monitor().state().SaveFolder, "");
    EXPECT_FALSE(plain.assembly.monitor().state().DeadTime);
    plain.face.texts[Box::Text7] = "120";
    ASSERT_TRUE(plain.assembly.monitor().start());
    plain.device.deliverAll();
    for (int s = 0; s < 3; ++s) plain.second();
    EXPECT_TRUE(plain.device.recording);
    std::string error;
    EXPECT_TRUE(plain.assembly.startStation(error));  // no --mqtt: no station, no error
}

TEST(Assembly, UnloadSaysEachUnwrittenRecordOnStderr) {
    Options o;
    o.logFolder = "/gone";
    AssemblyRig rig(o);
    rig.files.failMkdir = true;
    rig.face.texts[Box::Text7] = "120";
    ASSERT_TRUE(rig.assembly.monitor().start());
    rig.device.deliverAll();
    for (int s = 0; s < 60; ++s) rig.second();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(rig.assembly.unload());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ravelin: unwritten record for /gone/\xce\xbcSVHData20120305.csv: \"2012/03/05\",\"09:41\",0\n");

    rig.files.failMkdir = false;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(rig.assembly.monitor().retryLog());
    EXPECT_TRUE(rig.assembly.unload());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
