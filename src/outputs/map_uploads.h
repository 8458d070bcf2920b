// The readings a minute for the public maps, taken from the pipeline and handed to each
// service's uploader. Nothing here waits on the network.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pipeline.h"
#include "engine/services.h"
#include "outputs/map_services.h"
#include "outputs/map_uploader.h"

namespace ravelin {

class MapUploads : public PipelineObserver {
public:
    explicit MapUploads(const UtcClock& clock) : clock_(clock) {}

    void addLiveMap(std::unique_ptr<LiveMapUploader> uploader) { live_.push_back(std::move(uploader)); }
    void setOutboxMap(std::unique_ptr<OutboxUploader> uploader) { outbox_ = std::move(uploader); }

    void recordDue(const LogRecord& record, bool logged) override;
    void secondDone(const SecondReport& report) override;

    // Each service's status, radmon.org and GMCmap first.
    std::vector<MapStatus> statuses() const;
    // `"maps":{...}`, each service's state and counts, for the station's state message.
    std::string stateJson() const;
    OutboxUploader* outboxMap() { return outbox_.get(); }
    // A request still unanswered.
    bool busy() const;

private:
    const UtcClock& clock_;
    std::vector<std::unique_ptr<LiveMapUploader>> live_;
    std::unique_ptr<OutboxUploader> outbox_;
    std::optional<MapReading> due_;  // the record of this second, waiting for its CPM
};

// `"maps":{...}` of these statuses.
std::string mapsStateJson(const std::vector<MapStatus>& statuses);

// "working", "failing", "stopped" or "starting".
const char* mapStateName(MapState state);

}  // namespace ravelin
