#include "outputs/map_services.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/convert.h"
#include "outputs/station_messages.h"

namespace ravelin {

namespace {
std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Why a request got no usable answer, for the messages.
std::string failureText(const HttpResponse& r) {
    if (r.status == 0) return r.error.empty() ? std::string("no answer") : r.error;
    return "HTTP " + integerText(r.status);
}

// The first line of a page, short, for a message.
std::string pageText(const std::string& body) {
    std::string line = body.substr(0, std::min<std::size_t>(body.find_first_of("\r\n"), 80));
    return line.empty() ? std::string("an empty page") : "\"" + line + "\"";
}

std::string radmonTime(const LocalDateTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

bool isJsonObjectWithId(const std::string& body) {
    const auto first = body.find_first_not_of(" \t\r\n");
    return first != std::string::npos && body[first] == '{' && body.find("\"id\"") != std::string::npos &&
           body.find_last_of('}') != std::string::npos;
}
}  // namespace

HttpRequest radmonRequest(const RadmonAccount& a, const MapReading& r, int timeoutMs) {
    HttpRequest request;
    request.url = withQuery(a.url, "function=submit&user=" + urlEncode(a.user) + "&password=" + urlEncode(a.password) +
                                       "&value=" + urlEncode(r.cpm) + "&unit=CPM&datetime=" +
                                       urlEncode(radmonTime(r.utc)));
    request.timeoutMs = timeoutMs;
    return request;
}

Judgement judgeRadmon(const HttpResponse& r) {
    if (r.status == 200 && lowered(r.body).find("incorrect login") != std::string::npos)
        return {Verdict::Refused, "radmon.org says the login is wrong (user or data-sending password)"};
    if (r.status == 200) return {Verdict::Accepted, {}};
    return {Verdict::Failed, failureText(r)};
}

HttpRequest gmcmapRequest(const GmcmapAccount& a, const MapReading& r, int timeoutMs) {
    HttpRequest request;
    request.url = withQuery(a.url, "AID=" + urlEncode(a.accountId) + "&GID=" + urlEncode(a.counterId) +
                                       "&CPM=" + urlEncode(r.cpm) + "&ACPM=" + urlEncode(r.averageCpm) +
                                       "&uSV=" + urlEncode(r.usvH));
    request.timeoutMs = timeoutMs;
    return request;
}

Judgement judgeGmcmap(const HttpResponse& r) {
    if (r.status != 200) return {Verdict::Failed, failureText(r)};
    if (r.body.find("ERR0") != std::string::npos) return {Verdict::Accepted, {}};
    if (r.body.find("ERR1") != std::string::npos)
        return {Verdict::Refused, "GMCmap does not know the account id (ERR1)"};
    if (r.body.find("ERR2") != std::string::npos)
        return {Verdict::Refused, "GMCmap does not know the counter id (ERR2)"};
    return {Verdict::Failed, "GMCmap answered " + pageText(r.body)};
}

HttpRequest safecastRequest(const SafecastAccount& a, const MapReading& r, int timeoutMs) {
    HttpRequest request;
    request.method = "POST";
    request.url = withQuery(a.url, "api_key=" + urlEncode(a.apiKey));
    request.contentType = "application/json";
    request.body = "{\"measurement\":{\"latitude\":" + a.latitude + ",\"longitude\":" + a.longitude +
                   ",\"value\":" + jsonNumber(r.cpm) + ",\"unit\":\"cpm\",\"captured_at\":\"" + utcTimeText(r.utc) +
                   "\",\"device_id\":" + jsonNumber(a.deviceId) + "}}";
    request.timeoutMs = timeoutMs;
    return request;
}

Judgement judgeSafecast(const HttpResponse& r) {
    if (r.status == 201 && isJsonObjectWithId(r.body)) return {Verdict::Accepted, {}};
    if (r.status == 201) return {Verdict::Failed, "Safecast answered 201 without the measurement"};
    // A repeat of a measurement it holds: the one sent before was taken.
    if (r.status == 422 && r.body.find("md5sum") != std::string::npos) return {Verdict::Accepted, {}};
    if (r.status == 401 || r.status == 403)
        return {Verdict::Refused, "Safecast refuses the API key (HTTP " + integerText(r.status) + ")"};
    if (r.status >= 400 && r.status < 500 && r.status != 408 && r.status != 429)
        return {Verdict::Refused, "Safecast refuses the measurement (HTTP " + integerText(r.status) + ": " +
                                      pageText(r.body) + ")"};
    return {Verdict::Failed, failureText(r)};
}

}  // namespace ravelin
