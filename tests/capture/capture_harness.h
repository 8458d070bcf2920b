// Plays the system's part against a real capture back end: the calls of Start, a
// BufferDone handler that copies and hands back, and checks on how events arrive.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <string>
#include <vector>

#include "engine/capture_device.h"

namespace ravelin::test {

class CaptureHarness : public CaptureEvents {
public:
    explicit CaptureHarness(CaptureDevice& device) : device_(device) { device_.setEvents(this); }
    ~CaptureHarness() override { device_.setEvents(nullptr); }

    // "buffer N BYTES" and "state 0/1", in the order delivered.
    std::vector<std::string> log;
    std::vector<std::vector<std::uint8_t>> buffers;
    bool eventInsideCall = false;  // an event arrived while the system was inside a call
    bool handBack = true;
    std::function<void(int)> afterBuffer;  // runs in the handler, after the buffer is handed back

    // The start sequence; returns false when Open threw.
    bool start() {
        try {
            call([&] { device_.Open(); });
        } catch (const CaptureError& e) {
            openError = e.what();
            return false;
        }
        std::int16_t count = 0;
        call([&] {
            bufferSize = device_.BufferSize();
            count = device_.BufferCount();
        });
        for (std::int16_t i = 0; i < count; ++i) call([&] { device_.QueueBuffer(i); });
        call([&] { device_.Start(); });
        return true;
    }
    void stop() { call([&] { device_.Stop(); }); }

    int bufferCount() const { return static_cast<int>(buffers.size()); }
    bool stopped() const { return !log.empty() && log.back() == "state 0"; }

    // Runs the event loop until `done` holds or the time is up.
    static bool runUntil(const std::function<bool()>& done, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return done();
    }
    // Lets whatever is already posted be delivered.
    static void settle() {
        for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
    }

    void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) override {
        eventInsideCall |= inCall_;
        log.push_back("buffer " + std::to_string(byteCount));
        std::vector<std::uint8_t> b(static_cast<std::size_t>(bufferSize), 0);
        call([&] { device_.GetBufferData(b, index, byteCount); });
        b.resize(static_cast<std::size_t>(byteCount));
        buffers.push_back(std::move(b));
        if (handBack && stopFlag == 0) call([&] { device_.QueueBuffer(index); });
        if (afterBuffer) afterBuffer(bufferCount());
    }
    void StateChanged() override {
        eventInsideCall |= inCall_;
        bool recording = false;
        call([&] { recording = device_.IsRecording(); });
        log.push_back(recording ? "state 1" : "state 0");
        if (!recording) call([&] { device_.Close(); });
    }

    std::int32_t bufferSize = 0;
    std::string openError;

private:
    template <class F>
    void call(F f) {
        const bool outer = inCall_;
        inCall_ = true;
        f();
        inCall_ = outer;
    }

    CaptureDevice& device_;
    bool inCall_ = false;
};

}  // namespace ravelin::test
