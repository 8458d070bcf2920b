#include <gtest/gtest.h>

#include <map>

#include "history/history_log.h"
#include "history/history_summary.h"
#include "history/history_view.h"
#include "support/fake_log_folder.h"

using namespace ravelin;
using ravelin::test::FakeLogFolder;

namespace {

const std::string kDay1 = "\u03bcSVHData20240501.csv";
const std::string kDay2 = "\u03bcSVHData20240502.csv";

std::string rec(const char* date, const char* clock, const char* dose) {
    return std::string("\"") + date + "\",\"" + clock + "\"," + dose + "\r\n";
}

std::vector<std::string> doses(const HistoryLog& log) {
    std::vector<std::string> out;
    for (const auto& r : log.records()) out.emplace_back(log.doseText(r));
    return out;
}

}  // namespace

TEST(HistoryReader, RecordLinesAndTheirCalendar) {
    ParsedRecord p;
    ASSERT_TRUE(parseRecordLine("\"2024/02/29\",\"23:59\",0.138", p));
    EXPECT_EQ(p.minute, minuteOf(2024, 2, 29, 23, 59));
    EXPECT_EQ(p.doseText, "0.138");
    EXPECT_DOUBLE_EQ(p.dose, 0.138);
    const CivilMinute c = civilOf(p.minute);
    EXPECT_EQ((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute}), (std::vector<int>{2024, 2, 29, 23, 59}));
    EXPECT_EQ(minuteOf(1970, 1, 2, 0, 0), 1440);
    for (const char* bad : {"\"2023/02/29\",\"00:00\",1", "\"2024/13/01\",\"00:00\",1", "\"2024/05/01\",\"24:00\",1",
                            "\"2024/05/01\",\"12:60\",1", "\"2024/05/01\",\"12:00\",", "\"2024/05/01\",\"12:00\",1e3",
                            "\"2024/05/01\",\"12:00\",0.1 ", "\"2024/05/01\",\"12:00\",.5", "\"2024/05/01\",\"12:00\",5.",
                            "date,records,mean,min,max", "2024/05/01,12:00,0.1", ""})
        EXPECT_FALSE(parseRecordLine(bad, p)) << bad;
    EXPECT_TRUE(isLogFileName(kDay1));
    EXPECT_TRUE(isLogFileName("\u03bcSVHData_copy.csv"));
    EXPECT_FALSE(isLogFileName("uSVHData20240501.csv"));
    EXPECT_FALSE(isLogFileName("\u03bcSVHData20240501.csv.bak"));
}

TEST(HistoryReader, MultiDayFilesOfSeveralRunsComeInTimeOrder) {
    FakeLogFolder folder;
    // Day 2 listed first; two runs into day 1, one with a minute written twice.
    folder.files[kDay2] = rec("2024/05/02", "00:00", "3");
    folder.files[kDay1] = rec("2024/05/01", "10:00", "1") + rec("2024/05/01", "10:01", "2") +
                          rec("2024/05/01", "09:00", "0.5") + rec("2024/05/01", "10:01", "2.5");
    folder.files["notes.txt"] = "not a log\r\n";
    HistoryLog log(folder);
    std::string error;
    EXPECT_EQ(log.refresh(error), 5);
    EXPECT_EQ(doses(log), (std::vector<std::string>{"0.5", "1", "2", "2.5", "3"}));
    EXPECT_TRUE(log.skipped().empty());
    EXPECT_EQ(log.fileCount(), 2u);
}

