// What a service manager (systemd) is told while the monitor runs as a system service:
// ready once the first buffer is done, a status line once a minute, and the watchdog
// kept alive only while buffers arrive, so that a stalled input gets the service restarted.
#pragma once

#include <cstdint>
#include <string>

#include "engine/pipeline.h"

namespace ravelin {

// The service manager's notification channel, and the clock the watchdog is timed by.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // One notification of newline-separated assignments ("READY=1\nSTATUS=…").
    virtual void notify(const std::string& assignments) = 0;
    // The watchdog's timeout in microseconds; 0 when the manager keeps no watchdog.
    virtual std::int64_t watchdogMicroseconds() const = 0;
    // A monotonic clock in microseconds.
    virtual std::int64_t nowMicroseconds() const = 0;
};

// "60 s: 33 CPM, 0.138 µSv/h"
std::string serviceStatusText(const SecondReport& report);

class ServiceStatus : public PipelineObserver {
public:
    explicit ServiceStatus(ServiceManager& manager);

    // READY=1 with the first status after the first buffer; STATUS=… on every 60th
    // second; WATCHDOG=1 on a buffer when half the watchdog's timeout has passed since
    // the last one (or at the first).
    void secondDone(const SecondReport& report) override;
    // STOPPING=1, once, when the run ends.
    void stopping();

private:
    ServiceManager& manager_;
    std::int64_t watchdog_;
    bool ready_ = false;
    bool stopping_ = false;
    bool petted_ = false;
    std::int64_t lastPet_ = 0;
};

}  // namespace ravelin
