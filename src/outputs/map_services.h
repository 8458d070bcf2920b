// Each public map's request and what its answers mean, from its published API:
// radmon.org's radmon.php?function=submit, GMCmap's log2.asp, Safecast's measurements.json.
#pragma once

#include <string>

#include "outputs/http_client.h"
#include "outputs/map_reading.h"
#include "outputs/map_uploader.h"

namespace ravelin {

inline constexpr const char* kRadmonUrl = "https://radmon.org/radmon.php";
inline constexpr const char* kGmcmapUrl = "http://www.GMCmap.com/log2.asp";
inline constexpr const char* kSafecastUrl = "https://api.safecast.org/measurements.json";

struct RadmonAccount {
    std::string url = kRadmonUrl;
    std::string user, password;  // the data-sending password
};
struct GmcmapAccount {
    std::string url = kGmcmapUrl;
    std::string accountId, counterId;  // the counter id is the secret
};
struct SafecastAccount {
    std::string url = kSafecastUrl;
    std::string deviceId, apiKey;
    std::string latitude, longitude;  // decimal degrees, as given
};

// GET radmon.php?function=submit&user=U&password=P&value=CPM&unit=CPM&datetime=yyyy-mm-dd%20hh:mm:ss (UTC).
HttpRequest radmonRequest(const RadmonAccount& account, const MapReading& reading, int timeoutMs);
// A 200 is taken unless it says the login is wrong, which is a refusal.
Judgement judgeRadmon(const HttpResponse& response);

// GET log2.asp?AID=A&GID=G&CPM=CPM&ACPM=AVERAGE&uSV=DOSE.
HttpRequest gmcmapRequest(const GmcmapAccount& account, const MapReading& reading, int timeoutMs);
// "ERR0" in the page is taken; "ERR1" (no such user) and "ERR2" (no such counter) are refusals.
Judgement judgeGmcmap(const HttpResponse& response);

// POST measurements.json?api_key=K with {"measurement":{...}} in JSON.
HttpRequest safecastRequest(const SafecastAccount& account, const MapReading& reading, int timeoutMs);
// 201 with the created measurement (an "id") is taken; so is a 422 for a repeat (the
// measurement's md5sum is taken already). 408, 429 and 5xx are failures to retry;
// any other 4xx is a refusal.
Judgement judgeSafecast(const HttpResponse& response);

}  // namespace ravelin
