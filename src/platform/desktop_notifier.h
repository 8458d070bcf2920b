// Desktop notifications (freedesktop Notify on the session bus), for an alarm stage
// that fires while the window is in the background.
#pragma once

#include <memory>
#include <string>

namespace ravelin {

class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // Sends the notification without waiting for an answer; nothing happens without a bus.
    virtual void notify(const std::string& summary, const std::string& body) = 0;
};

// The real one, on the session bus. Needs a running Qt application object.
std::unique_ptr<DesktopNotifier> createDesktopNotifier();

}  // namespace ravelin
