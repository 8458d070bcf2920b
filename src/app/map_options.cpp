#include "app/map_options.h"

#include <cstdlib>

#include "app/options.h"
#include "outputs/station_messages.h"

namespace ravelin {

namespace {
// A decimal number in [-limit, limit], as JSON writes it (it goes into Safecast's request as it is).
bool isDegrees(const std::string& text, double limit) {
    const double v = std::strtod(text.c_str(), nullptr);
    return jsonNumber(text) == text && v >= -limit && v <= limit;
}

bool isHttpUrl(const std::string& url) {
    for (const char* scheme : {"http://", "https://"})
        if (url.rfind(scheme, 0) == 0 && url.size() > std::string(scheme).size()) return true;
    return false;
}
}  // namespace

const std::vector<OptionInfo>& mapOptionEntries() {
    static const std::vector<OptionInfo> entries = {
        {"radmon", "USER", "Send each minute's CPM to the radmon.org map as USER (a live map: the latest reading only)."},
        {"radmon-password-file", "F", "File whose first line is radmon.org's data-sending password; only its owner "
                                      "may have access (chmod 600)."},
        {"radmon-url", "URL", "radmon.org's submit address (default https://radmon.org/radmon.php)."},
        {"gmcmap", "ACCOUNT", "Send each minute's CPM, average CPM and dose rate to the GMCmap map for the user "
                              "account id ACCOUNT (a live map: the latest reading only)."},
        {"gmcmap-counter-file", "F", "File whose first line is GMCmap's Geiger counter id, the account's secret; "
                                     "only its owner may have access (chmod 600)."},
        {"gmcmap-url", "URL", "GMCmap's logging address (default http://www.GMCmap.com/log2.asp, plain http)."},
        {"safecast", "DEVICE", "Send every minute's CPM to Safecast as device id DEVICE, through an outbox that keeps "
                               "each reading until Safecast has taken it; needs --latitude and --longitude."},
        {"safecast-key-file", "F", "File whose first line is the Safecast API key; only its owner may have access "
                                   "(chmod 600)."},
        {"safecast-url", "URL", "Safecast's measurements address (default https://api.safecast.org/measurements.json)."},
        {"latitude", "DEG", "The station's latitude for Safecast, decimal degrees north (-90 to 90); made public."},
        {"longitude", "DEG", "The station's longitude for Safecast, decimal degrees east (-180 to 180); made public."},
        {"state-dir", "DIR", "Folder of the Safecast outbox, safecast.outbox (default $STATE_DIRECTORY under systemd, "
                             "else $XDG_STATE_HOME/ravelin, else ~/.local/state/ravelin)."},
        {"outbox-max", "N", "Readings the Safecast outbox keeps at most; past it the oldest is dropped, and said "
                            "(default 525600, a year)."},
        {"upload-timeout", "S", "Seconds each upload request may take, 1 to 300 (default 30)."},
    };
    return entries;
}

std::string readMapOptions(const std::function<std::optional<std::string>(std::string_view)>& value, MapOptions& m) {
    m.radmon = value("radmon");
    m.radmonPasswordFile = value("radmon-password-file");
    m.radmonUrl = value("radmon-url");
    m.gmcmap = value("gmcmap");
    m.gmcmapCounterFile = value("gmcmap-counter-file");
    m.gmcmapUrl = value("gmcmap-url");
    m.safecast = value("safecast");
    m.safecastKeyFile = value("safecast-key-file");
    m.safecastUrl = value("safecast-url");
    m.latitude = value("latitude");
    m.longitude = value("longitude");
    m.stateDir = value("state-dir");

    if (m.radmon && m.radmon->empty()) return "--radmon: the user name is empty";
    if (m.gmcmap && (m.gmcmap->empty() || m.gmcmap->find_first_not_of("0123456789") != std::string::npos))
        return "--gmcmap: \"" + *m.gmcmap + "\" is not an account id (digits)";
    if (m.safecast && (m.safecast->empty() || m.safecast->find_first_not_of("0123456789") != std::string::npos ||
                       m.safecast->size() > 18))
        return "--safecast: \"" + *m.safecast + "\" is not a device id (digits)";
    if (m.latitude && !isDegrees(*m.latitude, 90))
        return "--latitude: \"" + *m.latitude + "\" is not decimal degrees from -90 to 90";
    if (m.longitude && !isDegrees(*m.longitude, 180))
        return "--longitude: \"" + *m.longitude + "\" is not decimal degrees from -180 to 180";
    for (const auto& [url, name] : {std::pair{&m.radmonUrl, "--radmon-url"}, {&m.gmcmapUrl, "--gmcmap-url"},
                                    {&m.safecastUrl, "--safecast-url"}})
        if (*url && !isHttpUrl(**url)) return std::string(name) + ": \"" + **url + "\" is not an http:// or https:// address";
    if (m.stateDir && m.stateDir->empty()) return "--state-dir: the folder name is empty";
    if (auto s = value("outbox-max")) {
        unsigned long long n = 0;
        if (!parseWhole(*s, 1, 100000000, n)) return "--outbox-max: \"" + *s + "\" is not a whole number from 1 to 100000000";
        m.outboxMax = n;
    }
    if (auto s = value("upload-timeout")) {
        unsigned long long n = 0;
        if (!parseWhole(*s, 1, 300, n)) return "--upload-timeout: \"" + *s + "\" is not a whole number of seconds from 1 to 300";
        m.uploadTimeout = n;
    }
    return {};
}

std::string mapOptionsError(const MapOptions& m) {
    // Each option that belongs to a service needs the service.
    struct Needs {
        bool given;
        const char* option;
        bool service;
        const char* serviceOption;
    };
    const Needs needs[] = {
        {m.radmonPasswordFile.has_value(), "--radmon-password-file", m.radmon.has_value(), "--radmon"},
        {m.radmonUrl.has_value(), "--radmon-url", m.radmon.has_value(), "--radmon"},
        {m.gmcmapCounterFile.has_value(), "--gmcmap-counter-file", m.gmcmap.has_value(), "--gmcmap"},
        {m.gmcmapUrl.has_value(), "--gmcmap-url", m.gmcmap.has_value(), "--gmcmap"},
        {m.safecastKeyFile.has_value(), "--safecast-key-file", m.safecast.has_value(), "--safecast"},
        {m.safecastUrl.has_value(), "--safecast-url", m.safecast.has_value(), "--safecast"},
        {m.latitude.has_value(), "--latitude", m.safecast.has_value(), "--safecast"},
        {m.longitude.has_value(), "--longitude", m.safecast.has_value(), "--safecast"},
        {m.stateDir.has_value(), "--state-dir", m.safecast.has_value(), "--safecast"},
        {m.outboxMax.has_value(), "--outbox-max", m.safecast.has_value(), "--safecast"},
        {m.uploadTimeout.has_value(), "--upload-timeout", m.any(), "--radmon, --gmcmap or --safecast"},
    };
    for (const auto& n : needs)
        if (n.given && !n.service) return std::string(n.option) + " needs " + n.serviceOption;
    if (m.radmon && !m.radmonPasswordFile) return "--radmon needs --radmon-password-file";
    if (m.gmcmap && !m.gmcmapCounterFile) return "--gmcmap needs --gmcmap-counter-file";
    if (m.safecast && !m.safecastKeyFile) return "--safecast needs --safecast-key-file";
    if (m.safecast && (!m.latitude || !m.longitude)) return "--safecast needs --latitude and --longitude";
    return {};
}

std::string stateFolder(const MapOptions& m) {
    if (m.stateDir) return *m.stateDir;
    if (const char* s = std::getenv("STATE_DIRECTORY"); s && *s) {
        const std::string all = s;
        return all.substr(0, all.find(':'));
    }
    if (const char* x = std::getenv("XDG_STATE_HOME"); x && *x == '/') return std::string(x) + "/ravelin";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/ravelin";
}

}  // namespace ravelin
