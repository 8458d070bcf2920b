// The headless monitor as a systemd service: readiness, a status line and the watchdog,
// told through $NOTIFY_SOCKET. Without it there is nothing to tell and nothing is done.
#pragma once

#include <memory>

#include "control/monitor.h"
#include "outputs/service_status.h"

namespace ravelin {

class ServiceLink {
public:
    ServiceLink(std::unique_ptr<ServiceManager> manager, Monitor& monitor);
    // Says the service is stopping and leaves the pipeline.
    ~ServiceLink();

private:
    std::unique_ptr<ServiceManager> manager_;
    ServiceStatus status_;
    Monitor& monitor_;
};

// Attaches to the monitor's pipeline when a service manager listens; nullptr otherwise.
std::unique_ptr<ServiceLink> startServiceLink(Monitor& monitor);

}  // namespace ravelin
