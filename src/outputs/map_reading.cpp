#include "outputs/map_reading.h"

#include <cstdio>

#include "engine/convert.h"
#include "outputs/station_messages.h"

namespace ravelin {

namespace {
bool isNumberText(const std::string& text) { return !text.empty() && jsonNumber(text) == text; }

bool parseTime(const std::string& text, LocalDateTime& t) {
    if (text.size() != 20) return false;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                              &t.minute, &t.second, &tail);
    return n == 7 && tail == 'Z' && utcTimeText(t) == text && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= 31 && t.hour < 24 && t.minute < 60 && t.second < 61;
}
}  // namespace

std::string outboxLine(const MapReading& r) {
    return utcTimeText(r.utc) + "," + r.cpm + "," + r.usvH + "," + r.averageCpm + "\n";
}

std::optional<MapReading> parseOutboxLine(const std::string& line) {
    std::string fields[4];
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? line.find(',', at) : line.size();
        if (comma == std::string::npos) return std::nullopt;
        fields[i] = line.substr(at, comma - at);
        at = comma + 1;
    }
    MapReading r;
    if (!parseTime(fields[0], r.utc)) return std::nullopt;
    for (int i = 1; i < 4; ++i)
        if (!isNumberText(fields[i])) return std::nullopt;
    r.cpm = fields[1];
    r.usvH = fields[2];
    r.averageCpm = fields[3];
    return r;
}

std::string urlEncode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_' ||
                           c == '.' || c == '~';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

std::string redacted(std::string url, const std::string& secret1, const std::string& secret2) {
    for (const std::string* s : {&secret1, &secret2}) {
        if (s->empty()) continue;
        for (const std::string& form : {*s, urlEncode(*s)}) {
            for (std::size_t at = url.find(form); at != std::string::npos; at = url.find(form, at + 3))
                url.replace(at, form.size(), "***");
        }
    }
    return url;
}

std::string withQuery(const std::string& base, const std::string& query) {
    return base + (base.find('?') == std::string::npos ? "?" : "&") + query;
}

}  // namespace ravelin
