#include "app/level_meter.h"

#include <algorithm>
#include <cstdlib>

namespace ravelin {

int levelPercent(const std::vector<std::uint8_t>& samples, std::int32_t count) {
    int widest = 0;
    const auto n = std::min<std::size_t>(samples.size(), static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = 0; i < n; ++i) widest = std::max(widest, std::abs(static_cast<int>(samples[i]) - 128));
    return std::min(100, (widest * 100 + 64) / 128);
}

LevelMeter::LevelMeter(std::function<void(int percent)> show) : show_(std::move(show)) {}

LevelMeter::~LevelMeter() { stop(); }

void LevelMeter::listen(std::unique_ptr<CaptureDevice> device) {
    stop();
    if (!device) return;
    device_ = std::move(device);
    device_->setEvents(this);
    try {
        device_->Open();
        for (std::int16_t i = 0; i < device_->BufferCount(); ++i) device_->QueueBuffer(i);
        device_->Start();
    } catch (const CaptureError&) {
        device_->setEvents(nullptr);
        device_.reset();
        show_(0);
    }
}

void LevelMeter::stop() {
    if (!device_) return;
    device_->setEvents(nullptr);
    device_->Stop();
    device_->Close();
    device_.reset();
    show_(0);
}

void LevelMeter::BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) {
    if (!device_) return;
    if (byteCount > 0) buffer_.resize(static_cast<std::size_t>(byteCount));
    device_->GetBufferData(buffer_, index, byteCount);
    show_(levelPercent(buffer_, byteCount));
    if (stopFlag == 0) device_->QueueBuffer(index);
}

}  // namespace ravelin
