// The capture contract as the system relies on it, against the real back ends.
#include <gtest/gtest.h>

#include <QMetaObject>
#include <cstdlib>
#include <filesystem>

#include "capture/capture_harness.h"
#include "capture/wav_writer.h"
#include "platform/capture_base.h"
#include "platform/capture_sources.h"
#include "platform/file_source.h"
#include "platform/sim_source.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

std::string tempPath(const std::string& name) {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("ravelin-capture-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return (dir / name).string();
}

// A silent 8-bit recording of `frames` frames.
std::string silentWav(const std::string& name, int frames, int rate = 22050) {
    const std::string path = tempPath(name);
    writeWav(path, rate, 1, 8, false, std::vector<std::uint32_t>(static_cast<std::size_t>(frames), 128));
    return path;
}

// A pushed source with a 100-byte second, fed by the test as a sound card would be.
class FedSource : public SecondCapture {
public:
    FedSource() : SecondCapture(Pace::Pushed, 100) {}
    // Delivers `bytes` bytes of value `v`; returns how many found room.
    int feed(int bytes, std::uint8_t v = 7) {
        int taken = 0;
        while (bytes > 0) {
            std::uint8_t* b = bufferToFill();
            if (!b) return taken;
            const int n = std::min(bytes, 100 - offset_);
            std::fill(b + offset_, b + offset_ + n, v);
            offset_ += n;
            bytes -= n;
            taken += n;
            if (offset_ == 100) {
                offset_ = 0;
                bufferFilled(100);
            }
        }
        return taken;
    }
    void lose() { endCapture("unplugged"); }

protected:
    std::int32_t openSource() override { return 100; }
    void stopSource() override { offset_ = 0; }

private:
    int offset_ = 0;
};

}  // namespace

TEST(CaptureContract, EventsArriveLaterOneAtATimeAndNeverInsideACall) {
    SimulatedTube sim(600, true, 1);
    CaptureHarness h(sim);
    ASSERT_TRUE(h.start());
    EXPECT_EQ(h.bufferSize, 22050);
    EXPECT_TRUE(h.log.empty()) << "Start must not deliver StateChanged itself";
    EXPECT_TRUE(sim.IsRecording());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.bufferCount() >= 5; }));
    EXPECT_EQ(h.log.front(), "state 1");
    h.stop();
    EXPECT_FALSE(sim.IsRecording());
    EXPECT_NE(h.log.back(), "state 0") << "Stop must not deliver StateChanged itself";
    const int buffersAtStop = h.bufferCount();
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    CaptureHarness::settle();
    EXPECT_EQ(h.bufferCount(), buffersAtStop) << "no buffer comes back after a stop";
    EXPECT_FALSE(h.eventInsideCall);
    for (const auto& line : h.log) EXPECT_TRUE(line == "state 1" || line == "state 0" || line == "buffer 22050") << line;
}

TEST(CaptureContract, AStopInsideBufferDoneEndsTheRunAtThatBuffer) {
    SimulatedTube sim(30, true, 2);
    CaptureHarness h(sim);
    h.afterBuffer = [&](int n) {
        if (n == 3) h.stop();
    };
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    CaptureHarness::settle();
    EXPECT_EQ(h.bufferCount(), 3);
    EXPECT_EQ(h.log.size(), 5u);
    EXPECT_FALSE(h.eventInsideCall);
}

TEST(CaptureContract, AStopDropsABufferPostedButNotYetDelivered) {
    SimulatedTube sim(30, true, 3);
    CaptureHarness h(sim);
    QObject context;
    // The stop is posted before the next buffer's delivery, so that buffer is already waiting.
    h.afterBuffer = [&](int n) {
        if (n == 1) QMetaObject::invokeMethod(&context, [&] { h.stop(); }, Qt::QueuedConnection);
    };
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    CaptureHarness::settle();
    EXPECT_EQ(h.bufferCount(), 1);
}

TEST(CaptureContract, APushedSourceDropsThePartOfASecondBeforeAStop) {
    FedSource src;
    CaptureHarness h(src);
    ASSERT_TRUE(h.start());
    CaptureHarness::settle();
    EXPECT_EQ(src.feed(150), 150);
    CaptureHarness::settle();
    ASSERT_EQ(h.bufferCount(), 1);
    EXPECT_EQ(h.buffers[0], std::vector<std::uint8_t>(100, 7));
    h.stop();
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(h.bufferCount(), 1) << "the half second before the stop is not delivered";
    EXPECT_EQ(src.feed(500), 0) << "nothing is taken after a stop";
}

