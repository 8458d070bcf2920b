// What the system relies on from a capture back end: one-second buffers of
// unsigned 8-bit samples, handed out by events and given back with QueueBuffer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace ravelin {

// The two events. A back end delivers them one at a time, on the thread that owns
// the system, and never from inside a call the system makes to the device.
class CaptureEvents {
public:
    virtual ~CaptureEvents() = default;
    virtual void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) = 0;
    virtual void StateChanged() = 0;
};

// A call the device cannot carry out: no sound input to open, or a recording that
// cannot be read.
class CaptureError : public std::runtime_error {
public:
    enum class Kind { NoInput, Unreadable };
    explicit CaptureError(const std::string& what, Kind kind = Kind::NoInput) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;

    void setEvents(CaptureEvents* events) { events_ = events; }

    virtual void Open() = 0;                               // throws CaptureError
    virtual std::int32_t BufferSize() const = 0;
    virtual std::int16_t BufferCount() const = 0;
    virtual void QueueBuffer(std::int16_t index) = 0;
    virtual void Start() = 0;                              // throws CaptureError
    virtual void Stop() = 0;
    virtual bool IsRecording() const = 0;
    virtual void Close() = 0;
    // Copies the first byteCount bytes of buffer `index` into sampleBuffer from index 0.
    virtual void GetBufferData(std::vector<std::uint8_t>& sampleBuffer, std::int16_t index,
                               std::int32_t byteCount) = 0;

    // Why capture ended on its own, when it did not end by Stop or at the end of a
    // recording: a lost device, a read error. Empty otherwise.
    virtual std::string failure() const { return {}; }

protected:
    CaptureEvents* events() const { return events_; }

private:
    CaptureEvents* events_ = nullptr;
};

}  // namespace ravelin
