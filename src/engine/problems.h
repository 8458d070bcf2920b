// Problems the system reports while it keeps running: a box that does not convert,
// a record not yet written, a lost input, a missing sound. Each has a key so that
// it can be cleared when it is gone, and a rank so the most serious shows first.
#pragma once

#include <optional>
#include <string>

#include "engine/setting_table.h"

namespace ravelin {

enum class ProblemKey {
    UnwrittenRecords,     // rank 0: records
    LogLineCut,           // rank 0: a log file found ending in a cut line, closed before the next record
    CaptureNoInput,       // rank 1: capture — no sound input to open
    CaptureLost,          // rank 1: the input went away, or a read failed, mid-run
    CaptureUnreadable,    // rank 1: a recording that cannot be read
    ScratchFile,          // rank 1
    // rank 2: settings. A setting's text that does not convert: one key a setting from
    // here on, in the order of Setting (settingProblem).
    SettingText,
    SkipNegative = SettingText + static_cast<int>(kSettingTable.size()),
    Overflow,             // C - D or C + D outside 16 bits: the last good levels are used
    SnapshotOverflow,     // 8 x (C -/+ D) outside 16 bits: no snapshot taken
    DoseOverflow,         // the dose left the float range: the previous dose stands
    CountOverflow,        // a second with more than 32767 pulses: CPM and dose count 32767 for it
    TrendScale,           // the graph's stage-2 limit gives no scale
    DeadTimeSaturated,    // m tau >= 1: no dead-time correction possible; the uncorrected CPM and dose stand
    SavedSettingsLine,    // a line of the window's saved settings that is not used; the others are
    AlarmSound1,          // rank 3: sound
    AlarmSound2,
    NoAudioOutput,
    StationLink,            // the MQTT broker cannot be reached; retrying
    StationRecordsDropped,  // station records kept past their limit: the oldest dropped
    // The public maps, each while its uploads fail or after they stopped: boxText is
    // "failing" or "stopped", detail the readings waiting (Safecast) or dropped (the live maps).
    MapRadmon,
    MapGmcmap,
    MapSafecast,
    MapOutbox,  // readings cannot be written to the outbox: detail the readings kept in memory
};

// What stands in for a box that does not convert.
enum class BoxFallback {
    Previous,  // the last text of the box that converted
    Default,   // none converted yet: the box's default
    Nothing,   // none converted yet and no default: what needs the value is skipped
};

struct Problem {
    ProblemKey key;
    std::string boxText;  // the offending text, quoted in the message, when there is one
    std::string detail;   // a path, a device name or a count, when there is one
    std::string reason;   // what the system said (an errno text), when there is one
    BoxFallback fallback = BoxFallback::Previous;  // for a box that does not convert
};

// The problem of a setting's text that does not convert, and back.
constexpr ProblemKey settingProblem(Setting setting) {
    return static_cast<ProblemKey>(static_cast<int>(ProblemKey::SettingText) + static_cast<int>(setting));
}
constexpr std::optional<Setting> problemSetting(ProblemKey key) {
    const int i = static_cast<int>(key) - static_cast<int>(ProblemKey::SettingText);
    if (i < 0 || i >= static_cast<int>(kSettingTable.size())) return std::nullopt;
    return static_cast<Setting>(i);
}

int problemRank(ProblemKey key);
bool isCaptureProblem(ProblemKey key);

// The fixed Japanese sentence the window's status line shows.
std::string problemSentenceJa(const Problem& problem);
// The same in English for the headless monitor's stderr.
std::string problemSentenceEn(const Problem& problem);

}  // namespace ravelin