TEST(HistoryReader, TornAndForeignLinesAreSkippedAndCounted) {
    FakeLogFolder folder;
    folder.files[kDay1] = "\xef\xbb\xbf" "date,dose\r\n" + rec("2024/05/01", "00:00", "0.1") + "garbage\x01\xff\r\n\r\n" +
                          rec("2024/05/01", "00:01", "0.2") + "\"2024/05/01\",\"00:02\",0.1";  // cut in its dose
    HistoryLog log(folder);
    std::string error;
    log.refresh(error);
    EXPECT_EQ(doses(log), (std::vector<std::string>{"0.1", "0.2"}));
    ASSERT_EQ(log.skipped().size(), 3u);
    EXPECT_EQ(log.skipped()[0].line, 1u);
    EXPECT_EQ(log.skipped()[2].why, "empty line");
    log.finish();  // a one-time reading counts the cut line as torn
    ASSERT_EQ(log.skipped().size(), 4u);
    EXPECT_EQ(log.skipped()[3].line, 6u);
    EXPECT_EQ(log.skipped()[3].why, "torn (no line end)");
    EXPECT_EQ(skippedReport(log).substr(0, kDay1.size() + 8), kDay1 + " line 1:");
}

TEST(HistoryReader, FollowsAppendedRecordsAndRereadsATornLineWhenCompleted) {
    FakeLogFolder folder;
    folder.files[kDay1] = rec("2024/05/01", "00:00", "0.1") + "\"2024/05/01\",\"00:01\",0.1";
    HistoryLog log(folder);
    std::string error;
    EXPECT_EQ(log.refresh(error), 1);
    EXPECT_EQ(log.refresh(error), 0);  // the cut line is not taken with its wrong value
    folder.files[kDay1] += "38\r\n" + rec("2024/05/01", "00:02", "0.2");
    folder.files[kDay2] = rec("2024/05/02", "00:00", "0.3");
    EXPECT_EQ(log.refresh(error), 3);
    EXPECT_EQ(doses(log), (std::vector<std::string>{"0.1", "0.138", "0.2", "0.3"}));
    EXPECT_TRUE(log.skipped().empty());
    folder.unreadable = true;
    EXPECT_EQ(log.refresh(error), -1);
    EXPECT_EQ(error, "denied");
    EXPECT_EQ(log.records().size(), 4u);
}

TEST(HistorySummary, ExactMeanRoundsHalfToEvenOnTheDecimalTexts) {
    EXPECT_EQ(exactMeanText({"0.1", "0.2"}), "0.150");
    EXPECT_EQ(exactMeanText({"0.0005"}), "0.000");   // a half: to even
    EXPECT_EQ(exactMeanText({"0.0015"}), "0.002");
    EXPECT_EQ(exactMeanText({"0.0025"}), "0.002");
    EXPECT_EQ(exactMeanText({"0.00250001"}), "0.003");
    // 0.1225 + 0.1235 = 0.246 / 2 = 0.123 exactly; doubles would make 0.12299999...
    EXPECT_EQ(exactMeanText({"0.1225", "0.1235"}), "0.123");
    EXPECT_EQ(exactMeanText({"1", "2", "2"}), "1.667");
    EXPECT_EQ(exactMeanText({"0.001", "0.002"}), "0.002");  // 0.0015: to even
    EXPECT_EQ(exactMeanText({"0.003", "0.002"}), "0.002");  // 0.0025: to even
    EXPECT_EQ(exactMeanText({"9.9995"}), "10.000");
    EXPECT_EQ(exactMeanText({"-0.5", "0.1"}), "-0.200");
    EXPECT_EQ(exactMeanText({"-0.0004"}), "0.000");
    EXPECT_EQ(exactMeanText({"12345678901234567890123", "2"}), "6172839450617283945062.500");
    EXPECT_EQ(exactMeanText({}), "");
}

TEST(HistorySummary, OneLinePerDayWithRecordsInDateOrder) {
    FakeLogFolder folder;
    folder.files[kDay2] = rec("2024/05/02", "23:59", "0.25") + rec("2024/05/02", "00:00", "0.1380");
    folder.files[kDay1] = rec("2024/05/01", "12:00", "0.10") + rec("2024/05/01", "12:01", "0.1") +
                          rec("2024/05/01", "12:02", "0.3");
    folder.files["\u03bcSVHData20240504.csv"] = rec("2024/05/04", "00:00", "0.0625");
    HistoryLog log(folder);
    std::string error;
    log.refresh(error);
    EXPECT_EQ(historySummary(log),
              "date,records,mean,min,max\n"
              "2024-05-01,3,0.167,0.10,0.3\n"  // the first of equal values, as written
              "2024-05-02,2,0.194,0.1380,0.25\n"
              "2024-05-04,1,0.062,0.0625,0.0625\n");
}

