// The setup assistant's proposal as options, and its reasons in English and Japanese.
#include <algorithm>
#include <string>

#include "engine/calibration.h"
#include "engine/convert.h"

namespace ravelin {
namespace {

std::string n(std::int64_t v) { return integerText(v); }

// One decimal, as a person reads a level.
std::string d1(double v) { return singleText(static_cast<float>(roundHalfEven(v * 10.0) / 10.0)); }

std::string micros(std::int64_t samples, std::int32_t rate) {
    return n(static_cast<std::int64_t>(roundHalfEven(1e6 * static_cast<double>(samples) / rate)));
}

bool invertInProposal(const CalibrationResult& r, bool invertGiven) { return r.upward != invertGiven; }

// "  12-23 | ######      41", bars of up to `width` scaled to the fullest bin.
std::string histogramLines(const CalibrationResult& r, std::size_t width) {
    std::int64_t most = 1;
    for (const auto& b : r.depths) most = std::max(most, b.count);
    std::string out;
    for (const auto& b : r.depths) {
        std::string range = b.to - 1 > b.from ? n(b.from) + "-" + n(b.to - 1) : n(b.from);
        range.insert(0, range.size() < 9 ? 9 - range.size() : 0, ' ');
        const auto bar = static_cast<std::size_t>((b.count * static_cast<std::int64_t>(width) + most - 1) / most);
        out += range + " | " + std::string(bar, '#') + std::string(width + 1 - bar, ' ') + n(b.count) + "\n";
    }
    return out;
}

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
    t += "typical depth " + d1(r.typicalDepth) + "; the threshold goes halfway, clear of the noise: threshold " +
         n(r.threshold) + ", dead band " + n(r.deadBand) + " (armed below " + n(r.threshold - r.deadBand) +
         ", counted above " + n(r.threshold + r.deadBand) + (invertInProposal(r, invertGiven) ? ", after --invert)\n" : ")\n");
    if (r.ringing)
        t += "longest ringing after a pulse " + n(r.ringingSamples) + " samples (" + micros(r.ringingSamples, r.rate) +
             " µs): skip " + n(r.skip) + " samples (" + micros(r.skip, r.rate) + " µs)\n";
    else
        t += "no ringing: the signal does not fall below the lower level again after a pulse; skip " + n(r.skip) +
             " samples (" + micros(r.skip, r.rate) + " µs)\n";
    t += "these settings count " + n(r.counted) + " pulses in " + n(r.seconds) + " s: " +
         d1(seconds > 0 ? r.cpm : 0) + " CPM\n";
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
    t += "典型的な深さ " + d1(r.typicalDepth) + "。その半分の深さで雑音から十分に離して、しきい値 " + n(r.threshold) +
         "、不感帯 " + n(r.deadBand) + "としました。\n";
    if (r.ringing)
        t += "パルス後の最も長いリンギング " + n(r.ringingSamples) + "サンプル（" + micros(r.ringingSamples, r.rate) +
             " µs）。分解能 " + n(r.skip) + "サンプル（" + micros(r.skip, r.rate) + " µs）。\n";
    else
        t += "リンギングはありません。分解能 " + n(r.skip) + "サンプル（" + micros(r.skip, r.rate) + " µs）。\n";
    t += "この設定で" + n(r.counted) + "個のパルスを数えました（" + d1(r.cpm) + " CPM）。\n";
    if (r.weak) t += "注意：パルスが弱すぎます。入力音量を上げて、もう一度調べてください。\n";
    if (r.clipped) t += "注意：パルスが振り切れています。入力音量を下げて、もう一度調べてください。\n";
    if (!r.found) t += "設定を提案できません（" + r.reason + "）。\n";
    if (r.found && invertInProposal(r, invertGiven))
        t += "パルスが上向きです。--invert を付けて起動してください（ウィンドウに反転の欄はありません）。\n";
    return t;
}

}  // namespace ravelin
