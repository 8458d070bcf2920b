// Sharing readings with the public maps, put together from the command line: one HTTP
// client a service, the Safecast outbox in the state folder, the uploaders on the
// monitor's pipeline, and each service's state on the face and stderr. Without
// --radmon, --gmcmap or --safecast there is none of it (no outbox either).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "control/monitor.h"
#include "outputs/map_uploads.h"
#include "platform/posix_files.h"

namespace ravelin {

class MapSharing : public MapStatusSink {
public:
    MapSharing(Monitor& monitor, MonitorFace& face);
    ~MapSharing() override;

    // Once the run's every option is known good: what an earlier run left goes to Safecast.
    void start();
    // At exit: the Safecast backlog gets up to five seconds, a failure tried again once a
    // second; what is left stays in the outbox for the next start, and is said.
    void finish();

    MapUploads& uploads() { return uploads_; }
    void mapStateChanged(const MapStatus& status) override;

private:
    friend std::unique_ptr<MapSharing> startMapSharing(const Options&, Monitor&, MonitorFace&, std::string&);

    Monitor& monitor_;
    MonitorFace& face_;
    SystemUtcClock clock_;
    PosixFileSystem files_;
    std::vector<std::unique_ptr<HttpClient>> clients_;
    std::unique_ptr<Outbox> outbox_;
    MapUploads uploads_;
    bool started_ = false;
    bool finished_ = false;
    std::map<std::string, MapState> states_;  // as last reported
    std::string outboxError_;
    std::uint64_t outboxDropped_ = 0;
};

// nullptr without any of the services, and nullptr with `error` set for an option that
// cannot be used (a secret's file, the state folder): a command-line error, exit status 2.
std::unique_ptr<MapSharing> startMapSharing(const Options& options, Monitor& monitor, MonitorFace& face,
                                            std::string& error);

}  // namespace ravelin
