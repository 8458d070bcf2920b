// The setup assistant's proposal as options, and its reasons in English and Japanese.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/calibration.h"
#include "engine/convert.h"

namespace ravelin {

const char* const kTooFewPulsesEn =
    "too few pulses to find a plateau: listen longer with --seconds, or bring a check source near the tube";
const char* const kTooFewPulsesJa =
    "パルスが少なすぎてプラトーを見つけられません。--seconds で長く聞くか、チェック線源を管に近づけてください。";

namespace {

constexpr std::size_t kPlotRows = 16;

std::string n(std::int64_t v) { return integerText(v); }

// One decimal, as a person reads a level.
std::string d1(double v) { return singleText(static_cast<float>(roundHalfEven(v * 10.0) / 10.0)); }

std::string micros(std::int64_t samples, std::int32_t rate) {
    return n(static_cast<std::int64_t>(roundHalfEven(1e6 * static_cast<double>(samples) / rate)));
}

std::string percent(double share) { return d1(100.0 * share) + " %"; }

bool invertInProposal(const CalibrationResult& r, bool invertGiven) { return r.upward != invertGiven; }

std::string padLeft(std::string s, std::size_t width) {
    s.insert(0, s.size() < width ? width - s.size() : 0, ' ');
    return s;
}

// "  12-23 | ######      41", bars of up to `width` scaled to the fullest bin.
std::string histogramLines(const CalibrationResult& r, std::size_t width) {
    std::int64_t most = 1;
    for (const auto& b : r.depths) most = std::max(most, b.count);
    std::string out;
    for (const auto& b : r.depths) {
        const std::string range = b.to - 1 > b.from ? n(b.from) + "-" + n(b.to - 1) : n(b.from);
        const auto bar = static_cast<std::size_t>((b.count * static_cast<std::int64_t>(width) + most - 1) / most);
        out += padLeft(range, 9) + " | " + std::string(bar, '#') + std::string(width + 1 - bar, ' ') + n(b.count) + "\n";
    }
    return out;
}

// The plateau as rows "> 112 | #####   2742": the ends, the flat stretch's ends and the
// proposal always, others evenly between; bars scaled to twice the proposal's count,
// '+' where a count leaves the scale. '>' marks the proposal, '|' the flat stretch.
std::string plateauLines(const CalibrationResult& r, std::size_t width) {
    const std::size_t points = r.plateau.size();
    std::vector<bool> shown(points, points <= kPlotRows);
    for (const std::size_t i : {std::size_t{0}, points - 1, r.flatFrom, r.flatTo, r.chosen}) shown[i] = true;
    for (std::size_t k = 0; k < kPlotRows && points > kPlotRows; ++k) shown[k * (points - 1) / (kPlotRows - 1)] = true;
    const double top = std::max(2.0 * static_cast<double>(r.plateau[r.chosen].count), 1.0);
    std::string out;
    for (std::size_t i = 0; i < points; ++i) {
        if (!shown[i]) continue;
        const PlateauPoint& p = r.plateau[i];
        const double share = static_cast<double>(p.count) / top;
        const auto bar = static_cast<std::size_t>(std::lround(std::min(1.0, share) * static_cast<double>(width)));
        const char* mark = i == r.chosen ? "> " : r.plateauFound && i >= r.flatFrom && i <= r.flatTo ? "| " : "  ";
        out += mark + padLeft(n(p.threshold), 6) + " | " + std::string(bar, '#') + (share > 1 ? "+" : " ") +
               std::string(width - bar, ' ') + n(p.count) + "\n";
    }
    return out;
}

std::string flatSkips(const CalibrationResult& r) { return n(r.ringingSamples) + "-" + n(r.skipFlatTo); }

}  // namespace

std::string proposalLine(const CalibrationResult& r, bool invertGiven) {
    std::string line = "--threshold " + n(r.threshold) + " --dead-band " + n(r.deadBand) + " --skip " + n(r.skip);
    if (invertInProposal(r, invertGiven)) line += " --invert";
    return line;
}

std::string explanationEn(const CalibrationResult& r, bool invertGiven) {
    const double seconds = static_cast<double>(r.seconds);
    std::string t = "listened to " + n(r.seconds) + " s at " + n(r.rate) + " Hz\n";
    if (!r.found && r.typicalDepth == 0) return t + "no proposal: " + r.reason + "\n";
    t += "baseline " + d1(r.baseline) + ", noise " + d1(r.noise) + " (robust standard deviation); excursions beyond " +
         d1(r.excursionLevel) + " from the baseline stand out of the noise\n";
    const char* side = r.upward ? "upward" : "downward";
    t += "the pulses go " + std::string(side) + ": " + n(r.pulseExcursions) + " excursions " +
         (r.upward ? "above" : "below") + " the baseline, " + n(r.otherExcursions) + " on the other side";
    t += invertGiven ? " (of the samples already inverted by --invert)\n" : "\n";
    t += "depth of the pulses, in sample units from the baseline:\n" + histogramLines(r, 40);
    if (!r.plateau.empty() && r.chosen < r.plateau.size()) {
        t += "counting plateau: the count against the threshold at skip " + n(r.skip) +
             " ('>' the proposal, '|' the flat stretch)" + (invertInProposal(r, invertGiven) ? ", after --invert" : "") +
             ":\n" + plateauLines(r, 40);
        if (r.plateauFound)
            t += "the count changes by " + percent(r.flatness) + " over thresholds " + n(r.plateau[r.flatFrom].threshold) +
                 " to " + n(r.plateau[r.flatTo].threshold) + "; the proposal sits in the middle of that stretch: ";
        else
            t += "warning: no counting plateau: the count changes with the threshold everywhere, so no level is sure "
                 "(pulses too weak, clipping, or noise reaching the pulses); the flattest place is taken: ";
        t += "threshold " + n(r.threshold) + ", dead band " + n(r.deadBand) + " (armed below " +
             n(r.threshold - r.deadBand) + ", counted above " + n(r.threshold + r.deadBand) +
             (invertInProposal(r, invertGiven) ? ", after --invert)\n" : ")\n");
        if (r.ringing)
            t += "ringing: skips shorter than " + n(r.ringingSamples) + " samples (" + micros(r.ringingSamples, r.rate) +
                 " µs) count pulses twice; the count is flat for skips " + flatSkips(r) + ": skip " + n(r.skip) +
                 " samples (" + micros(r.skip, r.rate) + " µs)\n";
        else
            t += "no ringing: the count is flat for skips " + flatSkips(r) + " samples; skip " + n(r.skip) + " samples (" +
                 micros(r.skip, r.rate) + " µs)\n";
        t += "these settings count " + n(r.counted) + " pulses in " + n(r.seconds) + " s: " +
             d1(seconds > 0 ? r.cpm : 0) + " CPM\n";
        if (r.countAt22050)
            t += "at 22050 Hz, the live input's default rate, the same levels (skip " + n(r.skipAt22050) + ") count " +
                 n(*r.countAt22050) + " pulses of this signal decimated\n";
    }
    if (r.recommendedRate > 0)
        t += "the pulses are only " + d1(r.pulseWidth) + " samples wide at " + n(r.rate) +
             " Hz: for the live input, add --rate " + n(r.recommendedRate) +
             " (or 48000) so that they keep their depth, and calibrate again with it\n";
    if (r.tooFewPulses && r.pulsesHeard >= kLeastPulses)
        t += "warning: the plateau rests on only " + n(r.pulsesHeard) +
             " pulses; for a surer one, listen longer with --seconds, or bring a check source near the tube\n";
    if (r.weak)
        t += "warning: the pulses are weak (typical depth " + d1(r.typicalDepth) +
             "); turn the input volume up, or the input boost on, and calibrate again\n";
    if (r.clipped)
        t += "warning: the pulses clip at the end of the sample range; turn the input volume down and calibrate again\n";
    if (!r.found) t += "no proposal: " + r.reason + "\n";
    if (r.found && invertInProposal(r, invertGiven) && !invertGiven)
        t += "the pulses go upward: give --invert with these settings\n";
    return t;
}

std::string explanationJa(const CalibrationResult& r, bool invertGiven) {
    std::string t = n(r.rate) + " Hzで" + n(r.seconds) + "秒間、入力を調べました。\n";
    if (!r.found && r.typicalDepth == 0) return t + "パルスが見つかりませんでした（" + r.reason + "）。\n";
    t += "基準レベル " + d1(r.baseline) + "、雑音 " + d1(r.noise) + "（ロバスト標準偏差）。基準から" +
         d1(r.excursionLevel) + "以上離れた振れを雑音でないものとして調べました。\n";
    t += std::string("パルスの向き：") + (r.upward ? "上向き" : "下向き") + "（" + n(r.pulseExcursions) + "個。反対側は" +
         n(r.otherExcursions) + "個）" + (invertGiven ? "。--invertで反転した後の信号です。\n" : "。\n");
    t += "パルスの深さ（基準からのサンプル値）:\n" + histogramLines(r, 16);
    if (!r.plateau.empty() && r.chosen < r.plateau.size()) {
        if (r.plateauFound)
            t += "計数プラトー：しきい値 " + n(r.plateau[r.flatFrom].threshold) + "〜" + n(r.plateau[r.flatTo].threshold) +
                 "で計数の変化は" + percent(r.flatness) + "です。その中ほどで、しきい値 " + n(r.threshold) + "、不感帯 " +
                 n(r.deadBand) + "としました。\n";
        else
            t += "注意：計数プラトーがありません。どのしきい値でも計数が変わるため、確かな設定ではありません"
                 "（パルスが弱い、振り切れている、または雑音がパルスに届いています）。最も平らなところで、しきい値 " +
                 n(r.threshold) + "、不感帯 " + n(r.deadBand) + "としました。\n";
        if (r.ringing)
            t += "分解能が" + n(r.ringingSamples) + "サンプル（" + micros(r.ringingSamples, r.rate) +
                 " µs）より短いと、リンギングを二重に数えます。分解能 " + n(r.skip) + "サンプル（" + micros(r.skip, r.rate) +
                 " µs）。\n";
        else
            t += "リンギングはありません。分解能 " + n(r.skip) + "サンプル（" + micros(r.skip, r.rate) + " µs）。\n";
        t += "この設定で" + n(r.counted) + "個のパルスを数えました（" + d1(r.cpm) + " CPM）。\n";
        if (r.countAt22050)
            t += "既定の入力レート 22050 Hz に落とすと、同じ設定（分解能 " + n(r.skipAt22050) + "）で" +
                 n(*r.countAt22050) + "個です。\n";
    }
    if (r.recommendedRate > 0)
        t += "パルスの幅が" + d1(r.pulseWidth) + "サンプルしかありません。入力を --rate " + n(r.recommendedRate) +
             " で開いて、もう一度調べてください。\n";
    if (r.tooFewPulses && r.pulsesHeard >= kLeastPulses)
        t += "注意：プラトーは" + n(r.pulsesHeard) +
             "個のパルスだけによるものです。--seconds で長く聞くか、チェック線源を管に近づけると確かになります。\n";
    if (r.weak) t += "注意：パルスが弱すぎます。入力音量を上げて、もう一度調べてください。\n";
    if (r.clipped) t += "注意：パルスが振り切れています。入力音量を下げて、もう一度調べてください。\n";
    if (!r.found) t += "設定を提案できません（" + r.reason + "）。\n";
    if (r.found && invertInProposal(r, invertGiven))
        t += "パルスが上向きです。極性反転（--invert）を付けて使ってください。\n";
    return t;
}

}  // namespace ravelin
