// The setup assistant on signals shaped like real counters', whose true pulse count
// is known by construction: what it proposes must count that many pulses.
#include <gtest/gtest.h>

#include <span>

#include "engine/calibration.h"
#include "engine/detector.h"
#include "support/gm_signals.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

CalibrationResult propose(const std::vector<std::uint8_t>& samples, int rate) {
    Calibrator c(rate);
    for (std::size_t at = 0; at < samples.size(); at += static_cast<std::size_t>(rate))
        c.addBuffer(std::span(samples).subspan(at, std::min<std::size_t>(rate, samples.size() - at)));
    return c.finish();
}

// The proposal applied as the monitor would, inverted when it says so.
std::int64_t countWith(const CalibrationResult& r, std::vector<std::uint8_t> samples, int rate) {
    if (r.upward)
        for (auto& v : samples) v = static_cast<std::uint8_t>(255 - v);
    const DetectorSettings d{static_cast<std::int16_t>(r.threshold - r.deadBand),
                             static_cast<std::int16_t>(r.threshold + r.deadBand), r.skip};
    std::int16_t armed = 0;
    std::int64_t n = 0;
    for (std::size_t at = 0; at + static_cast<std::size_t>(rate) <= samples.size(); at += static_cast<std::size_t>(rate))
        n += scanPulses(std::span(samples).subspan(at, static_cast<std::size_t>(rate)), d, armed);
    return n;
}

// Proposes for the samples and checks the count against the truth within `tolerance`.
CalibrationResult expectCounts(const std::vector<std::uint8_t>& samples, int rate, std::int64_t truth, double tolerance) {
    const CalibrationResult r = propose(samples, rate);
    EXPECT_TRUE(r.found) << r.reason;
    EXPECT_EQ(countWith(r, samples, rate), r.counted) << "the verification is the monitor's own count";
    EXPECT_NEAR(static_cast<double>(r.counted), static_cast<double>(truth), tolerance * static_cast<double>(truth))
        << proposalLine(r, false) << "\n" << explanationEn(r, false);
    return r;
}

SignalRecipe recipe(PulseKind kind, int rate, double cpm, double seconds) {
    SignalRecipe s;
    s.kind = kind;
    s.rate = rate;
    s.cpm = cpm;
    s.seconds = seconds;
    return s;
}

}  // namespace

TEST(Calibration, CleanTrainsFrom30To30000CpmAreCountedWithoutRinging) {
    for (const double cpm : {30.0, 300.0, 3000.0, 30000.0}) {
        const GmSignal g = makeGmSignal(recipe(PulseKind::Clean, 22050, cpm, cpm < 100 ? 600 : cpm < 1000 ? 120 : 30));
        const auto r = expectCounts(toSamples(g), 22050, g.pulses, 0.02);
        EXPECT_FALSE(r.upward) << cpm;
        EXPECT_FALSE(r.ringing) << cpm;
        EXPECT_FALSE(r.weak || r.clipped) << cpm;
        EXPECT_NEAR(r.cpm, cpm, 0.15 * cpm + 4) << cpm;
    }
}

TEST(Calibration, AcCoupledSpikesAt44100HzWithinThreePerCentAlsoRidingOnTails) {
    for (const double cpm : {600.0, 30000.0}) {
        const GmSignal g = makeGmSignal(recipe(PulseKind::AcSpike, 44100, cpm, cpm < 1000 ? 120 : 20));
        const auto r = expectCounts(toSamples(g), 44100, g.pulses, 0.03);
        EXPECT_FALSE(r.upward);
        EXPECT_EQ(proposalLine(r, false).find("--invert"), std::string::npos);
    }
}

