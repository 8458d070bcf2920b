#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

#include "app/config_file.h"
#include "app/reading_options.h"
#include "app/history_options.h"
#include "app/map_options.h"
#include "app/version.h"
#include "web/http_address.h"

namespace ravelin {

namespace {
// A setting's entry, from its row: what it is, its box and default, what else the option does.
OptionInfo settingEntry(Setting setting) {
    static const auto helps = [] {
        std::array<std::string, kSettingTable.size()> texts;
        for (const auto& row : kSettingTable) {
            std::string& help = texts[static_cast<std::size_t>(row.setting)];
            help = std::string(row.helpEn) + " (the " + std::string(row.labelJa) + " box";
            if (!row.defaultText.empty()) help += ", default " + std::string(row.defaultText);
            help += ")" + std::string(row.helpAfter) + ".";
        }
        return texts;
    }();
    // The option texts are literals, so what follows the dashes ends with a NUL.
    return OptionInfo{settingRow(setting).option.data() + 2, "T", helps[static_cast<std::size_t>(setting)].c_str()};
}
}  // namespace

const std::vector<OptionInfo>& optionTable() {
    static const std::vector<OptionInfo> table = [] {
        std::vector<OptionInfo> t = {
            {"headless", "", "Run without a window: readouts go to stdout, one CSV line a second."},
            {"input", "SOURCE", "Where samples come from: audio[:NAME] (the live sound input, the default), "
                                "file:PATH (a recording libsndfile reads) or sim[:CPM] (the built-in simulated GM tube)."},
            {"fast", "", "Replay a recording or the simulator as fast as the buffers are processed."},
            {"seconds", "N", "Stop after N buffers (seconds) have been processed."},
            settingEntry(Setting::Sensitivity),
            {"tube", "NAME", "Put the named tube's sensitivity into GM菅γ線感度 (see --list-tubes); not with --sensitivity."},
            {"dead-time-us", "T", "Correct CPM and dose for the tube's dead time of T microseconds (0 to 10000), "
                                  "non-paralysable model; every output changes."},
        };
        // The other settings, in the table's order.
        for (const auto& row : kSettingTable)
            if (row.setting != Setting::Sensitivity) t.push_back(settingEntry(row.setting));
        t.insert(t.end(), {
            {"no-log", "", "Do not write the per-minute CSV log."},
            {"log-folder", "DIR", "Folder for the CSV log files (default: the working directory)."},
            {"seed", "N", "Seed for the simulated GM tube, for a repeatable run."},
            {"config", "FILE", "With --headless: read settings from FILE, one 'key = value' a line, the keys being these "
                               "options' names without the dashes; a switch takes true or false. An option given on the "
                               "command line wins over the file. In the window: the file its saved settings are read "
                               "from and saved to, instead of $XDG_CONFIG_HOME/ravelin/ravelin.conf."},
            {"stats", "", "Headless only: add the 95% interval columns cpm_low,cpm_high,usv_h_low,usv_h_high."},
            {"invert", "", "Turn every sample v into 255 - v before anything else sees it, for counters whose "
                           "pulses rise instead of dip (any source)."},
            {"rate", "HZ", "Samples a second of the live input and the simulator, 8000..192000 (default 22050); "
                           "one buffer is still one second. A recording keeps its own rate."},
            {"calibrate", "", "Listen to the source (live input or the simulator until 300 pulses, 30 to 600 s, or "
                              "--seconds; a whole recording) and propose --threshold, --dead-band, --skip and --invert "
                              "by the counting plateau: one line on stdout, the reasons on stderr; in the window the "
                              "boxes are filled in. Exit 1 when no pulses, or too few, are found."},
            {"start", "", "Window only: press 開始 once the window shows."},
            {"graph", "", "Window only: tick リアルタイムグラフ表示 (the trend graph)."},
            {"test", "", "Window only: tick テスト (the waveform snapshot)."},
            {"list-inputs", "", "List the sound inputs, one 'id<TAB>description' line each, and exit."},
            {"list-tubes", "", "List the known tubes, one 'NAME<TAB>cps per mR/h<TAB>source<TAB>isotope<TAB>kind of source' line each, and exit."},
            {"mqtt", "URL", "Publish readings to an MQTT broker: mqtt://host[:port] or mqtts://host[:port]."},
            {"mqtt-prefix", "P", "Topic prefix (default ravelin/<hostname>)."},
            {"mqtt-user", "U", "MQTT user name."},
            {"mqtt-password-file", "F", "File whose first line is the MQTT password; only its owner may have access (chmod 600)."},
            {"mqtt-ca", "F", "CA certificate file for mqtts://."},
            {"http", "PORT", "Serve a read-only web page, /events, /api/now, /api/history, /trend.svg, /history.svg "
                             "and Prometheus /metrics on PORT of 127.0.0.1, or give ADDR:PORT ([ADDR6]:PORT) to name "
                             "the address (0.0.0.0: every network; port 0: any free one, said on standard error). "
                             "No TLS, no login."},
            {"http-clients", "N", "With --http: the most connections served at once, 1..10000 (default 128); "
                                  "more are answered 503."},
        });
        const auto& maps = mapOptionEntries();
        t.insert(t.end(), maps.begin(), maps.end());
        t.insert(t.end(), {
            {"history", "", "Show 「線量率の履歴」, the dose rate of every μSVHData*.csv log in DIR, the one argument "
                            "after the options (default: the working directory); with --summary or --export, write it "
                            "instead: ravelin --history [DIR] [--summary | --export FILE]."},
            {"summary", "", "With --history: print date,records,mean,min,max, one line per day with records, and exit."},
            {"export", "FILE", "With --history: draw the plot into FILE.png (1200 x 600) or FILE.svg without a window, "
                               "and exit."},
            {"from", "DATE", "With --export: the first day drawn, yyyy-mm-dd (default: the first record's)."},
            {"to", "DATE", "With --export: the last day drawn, yyyy-mm-dd (default: the last record's)."},
            {"help", "", "Show this help and exit."},
            {"version", "", "Show the program's name and version and exit."},
        });
        return t;
    }();
    return table;
}

const std::vector<ExitStatusInfo>& exitStatusTable() {
    static const std::vector<ExitStatusInfo> table = {
        {0, "The source ended, the given seconds were done, or SIGINT or SIGTERM stopped the run."},
        {1, "The source could not be opened or was lost, the readouts could not be written to standard output, "
            "or there is no display for the window; with --history, the folder cannot be read or the export "
            "file cannot be written."},
        {2, "A command-line error, or a setting that is refused before capture starts."},
        {3, "Log records could not be written by the end; they are printed on standard error."},
    };
    return table;
}

const std::optional<std::string>& settingOption(const Options& o, Setting setting) {
    return settingOption(const_cast<Options&>(o), setting);
}

std::optional<std::string>& settingOption(Options& o, Setting setting) {
    return o.settings[static_cast<std::size_t>(setting)];
}

std::optional<bool> switchOption(const Options& o, Switch which) {
    switch (which) {
        case Switch::Snapshot: return o.test ? std::optional(true) : std::nullopt;
        case Switch::Alarm1: return settingOption(o, Setting::Alarm1Limit) ? std::optional(true) : std::nullopt;
        case Switch::Alarm2: return settingOption(o, Setting::Alarm2Limit) ? std::optional(true) : std::nullopt;
        case Switch::Log: return o.noLog ? std::optional(false) : std::nullopt;
        case Switch::TrendGraph: return o.graph ? std::optional(true) : std::nullopt;
    }
    return std::nullopt;
}

std::string versionText() { return std::string("ravelin ") + kRavelinVersion; }

std::string helpText() {
    std::string out = "Usage: ravelin [options]\n"
                      "Radiation monitor for a GM counter on the sound input.\n\nOptions:\n";
    for (const auto& o : optionTable()) {
        std::string left = std::string("  --") + o.name;
        if (*o.valueName) left += std::string(" ") + o.valueName;
        if (left.size() < 28) left.append(28 - left.size(), ' ');
        else left += "\n" + std::string(28, ' ');
        out += left + o.help + "\n";
    }
    out += "\nExit status:\n";
    for (const auto& e : exitStatusTable()) out += "  " + std::to_string(e.status) + "  " + e.meaning + "\n";
    return out;
}

bool parseWhole(const std::string& text, unsigned long long low, unsigned long long high, unsigned long long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && value >= low && value <= high;
}

ParseResult parseOptions(const std::vector<std::string>& arguments) {
    const ParseResult commandLine = parseArguments(arguments);
    if (!commandLine.error.empty() || !commandLine.options.config) return commandLine;
    return withConfigFile(arguments, commandLine);
}

ParseResult parseArguments(const std::vector<std::string>& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const auto& o : optionTable()) {
        QCommandLineOption option(QString::fromUtf8(o.name), QString::fromUtf8(o.help));
        if (*o.valueName) option.setValueName(QString::fromUtf8(o.valueName));
        parser.addOption(option);
    }
    QStringList args;
    for (const auto& a : arguments) args << QString::fromStdString(a);

