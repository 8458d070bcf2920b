// What each path answers, apart from the event stream: the page, the JSON, the
// pictures, the metrics and the history's records. No network code here.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "history/history_log.h"
#include "web/live_state.h"

namespace ravelin {

struct WebRequest {
    std::string path;            // without the query
    std::string acceptLanguage;  // "" when not sent
    std::function<const char*(const char*)> query;  // a query argument, or nullptr
    std::shared_ptr<const LiveSecond> latest;        // nullptr before the first second
};

// What the server needs besides the request: the version and the history it reads.
// The trend picture of the last second drawn, for every client asking in that second.
struct TrendPictureCache {
    std::mutex mutex;
    std::optional<std::uint64_t> sequence;
    std::string svg;
};

struct WebContext {
    const std::string& version;
    std::mutex& historyMutex;
    HistoryLog& history;
    TrendPictureCache& trend;
};

struct WebAnswer {
    unsigned status = 200;
    const char* type = "text/plain; charset=utf-8";
    std::string body;
    bool page = false;  // the HTML page (gets its content policy)
    // A body made line by line while it is sent, instead of `body`.
    std::function<std::string(std::size_t)> lines;
    std::size_t lineCount = 0;
};

WebAnswer answerRequest(const WebRequest& request, const WebContext& context);


}  // namespace ravelin
