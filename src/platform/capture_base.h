// What every capture back end shares: sixteen one-second buffers, the hand-over of
// buffers with QueueBuffer, and events posted through the event loop one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/capture_device.h"

namespace ravelin {

class SecondCapture : public CaptureDevice {
public:
    static constexpr std::int16_t kBufferCount = 16;

    // How seconds are made: pulled one at a time by the clock (or as fast as buffers
    // come back), or pushed by a source that has its own clock.
    enum class Pace { RealTime, Fast, Pushed };

    ~SecondCapture() override;

    void Open() final;
    std::int32_t BufferSize() const final { return bufferSize_; }
    std::int16_t BufferCount() const final { return kBufferCount; }
    void QueueBuffer(std::int16_t index) final;
    void Start() final;
    void Stop() final;
    bool IsRecording() const final { return recording_; }
    void Close() final;
    void GetBufferData(std::vector<std::uint8_t>& sampleBuffer, std::int16_t index, std::int32_t byteCount) final;
    std::string failure() const final { return failure_; }

    // Every sample v is handed out as 255 - v (pulses that rise become dips). Off by default.
    void setInvert(bool invert) { invert_ = invert; }

protected:
    explicit SecondCapture(Pace pace, std::int32_t defaultBufferSize = 22050);

    // One pulled second.
    struct Produced {
        std::int32_t bytes = 0;  // less than a second only at the end of the source
        bool last = false;       // nothing follows this one
    };

    // Opens the source and returns its bytes per second; throws CaptureError.
    virtual std::int32_t openSource() = 0;
    virtual void startSource() {}  // throws CaptureError
    virtual void stopSource() {}
    virtual void closeSource() {}
    // Pulled sources fill `out` (one second of room) with the next second.
    virtual Produced produce(std::uint8_t* out, std::int32_t room);

    // Pushed sources: the buffer to fill next (BufferSize bytes of room), or nullptr
    // while the system holds every buffer.
    std::uint8_t* bufferToFill();
    // The buffer from bufferToFill() holds `bytes` bytes; its BufferDone is posted.
    void bufferFilled(std::int32_t bytes);
    // The source ended on its own; a non-empty `reason` is a failure.
    void endCapture(const std::string& reason);

private:
    struct Loop;
    enum class Slot : std::uint8_t { Held, Free, Filling, Posted };

    void post(std::int16_t index, std::int32_t bytes);  // index < 0: StateChanged
    void deliver();
    void pump();
    void schedule();
    void resetBuffers();

    const Pace pace_;
    const std::int32_t defaultBufferSize_;
    std::int32_t bufferSize_;
    bool open_ = false;
    bool recording_ = false;
    bool ended_ = false;  // no more seconds will come in this run
    std::string failure_;
    std::vector<std::vector<std::uint8_t>> buffers_;
    std::vector<std::int32_t> filled_;
    std::vector<Slot> slots_;
    std::int16_t filling_ = -1;
    std::uint64_t produced_ = 0;
    bool invert_ = false;
    bool starved_ = false;  // a second was due while the system held every buffer
    std::unique_ptr<Loop> loop_;
};

}  // namespace ravelin
