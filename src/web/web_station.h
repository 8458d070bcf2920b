// The web server attached to a monitor: the board, the feed on the pipeline and the
// server, put together and taken apart in the right order.
#pragma once

#include <memory>

#include "control/monitor.h"
#include "web/http_server.h"
#include "web/live_state.h"
#include "web/web_feed.h"

namespace ravelin {

class WebStation {
public:
    // Raises the open-files limit, starts the server (binding at once, again every
    // minute after a failure) and attaches the feed to the monitor's pipeline. `maps`, when
    // given, must outlive the station: its statuses go to /metrics.
    WebStation(Monitor& monitor, MonitorFace& face, const UtcClock& clock, HttpServerConfig config,
               std::unique_ptr<LogFolder> folder, const MapUploads* maps = nullptr);
    ~WebStation();

    HttpServer& server() { return *server_; }

private:
    Monitor& monitor_;
    LiveBoard board_;
    WebFeed feed_;
    std::unique_ptr<HttpServer> server_;
};

}  // namespace ravelin
