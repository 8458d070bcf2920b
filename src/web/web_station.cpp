#include "web/web_station.h"

namespace ravelin {

WebStation::WebStation(Monitor& monitor, MonitorFace& face, const UtcClock& clock, HttpServerConfig config,
                       std::unique_ptr<LogFolder> folder, const MapUploads* maps)
    : monitor_(monitor), feed_(monitor, face, clock, board_, maps) {
    raiseOpenFilesLimit();
    server_ = std::make_unique<HttpServer>(std::move(config), board_, std::move(folder));
    monitor_.pipeline().addObserver(&feed_);
}

WebStation::~WebStation() {
    monitor_.pipeline().removeObserver(&feed_);
    server_.reset();
}

}  // namespace ravelin
