// The service manager when systemd started the program: sd_notify(3) on $NOTIFY_SOCKET.
#pragma once

#include <memory>

#include "outputs/service_status.h"

namespace ravelin {

// nullptr when no service manager listens ($NOTIFY_SOCKET unset).
std::unique_ptr<ServiceManager> createSystemdManager();

}  // namespace ravelin
