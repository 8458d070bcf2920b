// What systemd is told: ready after the first buffer, a status a minute, the watchdog
// petted on buffers at most every half timeout, and nothing once buffers stop.
#include <gtest/gtest.h>

#include "outputs/service_status.h"
#include "support/fakes.h"

namespace ravelin {
namespace {

SecondReport second(std::int32_t s) { return SecondReport{s, s * 2, 120, 0.5f, true, 0, 0}; }

TEST(ServiceStatus, ReadyOnceThenAStatusEveryMinute) {
    test::FakeServiceManager manager;  // no watchdog
    ServiceStatus status(manager);
    EXPECT_TRUE(manager.told.empty()) << "nothing before the first buffer";
    for (int s = 1; s <= 180; ++s) status.secondDone(second(s));
    ASSERT_EQ(manager.told.size(), 4u);
    EXPECT_EQ(manager.told[0], "READY=1\nSTATUS=1 s: 120 CPM, 0.5 µSv/h");
    EXPECT_EQ(manager.told[1], "STATUS=60 s: 120 CPM, 0.5 µSv/h");
    EXPECT_EQ(manager.told[3], "STATUS=180 s: 120 CPM, 0.5 µSv/h");
    status.stopping();
    status.stopping();
    status.secondDone(second(240));
    ASSERT_EQ(manager.told.size(), 5u);
    EXPECT_EQ(manager.told[4], "STOPPING=1\nSTATUS=stopping");
}

TEST(ServiceStatus, TheWatchdogIsPettedOnBuffersAtMostEveryHalfTimeout) {
    test::FakeServiceManager manager(10'000'000);  // WatchdogSec=10
    ServiceStatus status(manager);
    std::vector<std::int64_t> pets;
    for (int s = 1; s <= 30; ++s) {
        manager.now = s * 1'000'000LL;
        const std::size_t before = manager.told.size();
        status.secondDone(second(s));
        if (manager.told.size() > before && manager.told.back().ends_with("WATCHDOG=1")) pets.push_back(s);
    }
    EXPECT_EQ(pets, (std::vector<std::int64_t>{1, 6, 11, 16, 21, 26}));
    EXPECT_EQ(manager.told[0], "READY=1\nSTATUS=1 s: 120 CPM, 0.5 µSv/h\nWATCHDOG=1");
    // Buffers that come fast (a replay) do not flood the manager.
    const std::size_t before = manager.told.size();
    for (int s = 31; s <= 59; ++s) status.secondDone(second(s));
    EXPECT_EQ(manager.told.size(), before);
    // No buffer, no pet, however long it has been.
    manager.now += 3'600'000'000LL;
    EXPECT_EQ(manager.told.size(), before);
    status.secondDone(second(60));
    EXPECT_EQ(manager.told.back(), "STATUS=60 s: 120 CPM, 0.5 µSv/h\nWATCHDOG=1");
}

}  // namespace
}  // namespace ravelin
