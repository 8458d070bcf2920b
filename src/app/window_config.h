// The window's saved settings: written only when the person asks (「この設定を保存」), to
// $XDG_CONFIG_HOME/ravelin/ravelin.conf or the file --config names, in the station's
// "key = value" format. What only the window has gets keys of its own, which the
// headless reader refuses.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace ravelin {

// The keys only the window reads: the test and graph switches and whether each alarm
// stage is ticked, apart from its limit.
inline constexpr const char* kWindowOnlyKeys[] = {"test", "graph", "alarm1-ticked", "alarm2-ticked"};

// --config FILE, else $XDG_CONFIG_HOME/ravelin/ravelin.conf (~/.config when unset or empty).
std::string windowConfigPath(const Options& commandLine);

// The log folder saved by the window, when its file names one (for --history without DIR).
std::optional<std::string> savedLogFolder(const Options& commandLine);

// What the window starts with.
struct WindowStart {
    ParseResult parsed;                       // the file's settings, then the command line's
    std::string path;                         // the file the window reads and saves
    bool fileRead = false;                    // the file existed and was read
    std::vector<std::string> badLines;        // "FILE:LINE: why" for each line not used
    std::array<std::optional<bool>, 2> alarmTicked;  // the file's alarm1-ticked, alarm2-ticked
};

// Reads the window's file, when it exists, and puts its good lines before the command
// line; an option on the command line wins. A file that cannot be read is one bad line.
WindowStart windowStart(const std::vector<std::string>& arguments, const ParseResult& commandLine);

// What 「この設定を保存」 writes: the boxes, the switches and the 設定 window's choices.
struct SavedWindow {
    std::array<std::string, kSettingTable.size()> settings;  // the boxes' texts, in the order of Setting
    std::array<bool, kSwitchTable.size()> switches{};         // in the order of Switch
    std::optional<std::string> input;
    std::optional<int> rate;
    bool invert = false;
    std::string deadTimeUs;   // empty: no correction
    std::string logFolder;    // empty: the working directory
};

// The label of the first box whose text does not convert (empty sensitivity is allowed:
// it is left out), or empty when every box converts.
std::string unconvertedBox(const SavedWindow& saved);

// The file's text, one "key = value" a line after a comment.
std::string windowConfigText(const SavedWindow& saved);

// Writes `text` to `path` whole (a temporary file renamed over it), making its folder;
// false with the system's reason.
bool writeWindowConfig(const std::string& path, const std::string& text, std::string& error);

// Removes the file; a file that is not there is no error.
bool removeWindowConfig(const std::string& path, std::string& error);

}  // namespace ravelin
