// A record is never merged with another line: a file found ending in a cut line has it
// closed first, and the rest of a cut record goes only into the very file it was cut in.
#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
const std::string kName = "\xce\xbcSVHData20120305.csv";
const std::string kRecord = "\"2012/03/05\",\"09:41\",0.1\r\n";

struct Log {
    MemoryFileSystem fs;
    CsvLog log{fs};
    FixedClock clock;
    bool append(const std::string& folder = "") { return log.append(makeLogRecord(clock, folder, 0.1f)); }
    // Ten bytes of the record go in, then the disk is full.
    void cutAfterTenBytes(const std::string& folder = "") {
        fs.writeLimit = 10;
        fs.failWritesAfter = 1;
        EXPECT_FALSE(append(folder));
        fs.writeLimit = -1;
        fs.failWritesAfter = -1;
    }
};
}  // namespace

TEST(CsvLogCutLines, AFileEndingInACutLineHasItClosedOnceAndTheRecordsGoWholeAfterIt) {
    struct Case {
        const char* name;
        std::string before;  // what a run before left in the file
        std::string after;   // the file after two records
        bool found;
    };
    const std::string twice = kRecord + kRecord;
    const Case cases[] = {
        {"a fragment", "\"2012/03/05\",\"09:4", "\"2012/03/05\",\"09:4\r\n" + twice, true},
        // The CR of a record's CR LF got in: the LF makes it whole again.
        {"a bare CR", kRecord + "\"2012/03/05\",\"09:40\",0.2\r", kRecord + "\"2012/03/05\",\"09:40\",0.2\r\n" + twice, true},
        {"a bare LF", "x\n", "x\n" + twice, false},
        {"whole records", kRecord, kRecord + twice, false},
        {"nothing", "", twice, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Log l;
        l.fs.replace(kName, c.before);
        EXPECT_TRUE(l.append());
        EXPECT_TRUE(l.append());
        EXPECT_EQ(l.fs.files[kName], c.after);
        EXPECT_EQ(l.log.takeCutFiles(), c.found ? std::vector<std::string>{kName} : std::vector<std::string>{});
        EXPECT_TRUE(l.log.takeCutFiles().empty());  // said once
    }
}

TEST(CsvLogCutLines, TheRestOfACutRecordGoesOnlyIntoTheFileItWasCutIn) {
    {
        SCOPED_TRACE("the same file, as it was left: completed");
        Log l;
        l.cutAfterTenBytes();
        EXPECT_TRUE(l.log.retry());
        EXPECT_EQ(l.fs.files[kName], kRecord);
        EXPECT_TRUE(l.log.takeCutFiles().empty());
    }
    {
        SCOPED_TRACE("another file put in its place: the record whole there, the old fragment gone with its file");
        Log l;
        l.cutAfterTenBytes();
        l.fs.replace(kName, "");
        EXPECT_TRUE(l.log.retry());
        EXPECT_EQ(l.fs.files[kName], kRecord);
    }
    {
        SCOPED_TRACE("another file of the same name ending in a fragment of its own");
        Log l;
        l.cutAfterTenBytes();
        l.fs.replace(kName, "\"2012/03/0");
        EXPECT_TRUE(l.log.retry());
        EXPECT_EQ(l.fs.files[kName], "\"2012/03/0\r\n" + kRecord);
        EXPECT_EQ(l.log.takeCutFiles(), std::vector<std::string>{kName});
    }
    {
        SCOPED_TRACE("the same file cut shorter: the fragment closed, the record whole");
        Log l;
        l.fs.replace(kName, kRecord);
        l.cutAfterTenBytes();
        l.fs.files[kName].resize(kRecord.size() + 4);
        EXPECT_TRUE(l.log.retry());
        EXPECT_EQ(l.fs.files[kName], kRecord + "\"201\r\n" + kRecord);
    }
    {
        SCOPED_TRACE("the same file truncated to nothing");
        Log l;
        l.cutAfterTenBytes();
        l.fs.files[kName].clear();
        EXPECT_TRUE(l.log.retry());
        EXPECT_EQ(l.fs.files[kName], kRecord);
    }
    {
        SCOPED_TRACE("the same file written to by another program since");
        Log l;
        l.cutAfterTenBytes();
        l.fs.files[kName] += "zz";
        EXPECT_TRUE(l.log.retry());
        EXPECT_EQ(l.fs.files[kName], "\"2012/03/0zz\r\n" + kRecord);
    }
}

TEST(CsvLogCutLines, AFolderRemovedAndMadeAgainGetsTheCutRecordWholeInItsNewFile) {
    Log l;
    l.cutAfterTenBytes("m/");
    l.fs.failWritesAfter = 0;  // still full: the next record waits behind it
    l.clock.time.minute = 42;
    EXPECT_FALSE(l.append("m/"));
    l.fs.failWritesAfter = -1;
    // Someone frees space by removing the folder; the log makes it again.
    l.fs.removeFolder("m");
    l.clock.time.minute = 43;
    EXPECT_TRUE(l.append("m/"));
    EXPECT_EQ(l.fs.files["m/" + kName],
              kRecord + "\"2012/03/05\",\"09:42\",0.1\r\n\"2012/03/05\",\"09:43\",0.1\r\n");
}

TEST(CsvLogCutLines, ACloseCutShortIsFinishedByTheNextTry) {
    Log l;
    l.fs.replace(kName, "\"2012/03/0");
    l.fs.writeLimit = 1;
    l.fs.failWritesAfter = 1;  // the CR goes in, not the LF
    EXPECT_FALSE(l.append());
    EXPECT_EQ(l.fs.files[kName], "\"2012/03/0\r");
    l.fs.writeLimit = -1;
    l.fs.failWritesAfter = -1;
    EXPECT_TRUE(l.log.retry());
    EXPECT_EQ(l.fs.files[kName], "\"2012/03/0\r\n" + kRecord);
}

TEST(CsvLogCutLines, AFileThatCannotBeReadIsAppendedToAsItIs) {
    Log l;
    l.fs.replace(kName, "\"2012/03/0");
    l.fs.unreadable.insert(kName);
    EXPECT_TRUE(l.append());
    EXPECT_EQ(l.fs.files[kName], "\"2012/03/0" + kRecord);
    EXPECT_TRUE(l.log.takeCutFiles().empty());
}

TEST(CsvLogCutLines, SavingIntoAnotherFolderClosesACutLineAndCompletesOnlyInTheSameFile) {
    Log l;
    l.fs.failMkdir = true;
    EXPECT_FALSE(l.append("/gone/"));
    l.fs.folders.insert("/else");
    const std::string saved = "/else/" + kName;
    l.fs.replace(saved, "\"2012/03/05\",\"0");
    std::string error;
    l.fs.writeLimit = 10;
    l.fs.failWritesAfter = 2;  // the close and ten bytes of the record go in
    EXPECT_FALSE(l.log.writePendingInto("/else", error));
    EXPECT_EQ(l.fs.files[saved], "\"2012/03/05\",\"0\r\n\"2012/03/0");
    EXPECT_EQ(l.log.takeCutFiles(), std::vector<std::string>{saved});
    // Replaced before the second try: the record whole, after closing what is there now.
    l.fs.replace(saved, "x");
    l.fs.writeLimit = -1;
    l.fs.failWritesAfter = -1;
    EXPECT_TRUE(l.log.writePendingInto("/else", error));
    EXPECT_EQ(l.fs.files[saved], "x\r\n" + kRecord);
    EXPECT_EQ(l.log.takeCutFiles(), std::vector<std::string>{saved});
}

TEST(CsvLogCutLines, TheWindowIsToldOfEachCutLineFoundUntilTheNextStart) {
    Rig rig;
    rig.files.replace(kName, "\"2012/03/05\",\"09:4");
    rig.start();
    for (int s = 1; s <= 60; ++s) rig.secondWithPulses(0);
    ASSERT_TRUE(rig.face.hasProblem(ProblemKey::LogLineCut));
    EXPECT_EQ(rig.face.problems[ProblemKey::LogLineCut].detail, kName);
    EXPECT_EQ(rig.files.files[kName], "\"2012/03/05\",\"09:4\r\n\"2012/03/05\",\"09:41\",0\r\n");
    // Nothing new found: it stands as it was.
    for (int s = 1; s <= 60; ++s) rig.secondWithPulses(0);
    EXPECT_TRUE(rig.face.hasProblem(ProblemKey::LogLineCut));
    rig.monitor.stop();
    rig.device.deliverAll();
    rig.start();
    EXPECT_FALSE(rig.face.hasProblem(ProblemKey::LogLineCut));
}
