// The headless monitor's configuration file (--config FILE): one "key = value" a line,
// the keys being the long options without their dashes. Its settings become options
// placed before the command line's, so that an option given there wins.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace ravelin {

struct ConfigEntry {
    std::string key;
    std::string value;
    int line = 0;
};

// Reads FILE's lines: blank lines and lines whose first non-blank is '#' are skipped;
// any other line is "key = value" (blanks around both trimmed, the value may be empty).
// False with `error` "FILE:LINE: why" (or "FILE: why" when it cannot be read) for a
// malformed line or a key given twice; what the keys mean is not checked here.
bool readConfigFile(const std::string& path, std::vector<ConfigEntry>& entries, std::string& error);
// The same, keeping the good lines: each bad line's "FILE:LINE: why" goes to `badLines`
// and reading goes on. False only when FILE cannot be read.
bool readConfigFile(const std::string& path, std::vector<ConfigEntry>& entries, std::vector<std::string>& badLines,
                    std::string& error);

// One entry as an option ("--key=value", "--key" for a switch set to true, nothing for one
// set to false), checked as the command line of the headless monitor (`headless`) or of
// the window would check it. False with `error` "FILE:LINE: why".
bool configArgument(const std::string& path, const ConfigEntry& entry, bool headless,
                    std::optional<std::string>& argument, std::string& error);

// Whether a command line that gave `given` options leaves a file's `key` out: the two
// cannot be given together, and the command line wins.
bool overriddenByCommandLine(const std::string& key, const ParseResult& commandLine);

// Turns the entries into options ("--key=value", a switch set to true "--key", one set
// to false nothing), each checked as the command line would check it. `commandLine`
// is the parse of the command line alone: a file setting it cannot be given with is
// left out. False with `error` "FILE:LINE: why" for an unknown key, a password or a
// bad value.
bool configArguments(const std::string& path, const std::vector<ConfigEntry>& entries, const ParseResult& commandLine,
                     std::vector<std::string>& arguments, std::string& error);

// The command line parsed again with FILE's settings before its own options. The window
// reads its file itself: without --headless the command line is returned as it is.
ParseResult withConfigFile(const std::vector<std::string>& arguments, const ParseResult& commandLine);

// Whether an option can be a key of the file (not a mode, not window-only, not --config).
bool isConfigKey(const OptionInfo& option);

}  // namespace ravelin
