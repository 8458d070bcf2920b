// What the web server shows, handed over by the pipeline once a second. The pipeline
// only swaps a pointer under a short lock; the server's threads read the copy.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "outputs/map_uploader.h"

namespace ravelin {

// One processed second as the page, the events and the metrics see it.
struct LiveSecond {
    std::uint64_t sequence = 0;  // 1 for the first second handed over
    std::string stateJson;       // the station's state message, byte for byte
    std::int32_t seconds = 0;
    std::int64_t total = 0;
    std::string cpm, dose;                       // readout texts; empty before a dose
    std::string cpmLow, cpmHigh, doseLow, doseHigh;  // the 95 % interval; empty before one
    bool alarm1 = false, alarm2 = false;         // a stage's latch is set
    bool alarm1Ticked = false, alarm2Ticked = false;
    std::optional<double> alarm1Limit, alarm2Limit;
    std::string logFolder;   // where the records go ("" = the working directory)
    std::string lastRecord;  // the last record written, as its line without CR LF
    std::uint64_t recordsWritten = 0;
    std::uint64_t recordsPending = 0;
    // Each public map's status, as the station's state message has it; empty without a map option.
    std::vector<MapStatus> maps;
    // The trend graph's inputs: the ring of doses and the limits as it reads them.
    std::array<float, 600> doseHistory{};
    int latestHistory = 0;
    std::optional<double> t1, t2;
    std::optional<float> t1Single, t2Single;
    std::chrono::steady_clock::time_point at{};
};

// The newest second, shared between the pipeline (one writer) and the server.
class LiveBoard {
public:
    // Never waits on a reader: the lock only guards the pointer's swap.
    void publish(std::shared_ptr<const LiveSecond> second);
    // The newest second, or nullptr before the first.
    std::shared_ptr<const LiveSecond> latest() const;
    // Waits until a second newer than `seen` arrives, the time is up or stop() was called.
    std::shared_ptr<const LiveSecond> waitNewer(std::uint64_t seen, std::chrono::milliseconds timeout);
    void stop();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<const LiveSecond> latest_;
    bool stopped_ = false;
};

}  // namespace ravelin
