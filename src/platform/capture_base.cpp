#include "platform/capture_base.h"

#include <QObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>

namespace ravelin {
namespace {
constexpr std::int16_t kStateChanged = -1;
constexpr std::int16_t kPump = -2;  // an internal turn: make the seconds that are due

struct Event {
    std::int16_t index;  // a buffer, kStateChanged or kPump
    std::int32_t bytes;
};
}  // namespace

struct SecondCapture::Loop {
    QObject context;  // posted deliveries die with it
    QTimer timer;
    std::deque<Event> events;
    std::deque<std::int16_t> free;  // handed back by the system, in the order given
    bool posted = false;
    bool delivering = false;
    std::chrono::steady_clock::time_point started;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

SecondCapture::SecondCapture(Pace pace, std::int32_t defaultBufferSize)
    : pace_(pace), defaultBufferSize_(defaultBufferSize), bufferSize_(defaultBufferSize), loop_(std::make_unique<Loop>()) {
    buffers_.resize(kBufferCount);
    filled_.assign(kBufferCount, 0);
    slots_.assign(kBufferCount, Slot::Held);
    loop_->timer.setSingleShot(true);
    loop_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&loop_->timer, &QTimer::timeout, &loop_->context, [this] { pump(); });
}

SecondCapture::~SecondCapture() { *loop_->alive = false; }

void SecondCapture::resetBuffers() {
    loop_->events.clear();
    loop_->free.clear();
    slots_.assign(kBufferCount, Slot::Held);
    filled_.assign(kBufferCount, 0);
    filling_ = -1;
}

void SecondCapture::Open() {
    if (open_) Close();
    failure_.clear();
    resetBuffers();
    const std::int32_t size = openSource();
    if (size <= 0) {
        closeSource();
        throw CaptureError("the source gives no samples per second");
    }
    bufferSize_ = size;
    for (auto& b : buffers_)
        if (b.size() != static_cast<std::size_t>(size)) std::vector<std::uint8_t>().swap(b);
    open_ = true;
}

void SecondCapture::QueueBuffer(std::int16_t index) {
    if (!open_ || index < 0 || index >= kBufferCount || slots_[index] != Slot::Held) return;
    slots_[index] = Slot::Free;
    loop_->free.push_back(index);
    // A second that waited for a buffer is made on a later turn of the loop.
    if (starved_ && recording_ && !loop_->delivering) {
        starved_ = false;
        post(kPump, 0);
    }
}

void SecondCapture::Start() {
    if (!open_) throw CaptureError("the capture device is not open");
    if (recording_) return;
    failure_.clear();
    ended_ = false;
    produced_ = 0;
    starved_ = false;
    startSource();
    recording_ = true;
    loop_->started = std::chrono::steady_clock::now();
    post(kStateChanged, 0);
    schedule();
}

void SecondCapture::Stop() {
    // Seconds posted but not yet delivered are dropped, like the part of a second
    // being captured: a stop adds no buffer.
    auto& events = loop_->events;
    for (auto it = events.begin(); it != events.end();) {
        if (it->index >= 0) {
            slots_[it->index] = Slot::Held;
            it = events.erase(it);
        } else {
            ++it;
        }
    }
    if (!recording_) return;
    recording_ = false;
    ended_ = true;
    loop_->timer.stop();
    stopSource();
    if (filling_ >= 0) {
        slots_[filling_] = Slot::Free;
        loop_->free.push_front(filling_);
        filling_ = -1;
    }
    post(kStateChanged, 0);
}

void SecondCapture::Close() {
    if (recording_) {
        recording_ = false;
        stopSource();
    }
    ended_ = true;
    loop_->timer.stop();
    resetBuffers();  // no event follows a Close
    if (open_) closeSource();
    open_ = false;
    bufferSize_ = defaultBufferSize_;
}

void SecondCapture::GetBufferData(std::vector<std::uint8_t>& sampleBuffer, std::int16_t index, std::int32_t byteCount) {
    if (index < 0 || index >= kBufferCount || byteCount <= 0) return;
    const auto n = static_cast<std::size_t>(std::min(byteCount, filled_[index]));
    if (n > buffers_[index].size()) return;
    if (sampleBuffer.size() < n) sampleBuffer.resize(n);
    std::memcpy(sampleBuffer.data(), buffers_[index].data(), n);
    if (invert_)
        for (std::size_t i = 0; i < n; ++i) sampleBuffer[i] = static_cast<std::uint8_t>(255 - sampleBuffer[i]);
}

SecondCapture::Produced SecondCapture::produce(std::uint8_t*, std::int32_t) { return {0, true}; }

std::uint8_t* SecondCapture::bufferToFill() {
    if (!recording_) return nullptr;
    if (filling_ < 0) {
        if (loop_->free.empty()) return nullptr;
        filling_ = loop_->free.front();
        loop_->free.pop_front();
        slots_[filling_] = Slot::Filling;
        auto& b = buffers_[filling_];
        if (b.size() != static_cast<std::size_t>(bufferSize_)) b.assign(static_cast<std::size_t>(bufferSize_), 0);
    }
    return buffers_[filling_].data();
}

void SecondCapture::bufferFilled(std::int32_t bytes) {
    if (filling_ < 0) return;
    const std::int16_t index = filling_;
    filling_ = -1;
    filled_[index] = std::clamp(bytes, 0, bufferSize_);
    slots_[index] = Slot::Posted;
    ++produced_;
    post(index, filled_[index]);
}

void SecondCapture::endCapture(const std::string& reason) {
    if (!recording_) return;
    recording_ = false;
    ended_ = true;
    failure_ = reason;
    loop_->timer.stop();
    stopSource();
    if (filling_ >= 0) {
        slots_[filling_] = Slot::Held;
        filling_ = -1;
    }
    // After the seconds already posted: the tail of a recording is delivered first.
    post(kStateChanged, 0);
}

void SecondCapture::post(std::int16_t index, std::int32_t bytes) {
    loop_->events.push_back(Event{index, bytes});
    if (loop_->posted || loop_->delivering) return;
    loop_->posted = true;
    QMetaObject::invokeMethod(&loop_->context, [this] { deliver(); }, Qt::QueuedConnection);
}

void SecondCapture::deliver() {
    loop_->posted = false;
    if (loop_->events.empty()) return;
    const Event e = loop_->events.front();
    loop_->events.pop_front();

    const std::shared_ptr<bool> alive = loop_->alive;  // a handler may delete this device
    loop_->delivering = true;
    if (e.index == kPump) {
        pump();
    } else if (CaptureEvents* handler = events()) {
        if (e.index >= 0) {
            slots_[e.index] = Slot::Held;
            handler->BufferDone(e.index, e.bytes, 0);
        } else {
            handler->StateChanged();
        }
    } else if (e.index >= 0) {
        slots_[e.index] = Slot::Held;
    }
    if (!*alive) return;
    loop_->delivering = false;

    // Fast: the next second follows as soon as the last one was taken.
    const bool bufferPending = std::any_of(loop_->events.begin(), loop_->events.end(),
                                           [](const Event& x) { return x.index >= 0; });
    if (!bufferPending && (pace_ == Pace::Fast || starved_)) pump();
    if (!loop_->events.empty() && !loop_->posted) {
        loop_->posted = true;
        QMetaObject::invokeMethod(&loop_->context, [this] { deliver(); }, Qt::QueuedConnection);
    }
}

void SecondCapture::pump() {
    if (!recording_ || ended_ || pace_ == Pace::Pushed) return;
    starved_ = false;
    std::uint64_t due = produced_ + 1;
    if (pace_ == Pace::RealTime) {
        const auto elapsed = std::chrono::steady_clock::now() - loop_->started;
        due = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    }
    while (produced_ < due && recording_ && !ended_) {
        if (loop_->free.empty()) {
            starved_ = true;  // the next QueueBuffer makes it
            return;
        }
        const std::int16_t index = loop_->free.front();
        loop_->free.pop_front();
        auto& b = buffers_[index];
        if (b.size() != static_cast<std::size_t>(bufferSize_)) b.assign(static_cast<std::size_t>(bufferSize_), 0);
        const Produced p = produce(b.data(), bufferSize_);
        if (p.bytes > 0) {
            filled_[index] = std::min(p.bytes, bufferSize_);
            slots_[index] = Slot::Posted;
            ++produced_;
            post(index, filled_[index]);
        } else {
            loop_->free.push_front(index);
        }
        if (p.last || p.bytes <= 0) endCapture({});
    }
    schedule();
}

void SecondCapture::schedule() {
    if (pace_ != Pace::RealTime || !recording_ || ended_ || starved_) return;
    using namespace std::chrono;
    const auto next = loop_->started + seconds(static_cast<long long>(produced_ + 1));
    const auto wait = ceil<milliseconds>(next - steady_clock::now());
    loop_->timer.start(static_cast<int>(std::max<long long>(wait.count(), 0)));
}

}  // namespace ravelin