TEST(Calibration, SpikesResampledTo22050HzFrom44100And48000WithinFivePerCent) {
    for (const int original : {44100, 48000}) {
        for (const double cpm : {600.0, 20000.0}) {
            const GmSignal g = makeGmSignal(recipe(PulseKind::AcSpike, original, cpm, cpm < 1000 ? 120 : 20));
            const GmSignal down = resample(g, 22050);
            const auto samples = toSamples(down);
            expectCounts(samples, 22050, g.pulses, 0.05);
            // The defaults miss most of the halved spikes: the reason for the assistant.
            const CalibrationResult defaults{.threshold = 50, .deadBand = 3, .skip = 10};
            EXPECT_LT(countWith(defaults, samples, 22050), g.pulses * 3 / 4) << original << " " << cpm;
        }
    }
}

TEST(Calibration, UpwardPulsesAreFoundAndNeedInvertWithinThreePerCent) {
    SignalRecipe s = recipe(PulseKind::AcSpike, 44100, 3000, 60);
    s.upward = true;
    const GmSignal g = makeGmSignal(s);
    const auto samples = toSamples(g);
    const auto r = expectCounts(samples, 44100, g.pulses, 0.03);
    EXPECT_TRUE(r.upward);
    EXPECT_NE(proposalLine(r, false).find(" --invert"), std::string::npos);
    // Samples already inverted by --invert dip: then --invert stays in the line.
    std::vector<std::uint8_t> inverted(samples);
    for (auto& v : inverted) v = static_cast<std::uint8_t>(255 - v);
    const auto again = expectCounts(inverted, 44100, g.pulses, 0.03);
    EXPECT_FALSE(again.upward);
    EXPECT_NE(proposalLine(again, true).find(" --invert"), std::string::npos);
    EXPECT_EQ(proposalLine(r, true).find("--invert"), std::string::npos);
}

TEST(Calibration, PulsesAtOneSixteenthOfTheLevelWithinFifteenPerCentAndAWarning) {
    const GmSignal g = makeGmSignal(recipe(PulseKind::AcSpike, 44100, 3000, 60));
    const auto samples = toSamples(g, 1.0 / 16);
    const auto r = expectCounts(samples, 44100, g.pulses, 0.15);
    EXPECT_TRUE(r.weak);
    EXPECT_NE(explanationEn(r, false).find("turn the input volume up"), std::string::npos);
    EXPECT_NE(explanationJa(r, false).find("入力音量を上げて"), std::string::npos);
}

TEST(Calibration, RingingClicksGetASkipLongerThanTheRingAndAreCountedOnce) {
    for (const int rate : {22050, 44100}) {
        SignalRecipe s = recipe(PulseKind::Click, rate, 120, 120);
        s.deadTime = 20e-3;
        s.depth = 120;
        const GmSignal g = makeGmSignal(s);
        const auto samples = toSamples(g);
        const auto r = expectCounts(samples, rate, g.pulses, 0.03);
        EXPECT_TRUE(r.ringing) << rate;
        EXPECT_GE(r.skip, rate * 2 / 1000) << "at least the shortest ring, 2 ms";
        EXPECT_LE(r.skip, rate * 8 / 1000) << "not far beyond the longest, 4 ms";
        const CalibrationResult defaults{.threshold = 50, .deadBand = 3, .skip = 10};
        if (rate == 22050) EXPECT_GT(countWith(defaults, samples, rate), g.pulses * 11 / 10) << "the default skip counts a click often";
    }
}

TEST(Calibration, NoPulsesIsNoProposalAndClippingIsSaid) {
    SignalRecipe quiet = recipe(PulseKind::Clean, 22050, 0, 10);
    const auto none = propose(toSamples(makeGmSignal(quiet)), 22050);
    EXPECT_FALSE(none.found);
    EXPECT_NE(explanationEn(none, false).find("no proposal"), std::string::npos);
    EXPECT_FALSE(propose({}, 22050).found);

    SignalRecipe loud = recipe(PulseKind::AcSpike, 22050, 600, 60);
    loud.depth = 300;
    const GmSignal g = makeGmSignal(loud);
    const auto r = expectCounts(toSamples(g), 22050, g.pulses, 0.03);
    EXPECT_TRUE(r.clipped);
    EXPECT_NE(explanationEn(r, false).find("turn the input volume down"), std::string::npos);
}

