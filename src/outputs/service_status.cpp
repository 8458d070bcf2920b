#include "outputs/service_status.h"

#include "engine/convert.h"

namespace ravelin {

std::string serviceStatusText(const SecondReport& r) {
    return integerText(r.seconds) + " s: " + cpmText(r) + " CPM, " + doseText(r) + " µSv/h";
}

ServiceStatus::ServiceStatus(ServiceManager& manager) : manager_(manager), watchdog_(manager.watchdogMicroseconds()) {}

void ServiceStatus::secondDone(const SecondReport& report) {
    if (stopping_) return;
    std::string message;
    if (!ready_) {
        ready_ = true;
        message = "READY=1\nSTATUS=" + serviceStatusText(report);
    } else if (report.seconds % 60 == 0) {
        message = "STATUS=" + serviceStatusText(report);
    }
    if (watchdog_ > 0) {
        const std::int64_t now = manager_.nowMicroseconds();
        if (!petted_ || now - lastPet_ >= watchdog_ / 2) {
            petted_ = true;
            lastPet_ = now;
            message += std::string(message.empty() ? "" : "\n") + "WATCHDOG=1";
        }
    }
    if (!message.empty()) manager_.notify(message);
}

void ServiceStatus::stopping() {
    if (stopping_) return;
    stopping_ = true;
    manager_.notify("STOPPING=1\nSTATUS=stopping");
}

}  // namespace ravelin
