// The pieces the setup assistant stands on: the flat stretch of a count curve, the kept
// samples that count as the whole seconds do, and the decimation to the live rate.
#include <gtest/gtest.h>

#include <cmath>
#include <span>

#include "engine/calibration_store.h"
#include "engine/detector.h"
#include "engine/plateau.h"
#include "engine/resample.h"
#include "support/gm_signals.h"

using namespace ravelin;
using namespace ravelin::test;

TEST(Plateau, TheWidestFlatStretchByRatioOrDifferenceAndItsMiddle) {
    // Noise on the left, a plateau with one pulse lost at its end, the loss of small pulses on the right.
    const std::vector<double> depth{1, 2, 4, 8, 16, 32, 64, 128};
    const std::vector<std::int64_t> count{900, 402, 400, 400, 399, 398, 200, 20};
    const FlatStretch s = widestFlatStretch(depth, count, 10);
    ASSERT_TRUE(s.found);
    EXPECT_EQ(s.from, 1u);
    EXPECT_EQ(s.to, 5u);
    EXPECT_DOUBLE_EQ(s.width, 16);
    EXPECT_NEAR(s.change, 4.0 / 402, 1e-12);
    // One pulse more than the share is still flat; a count two per cent off is not.
    EXPECT_EQ(widestFlatStretch(depth, std::vector<std::int64_t>{900, 410, 400, 400, 399, 398, 200, 20}, 10).from, 2u);
    EXPECT_EQ(middleOf(depth, s), 3u) << "the geometric middle of 2..32 is 8";

    // Counts under `least` are no plateau, however flat.
    const std::vector<std::int64_t> few{5, 5, 5, 5, 400, 400, 20, 20};
    const FlatStretch f = widestFlatStretch(depth, few, 10);
    EXPECT_EQ(f.from, 4u);
    EXPECT_EQ(f.to, 5u);

    // By difference, a long stretch of large positions wins over a short one of small.
    const std::vector<double> skip{1, 2, 4, 50, 100, 150};
    const std::vector<std::int64_t> ringing{500, 500, 500, 300, 300, 300};
    EXPECT_EQ(widestFlatStretch(skip, ringing, 10, Width::Difference).from, 3u);
    EXPECT_EQ(widestFlatStretch(skip, ringing, 10, Width::Ratio).from, 0u);

    // Nothing flat: the point whose count moves least against the level.
    const std::vector<std::int64_t> slope{2441, 2391, 2294, 2070, 1755, 1428, 1096, 800};
    EXPECT_EQ(flattestPoint(depth, slope, 10), 0u);
    EXPECT_FALSE(widestFlatStretch(depth, std::vector<std::int64_t>(8, 0), 1).found);
}

TEST(CalibrationStore, KeptSecondsCountAsTheWholeOnesForEveryLevelBelowTheQuietAndEverySkip) {
    for (const PulseKind kind : {PulseKind::Clean, PulseKind::AcSpike, PulseKind::Click}) {
        SignalRecipe r;
        r.kind = kind;
        r.cpm = 600;
        r.seconds = 12;
        r.noise = 1.5;
        const auto samples = toSamples(makeGmSignal(r));
        CalibrationStore store(22050, 220);
        for (std::size_t at = 0; at < samples.size(); at += 22050)
            store.add(std::span(samples).subspan(at, std::min<std::size_t>(22050, samples.size() - at)));
        EXPECT_LT(store.kept.size(), samples.size() / 2) << "most of the seconds between pulses is left out";
        for (const bool flip : {false, true}) {
            const int quiet = flip ? 255 - store.quietHigh : store.quietLow;
            for (const int lower : {quiet, quiet - 5, quiet - 40})
                for (const int skip : {0, 3, 30, 220}) {
                    const DetectorSettings d{static_cast<std::int16_t>(lower), static_cast<std::int16_t>(lower + 4),
                                             static_cast<std::int16_t>(skip)};
                    std::int16_t armed = 0;
                    std::int64_t whole = 0;
                    std::vector<std::uint8_t> second;
                    for (std::size_t at = 0; at + 22050 <= samples.size(); at += 22050) {
                        second.assign(samples.begin() + static_cast<std::ptrdiff_t>(at),
                                      samples.begin() + static_cast<std::ptrdiff_t>(at + 22050));
                        if (flip)
                            for (auto& v : second) v = static_cast<std::uint8_t>(255 - v);
                        whole += scanPulses(second, d, armed);
                    }
                    EXPECT_EQ(store.count(d, flip), whole) << static_cast<int>(kind) << " " << flip << " " << lower << " " << skip;
                }
        }
    }
}