TEST(HistoryView, GapsBreakTheLineAndColumnsKeepThePeaks) {
    std::vector<HistoryRecord> records;
    auto add = [&](int minute, float dose) { records.push_back({minute, dose, 0, 0}); };
    // Minutes 0..9, a stop of 3 minutes, then 13..14; one tall spike at minute 5.
    for (int m = 0; m < 10; ++m) add(m, m == 5 ? 4.f : 0.1f);
    add(13, 0.1f);
    add(14, 0.1f);
    add(16, 0.1f);  // two minutes on: no gap
    HistoryPlotInput in;
    in.range = {0, 20};
    in.alarm1 = 0.27;
    in.alarm2 = 2.7;
    HistoryPlot plot = historyPlot(records, in);
    ASSERT_EQ(plot.dose.size(), 2u);
    EXPECT_EQ(plot.dose[0].size(), 10u);  // wide columns: every record its own point
    EXPECT_EQ(plot.dose[1].size(), 3u);
    EXPECT_EQ(plot.average.size(), 2u);
    EXPECT_EQ(plot.records, 13u);
    EXPECT_EQ(plot.averageText, "移動平均（10分）");  // 20 minutes: the shortest window
    EXPECT_DOUBLE_EQ(plot.doseTop, 5);  // 4 × 1.1 to the next 1, 2, 2.5, 5
    ASSERT_TRUE(plot.alarm1Y && plot.alarm2Y);
    EXPECT_GT(*plot.alarm1Y, *plot.alarm2Y);

    // A narrow plot: 10 columns for 20 minutes; the spike's column keeps 4 and 0.1.
    in.width = 70 + 20 + 10;
    plot = historyPlot(records, in);
    ASSERT_EQ(plot.dose.size(), 2u);
    EXPECT_LE(plot.dose[0].size(), 10u);
    float top = plot.bottom;
    for (const auto& p : plot.dose[0]) top = std::min(top, p.y);
    EXPECT_NEAR(top, plot.bottom - 4.0 / 5 * (plot.bottom - plot.top), 1e-3);
}

TEST(HistoryView, RangesZoomAndTheRecordUnderThePointer) {
    std::vector<HistoryRecord> records;
    const int start = minuteOf(2024, 5, 1, 0, 0);
    for (int m = 0; m < 14 * 1440; m += 10) records.push_back({start + m, 0.1f, 0, 0});
    const int last = records.back().minute;
    EXPECT_EQ(spanRange(records, HistorySpan::Day), (HistoryRange{last + 1.0 - 1440, last + 1.0}));
    EXPECT_EQ(spanRange(records, HistorySpan::All), (HistoryRange{double(start), last + 1.0}));
    EXPECT_EQ(datesRange(records, start / 1440 + 1, start / 1440 + 1),
              (HistoryRange{start + 1440.0, start + 2880.0}));
    const HistoryRange z = zoomed({0, 100}, 25, 0.5);
    EXPECT_EQ(z, (HistoryRange{12.5, 62.5}));
    EXPECT_DOUBLE_EQ(zoomed({0, 12}, 6, 0.1).to - zoomed({0, 12}, 6, 0.1).from, 10);
    EXPECT_EQ(nearestRecord(records, {double(start), double(last)}, start + 14.0), 1u);
    EXPECT_EQ(nearestRecord(records, {double(start), double(last)}, start + 16.0), 2u);
    EXPECT_FALSE(nearestRecord(records, {start + 1.0, start + 5.0}, start + 3.0));
    EXPECT_EQ(averageWindowMinutes({0, 300}), 10);
    EXPECT_EQ(averageWindowMinutes({0, 7 * 1440}), 101);
    EXPECT_EQ(minuteText(start + 61), "2024/05/01 01:01");
}
