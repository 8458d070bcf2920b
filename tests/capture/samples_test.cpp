// What the sources put into the buffers: converted recordings and the simulated tube.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "capture/capture_harness.h"
#include "capture/wav_writer.h"
#include "engine/detector.h"
#include "platform/capture_sources.h"
#include "platform/file_source.h"
#include "platform/sim_source.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

std::string tempPath(const std::string& name) {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("ravelin-samples-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return (dir / name).string();
}

// The first second of a recording as the file source delivers it.
std::vector<std::uint8_t> firstSecond(const std::string& path) {
    FileSource file(path, true);
    CaptureHarness h(file);
    if (!h.start()) return {};
    CaptureHarness::runUntil([&] { return h.stopped(); });
    return h.buffers.empty() ? std::vector<std::uint8_t>{} : h.buffers.front();
}

}  // namespace

TEST(Conversion, EightBitUnsignedPassesUnchanged) {
    std::vector<std::uint32_t> samples(22050);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint32_t>((i * 7) % 256);
    writeWav(tempPath("u8.wav"), 22050, 1, 8, false, samples);
    const auto got = firstSecond(tempPath("u8.wav"));
    ASSERT_EQ(got.size(), samples.size());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], samples[i]) << i;
}

TEST(Conversion, WiderIntegersKeepTheirTopEightBitsOffsetTo0To255) {
    EXPECT_EQ(unsignedFromInt16(-32768), 0);
    EXPECT_EQ(unsignedFromInt16(-257), 126);
    EXPECT_EQ(unsignedFromInt16(-256), 127);
    EXPECT_EQ(unsignedFromInt16(-1), 127);
    EXPECT_EQ(unsignedFromInt16(0), 128);
    EXPECT_EQ(unsignedFromInt16(255), 128);
    EXPECT_EQ(unsignedFromInt16(256), 129);
    EXPECT_EQ(unsignedFromInt16(32767), 255);

    const std::vector<std::int32_t> s16 = {-32768, -257, -256, -1, 0, 255, 256, 32767};
    const std::vector<std::uint8_t> want = {0, 126, 127, 127, 128, 128, 129, 255};
    std::vector<std::uint32_t> raw;
    for (auto v : s16) raw.push_back(static_cast<std::uint32_t>(v) & 0xffff);
    writeWav(tempPath("s16.wav"), 22050, 1, 16, false, raw);
    EXPECT_EQ(firstSecond(tempPath("s16.wav")), want);

    // 24-bit: the top byte of the three.
    const std::vector<std::int32_t> s24 = {-8388608, -65537, -65536, -1, 0, 65535, 65536, 8388607};
    raw.clear();
    for (auto v : s24) raw.push_back(static_cast<std::uint32_t>(v) & 0xffffff);
    writeWav(tempPath("s24.wav"), 22050, 1, 24, false, raw);
    EXPECT_EQ(firstSecond(tempPath("s24.wav")), want);
}

TEST(Conversion, FloatSamplesAreFractionsOfFullScaleLimitedTo0To255) {
    const std::vector<float> f = {-2.0f, -1.0f, -0.0078125f, -1e-9f, 0.0f, 0.0078125f, 0.5f, 0.999f, 1.0f, 7.0f};
    const std::vector<std::uint8_t> want = {0, 0, 127, 127, 128, 129, 192, 255, 255, 255};
    std::vector<std::uint8_t> direct;
    for (float v : f) direct.push_back(unsignedFromFloat(v));
    EXPECT_EQ(direct, want);
    EXPECT_EQ(unsignedFromFloat(std::numeric_limits<float>::quiet_NaN()), 128);

    std::vector<std::uint32_t> raw;
    for (float v : f) raw.push_back(floatBits(v));
    writeWav(tempPath("f32.wav"), 22050, 1, 32, true, raw);
    EXPECT_EQ(firstSecond(tempPath("f32.wav")), want);
}

