#include "app/assembly.h"

#include "app/maps.h"
#include "app/station.h"
#include "app/version.h"
#include "platform/journal_prefix.h"
#include "platform/log_folder.h"
#include "web/web_station.h"

namespace ravelin {

// --seconds N: Stop after the Nth buffer.
class Assembly::SecondsLimit : public PipelineObserver {
public:
    SecondsLimit(Monitor& monitor, long long limit) : monitor_(monitor), limit_(limit) {}
    void secondDone(const SecondReport& r) override {
        if (r.seconds >= limit_) monitor_.stop();
    }

private:
    Monitor& monitor_;
    long long limit_;
};

std::optional<std::string> logFolderOption(const Options& options) {
    if (!options.logFolder) return std::nullopt;
    std::string folder = *options.logFolder;
    if (folder.back() != '/') folder += '/';
    return folder;
}

void applyRunOptions(MonitorState& state, const Options& options) {
    if (const auto folder = logFolderOption(options)) state.SaveFolder = *folder;
    state.DeadTime = options.deadTimeSeconds;
}

Assembly::Assembly(const Options& options, MonitorFace& face, ControlFace& control, CaptureDevice& device,
                   SoundPlayer& player, Displays* displays, PipelineObserver* first)
    : Assembly(options, face, control, device, player, displays, first, machineFiles_, machineClock_) {}

Assembly::Assembly(const Options& options, MonitorFace& face, ControlFace& control, CaptureDevice& device,
                   SoundPlayer& player, Displays* displays, PipelineObserver* first, FileSystem& files, Clock& clock)
    : options_(options), face_(face), monitor_(face, control, MonitorServices{device, files, clock, player, displays}) {
    applyRunOptions(monitor_.state(), options);
    if (first) monitor_.pipeline().addObserver(first);
    if (options.seconds) {
        limit_ = std::make_unique<SecondsLimit>(monitor_, *options.seconds);
        monitor_.pipeline().addObserver(limit_.get());
    }
}

Assembly::~Assembly() = default;

bool Assembly::startStation(std::string& error) {
    maps_ = startMapSharing(options_, monitor_, face_, error);
    if (!error.empty()) return false;
    station_ = ravelin::startStation(options_, monitor_, face_, error, maps_ ? &maps_->uploads() : nullptr);
    if (!error.empty()) return false;
    if (!options_.http) {
        if (options_.httpClients) error = "--http-clients needs --http";
        if (error.empty() && maps_) maps_->start();
        return error.empty();
    }
    HttpServerConfig config;
    config.address = *parseHttpAddress(*options_.http, error);  // checked with the command line
    config.clientCap = options_.httpClients.value_or(128);
    config.version = kRavelinVersion;
    config.report = [](const std::string& text) {
        say(text.find("trying again") == std::string::npos ? Priority::Notice : Priority::Warning, text);
    };
    const std::string& folder = monitor_.state().SaveFolder;
    web_ = std::make_unique<WebStation>(monitor_, face_, webClock_, std::move(config),
                                        std::make_unique<PosixLogFolder>(folder.empty() ? "." : folder),
                                        maps_ ? &maps_->uploads() : nullptr);
    if (maps_) maps_->start();
    return true;
}

bool Assembly::unload() {
    if (monitor_.unload()) return true;
    sayUnwritten(monitor_.log());
    return false;
}

}  // namespace ravelin
