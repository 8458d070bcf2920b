// The 設定 window's level meter: listens to the chosen source on a device of its own
// and tells, each second, how far its loudest sample went from the middle.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "engine/capture_device.h"

namespace ravelin {

// 0..100 for the buffer's largest distance from the middle sample value 128.
int levelPercent(const std::vector<std::uint8_t>& samples, std::int32_t count);

class LevelMeter : public CaptureEvents {
public:
    explicit LevelMeter(std::function<void(int percent)> show);
    ~LevelMeter() override;

    // Listens to `device` until stop(); a device that cannot be opened shows 0.
    void listen(std::unique_ptr<CaptureDevice> device);
    void stop();

    void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) override;
    void StateChanged() override {}

private:
    std::function<void(int)> show_;
    std::unique_ptr<CaptureDevice> device_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace ravelin