TEST(Conversion, OnlyTheFirstChannelIsUsed) {
    // Left a ramp, right a constant: 8-bit and 16-bit stereo, longer than a second.
    std::vector<std::uint32_t> u8, s16;
    for (std::uint32_t i = 0; i < 22050 + 500; ++i) {
        u8.push_back(i % 256);
        u8.push_back(3);
        s16.push_back(((i % 256) - 128) << 8 & 0xffff);
        s16.push_back(0x7fff);
    }
    writeWav(tempPath("u8st.wav"), 22050, 2, 8, false, u8);
    writeWav(tempPath("s16st.wav"), 22050, 2, 16, false, s16);
    std::vector<std::uint8_t> ramp;
    for (std::uint32_t i = 0; i < 22050; ++i) ramp.push_back(static_cast<std::uint8_t>(i % 256));
    EXPECT_EQ(firstSecond(tempPath("u8st.wav")), ramp);
    EXPECT_EQ(firstSecond(tempPath("s16st.wav")), ramp);
}

TEST(Conversion, AHeaderClaimingAnAbsurdRateIsRefusedAtOpen) {
    writeWav(tempPath("fast.wav"), 50'000'000, 1, 8, false, std::vector<std::uint32_t>(100, 128));
    FileSource file(tempPath("fast.wav"), true);
    CaptureHarness h(file);
    EXPECT_FALSE(h.start());
    EXPECT_NE(h.openError.find("samples a second"), std::string::npos) << h.openError;
}

TEST(SimulatedTube, TheSameSeedGivesTheSameSamplesAndAnotherSeedOthers) {
    auto seconds = [](std::optional<std::uint64_t> seed) {
        SimulatedTube sim(600, true, seed);
        CaptureHarness h(sim);
        h.afterBuffer = [&](int n) {
            if (n == 3) h.stop();
        };
        h.start();
        CaptureHarness::runUntil([&] { return h.stopped(); });
        return h.buffers;
    };
    const auto a = seconds(42), b = seconds(42), c = seconds(43), d = seconds(std::nullopt), e = seconds(std::nullopt);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(d, e);
}

TEST(SimulatedTube, TheDefaultThresholdsCountEveryPulseOnce) {
    const DetectorSettings defaults{47, 53, 10};
    for (const double cpm : {30.0, 600.0, 6000.0, 60000.0}) {
        TubeSignal tube(cpm, 1234);
        std::vector<std::uint8_t> second(TubeSignal::kRate);
        std::int16_t armed = 0;
        std::int64_t counted = 0;
        const int seconds = cpm < 1000 ? 600 : 60;
        for (int s = 0; s < seconds; ++s) {
            tube.next(second.data());
            counted += scanPulses(second, defaults, armed);
        }
        EXPECT_EQ(counted, static_cast<std::int64_t>(tube.pulses())) << cpm << " CPM";
        if (cpm <= 600) EXPECT_NEAR(static_cast<double>(tube.pulses()), cpm * seconds / 60, 4 * std::sqrt(cpm * seconds / 60));
    }
}

TEST(SimulatedTube, ASilentTubeIsABaselineOf128WithALittleNoise) {
    TubeSignal tube(0, 9);
    std::vector<std::uint8_t> second(TubeSignal::kRate);
    tube.next(second.data());
    const auto [lo, hi] = std::minmax_element(second.begin(), second.end());
    EXPECT_GE(*lo, 125);
    EXPECT_LE(*hi, 131);
    EXPECT_LT(*lo, *hi);
    EXPECT_EQ(tube.pulses(), 0u);
}

TEST(SimulatedTube, APulseDipsFastAndRecoversWithoutCrossingTheLowerLevelAgain) {
    // One pulse in a quiet stretch: a few samples far below 47, then nothing below 90.
    TubeSignal tube(60, 77);
    std::vector<std::uint8_t> second(TubeSignal::kRate);
    for (int s = 0; s < 20 && tube.pulses() == 0; ++s) tube.next(second.data());
    ASSERT_EQ(tube.pulses(), 1u);
    const auto low = std::find_if(second.begin(), second.end(), [](std::uint8_t v) { return v < 47; });
    ASSERT_NE(low, second.end());
    const auto firstLow = low - second.begin();
    ASSERT_LT(firstLow + 60, static_cast<long>(second.size()));
    EXPECT_LT(*std::min_element(low, low + 4), 40);
    const auto recovered = std::find_if(low, second.end(), [](std::uint8_t v) { return v > 100; });
    EXPECT_LT(recovered - low, 12);
    EXPECT_GT(*std::min_element(low + 12, low + 60), 90);
}

