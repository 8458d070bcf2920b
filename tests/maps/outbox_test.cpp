#include <gtest/gtest.h>

#include "outputs/outbox.h"
#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
const std::string kPath = "state/safecast.outbox";
const std::string kDone = kPath + "-done";

MapReading reading(int minute, const std::string& cpm = "23") {
    return MapReading{{2026, 12, 8, 10, minute, 0}, cpm, "0.12", "22.50"};
}

struct Files {
    MemoryFileSystem fs;
    Files() { fs.folders.insert("state"); }
    Outbox open(std::size_t max = 100) {
        Outbox box(fs, kPath, max);
        std::string error;
        EXPECT_TRUE(box.load(error)) << error;
        return box;
    }
};
}  // namespace

TEST(OutboxLine, RoundTripsAndRefusesDamagedLines) {
    const MapReading r = reading(7);
    EXPECT_EQ(outboxLine(r), "2026-12-08T10:07:00Z,23,0.12,22.50\n");
    const auto back = parseOutboxLine("2026-12-08T10:07:00Z,23,0.12,22.50");
    ASSERT_TRUE(back);
    EXPECT_EQ(outboxLine(*back), outboxLine(r));
    for (const char* bad : {"", "2026-12-08T10:07:00Z,23,0.1", "2026-12-08T10:07:00Z,23,0.12,", "2026-12-08T10:07,23,1,1",
                            "2026-12-08T10:07:00Z,x,0.12,1", "2026-12-08T10:07:00Z,23,0.12,1,5",
                            "2026-13-08T10:07:00Z,23,0.12,1"})
        EXPECT_FALSE(parseOutboxLine(bad)) << bad;
}

TEST(Outbox, ReadingsWaitAcrossARestartUntilSentAndTheFilesGoWhenAllAreDone) {
    Files f;
    {
        Outbox box = f.open();
        box.add(reading(1), false);
        box.add(reading(2), false);
        box.add(reading(3), false);
        box.popFront(true);
        EXPECT_EQ(f.fs.files[kDone], "sent\n");
        EXPECT_GE(f.fs.syncs, 4);  // each line fsynced
    }
    {
        Outbox box = f.open();  // a restart: the two not sent wait, in order
        ASSERT_EQ(box.size(), 2u);
        EXPECT_EQ(box.front().utc.minute, 2);
        box.popFront(true);
        box.popFront(true);
        EXPECT_TRUE(box.empty());
        EXPECT_FALSE(f.fs.exists(kPath));
        EXPECT_FALSE(f.fs.exists(kDone));
    }
}

TEST(Outbox, ALineCutByACrashIsNeitherMergedNorCounted) {
    Files f;
    f.fs.files[kPath] = outboxLine(reading(1)) + outboxLine(reading(2)) + "2026-12-08T10:03:00Z,2";
    f.fs.files[kDone] = "sent\nse";  // the second "sent" cut short
    Outbox box = f.open();
    ASSERT_EQ(box.size(), 1u);  // reading 2 is sent again (Safecast takes a repeat as a repeat)
    EXPECT_EQ(box.front().utc.minute, 2);
    box.add(reading(4), false);
    box.popFront(true);
    // Both cut lines are closed before anything follows them.
    EXPECT_EQ(f.fs.files[kPath], outboxLine(reading(1)) + outboxLine(reading(2)) + "2026-12-08T10:03:00Z,2\n" +
                                     outboxLine(reading(4)));
    EXPECT_EQ(f.fs.files[kDone], "sent\nse\nsent\n");
    Outbox again = f.open();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.front().utc.minute, 4);
}

TEST(Outbox, AFullDiskKeepsReadingsInMemoryInOrderAndWritesThemLater) {
    Files f;
    Outbox box = f.open();
    box.add(reading(1), false);
    f.fs.writeLimit = 5;
    f.fs.failWritesAfter = 1;  // 5 bytes go, then the disk is full
    box.add(reading(2), false);
    box.add(reading(3), false);
    EXPECT_EQ(box.unwritten(), 2u);
    EXPECT_NE(box.lastError().find("No space left on device"), std::string::npos);
    f.fs.writeLimit = -1;
    f.fs.failWritesAfter = -1;
    box.popFront(true);  // the disk has room again: the kept readings follow the cut line
    EXPECT_EQ(box.unwritten(), 0u);
    EXPECT_EQ(box.lastError(), "");
    EXPECT_EQ(f.fs.files[kPath], outboxLine(reading(1)) + "2026-\n" + outboxLine(reading(2)) + outboxLine(reading(3)));
    Outbox again = f.open();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again.front().utc.minute, 2);
}

TEST(Outbox, AReadingSentBeforeItReachedTheFileLeavesNoDoneLine) {
    Files f;
    Outbox box = f.open();
    f.fs.failOpen = true;
    box.add(reading(1), false);
    EXPECT_EQ(box.unwritten(), 1u);
    box.popFront(true);
    f.fs.failOpen = false;
    box.add(reading(2), false);
    EXPECT_FALSE(f.fs.exists(kDone));
    Outbox again = f.open();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.front().utc.minute, 2);
}

TEST(Outbox, TheCapDropsTheOldestButNeverTheOneInFlight) {
    Files f;
    Outbox box = f.open(2);
    box.add(reading(1), false);
    box.add(reading(2), false);
    box.add(reading(3), true);  // reading 1 is in flight: kept, one over the cap for now
    EXPECT_EQ(box.size(), 3u);
    box.popFront(true);
    box.trim(false);
    EXPECT_EQ(box.size(), 2u);
    box.add(reading(4), false);
    EXPECT_EQ(box.size(), 2u);
    EXPECT_EQ(box.dropped(), 1u);
    EXPECT_EQ(box.front().utc.minute, 3);
    EXPECT_EQ(f.fs.files[kDone], "sent\ndropped\n");
    Outbox again = f.open(2);
    EXPECT_EQ(again.front().utc.minute, 3);
}

TEST(Outbox, AFailedSyncAfterAWholeLineWritesItOnceOnly) {
    Files f;
    Outbox box = f.open();
    f.fs.failSync = true;
    box.add(reading(1), false);
    f.fs.failSync = false;
    box.add(reading(2), false);
    EXPECT_EQ(f.fs.files[kPath], outboxLine(reading(1)) + outboxLine(reading(2)));
    box.popFront(true);
    Outbox again = f.open();
    ASSERT_EQ(again.size(), 1u) << "the done line matches the one written line";
    EXPECT_EQ(again.front().utc.minute, 2);
}
