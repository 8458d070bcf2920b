// The station's web server on libmicrohttpd: the page, the events, the JSON, the
// pictures and the metrics, read only. One polling thread does all the client I/O;
// a keeper thread binds (again every minute after a failure), wakes the event streams
// when a second arrives and closes clients that send their request too slowly.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "history/history_log.h"
#include "web/http_address.h"
#include "web/http_answers.h"
#include "web/live_state.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace ravelin {

struct HttpServerConfig {
    HttpAddress address;
    unsigned clientCap = 128;  // more open connections than this are answered 503
    std::string version;       // for ravelin_build_info
    std::chrono::seconds requestDeadline{8};  // a request's line and headers must be in by then
    std::chrono::seconds bindRetry{60};
    // Problems and news (the bind failed, listening); called from the keeper thread.
    std::function<void(const std::string&)> report;
};

class HttpServer {
public:
    // Starts the keeper thread, which binds at once. `folder` is the log folder the history reads.
    HttpServer(HttpServerConfig config, LiveBoard& board, std::unique_ptr<LogFolder> folder);
    // Ends the streams, stops the daemon and joins the threads.
    ~HttpServer();

    bool listening() const { return listening_; }
    // The port bound (the given one, or the kernel's choice for port 0); 0 while not listening.
    int boundPort() const { return boundPort_; }

    struct Connection;
    struct Stream;

private:
    void keep();
    bool tryStart();
    void wakeStreams();
    void closeSlowClients();

    friend struct HttpHandlers;
    HttpServerConfig config_;
    LiveBoard& board_;
    std::unique_ptr<LogFolder> folder_;
    std::mutex historyMutex_;
    HistoryLog history_;
    TrendPictureCache trendPicture_;
    MHD_Daemon* daemon_ = nullptr;
    std::atomic<bool> listening_{false};
    std::atomic<int> boundPort_{0};
    std::atomic<bool> stopping_{false};
    // Open connections; the event streams parked until the next second.
    std::mutex connectionsMutex_;
    std::vector<Connection*> connections_;
    std::mutex parkedMutex_;
    std::vector<Stream*> parked_;
    std::thread keeper_;
};

// Raises the soft limit of open files to the hard limit, for many clients at once.
void raiseOpenFilesLimit();

}  // namespace ravelin