    ParseResult result;
    if (!parser.parse(args)) {
        result.error = parser.errorText().toStdString();
        return result;
    }
    Options& o = result.options;
    o.history = parser.isSet("history");
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && (!o.history || positional.size() > 1)) {
        result.error = "unexpected argument: " + positional.at(o.history ? 1 : 0).toStdString();
        return result;
    }
    for (const auto& option : optionTable())
        if (parser.isSet(QString::fromUtf8(option.name))) result.given.push_back(option.name);
    if (o.history && !positional.isEmpty()) o.historyFolder = positional.first().toStdString();
    result.error = historyOptionsError(parser.optionNames(), o.history);
    if (!result.error.empty()) return result;
    auto value = [&](std::string_view name) -> std::optional<std::string> {
        const QString n = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        if (!parser.isSet(n)) return std::nullopt;
        const QStringList values = parser.values(n);
        return values.last().toStdString();
    };
    o.headless = parser.isSet("headless");
    o.help = parser.isSet("help");
    o.version = parser.isSet("version");
    o.listInputs = parser.isSet("list-inputs");
    o.input = value("input");
    o.fast = parser.isSet("fast");
    for (const auto& row : kSettingTable) settingOption(o, row.setting) = value(row.option.substr(2));
    o.noLog = parser.isSet("no-log");
    o.logFolder = value("log-folder");
    o.start = parser.isSet("start");
    o.graph = parser.isSet("graph");
    o.test = parser.isSet("test");
    o.mqttUrl = value("mqtt");
    o.mqttPrefix = value("mqtt-prefix");
    o.mqttUser = value("mqtt-user");
    o.mqttPasswordFile = value("mqtt-password-file");
    o.mqttCa = value("mqtt-ca");
    o.http = value("http");
    o.config = value("config");
    result.error = readMapOptions(value, o.maps);
    if (!result.error.empty()) return result;
    o.tube = value("tube");
    o.deadTimeUs = value("dead-time-us");
    o.stats = parser.isSet("stats");
    o.listTubes = parser.isSet("list-tubes");
    o.invert = parser.isSet("invert");
    o.calibrate = parser.isSet("calibrate");
    o.summary = parser.isSet("summary");
    o.exportFile = value("export");
    if (!parseHistoryDates(value("from"), value("to"), o, result.error)) return result;
    if (o.exportFile && !historyExportKnown(*o.exportFile)) {
        result.error = "--export: \"" + *o.exportFile + "\" does not end in .png or .svg";
        return result;
    }

    if (auto s = value("seconds")) {
        // The elapsed seconds are a 32-bit count.
        unsigned long long n = 0;
        if (!parseWhole(*s, 1, std::numeric_limits<std::int32_t>::max(), n)) {
            result.error = "--seconds: \"" + *s + "\" is not a whole number of seconds from 1 to 2147483647";
            return result;
        }
        o.seconds = static_cast<long long>(n);
    }
    if (auto s = value("seed")) {
        unsigned long long n = 0;
        if (!parseWhole(*s, 0, std::numeric_limits<unsigned long long>::max(), n)) {
            result.error = "--seed: \"" + *s + "\" is not a whole number from 0 to 18446744073709551615";
            return result;
        }
        o.seed = n;
    }
    if (auto s = value("rate")) {
        unsigned long long n = 0;
        if (!parseWhole(*s, 8000, 192000, n)) {
            result.error = "--rate: \"" + *s + "\" is not a whole number of samples a second from 8000 to 192000";
            return result;
        }
        o.rate = static_cast<int>(n);
    }
    if (o.http) {
        std::string why;
        if (!parseHttpAddress(*o.http, why)) {
            result.error = "--http: " + why + "; give [ADDR:]PORT";
            return result;
        }
    }
    if (auto s = value("http-clients")) {
        unsigned long long n = 0;
        if (!parseWhole(*s, 1, 10000, n)) {
            result.error = "--http-clients: \"" + *s + "\" is not a whole number from 1 to 10000";
            return result;
        }
        o.httpClients = static_cast<unsigned>(n);
    }
    if (o.calibrate && o.start) {
        result.error = "--calibrate does not start capture; give --start without it";
        return result;
    }
    if (o.noLog && o.logFolder) {
        result.error = "--no-log and --log-folder cannot be given together";
        return result;
    }
    if (o.logFolder && o.logFolder->empty()) {
        result.error = "--log-folder: the folder name is empty";
        return result;
    }
    if (o.headless && (o.start || o.graph || o.test)) {
        result.error = std::string("--") + (o.start ? "start" : o.graph ? "graph" : "test") +
                       " works only in the window, not with --headless";
        return result;
    }
    result.error = resolveReadingOptions(o);
    return result;
}

}  // namespace ravelin
