// The one table of settings: its rows as the window, the options and the sentences use them.
#include <gtest/gtest.h>

#include <set>

#include "engine/convert.h"
#include "engine/problems.h"
#include "engine/setting_table.h"

using namespace ravelin;

TEST(SettingTable, EachSettingHasItsBoxDefaultLabelAndOption) {
    struct Expected {
        Setting setting;
        Box box;
        const char *defaultText, *label, *option;
    };
    const Expected rows[] = {
        {Setting::Threshold, Box::Text3, "50", "しきい値", "--threshold"},
        {Setting::DeadBand, Box::Text4, "3", "不感帯", "--dead-band"},
        {Setting::Skip, Box::Text5, "10", "分解能", "--skip"},
        {Setting::Sensitivity, Box::Text7, "", "GM菅γ線感度", "--sensitivity"},
        {Setting::Alarm1Limit, Box::Text9, "0.27", "第一段警報上限値", "--alarm1"},
        {Setting::Alarm2Limit, Box::Text10, "2.7", "第二段警報上限値", "--alarm2"},
    };
    std::set<ProblemKey> problems;
    for (const auto& e : rows) {
        const SettingRow& row = settingRow(e.setting);
        EXPECT_EQ(row.box, e.box);
        EXPECT_EQ(row.defaultText, e.defaultText);
        EXPECT_EQ(row.labelJa, e.label);
        EXPECT_EQ(row.option, e.option);
        EXPECT_EQ(settingRowOf(row.box), &row);
        EXPECT_EQ(problemSetting(settingProblem(row.setting)), row.setting);
        problems.insert(settingProblem(row.setting));
    }
    EXPECT_EQ(problems.size(), kSettingTable.size()) << "each setting has a problem of its own";
    // Their keys lie between the problems before and after them, shared with none.
    EXPECT_FALSE(problemSetting(ProblemKey::ScratchFile));
    EXPECT_FALSE(problemSetting(ProblemKey::SkipNegative));
    EXPECT_EQ(problemRank(settingProblem(Setting::Alarm2Limit)), problemRank(ProblemKey::SkipNegative));
    EXPECT_EQ(settingRowOf(Box::Text6), nullptr);
}

TEST(SettingTable, TheProblemSentencesNameTheRowsLabelAndOption) {
    // The words are pinned in problem_sentences_test; here, that each row's sentence is its own.
    for (const auto& row : kSettingTable) {
        const Problem p{settingProblem(row.setting), "x", {}, {}, BoxFallback::Default};
        EXPECT_EQ(problemSentenceJa(p).rfind("「" + std::string(row.labelJa) + "」の「x」", 0), 0u) << row.option;
        EXPECT_EQ(problemSentenceEn(p).rfind(std::string(row.option) + " \"x\" ", 0), 0u) << row.option;
    }
    // Every default but the sensitivity's (which has none) converts.
    for (const auto& row : kSettingTable)
        EXPECT_EQ(toDouble(row.defaultText).has_value(), row.setting != Setting::Sensitivity) << row.option;
}

TEST(SettingTable, ReadoutsAndSwitchesHaveTheWindowsBoxes) {
    EXPECT_EQ(readoutBox(Readout::Seconds), Box::Text1);
    EXPECT_EQ(readoutBox(Readout::Total), Box::Text2);
    EXPECT_EQ(readoutBox(Readout::Cpm), Box::Text6);
    EXPECT_EQ(readoutBox(Readout::Dose), Box::Text8);
    EXPECT_EQ(readoutBox(Readout::LogFile), Box::Text11);
    std::set<Box> boxes;
    for (const auto& row : kSettingTable) boxes.insert(row.box);
    for (const auto& row : kReadoutTable) boxes.insert(row.box);
    EXPECT_EQ(boxes.size(), kSettingTable.size() + kReadoutTable.size()) << "no box is both a setting and a readout";

    const Check checks[] = {Check::Check1, Check::Check2, Check::Check3, Check::Check4, Check::Check5};
    const Switch switches[] = {Switch::Snapshot, Switch::Alarm1, Switch::Alarm2, Switch::Log, Switch::TrendGraph};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(switchRow(switches[i]).check, checks[i]);
        EXPECT_EQ(switchRow(switches[i]).onAtLoad, switches[i] == Switch::Log) << "only logging is on at load";
    }
}
