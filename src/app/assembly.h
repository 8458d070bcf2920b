// The monitor put together one way for the window and the headless monitor: the log
// folder and the dead time from the command line, the --seconds stop, station mode,
// and at the end the records the log could not write.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/options.h"
#include "control/monitor.h"
#include "platform/posix_files.h"

namespace ravelin {

class MapSharing;
class Station;
class WebStation;

// --log-folder as the log uses it, with a slash at its end; nothing without the option.
std::optional<std::string> logFolderOption(const Options& options);

// What the command line sets in a run's state besides the boxes: the log folder and the dead time.
void applyRunOptions(MonitorState& state, const Options& options);

class Assembly {
public:
    // `first`, when given (the headless line), sees every second before the --seconds stop does.
    // On the machine's files and clock.
    Assembly(const Options& options, MonitorFace& face, ControlFace& control, CaptureDevice& device,
             SoundPlayer& player, Displays* displays, PipelineObserver* first = nullptr);
    Assembly(const Options& options, MonitorFace& face, ControlFace& control, CaptureDevice& device,
             SoundPlayer& player, Displays* displays, PipelineObserver* first, FileSystem& files, Clock& clock);
    ~Assembly();

    Monitor& monitor() { return monitor_; }

    // Station mode when --mqtt asks for it, the public maps when --radmon, --gmcmap or
    // --safecast do, and the web server when --http does, their problems going to the
    // face. False, with `error` set, for a bad option of theirs (a command-line error).
    // Before Start.
    bool startStation(std::string& error);

    // Unload: true when every record is written; otherwise each unwritten one is said on stderr.
    bool unload();

private:
    class SecondsLimit;

    const Options& options_;
    MonitorFace& face_;
    PosixFileSystem machineFiles_;
    SystemClock machineClock_;
    Monitor monitor_;
    std::unique_ptr<SecondsLimit> limit_;
    std::unique_ptr<MapSharing> maps_;
    SystemUtcClock webClock_;
    std::unique_ptr<WebStation> web_;
    // Last, so that it goes first: its shut-down still turns the event loop.
    std::unique_ptr<Station> station_;
};

}  // namespace ravelin
