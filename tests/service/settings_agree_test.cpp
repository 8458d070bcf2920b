// The check the headless monitor makes before capture and the checks of a running
// pipeline are the same functions: for any settings they agree.
#include <gtest/gtest.h>

#include "app/options.h"
#include "app/settings_check.h"
#include "support/fakes.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {
Options withSettings(const std::string& threshold, const std::string& deadBand, const std::string& skip) {
    Options o;
    settingOption(o, Setting::Sensitivity) = "120";
    settingOption(o, Setting::Threshold) = threshold;
    settingOption(o, Setting::DeadBand) = deadBand;
    settingOption(o, Setting::Skip) = skip;
    return o;
}
}  // namespace

TEST(SettingsAgree, TheHeadlessCheckRefusesWhatTheScanCannotUse) {
    struct Case {
        const char *threshold, *deadBand, *skip;
    };
    const Case cases[] = {{"50", "3", "10"},      {"32767", "1", "10"}, {"-32768", "1", "10"},
                          {"32000", "767", "0"},  {"0", "-32768", "5"}, {"100", "-3", "-1"},
                          {"-32767", "1", "10"}, {"50", "3", "-1"}};
    for (const auto& c : cases) {
        const bool refused = !checkHeadlessSettings(withSettings(c.threshold, c.deadBand, c.skip)).empty();
        Rig rig;
        rig.face.texts[settingRow(Setting::Threshold).box] = c.threshold;
        rig.face.texts[settingRow(Setting::DeadBand).box] = c.deadBand;
        rig.face.texts[settingRow(Setting::Skip).box] = c.skip;
        ASSERT_TRUE(rig.start());
        rig.secondWithPulses(1);
        const bool scanObjects = rig.face.hasProblem(ProblemKey::Overflow) || rig.face.hasProblem(ProblemKey::SkipNegative);
        EXPECT_EQ(refused, scanObjects) << c.threshold << " ± " << c.deadBand << ", skip " << c.skip;
    }
}

TEST(SettingsAgree, TheHeadlessCheckRefusesTheSensitivitiesStartRefuses) {
    for (const char* text : {"", "abc", "0", "-0", "-1", "1e38", "3.4e38", "0.000001", "120", "１２０"}) {
        Options o = withSettings("50", "3", "10");
        settingOption(o, Setting::Sensitivity) = text;
        const bool refused = !checkHeadlessSettings(o).empty();
        Rig rig;
        EXPECT_EQ(refused, !rig.start(text)) << '"' << text << '"';
    }
}

TEST(SettingsAgree, OptionsTickTheSwitchesOnTopOfHowTheyLoad) {
    Options o;
    for (const auto& row : kSwitchTable) EXPECT_FALSE(switchOption(o, row.which).has_value());
    settingOption(o, Setting::Alarm2Limit) = "1";
    o.noLog = true;
    o.graph = true;
    EXPECT_EQ(switchOption(o, Switch::Alarm2), true);
    EXPECT_EQ(switchOption(o, Switch::Log), false);
    EXPECT_EQ(switchOption(o, Switch::TrendGraph), true);
    EXPECT_FALSE(switchOption(o, Switch::Alarm1).has_value());
}

TEST(SettingsAgree, HelpNamesEachSettingsBoxAndDefault) {
    const std::string help = helpText();
    for (const auto& row : kSettingTable) {
        std::string box = "(the " + std::string(row.labelJa) + " box";
        if (!row.defaultText.empty()) box += ", default " + std::string(row.defaultText);
        const auto at = help.find("  " + std::string(row.option) + " T ");
        ASSERT_NE(at, std::string::npos) << row.option;
        EXPECT_NE(help.substr(at, help.find('\n', at) - at).find(box + ")"), std::string::npos) << row.option;
    }
    EXPECT_NE(help.find("Stage-1 alarm limit in µSv/h (the 第一段警報上限値 box, default 0.27); ticks the stage-1 box.\n"),
              std::string::npos);
}
