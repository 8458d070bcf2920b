// An HTTP client whose requests wait until the test answers them.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "outputs/http_client.h"

namespace ravelin::test {

class FakeHttpClient : public HttpClient {
public:
    struct Pending {
        HttpRequest request;
        std::function<void(const HttpResponse&)> done;
    };
    std::deque<Pending> pending;
    std::vector<HttpRequest> sent;  // every request, in order
    int aborts = 0;

    void send(const HttpRequest& request, std::function<void(const HttpResponse&)> done) override {
        sent.push_back(request);
        pending.push_back({request, std::move(done)});
    }
    void abortAll() override {
        aborts += static_cast<int>(pending.size());
        pending.clear();
    }
    // Answers the oldest request waiting.
    void answer(int status, const std::string& body = {}, std::optional<int> retryAfter = std::nullopt) {
        auto p = std::move(pending.front());
        pending.pop_front();
        HttpResponse r;
        r.status = status;
        r.body = body;
        r.retryAfterSeconds = retryAfter;
        if (status == 0) r.error = "Connection refused";
        p.done(r);
    }
};

}  // namespace ravelin::test
