#pragma once

#include <memory>

#include "app/options.h"
#include "engine/capture_device.h"
#include "platform/capture_sources.h"

namespace ravelin {

// The capture device --input names (the live sound input by default), paced by --fast,
// seeded by --seed, inverted by --invert, at --rate. nullptr after a message on stderr
// when the name is no source.
std::unique_ptr<CaptureDevice> captureDeviceFor(const Options& options);

// The input names a recording (file:PATH), which keeps its own rate and is read whole.
inline bool isRecordingInput(const std::optional<std::string>& input) {
    return input && input->rfind("file:", 0) == 0;
}

// The capture options the command line gives: --fast, --seed, --invert and --rate.
CaptureOptions captureOptionsFor(const Options& options);

}  // namespace ravelin
