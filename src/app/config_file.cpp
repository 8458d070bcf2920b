#include "app/config_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace ravelin {
namespace {

constexpr std::size_t kMaxFileSize = 1 << 20;  // a settings file, not a recording

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool readWhole(const std::string& path, std::string& text, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0 && text.size() <= kMaxFileSize) text.append(buf, n);
    const bool failed = std::ferror(file) != 0;
    const int why = errno;
    std::fclose(file);
    if (failed) error = path + ": " + std::strerror(why);
    else if (text.size() > kMaxFileSize) error = path + ": larger than 1 MiB; not a configuration file";
    return error.empty();
}

const OptionInfo* findOption(const std::string& name) {
    const auto& table = optionTable();
    const auto it = std::find_if(table.begin(), table.end(), [&](const OptionInfo& o) { return name == o.name; });
    return it == table.end() ? nullptr : &*it;
}

// Options that cannot be given together: the one on the command line wins over the file's.
const std::pair<const char*, const char*> kExclusive[] = {{"no-log", "log-folder"}, {"tube", "sensitivity"}};

}  // namespace

bool overriddenByCommandLine(const std::string& key, const ParseResult& commandLine) {
    const auto given = [&](const char* name) {
        return std::find(commandLine.given.begin(), commandLine.given.end(), name) != commandLine.given.end();
    };
    for (const auto& [a, b] : kExclusive)
        if ((key == a && given(b)) || (key == b && given(a))) return true;
    return false;
}

bool isConfigKey(const OptionInfo& option) {
    const std::string name = option.name;
    static const char* const kNotKeys[] = {"config", "headless", "help", "version", "start", "graph", "test", "calibrate",
                                           "history", "summary", "export", "from", "to"};
    if (name.rfind("list-", 0) == 0) return false;  // prints a list and exits
    return std::none_of(std::begin(kNotKeys), std::end(kNotKeys), [&](const char* k) { return name == k; });
}

bool readConfigFile(const std::string& path, std::vector<ConfigEntry>& entries, std::string& error) {
    std::vector<std::string> badLines;
    if (!readConfigFile(path, entries, badLines, error)) return false;
    if (badLines.empty()) return true;
    error = badLines.front();
    return false;
}

bool readConfigFile(const std::string& path, std::vector<ConfigEntry>& entries, std::vector<std::string>& badLines,
                    std::string& error) {
    std::string text;
    if (!readWhole(path, text, error)) return false;
    std::map<std::string, int> seen;
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string content = trimmed(line);
        if (content.empty() || content[0] == '#') continue;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const auto equals = content.find('=');
        const std::string key = equals == std::string::npos ? "" : trimmed(content.substr(0, equals));
        if (key.empty() || content.find('\0') != std::string::npos) {
            badLines.push_back(where + "not a \"key = value\" line: " + content);
            continue;
        }
        if (const auto [it, fresh] = seen.emplace(key, number); !fresh) {
            badLines.push_back(where + "\"" + key + "\" is given twice (first on line " + std::to_string(it->second) + ")");
            continue;
        }
        entries.push_back({key, trimmed(content.substr(equals + 1)), number});
    }
    return true;
}

bool configArgument(const std::string& path, const ConfigEntry& e, bool headless, std::optional<std::string>& argument,
                    std::string& error) {
    argument.reset();
    const std::string where = path + ":" + std::to_string(e.line) + ": ";
    const OptionInfo* option = findOption(e.key);
    if (e.key == "password" || e.key.ends_with("-password")) {
        error = where + "a password does not belong in the configuration file; put it alone in a file only "
                        "its owner can read and name that file with mqtt-password-file";
        return false;
    }
    if (!option || !isConfigKey(*option)) {
        error = where + "\"" + e.key + "\" is not a setting of the configuration file";
        return false;
    }
    std::string text = "--" + e.key;
    if (!*option->valueName) {
        if (e.value != "true" && e.value != "false") {
            error = where + e.key + " takes true or false, not \"" + e.value + "\"";
            return false;
        }
        if (e.value == "false") return true;
    } else {
        text += "=" + e.value;
    }
    // Each value alone, as the command line would take it.
    std::vector<std::string> alone{"ravelin", text};
    if (headless) alone.insert(alone.begin() + 1, "--headless");
    if (const ParseResult parsed = parseArguments(alone); !parsed.error.empty()) {
        error = where + parsed.error;
        return false;
    }
    argument = text;
    return true;
}

bool configArguments(const std::string& path, const std::vector<ConfigEntry>& entries, const ParseResult& commandLine,
                     std::vector<std::string>& arguments, std::string& error) {
    for (const auto& e : entries) {
        std::optional<std::string> argument;
        if (!configArgument(path, e, true, argument, error)) return false;
        if (argument && !overriddenByCommandLine(e.key, commandLine)) arguments.push_back(*argument);
    }
    return true;
}

ParseResult withConfigFile(const std::vector<std::string>& arguments, const ParseResult& commandLine) {
    ParseResult result;
    const std::string& path = *commandLine.options.config;
    if (!commandLine.options.headless) return commandLine;
    std::vector<ConfigEntry> entries;
    std::vector<std::string> merged{arguments.empty() ? std::string("ravelin") : arguments.front()};
    if (!readConfigFile(path, entries, result.error) ||
        !configArguments(path, entries, commandLine, merged, result.error))
        return result;
    if (arguments.size() > 1) merged.insert(merged.end(), arguments.begin() + 1, arguments.end());
    return parseArguments(merged);
}

}  // namespace ravelin
