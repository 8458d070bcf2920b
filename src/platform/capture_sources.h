// The capture back ends, chosen at run time by name:
//   audio[:NAME]  the live sound input
//   file:PATH     a recording, any format libsndfile reads
//   sim[:CPM]     the built-in simulated GM tube
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/capture_device.h"

namespace ravelin {

struct CaptureOptions {
    bool fast = false;                   // recordings and the simulator as fast as buffers are taken
    std::optional<std::uint64_t> seed;   // makes the simulator repeatable
    bool invert = false;                 // every sample v as 255 - v, for every source
    std::optional<std::int32_t> rate;    // samples a second of the live input and the simulator
};

// nullptr with a message in `error` when the name is not a source (a command-line error).
// A source that names something that cannot be opened fails later, at Open.
std::unique_ptr<CaptureDevice> createCaptureDevice(const std::string& input, const CaptureOptions& options,
                                                   std::string& error);

struct AudioInputInfo {
    std::string id;
    std::string description;
};

// The sound inputs `audio:NAME` can name, as --list-inputs prints them.
std::vector<AudioInputInfo> listAudioInputs();

}  // namespace ravelin