TEST(SimulatedTube, EvenAnAbsurdRateFinishesItsSecondsBoundedByTheDeadTime) {
    TubeSignal tube(1e12, 3);
    std::vector<std::uint8_t> second(TubeSignal::kRate);
    tube.next(second.data());
    tube.next(second.data());
    const double most = 2.0 / TubeSignal::kDeadTimeSeconds + 2;
    EXPECT_LE(static_cast<double>(tube.pulses()), most);
    EXPECT_GT(static_cast<double>(tube.pulses()), most * 0.9);
}

TEST(SimulatedTube, AtAnotherRateTheSecondHoldsThatManySamplesAndThePulseKeepsItsShapeInTime) {
    for (const std::int32_t rate : {44100, 48000, 96000, 192000}) {
        TubeSignal tube(600, 1234, rate);
        std::vector<std::uint8_t> second(static_cast<std::size_t>(rate));
        std::int16_t armed = 0;
        std::int64_t counted = 0, low = 0;
        for (int s = 0; s < 60; ++s) {
            tube.next(second.data());
            counted += scanPulses(second, DetectorSettings{47, 53, 10}, armed);
            low += std::count_if(second.begin(), second.end(), [](std::uint8_t v) { return v < 47; });
        }
        EXPECT_EQ(counted, static_cast<std::int64_t>(tube.pulses())) << rate;
        // The time a pulse spends below 47 is the same at any rate: about 0.2 ms.
        const double seconds = static_cast<double>(low) / rate / static_cast<double>(tube.pulses());
        EXPECT_NEAR(seconds, 0.0002, 0.00008) << rate;
    }
}

TEST(Invert, EverySourceHandsOutEachSampleAs255MinusItself) {
    auto buffersOf = [](const std::string& input, bool invert, std::optional<std::int32_t> rate = std::nullopt) {
        CaptureOptions o;
        o.fast = true;
        o.seed = 5;
        o.invert = invert;
        o.rate = rate;
        std::string error;
        auto device = createCaptureDevice(input, o, error);
        EXPECT_TRUE(device) << error;
        CaptureHarness h(*device);
        h.afterBuffer = [&](int n) {
            if (n == 2) h.stop();
        };
        h.start();
        CaptureHarness::runUntil([&] { return h.stopped(); });
        return h.buffers;
    };
    std::vector<std::uint32_t> ramp(22050 * 2);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint32_t>(i % 256);
    writeWav(tempPath("ramp.wav"), 22050, 1, 8, false, ramp);
    for (const auto& [input, rate] : std::vector<std::pair<std::string, std::optional<std::int32_t>>>{
             {"file:" + tempPath("ramp.wav"), std::nullopt}, {"sim:600", std::nullopt}, {"sim:600", 44100}}) {
        const auto plain = buffersOf(input, false, rate), inverted = buffersOf(input, true, rate);
        ASSERT_EQ(plain.size(), 2u) << input;
        ASSERT_EQ(inverted.size(), 2u) << input;
        EXPECT_EQ(plain[0].size(), static_cast<std::size_t>(rate.value_or(22050))) << input;
        for (std::size_t b = 0; b < 2; ++b)
            for (std::size_t i = 0; i < plain[b].size(); ++i)
                ASSERT_EQ(inverted[b][i], 255 - plain[b][i]) << input << " " << b << " " << i;
    }
}

TEST(Invert, ARecordingKeepsItsOwnRate) {
    CaptureOptions o;
    o.rate = 44100;
    std::string error;
    EXPECT_FALSE(createCaptureDevice("file:x.wav", o, error));
    EXPECT_NE(error.find("own rate"), std::string::npos) << error;
}
