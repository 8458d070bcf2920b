// The window's vocabulary as tables: the settings, the readouts and the switches, each
// with the numbered box it lives in. Everything that names one (the window's layout,
// both faces, the checks, --help and the manual page, the problem sentences, the test
// doubles) reads it from here; the core speaks of meanings, the widgets keep their
// numbered names.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ravelin {

// The boxes and check boxes of the window, by their numbered names.
enum class Box { Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Count };
enum class Check { Check1, Check2, Check3, Check4, Check5, Count };

enum class Setting { Threshold, DeadBand, Skip, Sensitivity, Alarm1Limit, Alarm2Limit };

// How a setting's text becomes a value (engine/convert.h does the converting).
enum class Conversion {
    Int16,        // a 16-bit integer, halves to even
    Single,       // a single-precision number
    Sensitivity,  // a single-precision number above 0 that leaves a usable divisor
};

struct SettingRow {
    Setting setting;
    Box box;
    std::string_view defaultText;  // what the box holds at load
    std::string_view labelJa;      // its name in the window's sentences
    std::string_view option;       // the command-line option, dashes included
    Conversion conversion;
    std::string_view helpEn;       // what it is, for --help (the box and default are added)
    std::string_view helpAfter;    // what the option does besides, for --help
};

inline constexpr auto kSettingTable = std::to_array<SettingRow>({
    {Setting::Threshold, Box::Text3, "50", "しきい値", "--threshold", Conversion::Int16,
     "Threshold centre level, 0..255 sample units", ""},
    {Setting::DeadBand, Box::Text4, "3", "不感帯", "--dead-band", Conversion::Int16,
     "Dead band around the threshold", ""},
    {Setting::Skip, Box::Text5, "10", "分解能", "--skip", Conversion::Int16,
     "Samples skipped after each arming", ""},
    {Setting::Sensitivity, Box::Text7, "", "GM菅γ線感度", "--sensitivity",
     Conversion::Sensitivity, "GM tube gamma sensitivity in cps per mR/h", ""},
    {Setting::Alarm1Limit, Box::Text9, "0.27", "第一段警報上限値", "--alarm1", Conversion::Single,
     "Stage-1 alarm limit in µSv/h", "; ticks the stage-1 box"},
    {Setting::Alarm2Limit, Box::Text10, "2.7", "第二段警報上限値", "--alarm2", Conversion::Single,
     "Stage-2 alarm limit in µSv/h", "; ticks the stage-2 box"},
});

// What one second shows, and the log file's name.
enum class Readout { Seconds, Total, Cpm, Dose, LogFile };

struct ReadoutRow {
    Readout readout;
    Box box;
};

inline constexpr std::array<ReadoutRow, 5> kReadoutTable{{
    {Readout::Seconds, Box::Text1},
    {Readout::Total, Box::Text2},
    {Readout::Cpm, Box::Text6},
    {Readout::Dose, Box::Text8},
    {Readout::LogFile, Box::Text11},
}};

// What the check boxes switch on.
enum class Switch { Snapshot, Alarm1, Alarm2, Log, TrendGraph };

struct SwitchRow {
    Switch which;
    Check check;
    bool onAtLoad;  // ticked when the window opens, and in the headless monitor unless an option says otherwise
};

inline constexpr std::array<SwitchRow, 5> kSwitchTable{{
    {Switch::Snapshot, Check::Check1, false},
    {Switch::Alarm1, Check::Check2, false},
    {Switch::Alarm2, Check::Check3, false},
    {Switch::Log, Check::Check4, true},
    {Switch::TrendGraph, Check::Check5, false},
}};

namespace table_detail {
template <typename Table, typename Field>
constexpr bool inKeyOrder(const Table& table, Field field) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (static_cast<std::size_t>(table[i].*field) != i) return false;
    return true;
}
}  // namespace table_detail

static_assert(table_detail::inKeyOrder(kSettingTable, &SettingRow::setting),
              "the settings are in the order of Setting");
static_assert(table_detail::inKeyOrder(kReadoutTable, &ReadoutRow::readout),
              "the readouts are in the order of Readout");
static_assert(table_detail::inKeyOrder(kSwitchTable, &SwitchRow::which),
              "the switches are in the order of Switch");

constexpr const SettingRow& settingRow(Setting setting) { return kSettingTable[static_cast<std::size_t>(setting)]; }
constexpr Box readoutBox(Readout readout) { return kReadoutTable[static_cast<std::size_t>(readout)].box; }
constexpr const SwitchRow& switchRow(Switch which) { return kSwitchTable[static_cast<std::size_t>(which)]; }

// The row of a box; nullptr for a box that is no setting.
constexpr const SettingRow* settingRowOf(Box box) {
    for (const auto& row : kSettingTable)
        if (row.box == box) return &row;
    return nullptr;
}

}  // namespace ravelin