TEST(CalibrationStore, ANoisyInputIsKeptWithinItsBudgetByWideningTheBand) {
    SignalRecipe r;
    r.cpm = 30;
    r.seconds = 200;
    r.noise = 4;  // Gaussian tails cross three deviations 60 times a second
    const auto samples = toSamples(makeGmSignal(r));
    CalibrationStore store(22050, 220);
    for (std::size_t at = 0; at < samples.size(); at += 22050)
        store.add(std::span(samples).subspan(at, std::min<std::size_t>(22050, samples.size() - at)));
    EXPECT_GT(store.keepBeyond, 3.0);
    EXPECT_LT(store.kept.size(), samples.size() / 4);
}

TEST(CalibrationStore, AtAHighRateTheSkipsShortenToHoldTheBudgetAndStayExact) {
    SignalRecipe r;
    r.cpm = 3000;  // 50 pulses a second, each followed by 10 ms of context
    r.seconds = 150;
    const auto samples = toSamples(makeGmSignal(r));
    CalibrationStore store(22050, 220);
    std::size_t keptBefore = 0;
    for (std::size_t at = 0; at < samples.size(); at += 22050) {
        if (at == 120 * 22050) keptBefore = store.kept.size();
        store.add(std::span(samples).subspan(at, 22050));
    }
    EXPECT_LT(store.maxSkip, 220);
    EXPECT_GE(store.maxSkip, 22);
    EXPECT_LT(store.kept.size() - keptBefore, 30 * 22050 / 4) << "the last half minute is kept within the budget, nearly";
    const DetectorSettings d{60, 100, static_cast<std::int16_t>(store.maxSkip)};
    std::int16_t armed = 0;
    std::int64_t whole = 0;
    for (std::size_t at = 0; at < samples.size(); at += 22050)
        whole += scanPulses(std::span(samples).subspan(at, 22050), d, armed);
    EXPECT_EQ(store.count(d, false), whole);
}

TEST(Decimator, WholeSecondsAtTheNewRateKeepingTheLevelAndTheSlowShapes) {
    std::vector<std::vector<std::uint8_t>> seconds;
    Decimator d(44100, 22050, [&](std::span<const std::uint8_t> s) { seconds.emplace_back(s.begin(), s.end()); });
    // Three seconds of a 100 Hz sine around 128, fed in odd pieces.
    std::vector<std::uint8_t> in(3 * 44100);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<std::uint8_t>(std::lround(128 + 60 * std::sin(2 * M_PI * 100 * static_cast<double>(i) / 44100)));
    for (std::size_t at = 0; at < in.size(); at += 10007) d.add(std::span(in).subspan(at, std::min<std::size_t>(10007, in.size() - at)));
    d.finish();
    ASSERT_GE(seconds.size(), 3u);
    EXPECT_EQ(seconds[0].size(), 22050u);
    EXPECT_EQ(seconds[1].size(), 22050u);
    for (std::size_t j = 100; j < 22050; j += 997) {
        const double want = 128 + 60 * std::sin(2 * M_PI * 100 * static_cast<double>(j) / 22050);
        EXPECT_NEAR(seconds[1][j], want, 1.5) << j;
    }
}
