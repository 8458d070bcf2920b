#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
const std::string kMu = "\xce\xbc";  // U+03BC, not the micro sign U+00B5
}

TEST(CsvRecord, NameAndBytes) {
    FixedClock clock;
    const LogRecord r = makeLogRecord(clock, "logs/", 1.25f);
    EXPECT_EQ(r.path, "logs/" + kMu + "SVHData20120305.csv");
    EXPECT_EQ(r.line(), "\"2012/03/05\",\"09:41\",1.25\r\n");
    EXPECT_EQ(makeLogRecord(clock, "", 0.0f).line(), "\"2012/03/05\",\"09:41\",0\r\n");
    EXPECT_EQ(makeLogRecord(clock, "", 0.138f).doseText, "0.138");
    clock.time = {2026, 12, 31, 0, 5, 0};
    EXPECT_EQ(makeLogRecord(clock, "", 0.1f).path, kMu + "SVHData20261231.csv");
}

TEST(CsvLog, RecordsFallOnEverySixtiethSecondOfARun) {
    Rig rig;
    rig.start();
    for (int s = 1; s <= 119; ++s) rig.secondWithPulses(s == 60 ? 1 : 0);
    const std::string file = kMu + "SVHData20120305.csv";
    EXPECT_EQ(rig.files.files[file], "\"2012/03/05\",\"09:41\",0.001\r\n");
    // Stopping at 119 and starting again: the new run's first record is its own second 60.
    rig.monitor.stop();
    rig.device.deliverAll();
    rig.start();
    for (int s = 1; s <= 60; ++s) rig.secondWithPulses(0);
    EXPECT_EQ(rig.files.files[file], "\"2012/03/05\",\"09:41\",0.001\r\n\"2012/03/05\",\"09:41\",0\r\n");
}

TEST(CsvLog, UntickedLoggingWritesNothing) {
    Rig rig;
    rig.face.checks[Check::Check4] = false;
    rig.start();
    for (int s = 1; s <= 60; ++s) rig.secondWithPulses(0);
    EXPECT_EQ(rig.files.opens, 0);
}

TEST(CsvLog, ARunPastMidnightStartsTheFileOfTheNewDate) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    clock.time = {2026, 12, 7, 23, 59, 30};
    log.append(makeLogRecord(clock, "", 0.1f));
    clock.time = {2026, 12, 8, 0, 0, 30};
    log.append(makeLogRecord(clock, "", 0.2f));
    EXPECT_EQ(fs.files[kMu + "SVHData20261207.csv"], "\"2026/12/07\",\"23:59\",0.1\r\n");
    EXPECT_EQ(fs.files[kMu + "SVHData20261208.csv"], "\"2026/12/08\",\"00:00\",0.2\r\n");
}

TEST(CsvLog, AMissingFolderIsCreated) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    EXPECT_TRUE(log.append(makeLogRecord(clock, "data/logs/", 0.1f)));
    EXPECT_TRUE(fs.folders.count("data/logs"));
    EXPECT_EQ(fs.files["data/logs/" + kMu + "SVHData20120305.csv"], "\"2012/03/05\",\"09:41\",0.1\r\n");
}

TEST(CsvLog, FailedRecordsAreKeptAndWrittenInOrderIntoTheFileOfTheirDate) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    clock.time = {2026, 12, 7, 23, 59, 0};
    fs.failOpen = true;
    EXPECT_FALSE(log.append(makeLogRecord(clock, "", 0.1f)));
    EXPECT_NE(log.lastError().find("Permission denied"), std::string::npos);
    clock.time = {2026, 12, 8, 0, 0, 0};
    EXPECT_FALSE(log.append(makeLogRecord(clock, "", 0.2f)));
    EXPECT_EQ(log.pending().size(), 2u);
    fs.failOpen = false;
    clock.time = {2026, 12, 8, 0, 1, 0};
    EXPECT_TRUE(log.append(makeLogRecord(clock, "", 0.3f)));
    EXPECT_EQ(fs.files[kMu + "SVHData20261207.csv"], "\"2026/12/07\",\"23:59\",0.1\r\n");
    EXPECT_EQ(fs.files[kMu + "SVHData20261208.csv"], "\"2026/12/08\",\"00:00\",0.2\r\n\"2026/12/08\",\"00:01\",0.3\r\n");
    EXPECT_TRUE(log.pending().empty());
}

TEST(CsvLog, AFolderThatCannotBeWrittenHoldsBackOnlyItsOwnRecords) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    fs.deniedFolders = {"bad"};
    clock.time = {2026, 12, 7, 10, 0, 0};
    EXPECT_FALSE(log.append(makeLogRecord(clock, "bad/", 0.1f)));
    // The user picks another folder: its records go there at once.
    clock.time = {2026, 12, 7, 10, 1, 0};
    EXPECT_FALSE(log.append(makeLogRecord(clock, "good/", 0.2f)));
    clock.time = {2026, 12, 7, 10, 2, 0};
    EXPECT_FALSE(log.append(makeLogRecord(clock, "bad/", 0.3f)));
    const std::string name = kMu + "SVHData20261207.csv";
    EXPECT_EQ(fs.files["good/" + name], "\"2026/12/07\",\"10:01\",0.2\r\n");
    EXPECT_EQ(log.pending().size(), 2u);
    // The bad folder's records keep their order when it can be written again.
    fs.deniedFolders.clear();
    EXPECT_TRUE(log.retry());
    EXPECT_EQ(fs.files["bad/" + name], "\"2026/12/07\",\"10:00\",0.1\r\n\"2026/12/07\",\"10:02\",0.3\r\n");
}

