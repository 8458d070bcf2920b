// The command line, shared by the window and the headless monitor. The one option
// table below feeds --help and the manual page.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/setting_table.h"

namespace ravelin {

struct OptionInfo {
    const char* name;       // without the leading dashes
    const char* valueName;  // empty for a switch
    const char* help;
};

// Every option, in the order --help lists them.
const std::vector<OptionInfo>& optionTable();

struct ExitStatusInfo {
    int status;
    const char* meaning;
};

// The exit statuses, for --help and the manual page.
const std::vector<ExitStatusInfo>& exitStatusTable();

// The public maps: accounts, their secrets' files, addresses, and the outbox.
struct MapOptions {
    std::optional<std::string> radmon, radmonPasswordFile, radmonUrl;
    std::optional<std::string> gmcmap, gmcmapCounterFile, gmcmapUrl;
    std::optional<std::string> safecast, safecastKeyFile, safecastUrl, latitude, longitude;
    std::optional<std::string> stateDir;
    std::optional<long long> outboxMax, uploadTimeout;
    bool any() const { return radmon || gmcmap || safecast; }
};

struct Options {
    bool headless = false;
    bool help = false;
    bool version = false;
    bool listInputs = false;
    std::optional<std::string> input;
    bool fast = false;
    std::optional<long long> seconds;
    // The settings' texts as given, in the order of Setting (settingOption below).
    std::array<std::optional<std::string>, kSettingTable.size()> settings;
    bool noLog = false;
    std::optional<std::string> logFolder;
    std::optional<unsigned long long> seed;
    // Counting real counters: polarity, capture rate and the setup assistant.
    bool invert = false;
    std::optional<int> rate;
    bool calibrate = false;
    // Window only.
    bool start = false, graph = false, test = false;
    // Station mode.
    std::optional<std::string> mqttUrl, mqttPrefix, mqttUser, mqttPasswordFile, mqttCa;
    MapOptions maps;
    // The web server: --http [ADDR:]PORT and the most clients it serves at once.
    std::optional<std::string> http;
    std::optional<unsigned> httpClients;
    // Headless: the configuration file whose settings come before the command line's.
    std::optional<std::string> config;
    // Readings: a tube preset, a dead time, the interval columns.
    std::optional<std::string> tube, deadTimeUs;
    std::optional<double> deadTimeSeconds;  // from deadTimeUs
    bool stats = false;
    bool listTubes = false;
    // The history: the folder, and --summary / --export FILE with the days drawn.
    bool history = false, summary = false;
    std::optional<std::string> historyFolder, exportFile;
    std::optional<int> fromDay, toDay;  // days since 1970-01-01
};

// The command-line text of a setting, when it was given.
const std::optional<std::string>& settingOption(const Options& options, Setting setting);
std::optional<std::string>& settingOption(Options& options, Setting setting);

// What the command line says of a switch: ticked, unticked, or nothing (left as it loads).
std::optional<bool> switchOption(const Options& options, Switch which);

struct ParseResult {
    Options options;
    std::string error;  // non-empty: a command-line error (exit status 2)
    std::vector<std::string> given;  // the names of the options set
};

// Parses arguments (argv[0] included), UTF-8, with the settings of --config FILE.
ParseResult parseOptions(const std::vector<std::string>& arguments);

// Plain digits only (no sign, no blanks) making a number from low to high.
bool parseWhole(const std::string& text, unsigned long long low, unsigned long long high, unsigned long long& value);

// The arguments alone, without reading --config.
ParseResult parseArguments(const std::vector<std::string>& arguments);

// The text --help prints.
std::string helpText();

// "ravelin 1.4.0"
std::string versionText();

}  // namespace ravelin
