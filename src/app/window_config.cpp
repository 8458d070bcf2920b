#include "app/window_config.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "app/config_file.h"
#include "app/reading_options.h"
#include "app/source.h"
#include "engine/convert.h"
#include "engine/settings.h"

namespace ravelin {
namespace {

bool given(const ParseResult& commandLine, const char* name) {
    return std::find(commandLine.given.begin(), commandLine.given.end(), name) != commandLine.given.end();
}

// A window-only line; false when `e` is no window key. `badLines` gets a bad value.
bool windowKey(const std::string& path, const ConfigEntry& e, const ParseResult& commandLine, WindowStart& start,
               std::vector<std::string>& arguments) {
    if (std::none_of(std::begin(kWindowOnlyKeys), std::end(kWindowOnlyKeys), [&](const char* k) { return e.key == k; }))
        return false;
    if (e.value != "true" && e.value != "false") {
        start.badLines.push_back(path + ":" + std::to_string(e.line) + ": " + e.key + " takes true or false, not \"" +
                                 e.value + "\"");
        return true;
    }
    const bool on = e.value == "true";
    if (e.key == "test" || e.key == "graph") {
        if (on) arguments.push_back("--" + e.key);
    } else {
        const int stage = e.key == "alarm1-ticked" ? 0 : 1;
        // The limit given on the command line ticks its stage, and the command line wins.
        if (!given(commandLine, stage == 0 ? "alarm1" : "alarm2")) start.alarmTicked[stage] = on;
    }
    return true;
}

void line(std::string& out, const char* key, const std::string& value) { out += std::string(key) + " = " + value + "\n"; }
const char* truth(bool on) { return on ? "true" : "false"; }

}  // namespace

std::string windowConfigPath(const Options& commandLine) {
    if (commandLine.config) return *commandLine.config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = xdg && *xdg ? std::string(xdg) : std::string(home ? home : "") + "/.config";
    return base + "/ravelin/ravelin.conf";
}

std::optional<std::string> savedLogFolder(const Options& commandLine) {
    std::vector<ConfigEntry> entries;
    std::vector<std::string> badLines;
    std::string error;
    if (!readConfigFile(windowConfigPath(commandLine), entries, badLines, error)) return std::nullopt;
    for (const auto& e : entries)
        if (e.key == "log-folder" && !e.value.empty()) return e.value;
    return std::nullopt;
}

WindowStart windowStart(const std::vector<std::string>& arguments, const ParseResult& commandLine) {
    WindowStart start;
    start.parsed = commandLine;
    start.path = windowConfigPath(commandLine.options);
    std::error_code ec;
    if (!std::filesystem::exists(start.path, ec)) return start;

    std::vector<ConfigEntry> entries;
    std::string error;
    if (!readConfigFile(start.path, entries, start.badLines, error)) {
        start.badLines.push_back(error);
        return start;
    }
    start.fileRead = true;
    std::vector<std::string> merged{arguments.empty() ? std::string("ravelin") : arguments.front()};
    for (const auto& e : entries) {
        if (windowKey(start.path, e, commandLine, start, merged)) continue;
        std::optional<std::string> argument;
        if (!configArgument(start.path, e, false, argument, error)) start.badLines.push_back(error);
        else if (argument && !overriddenByCommandLine(e.key, commandLine)) merged.push_back(*argument);
    }
    if (arguments.size() > 1) merged.insert(merged.end(), arguments.begin() + 1, arguments.end());
    ParseResult parsed = parseArguments(merged);
    // Lines that are good alone but not together: the command line alone is used.
    if (!parsed.error.empty()) {
        start.badLines.push_back(start.path + ": " + parsed.error);
        start.alarmTicked = {};
        return start;
    }
    // A recording keeps its own rate: a saved rate is for the live input and the simulator.
    const auto& input = parsed.options.input;
    if (isRecordingInput(input) && !given(commandLine, "rate")) parsed.options.rate.reset();
    start.parsed = std::move(parsed);
    return start;
}

std::string unconvertedBox(const SavedWindow& saved) {
    for (const auto& row : kSettingTable) {
        const std::string& text = saved.settings[static_cast<std::size_t>(row.setting)];
        bool converts = true;
        switch (row.conversion) {
            case Conversion::Int16: converts = toInt16(text).has_value(); break;
            case Conversion::Single: converts = toSingle(text).has_value(); break;
            case Conversion::Sensitivity:
                converts = text.empty() || checkSensitivity(text) == SensitivityVerdict::Usable;
                break;
        }
        if (!converts) return std::string(row.labelJa);
    }
    if (!saved.deadTimeUs.empty()) {
        Options o;  // the option's own check
        o.deadTimeUs = saved.deadTimeUs;
        if (!resolveReadingOptions(o).empty()) return "不感時間";
    }
    return {};
}

std::string windowConfigText(const SavedWindow& s) {
    std::string out = "# Ravelin: the window's settings, saved by 「この設定を保存」. The window-only keys\n"
                      "# (test, graph, alarm1-ticked, alarm2-ticked) are not for ravelin --headless --config.\n";
    for (const auto& row : kSettingTable) {
        const std::string& text = s.settings[static_cast<std::size_t>(row.setting)];
        if (row.setting == Setting::Sensitivity && text.empty()) continue;
        line(out, row.option.data() + 2, text);
    }
    const auto on = [&s](Switch w) { return s.switches[static_cast<std::size_t>(w)]; };
    line(out, "alarm1-ticked", truth(on(Switch::Alarm1)));
    line(out, "alarm2-ticked", truth(on(Switch::Alarm2)));
    line(out, "test", truth(on(Switch::Snapshot)));
    line(out, "graph", truth(on(Switch::TrendGraph)));
    if (!on(Switch::Log)) line(out, "no-log", "true");
    else if (!s.logFolder.empty()) line(out, "log-folder", s.logFolder);
    if (s.input) line(out, "input", *s.input);
    if (s.rate) line(out, "rate", integerText(*s.rate));
    line(out, "invert", truth(s.invert));
    if (!s.deadTimeUs.empty()) line(out, "dead-time-us", s.deadTimeUs);
    return out;
}

bool writeWindowConfig(const std::string& path, const std::string& text, std::string& error) {
    const std::filesystem::path file(path);
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) {
        error = file.parent_path().string() + ": " + ec.message();
        return false;
    }
    const std::string scratch = path + ".new";
    std::FILE* out = std::fopen(scratch.c_str(), "wbe");
    if (!out) {
        error = scratch + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0 &&
                         ::fsync(::fileno(out)) == 0;
    const int why = errno;
    if (std::fclose(out) != 0 || !written) {
        error = scratch + ": " + std::strerror(written ? errno : why);
        std::remove(scratch.c_str());
        return false;
    }
    if (std::rename(scratch.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(scratch.c_str());
        return false;
    }
    return true;
}

bool removeWindowConfig(const std::string& path, std::string& error) {
    if (std::remove(path.c_str()) == 0 || errno == ENOENT) return true;
    error = path + ": " + std::strerror(errno);
    return false;
}

}  // namespace ravelin
