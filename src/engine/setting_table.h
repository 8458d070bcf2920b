// The settings as one table: what each means, the box it is typed into, its default
// text, its Japanese label and its command-line option. Everything that names a
// setting (the window's layout, both faces, the check before capture, the problem
// sentences, the test doubles) reads it from here.
#pragma once

#include <array>
#include <string_view>

#include "engine/face.h"
#include "engine/problems.h"

namespace ravelin {

enum class Setting { Threshold, DeadBand, Skip, Sensitivity, Alarm1Limit, Alarm2Limit };

struct SettingRow {
    Setting setting;
    Box box;
    std::string_view defaultText;  // what the box holds at load
    std::string_view labelJa;      // its name in the window's sentences
    std::string_view option;       // the command-line option, dashes included
    ProblemKey problem;            // the problem of a text that does not convert
};

inline constexpr std::array<SettingRow, 6> kSettingTable{{
    {Setting::Threshold, Box::Text3, "50", "しきい値", "--threshold", ProblemKey::BoxText3},
    {Setting::DeadBand, Box::Text4, "3", "不感帯", "--dead-band", ProblemKey::BoxText4},
    {Setting::Skip, Box::Text5, "10", "分解能", "--skip", ProblemKey::BoxText5},
    {Setting::Sensitivity, Box::Text7, "", "GM菅γ線感度", "--sensitivity", ProblemKey::BoxText7},
    {Setting::Alarm1Limit, Box::Text9, "0.27", "第一段警報上限値", "--alarm1", ProblemKey::BoxText9},
    {Setting::Alarm2Limit, Box::Text10, "2.7", "第二段警報上限値", "--alarm2", ProblemKey::BoxText10},
}};

static_assert([] {
    for (std::size_t i = 0; i < kSettingTable.size(); ++i)
        if (static_cast<std::size_t>(kSettingTable[i].setting) != i) return false;
    return true;
}(), "the table is in the order of Setting");

constexpr const SettingRow& settingRow(Setting setting) { return kSettingTable[static_cast<std::size_t>(setting)]; }

// The row of a box or of a box's problem; nullptr for a box that is no setting.
constexpr const SettingRow* settingRowOf(Box box) {
    for (const auto& row : kSettingTable)
        if (row.box == box) return &row;
    return nullptr;
}
constexpr const SettingRow* settingRowOf(ProblemKey key) {
    for (const auto& row : kSettingTable)
        if (row.problem == key) return &row;
    return nullptr;
}

}  // namespace ravelin
