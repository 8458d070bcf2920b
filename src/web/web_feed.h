// Follows the monitor's pipeline and hands each second to the web server's board.
#pragma once

#include <cstdint>
#include <string>

#include "control/monitor.h"
#include "engine/pipeline.h"
#include "engine/services.h"
#include "outputs/map_uploads.h"
#include "web/live_state.h"

namespace ravelin {

class WebFeed : public PipelineObserver {
public:
    // `maps`: the public maps' uploads whose statuses each second carries; nullptr without them.
    WebFeed(Monitor& monitor, MonitorFace& face, const UtcClock& clock, LiveBoard& board,
            const MapUploads* maps = nullptr);

    void secondDone(const SecondReport& report) override;
    void recordDue(const LogRecord& record, bool logged) override;

private:
    Monitor& monitor_;
    MonitorFace& face_;
    const UtcClock& clock_;
    LiveBoard& board_;
    const MapUploads* maps_;
    std::uint64_t sequence_ = 0;
    std::uint64_t recordsLogged_ = 0;
    std::string lastRecord_;
};

}  // namespace ravelin