TEST(Calibration, TheLineAndTheReasonsSayWhatWasFound) {
    const GmSignal g = makeGmSignal(recipe(PulseKind::Clean, 22050, 600, 60));
    const auto r = propose(toSamples(g), 22050);
    const std::string line = proposalLine(r, false);
    EXPECT_EQ(line, "--threshold " + std::to_string(r.threshold) + " --dead-band " + std::to_string(r.deadBand) +
                        " --skip " + std::to_string(r.skip));
    // In the middle of a flat stretch between the noise and the 100-deep dips.
    ASSERT_TRUE(r.plateauFound);
    EXPECT_LT(r.flatFrom, r.chosen);
    EXPECT_LT(r.chosen, r.flatTo);
    EXPECT_LT(r.threshold - r.deadBand, 128 - 3 * r.noise);
    EXPECT_GT(r.threshold - r.deadBand, 128 - 100);
    EXPECT_LT(r.flatness, 0.01);
    const std::string why = explanationEn(r, false);
    for (const std::string& part : std::vector<std::string>{"baseline ", "the pulses go downward", "no ringing",
                                   "counting plateau", "> " + std::to_string(r.threshold).insert(0, 6 - std::to_string(r.threshold).size(), ' '),
                                   "count " + std::to_string(r.counted) + " pulses in 60 s"})
        EXPECT_NE(why.find(part), std::string::npos) << part << "\n" << why;
    EXPECT_NE(explanationJa(r, false).find("下向き"), std::string::npos);
}

