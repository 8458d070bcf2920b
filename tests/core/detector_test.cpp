#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/detector.h"

using namespace ravelin;

namespace {
const DetectorSettings kDefaults{47, 53, 10};

std::vector<std::uint8_t> flat(std::size_t n, std::uint8_t v = 128) { return std::vector<std::uint8_t>(n, v); }

std::int32_t scan(const std::vector<std::uint8_t>& s, const DetectorSettings& d, std::int16_t& armed) {
    std::int16_t armedRef = armed;
    const auto expected = scanPulsesReference(s, d, armedRef);
    const auto got = scanPulses(s, d, armed);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(armed, armedRef);
    return got;
}
}  // namespace

TEST(Detector, ConstantSignalCountsOnlyAPulseArmedInTheBufferBefore) {
    std::int16_t armed = 0;
    EXPECT_EQ(scan(flat(22050), kDefaults, armed), 0);
    EXPECT_EQ(armed, 0);
    armed = 1;  // a pulse that began at the end of the previous second
    EXPECT_EQ(scan(flat(22050), kDefaults, armed), 1);
    EXPECT_EQ(armed, 0);
}

TEST(Detector, ArmingJumpsKSamplesAhead) {
    auto s = flat(1000);
    s[100] = 40;  // arms, the scan goes on at 110
    for (int i = 101; i < 110; ++i) s[i] = 20;  // never looked at
    s[110] = 50;  // examined right after the jump: not above 53
    s[111] = 54;  // counts
    std::int16_t armed = 0;
    EXPECT_EQ(scan(s, kDefaults, armed), 1);
    // The jump hides a rise inside the window.
    auto t = flat(1000, 50);
    t[100] = 40;
    t[105] = 200;
    std::int16_t armed2 = 0;
    EXPECT_EQ(scan(t, kDefaults, armed2), 0);
    EXPECT_EQ(armed2, 1);
}

TEST(Detector, ComparisonsAreStrict) {
    auto s = flat(100, 50);
    s[10] = 47;  // equal to lower: does not arm
    s[30] = 200;
    std::int16_t armed = 0;
    EXPECT_EQ(scan(s, kDefaults, armed), 0);
    auto t = flat(100, 50);
    t[10] = 46;
    t[30] = 53;  // equal to upper: does not count
    armed = 0;
    EXPECT_EQ(scan(t, kDefaults, armed), 0);
    EXPECT_EQ(armed, 1);
}

TEST(Detector, IndexZeroIsNeverExamined) {
    auto s = flat(100);
    s[0] = 0;
    std::int16_t armed = 0;
    EXPECT_EQ(scan(s, kDefaults, armed), 0);
    EXPECT_EQ(armed, 0);
}

TEST(Detector, PulseArmedAtTheEndIsCountedInTheNextBuffer) {
    auto s = flat(100);
    s[98] = 10;  // near the end no jump happens; sample 99 is still low
    s[99] = 10;
    std::int16_t armed = 0;
    EXPECT_EQ(scan(s, kDefaults, armed), 0);
    EXPECT_EQ(armed, 1);
    EXPECT_EQ(scan(flat(100), kDefaults, armed), 1);
}

TEST(Detector, NegativeDeadBandArmsAndCountsOnOneSampleWhereNoJumpHappens) {
    const DetectorSettings swapped{53, 47, 10};  // C 50, D -3
    auto s = flat(30, 20);
    s[25] = 50;  // below lower and above upper, near the end: no jump
    std::int16_t armed = 0;
    EXPECT_EQ(scan(s, swapped, armed), 1);
}

TEST(Detector, ZeroSkipExaminesTheNextSample) {
    auto s = flat(100);
    s[10] = 20;
    std::int16_t armed = 0;
    EXPECT_EQ(scan(s, DetectorSettings{47, 53, 0}, armed), 1);
}

TEST(Detector, ShortAndTinyBuffers) {
    std::int16_t armed = 1;
    EXPECT_EQ(scan({}, kDefaults, armed), 0);
    EXPECT_EQ(scan({200}, kDefaults, armed), 0);  // only index 0
    EXPECT_EQ(scan({0, 200}, kDefaults, armed), 1);
}

TEST(Detector, LevelsOutsideTheSampleRange) {
    std::int16_t armed = 0;
    // Nothing is below a lower level of 0 or less.
    EXPECT_EQ(scan(flat(500, 0), DetectorSettings{0, 300, 5}, armed), 0);
    // Everything is below a lower level above 255, and above an upper level below 0.
    armed = 0;
    EXPECT_EQ(scan(flat(500, 7), DetectorSettings{300, -5, 3}, armed), scanPulsesReference(flat(500, 7), DetectorSettings{300, -5, 3}, armed));
    armed = 0;
    EXPECT_EQ(scan(flat(500, 255), DetectorSettings{-32768, 32767, 32767}, armed), 0);
}

TEST(Detector, FastScanMatchesTheReferenceOnRandomSignals) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        const std::size_t n = std::uniform_int_distribution<std::size_t>(0, 3000)(rng);
        std::vector<std::uint8_t> s(n);
        const int style = round % 3;
        for (auto& v : s) {
            if (style == 0) v = static_cast<std::uint8_t>(rng());  // noise
            else if (style == 1) v = (rng() % 97 == 0) ? 10 : (rng() % 61 == 0 ? 250 : 128);  // sparse events
            else v = static_cast<std::uint8_t>(40 + rng() % 20);  // hovering around the levels
        }
        const std::int16_t c = static_cast<std::int16_t>(std::uniform_int_distribution<int>(-20, 280)(rng));
        const std::int16_t d = static_cast<std::int16_t>(std::uniform_int_distribution<int>(-10, 10)(rng));
        const std::int16_t k = static_cast<std::int16_t>(std::uniform_int_distribution<int>(0, 40)(rng));
        std::int16_t armed = static_cast<std::int16_t>(rng() % 2);
        scan(s, DetectorSettings{static_cast<std::int16_t>(c - d), static_cast<std::int16_t>(c + d), k}, armed);
    }
}
