// The setup assistant's run: a capture device feeding the calibration one buffer at a
// time, for the terminal and for the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/options.h"
#include "engine/calibration.h"
#include "engine/capture_device.h"

namespace ravelin {

// How long the assistant listens: a recording whole; --seconds exactly; else live input
// and the simulator until enough pulses for a plateau are heard, within bounds.
struct Listening {
    std::optional<long long> seconds;  // exactly this many buffers
    bool untilEnough = false;          // until kEnoughPulses, at least kLeastListen s, at most kMostListen s
    bool rateAdjustable = false;       // the live input, whose rate --rate sets
};
inline constexpr long long kLeastListen = 30;
inline constexpr long long kMostListen = 600;

Listening listeningFor(const Options& options);

class CalibrationRun : public CaptureEvents {
public:
    CalibrationRun(CaptureDevice& device, Listening listening);
    ~CalibrationRun() override;

    std::function<void(std::int64_t seconds)> onSecond;  // after each buffer
    std::function<void()> onEnd;                         // capture is over, the device closed

    // Opens and starts the device; false with the reason when it cannot.
    bool start(std::string& error);
    void stop();
    bool ended() const { return ended_; }
    // Why capture ended on its own (a lost input, a read error); empty otherwise.
    const std::string& failure() const { return failure_; }
    CalibrationResult result() const;
    std::int64_t pulsesSoFar() const { return calibrator_ ? calibrator_->pulsesSoFar() : 0; }
    const Listening& listening() const { return listening_; }

    void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) override;
    void StateChanged() override;

private:
    bool heardEnough() const;

    CaptureDevice& device_;
    Listening listening_;
    std::unique_ptr<Calibrator> calibrator_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t seconds_ = 0;
    bool ended_ = false;
    bool stopping_ = false;
    std::string failure_;
};

// The options the assistant runs its source with: a recording is read whole and fast.
Options calibrationOptions(const Options& options);

// The progress while listening, for the terminal: "12 s, 45 pulses so far".
std::string listeningProgress(const CalibrationRun& run, std::int64_t seconds);

// --calibrate without a window: the proposal on stdout, the reasons on stderr.
// 0 with a proposal, 1 when the source fails or no pulses are found, 2 a bad source.
int runCalibration(const Options& options);

}  // namespace ravelin