TEST(Calibration, TheJapaneseReasonsWordForWord) {
    using Bin = CalibrationResult::Bin;
    // Dips with a ring, proposed as they are.
    const CalibrationResult plain{.found = true, .rate = 22050, .seconds = 60, .baseline = 128, .noise = 1.4826,
                            .excursionLevel = 8.9, .pulseExcursions = 600, .otherExcursions = 3, .typicalDepth = 100,
                            .depths = {Bin{96, 104, 550}, Bin{104, 112, 50}}, .ringing = true, .ringingSamples = 66,
                            .skipFlatTo = 213, .threshold = 78, .deadBand = 10, .skip = 99, .counted = 600, .cpm = 600,
                            .plateau = {{121, 1, 7, 1900}, {103, 6, 31, 601}, {78, 10, 60, 600}, {58, 10, 80, 597}},
                            .flatFrom = 1, .flatTo = 3, .chosen = 2, .flatness = 0.0067, .plateauFound = true,
                            .pulsesHeard = 600};
    EXPECT_EQ(explanationJa(plain, false),
              "22050 Hzで60秒間、入力を調べました。\n"
              "基準レベル 128、雑音 1.5（ロバスト標準偏差）。基準から8.9以上離れた振れを雑音でないものとして調べました。\n"
              "パルスの向き：下向き（600個。反対側は3個）。\n"
              "パルスの深さ（基準からのサンプル値）:\n"
              "   96-103 | ################ 550\n"
              "  104-111 | ##               50\n"
              "計数プラトー：しきい値 103〜58で計数の変化は0.7 %です。その中ほどで、しきい値 78、不感帯 10としました。\n"
              "分解能が66サンプル（2993 µs）より短いと、リンギングを二重に数えます。分解能 99サンプル（4490 µs）。\n"
              "この設定で600個のパルスを数えました（600 CPM）。\n");

    // Shallow pulses of a signal already inverted by --invert: the proposal keeps it.
    const CalibrationResult weak{.found = true, .rate = 44100, .seconds = 30, .baseline = 127.5, .noise = 0.74,
                           .excursionLevel = 4.5, .pulseExcursions = 150, .typicalDepth = 12,
                           .depths = {Bin{12, 13, 150}}, .threshold = 122, .deadBand = 2, .skip = 5, .counted = 150,
                           .cpm = 300, .weak = true, .plateau = {{125, 0, 2.5, 400}, {122, 2, 7.5, 150}, {118, 3, 12.5, 20}},
                           .chosen = 1, .pulsesHeard = 150, .tooFewPulses = true, .recommendedRate = 0, .pulseWidth = 3,
                           .countAt22050 = 120, .skipAt22050 = 3};
    EXPECT_EQ(explanationJa(weak, true),
              "44100 Hzで30秒間、入力を調べました。\n"
              "基準レベル 127.5、雑音 0.7（ロバスト標準偏差）。基準から4.5以上離れた振れを雑音でないものとして調べました。\n"
              "パルスの向き：下向き（150個。反対側は0個）。--invertで反転した後の信号です。\n"
              "パルスの深さ（基準からのサンプル値）:\n"
              "       12 | ################ 150\n"
              "注意：計数プラトーがありません。どのしきい値でも計数が変わるため、確かな設定ではありません"
              "（パルスが弱い、振り切れている、または雑音がパルスに届いています）。最も平らなところで、しきい値 122、不感帯 2としました。\n"
              "リンギングはありません。分解能 5サンプル（113 µs）。\n"
              "この設定で150個のパルスを数えました（300 CPM）。\n"
              "既定の入力レート 22050 Hz に落とすと、同じ設定（分解能 3）で120個です。\n"
              "注意：プラトーは150個のパルスだけによるものです。--seconds で長く聞くか、チェック線源を管に近づけると確かになります。\n"
              "注意：パルスが弱すぎます。入力音量を上げて、もう一度調べてください。\n"
              "パルスが上向きです。極性反転（--invert）を付けて使ってください。\n");

    // Clipped, narrow upward pulses, too few and not counted: no proposal, a rate for the live input.
    const CalibrationResult clipped{.reason = "the settings found count no pulses", .rate = 22050, .seconds = 10,
                              .baseline = 128, .noise = 2, .excursionLevel = 12, .upward = true,
                              .pulseExcursions = 40, .otherExcursions = 1, .typicalDepth = 127,
                              .depths = {Bin{120, 128, 40}}, .threshold = 71, .deadBand = 2, .skip = 23,
                              .clipped = true, .pulsesHeard = 40, .tooFewPulses = true, .recommendedRate = 44100,
                              .pulseWidth = 1};
    EXPECT_EQ(explanationJa(clipped, false),
              "22050 Hzで10秒間、入力を調べました。\n"
              "基準レベル 128、雑音 2（ロバスト標準偏差）。基準から12以上離れた振れを雑音でないものとして調べました。\n"
              "パルスの向き：上向き（40個。反対側は1個）。\n"
              "パルスの深さ（基準からのサンプル値）:\n"
              "  120-127 | ################ 40\n"
              "パルスの幅が1サンプルしかありません。入力を --rate 44100 で開いて、もう一度調べてください。\n"
              "注意：プラトーは40個のパルスだけによるものです。--seconds で長く聞くか、チェック線源を管に近づけると確かになります。\n"
              "注意：パルスが振り切れています。入力音量を下げて、もう一度調べてください。\n"
              "設定を提案できません（the settings found count no pulses）。\n");

    // Nothing out of the noise: the reason and no more.
    const CalibrationResult quiet{.reason = "nothing stands out of the noise: no pulses reached the input",
                                  .rate = 22050, .seconds = 10, .baseline = 128, .noise = 0.5, .excursionLevel = 6};
    EXPECT_EQ(explanationJa(quiet, false),
              "22050 Hzで10秒間、入力を調べました。\n"
              "パルスが見つかりませんでした（nothing stands out of the noise: no pulses reached the input）。\n");
}