TEST(CsvLog, APartlyWrittenRecordIsCompletedNeverWrittenTwice) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    fs.writeLimit = 10;
    fs.failWritesAfter = 1;  // 10 bytes go out, then the disk is full
    EXPECT_FALSE(log.append(makeLogRecord(clock, "", 1.25f)));
    const std::string file = kMu + "SVHData20120305.csv";
    EXPECT_EQ(fs.files[file], "\"2012/03/0");
    fs.failWritesAfter = -1;
    fs.writeLimit = 3;  // short writes go on until the record is complete
    EXPECT_TRUE(log.retry());
    EXPECT_EQ(fs.files[file], "\"2012/03/05\",\"09:41\",1.25\r\n");
}

TEST(CsvLog, EveryRecordIsSyncedAndAFailedSyncIsRetriedWithoutRewriting) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    fs.failSync = true;
    EXPECT_FALSE(log.append(makeLogRecord(clock, "", 0.5f)));
    fs.failSync = false;
    EXPECT_TRUE(log.retry());
    EXPECT_EQ(fs.files[kMu + "SVHData20120305.csv"], "\"2012/03/05\",\"09:41\",0.5\r\n");
    EXPECT_EQ(fs.syncs, 2);
}

TEST(CsvLog, UnwrittenRecordsAreReportedAndRetriedAtStop) {
    Rig rig;
    rig.files.failMkdir = true;
    rig.monitor.state().SaveFolder = "nowhere/";
    rig.start();
    for (int s = 1; s <= 60; ++s) rig.secondWithPulses(0);
    ASSERT_TRUE(rig.face.hasProblem(ProblemKey::UnwrittenRecords));
    EXPECT_EQ(rig.face.problems[ProblemKey::UnwrittenRecords].detail, "1");
    rig.files.failMkdir = false;
    rig.monitor.stop();
    rig.device.deliverAll();
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::UnwrittenRecords));
    EXPECT_EQ(rig.files.files["nowhere/" + kMu + "SVHData20120305.csv"], "\"2012/03/05\",\"09:41\",0\r\n");
}

TEST(CsvLog, UnloadTellsWhenRecordsAreStillUnwritten) {
    Rig rig;
    rig.files.failOpen = true;
    rig.start();
    for (int s = 1; s <= 60; ++s) rig.secondWithPulses(0);
    EXPECT_FALSE(rig.monitor.unload());
    EXPECT_EQ(rig.monitor.log().pending().size(), 1u);
}

TEST(CsvLog, PendingRecordsSavedIntoAnotherFolderLeaveTheQueueOneByOne) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    fs.failMkdir = true;
    clock.time = {2026, 12, 7, 23, 59, 0};
    EXPECT_FALSE(log.append(makeLogRecord(clock, "/gone/", 0.1f)));
    clock.time = {2026, 12, 8, 0, 0, 0};
    EXPECT_FALSE(log.append(makeLogRecord(clock, "/gone/", 0.2f)));
    EXPECT_EQ(log.unwrittenLines(),
              (std::vector<std::string>{"unwritten record for /gone/" + kMu + "SVHData20261207.csv: \"2026/12/07\",\"23:59\",0.1",
                                        "unwritten record for /gone/" + kMu + "SVHData20261208.csv: \"2026/12/08\",\"00:00\",0.2"}));

    // The disk fills after the first: that one is saved and leaves the queue, the other stays.
    fs.folders.insert("/else");
    fs.failWritesAfter = 1;
    std::string error;
    EXPECT_FALSE(log.writePendingInto("/else", error));
    EXPECT_EQ(error, "No space left on device");
    ASSERT_EQ(log.pending().size(), 1u);
    EXPECT_EQ(log.pending().front().record.date, "2026/12/08");

    // Asked again, only the one left is written: nothing is saved twice.
    fs.failWritesAfter = -1;
    EXPECT_TRUE(log.writePendingInto("/else/", error));
    EXPECT_TRUE(log.pending().empty());
    EXPECT_EQ(fs.files["/else/" + kMu + "SVHData20261207.csv"], "\"2026/12/07\",\"23:59\",0.1\r\n");
    EXPECT_EQ(fs.files["/else/" + kMu + "SVHData20261208.csv"], "\"2026/12/08\",\"00:00\",0.2\r\n");
    EXPECT_EQ(fs.files.count("/gone/" + kMu + "SVHData20261207.csv"), 0u);
}

TEST(CsvLog, ARecordCutShortInAnotherFolderIsCompletedThereNotTorn) {
    MemoryFileSystem fs;
    CsvLog log(fs);
    FixedClock clock;
    fs.failMkdir = true;
    EXPECT_FALSE(log.append(makeLogRecord(clock, "/gone/", 0.1f)));
    fs.folders.insert("/else");
    fs.writeLimit = 10;
    fs.failWritesAfter = 1;  // ten bytes go in, then the disk is full
    std::string error;
    EXPECT_FALSE(log.writePendingInto("/else", error));
    const std::string name = "/else/" + kMu + "SVHData20120305.csv";
    EXPECT_EQ(fs.files[name], "\"2012/03/0");
    fs.writeLimit = -1;
    fs.failWritesAfter = -1;
    EXPECT_TRUE(log.writePendingInto("/else", error));
    EXPECT_EQ(fs.files[name], "\"2012/03/05\",\"09:41\",0.1\r\n");
}
