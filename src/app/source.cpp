#include "app/source.h"

#include <cstdio>

#include "platform/capture_sources.h"
#include "platform/journal_prefix.h"

namespace ravelin {

CaptureOptions captureOptionsFor(const Options& options) {
    CaptureOptions captureOptions;
    captureOptions.fast = options.fast;
    if (options.seed) captureOptions.seed = *options.seed;
    captureOptions.invert = options.invert;
    if (options.rate) captureOptions.rate = *options.rate;
    return captureOptions;
}

std::unique_ptr<CaptureDevice> captureDeviceFor(const Options& options) {
    std::string error;
    auto device = createCaptureDevice(options.input.value_or("audio"), captureOptionsFor(options), error);
    if (!device) say(Priority::Error, "--input: " + error);
    return device;
}

}  // namespace ravelin
