#include "app/service.h"

#include "platform/systemd_manager.h"

namespace ravelin {

ServiceLink::ServiceLink(std::unique_ptr<ServiceManager> manager, Monitor& monitor)
    : manager_(std::move(manager)), status_(*manager_), monitor_(monitor) {
    monitor_.pipeline().addObserver(&status_);
}

ServiceLink::~ServiceLink() {
    status_.stopping();
    monitor_.pipeline().removeObserver(&status_);
}

std::unique_ptr<ServiceLink> startServiceLink(Monitor& monitor) {
    auto manager = createSystemdManager();
    if (!manager) return nullptr;
    return std::make_unique<ServiceLink>(std::move(manager), monitor);
}

}  // namespace ravelin