TEST(Calibration, NoPlateauIsWarnedForPulsesLostInTheNoiseAndForAnInputDrivenIntoTheRail) {
    // Spikes in a noise a sixth of their height: the smaller ones sink into it.
    SignalRecipe noisy = recipe(PulseKind::AcSpike, 44100, 3000, 30);
    noisy.noise = 15;
    const auto w = propose(toSamples(makeGmSignal(noisy)), 44100);
    EXPECT_FALSE(w.plateauFound);
    EXPECT_NE(explanationEn(w, false).find("warning: no counting plateau"), std::string::npos) << explanationEn(w, false);
    EXPECT_NE(explanationJa(w, false).find("注意：計数プラトーがありません"), std::string::npos);

    // A baseline near the top of the range: the rising pulses clip a few units up.
    SignalRecipe loud = recipe(PulseKind::AcSpike, 44100, 3000, 30);
    loud.upward = true;
    auto samples = toSamples(makeGmSignal(loud));
    for (auto& v : samples) v = static_cast<std::uint8_t>(std::min(255, v + 120));
    const auto c = propose(samples, 44100);
    EXPECT_TRUE(c.clipped);
    EXPECT_FALSE(c.plateauFound);
    const std::string why = explanationEn(c, false);
    EXPECT_NE(why.find("warning: no counting plateau"), std::string::npos) << why;
    EXPECT_NE(why.find("turn the input volume down"), std::string::npos) << why;
}

TEST(Calibration, TooFewPulsesAreSaidPlainlyAndAFewHundredAreWarned) {
    const GmSignal three = makeGmSignal(recipe(PulseKind::Clean, 22050, 18, 10));
    ASSERT_LT(three.pulses, kLeastPulses);
    ASSERT_GT(three.pulses, 0);
    const auto none = propose(toSamples(three), 22050);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.reason, kTooFewPulsesEn);
    EXPECT_NE(explanationEn(none, false).find(std::string("no proposal: ") + kTooFewPulsesEn), std::string::npos);

    const GmSignal fifty = makeGmSignal(recipe(PulseKind::Clean, 22050, 300, 10));
    const auto some = expectCounts(toSamples(fifty), 22050, fifty.pulses, 0.02);
    EXPECT_TRUE(some.tooFewPulses);
    EXPECT_NE(explanationEn(some, false).find("warning: the plateau rests on only " + std::to_string(some.pulsesHeard) + " pulses"),
              std::string::npos);
}

TEST(Calibration, NarrowPulsesAtTheLiveRateGetARateAndFasterRecordingsTheirCountAt22050) {
    // Spikes a sample wide at 22050 Hz, heard live: a rate that keeps them is recommended.
    const auto samples = toSamples(makeGmSignal(recipe(PulseKind::AcSpike, 22050, 600, 30)));
    Calibrator live(22050, true);
    for (std::size_t at = 0; at < samples.size(); at += 22050) live.addBuffer(std::span(samples).subspan(at, 22050));
    const auto r = live.finish();
    EXPECT_EQ(r.recommendedRate, 44100);
    EXPECT_NE(explanationEn(r, false).find("add --rate 44100"), std::string::npos);
    EXPECT_EQ(proposalLine(r, false).find("--rate"), std::string::npos) << "the line stays what the source runs with";
    EXPECT_EQ(propose(samples, 22050).recommendedRate, 0) << "a recording's rate cannot be changed";

    // The same counter recorded at 44100 Hz: what the default live rate would count.
    const GmSignal g = makeGmSignal(recipe(PulseKind::AcSpike, 44100, 600, 30));
    const auto fast = expectCounts(toSamples(g), 44100, g.pulses, 0.02);
    ASSERT_TRUE(fast.countAt22050.has_value());
    EXPECT_LE(*fast.countAt22050, fast.counted);
    EXPECT_EQ(fast.skipAt22050, (fast.skip + 1) / 2);
    EXPECT_NE(explanationEn(fast, false).find("at 22050 Hz, the live input's default rate"), std::string::npos);
    EXPECT_FALSE(propose(toSamples(makeGmSignal(recipe(PulseKind::Clean, 22050, 600, 10))), 22050).countAt22050);
}
