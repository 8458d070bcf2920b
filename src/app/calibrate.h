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

class CalibrationRun : public CaptureEvents {
public:
    // Stops after `seconds` buffers when given, else at the end of the source.
    CalibrationRun(CaptureDevice& device, std::optional<long long> seconds);
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

    void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) override;
    void StateChanged() override;

private:
    CaptureDevice& device_;
    std::optional<long long> limit_;
    std::unique_ptr<Calibrator> calibrator_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t seconds_ = 0;
    bool ended_ = false;
    bool stopping_ = false;
    std::string failure_;
};

// The options the assistant runs its source with: a recording is read whole and fast;
// live input and the simulator listen 30 s unless --seconds says otherwise.
Options calibrationOptions(const Options& options);

// --calibrate without a window: the proposal on stdout, the reasons on stderr.
// 0 with a proposal, 1 when the source fails or no pulses are found, 2 a bad source.
int runCalibration(const Options& options);

}  // namespace ravelin
