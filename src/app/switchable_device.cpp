#include "app/switchable_device.h"

namespace ravelin {

SwitchableDevice::SwitchableDevice(std::unique_ptr<CaptureDevice> first) : current_(std::move(first)) {}

void SwitchableDevice::changeTo(Factory factory) { next_ = std::move(factory); }

void SwitchableDevice::Open() {
    if (next_ && !current_->IsRecording()) {
        std::string error;
        auto fresh = next_(error);
        if (!fresh) throw CaptureError(error);
        next_ = nullptr;
        current_->setEvents(nullptr);
        current_ = std::move(fresh);
    }
    // The events go straight from the device in use to whoever listens to this one.
    current_->setEvents(events());
    current_->Open();
}

}  // namespace ravelin
