#include "platform/capture_sources.h"

namespace ravelin {
std::unique_ptr<CaptureDevice> createCaptureDevice(const std::string&, const CaptureOptions&, std::string& error) {
    error = "no capture back end is built yet";
    return nullptr;
}
}  // namespace ravelin
