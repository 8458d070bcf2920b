#include "platform/capture_sources.h"

#include "engine/convert.h"
#include "platform/audio_source.h"
#include "platform/file_source.h"
#include "platform/sim_source.h"

namespace ravelin {
namespace {
constexpr double kBackgroundCpm = 30.0;  // a typical background

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::unique_ptr<SecondCapture> makeSource(const std::string& input, const CaptureOptions& options, std::string& error) {
    const std::int32_t sampleRate = options.rate.value_or(AudioInput::kRate);
    if (input == "audio") return std::make_unique<AudioInput>(std::string{}, sampleRate);
    if (startsWith(input, "audio:")) {
        const std::string name = input.substr(6);
        if (name.empty()) {
            error = "\"audio:\" names no input (see --list-inputs)";
            return nullptr;
        }
        return std::make_unique<AudioInput>(name, sampleRate);
    }
    if (startsWith(input, "file:")) {
        const std::string path = input.substr(5);
        if (path.empty()) {
            error = "\"file:\" names no file";
            return nullptr;
        }
        if (options.rate) {
            error = "a recording keeps its own rate; --rate applies to audio and sim only";
            return nullptr;
        }
        return std::make_unique<FileSource>(path, options.fast);
    }
    if (input == "sim") return std::make_unique<SimulatedTube>(kBackgroundCpm, options.fast, options.seed, sampleRate);
    if (startsWith(input, "sim:")) {
        const std::string rate = input.substr(4);
        const auto cpm = toDouble(rate);
        if (!cpm || *cpm < 0) {
            error = "\"" + input + "\": the rate \"" + rate + "\" is not a number of counts per minute, 0 or more";
            return nullptr;
        }
        return std::make_unique<SimulatedTube>(*cpm, options.fast, options.seed, sampleRate);
    }
    error = "\"" + input + "\" is not a source; use audio[:NAME], file:PATH or sim[:CPM]";
    return nullptr;
}
}  // namespace

std::unique_ptr<CaptureDevice> createCaptureDevice(const std::string& input, const CaptureOptions& options,
                                                   std::string& error) {
    auto source = makeSource(input, options, error);
    if (source) source->setInvert(options.invert);
    return source;
}

}  // namespace ravelin
