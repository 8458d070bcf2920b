// The window's capture device: the source, rate and polarity chosen in the 設定 window
// apply at the next 開始, when the monitor opens the device again.
#pragma once

#include <functional>
#include <memory>

#include "engine/capture_device.h"

namespace ravelin {

class SwitchableDevice : public CaptureDevice {
public:
    // Makes the device for the current choice; nullptr with `error` when it is no source.
    using Factory = std::function<std::unique_ptr<CaptureDevice>(std::string& error)>;

    explicit SwitchableDevice(std::unique_ptr<CaptureDevice> first);

    // The next Open makes a new device with `factory`; the one in use runs on until then.
    void changeTo(Factory factory);

    void Open() override;
    std::int32_t BufferSize() const override { return current_->BufferSize(); }
    std::int16_t BufferCount() const override { return current_->BufferCount(); }
    void QueueBuffer(std::int16_t index) override { current_->QueueBuffer(index); }
    void Start() override { current_->Start(); }
    void Stop() override { current_->Stop(); }
    bool IsRecording() const override { return current_->IsRecording(); }
    void Close() override { current_->Close(); }
    void GetBufferData(std::vector<std::uint8_t>& sampleBuffer, std::int16_t index, std::int32_t byteCount) override {
        current_->GetBufferData(sampleBuffer, index, byteCount);
    }
    std::string failure() const override { return current_->failure(); }

private:
    std::unique_ptr<CaptureDevice> current_;
    Factory next_;
};

}  // namespace ravelin
