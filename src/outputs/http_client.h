// The HTTP client the map uploads use: one request at a time per caller, answered
// later through a callback on the caller's thread. A real back end and test doubles.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ravelin {

struct HttpRequest {
    std::string method = "GET";  // "GET" or "POST"
    std::string url;
    std::string body;         // POST only
    std::string contentType;  // POST only
    int timeoutMs = 30000;    // the whole exchange, connection included
};

struct HttpResponse {
    int status = 0;     // 0: no answer (refused, DNS, TLS, time-out); the reason in `error`
    std::string body;
    std::string error;
    std::optional<int> retryAfterSeconds;  // a Retry-After header in seconds
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Starts the request; `done` is called once, later, never from inside send().
    virtual void send(const HttpRequest& request, std::function<void(const HttpResponse&)> done) = 0;
    // Gives up every request in flight; their callbacks are not called.
    virtual void abortAll() = 0;
};

}  // namespace ravelin
