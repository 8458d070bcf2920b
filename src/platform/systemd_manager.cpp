#include "platform/systemd_manager.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>
#include <ctime>

namespace ravelin {
namespace {

class SystemdManager : public ServiceManager {
public:
    SystemdManager() {
        // Only when the watchdog is meant for this process ($WATCHDOG_PID, if set, is ours).
        std::uint64_t usec = 0;
        if (sd_watchdog_enabled(0, &usec) > 0) watchdog_ = static_cast<std::int64_t>(usec);
    }
    void notify(const std::string& assignments) override { sd_notify(0, assignments.c_str()); }
    std::int64_t watchdogMicroseconds() const override { return watchdog_; }
    std::int64_t nowMicroseconds() const override {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }

private:
    std::int64_t watchdog_ = 0;
};

}  // namespace

std::unique_ptr<ServiceManager> createSystemdManager() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    if (!socket || !*socket) return nullptr;
    return std::make_unique<SystemdManager>();
}

}  // namespace ravelin