TEST(CaptureContract, ASourceWithEveryBufferHeldDropsWhatComesAndALostOneReportsWhy) {
    FedSource src;
    CaptureHarness h(src);
    h.handBack = false;
    ASSERT_TRUE(h.start());
    EXPECT_EQ(src.feed(16 * 100 + 40), 16 * 100);
    CaptureHarness::settle();
    EXPECT_EQ(h.bufferCount(), 16);
    src.lose();
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(src.failure(), "unplugged");
}

TEST(CaptureContract, ARecordingEndsWithItsShortTailAndStopsByItself) {
    const std::string path = silentWav("tail.wav", 22050 * 2 + 11025);
    FileSource file(path, true);
    CaptureHarness h(file);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(h.log, (std::vector<std::string>{"state 1", "buffer 22050", "buffer 22050", "buffer 11025", "state 0"}));
    EXPECT_EQ(file.failure(), "");
}

TEST(CaptureContract, ARecordingOfWholeSecondsHasNoEmptyLastBuffer) {
    FileSource file(silentWav("two.wav", 22050 * 2), true);
    CaptureHarness h(file);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(h.log, (std::vector<std::string>{"state 1", "buffer 22050", "buffer 22050", "state 0"}));
}

TEST(CaptureContract, OneBufferIsOneSecondAtTheFilesOwnRate) {
    FileSource file(silentWav("8k.wav", 12000, 8000), true);
    CaptureHarness h(file);
    ASSERT_TRUE(h.start());
    EXPECT_EQ(h.bufferSize, 8000);
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(h.log, (std::vector<std::string>{"state 1", "buffer 8000", "buffer 4000", "state 0"}));
}

TEST(CaptureContract, AnEmptyRecordingStartsAndStops) {
    FileSource file(silentWav("empty.wav", 0), true);
    CaptureHarness h(file);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(h.log, (std::vector<std::string>{"state 1", "state 0"}));
}

TEST(CaptureContract, ARecordingOpenedAgainStartsFromItsBeginning) {
    std::vector<std::uint32_t> ramp(22050);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint32_t>(i % 256);
    const std::string path = tempPath("ramp.wav");
    writeWav(path, 22050, 1, 8, false, ramp);
    FileSource file(path, true);
    for (int run = 0; run < 2; ++run) {
        CaptureHarness h(file);
        ASSERT_TRUE(h.start());
        ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
        ASSERT_EQ(h.bufferCount(), 1);
        EXPECT_EQ(h.buffers[0][300], 300 % 256) << "run " << run;
    }
}

TEST(CaptureContract, WhatCannotBeReadAsARecordingFailsAtOpen) {
    const std::string text = tempPath("notes.wav");
    std::ofstream(text) << "these are not samples\n";
    const std::string folder = tempPath("folder.wav");
    std::filesystem::create_directories(folder);
    for (const std::string& path : {text, folder, tempPath("missing.wav")}) {
        FileSource file(path, true);
        CaptureHarness h(file);
        EXPECT_FALSE(h.start()) << path;
        EXPECT_NE(h.openError.find(path), std::string::npos) << h.openError;
        EXPECT_FALSE(file.IsRecording());
        CaptureHarness::settle();
        EXPECT_TRUE(h.log.empty());
    }
}

TEST(CaptureSources, NamesThatAreNoSourceAreRefusedWithAMessage) {
    for (const char* bad : {"bogus", "sim:abc", "sim:-5", "sim:", "file:", "audio:", "SIM", "file"}) {
        std::string error;
        EXPECT_EQ(createCaptureDevice(bad, {}, error), nullptr) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    for (const char* good : {"sim", "sim:30", "sim:0", "sim:100000", "sim:12.5", "file:x.wav", "audio", "audio:qtmic"}) {
        std::string error;
        EXPECT_NE(createCaptureDevice(good, {}, error), nullptr) << good << ": " << error;
    }
}

TEST(CaptureSources, TheSimulatedTubeAtAVeryHighRateStillDeliversSeconds) {
    std::string error;
    auto sim = createCaptureDevice("sim:100000000", CaptureOptions{true, 5}, error);
    ASSERT_NE(sim, nullptr);
    CaptureHarness h(*sim);
    h.afterBuffer = [&](int n) {
        if (n == 3) h.stop();
    };
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(CaptureHarness::runUntil([&] { return h.stopped(); }));
    EXPECT_EQ(h.bufferCount(), 3);
}
