#include "engine/problems.h"

#include "engine/setting_table.h"

namespace ravelin {

int problemRank(ProblemKey key) {
    switch (key) {
        case ProblemKey::UnwrittenRecords:
        case ProblemKey::LogLineCut: return 0;
        case ProblemKey::CaptureNoInput:
        case ProblemKey::CaptureLost:
        case ProblemKey::CaptureUnreadable:
        case ProblemKey::ScratchFile: return 1;
        case ProblemKey::AlarmSound1:
        case ProblemKey::AlarmSound2:
        case ProblemKey::NoAudioOutput:
        case ProblemKey::StationLink:
        case ProblemKey::StationRecordsDropped:
        case ProblemKey::MapRadmon:
        case ProblemKey::MapGmcmap:
        case ProblemKey::MapSafecast:
        case ProblemKey::MapOutbox: return 3;
        default: return 2;
    }
}

bool isCaptureProblem(ProblemKey key) {
    return key == ProblemKey::CaptureNoInput || key == ProblemKey::CaptureLost || key == ProblemKey::CaptureUnreadable;
}

namespace {
const char* mapService(ProblemKey key) {
    return key == ProblemKey::MapRadmon ? "radmon.org" : key == ProblemKey::MapGmcmap ? "GMCmap" : "Safecast";
}
std::string labelJa(Setting s) { return "「" + std::string(settingRow(s).labelJa) + "」"; }
std::string optionEn(Setting s) { return std::string(settingRow(s).option); }
}  // namespace

std::string problemSentenceJa(const Problem& p) {
    if (const auto setting = problemSetting(p.key))
        return labelJa(*setting) + "の「" + p.boxText + "」は数値として使えません。" +
               (p.fallback == BoxFallback::Previous  ? "前の値で続けます。"
                : p.fallback == BoxFallback::Default ? "既定値で続けます。"
                                                     : "使える値がまだありません。");
    switch (p.key) {
        case ProblemKey::UnwrittenRecords:
            return "CSVに書き込めていない記録が" + p.detail + "件あります（" + p.reason + "）。再試行します。";
        case ProblemKey::LogLineCut:
            return "CSVファイル「" + p.detail + "」の最後の行が途中で切れていたため、その行を閉じて次の記録を新しい行に書きました。";
        case ProblemKey::CaptureNoInput:
            return "音声入力装置を開けません（" + p.detail + "）。";
        case ProblemKey::CaptureLost:
            return "音声入力が途切れたため、計測を止めました（" + p.detail + "）。";
        case ProblemKey::CaptureUnreadable:
            return "入力の録音ファイルを読めません（" + p.detail + "）。";
        case ProblemKey::ScratchFile:
            return "作業ファイル「" + p.detail + "」を作れません（" + p.reason + "）。計数は続けます。";
        case ProblemKey::SettingText: break;  // above
        case ProblemKey::SkipNegative:
            return labelJa(Setting::Skip) + "の「" + p.boxText + "」は負の値です。0として計数します。";
        case ProblemKey::Overflow:
            return labelJa(Setting::Threshold) + "と" + labelJa(Setting::DeadBand) + "から求めた値が範囲を超えています（" + p.detail + "）。前の値で続けます。";
        case ProblemKey::SnapshotOverflow:
            return labelJa(Setting::Threshold) + "と" + labelJa(Setting::DeadBand) + "から求めた表示位置が範囲を超えたため、テスト表示を完了できません（" + p.detail + "）。";
        case ProblemKey::DoseOverflow:
            return labelJa(Setting::Sensitivity) + "の「" + p.boxText + "」では線量率が範囲を超えます。前の値を表示します。";
        case ProblemKey::CountOverflow:
            return "1秒間のパルス数が32767を超えました（" + p.detail + "）。CPMと線量率はその秒を32767として計算します。";
        case ProblemKey::TrendScale:
            return labelJa(Setting::Alarm2Limit) + "の「" + p.boxText + "」ではグラフの目盛りを決められません。";
        case ProblemKey::DeadTimeSaturated:
            return "計数率が不感時間" + p.detail + "µsの補正の限界を超えました。補正しないCPMと線量率を表示します。";
        case ProblemKey::SavedSettingsLine:
            return "保存した設定の" + p.detail + "を使えません（" + p.reason + "）。ほかの行は使います。";
        case ProblemKey::AlarmSound1:
        case ProblemKey::AlarmSound2:
            return "警報音「" + p.detail + "」を再生できないため、標準の警報音を鳴らします。";
        case ProblemKey::NoAudioOutput:
            return "音声出力装置がないため、警報音を鳴らせません。";
        case ProblemKey::StationLink:
            return "MQTTブローカー「" + p.detail + "」に接続できません（" + p.reason + "）。再試行します。";
        case ProblemKey::StationRecordsDropped:
            return "MQTTブローカーに送れない記録が" + p.reason + "件を超えたため、古い記録を" + p.detail +
                   "件破棄しました。";
        case ProblemKey::MapRadmon:
        case ProblemKey::MapGmcmap:
        case ProblemKey::MapSafecast: {
            const std::string service = mapService(p.key);
            const bool outbox = p.key == ProblemKey::MapSafecast;
            if (p.boxText == "stopped")
                return service + "への送信を停止しました（" + p.reason + "）。" +
                       (outbox ? "未送信の" + p.detail + "件は次の起動まで保存します。" : std::string{});
            return service + "への送信に失敗しています（" + p.reason + "）。" +
                   (outbox ? "未送信" + p.detail + "件、再試行します。" : "破棄" + p.detail + "件。");
        }
        case ProblemKey::MapOutbox:
            return "Safecastの送信待ちファイルに書き込めません（" + p.reason + "）。" + p.detail +
                   "件をメモリに保持しています。";
    }
    return {};
}

std::string problemSentenceEn(const Problem& p) {
    if (const auto setting = problemSetting(p.key))
        return optionEn(*setting) + " \"" + p.boxText + "\" is not a usable number; " +
               (p.fallback == BoxFallback::Previous  ? "the previous value is used"
                : p.fallback == BoxFallback::Default ? "the default is used"
                                                     : "there is no value to use yet");
    switch (p.key) {
        case ProblemKey::UnwrittenRecords:
            return p.detail + " log record(s) not yet written (" + p.reason + "); retrying";
        case ProblemKey::LogLineCut:
            return "the log file " + p.detail + " ended in a line cut short: that line was closed and left as it was, "
                   "and the next record was written on a line of its own";
        case ProblemKey::CaptureNoInput:
            return "cannot open the sound input: " + p.detail;
        case ProblemKey::CaptureLost:
            return "capture ended: " + p.detail;
        case ProblemKey::CaptureUnreadable:
            return "cannot read the recording: " + p.detail;
        case ProblemKey::ScratchFile:
            return "cannot create the scratch file " + p.detail + " (" + p.reason + "); counting goes on";
        case ProblemKey::SettingText: break;  // above
        case ProblemKey::SkipNegative:
            return optionEn(Setting::Skip) + " \"" + p.boxText + "\" is negative; scanning with 0";
        case ProblemKey::Overflow:
            return "a level from the threshold and the dead band is out of range (" + p.detail + "); the previous levels are used";
        case ProblemKey::SnapshotOverflow:
            return "the test snapshot's threshold lines are out of range (" + p.detail + ")";
        case ProblemKey::DoseOverflow:
            return optionEn(Setting::Sensitivity) + " \"" + p.boxText + "\" puts the dose rate out of range; the previous dose is kept";
        case ProblemKey::CountOverflow:
            return p.detail + " pulses in one second exceed 32767; CPM and dose rate count 32767 for that second";
        case ProblemKey::TrendScale:
            return optionEn(Setting::Alarm2Limit) + " \"" + p.boxText + "\" gives the trend graph no scale";
        case ProblemKey::DeadTimeSaturated:
            return "the count rate is beyond what --dead-time-us " + p.detail +
                   " can correct; the uncorrected CPM and dose rate are used";
        case ProblemKey::SavedSettingsLine:
            return "saved settings: " + p.detail + " is not used (" + p.reason + "); the other lines are";
        case ProblemKey::AlarmSound1:
        case ProblemKey::AlarmSound2:
            return "alarm sound " + p.detail + " cannot be played; playing the built-in sound";
        case ProblemKey::NoAudioOutput:
            return "no audio output: alarms are silent";
        case ProblemKey::StationLink:
            return "MQTT broker " + p.detail + " unreachable (" + p.reason + "); retrying";
        case ProblemKey::StationRecordsDropped:
            return "more than " + p.reason + " records waiting for the MQTT broker: " + p.detail +
                   " oldest dropped so far";
        case ProblemKey::MapRadmon:
        case ProblemKey::MapGmcmap:
        case ProblemKey::MapSafecast: {
            const std::string service = mapService(p.key);
            const bool outbox = p.key == ProblemKey::MapSafecast;
            if (p.boxText == "stopped")
                return "uploads to " + service + " stopped: " + p.reason +
                       (outbox ? "; " + p.detail + " reading(s) kept in the outbox for the next start" : std::string{});
            return "uploads to " + service + " failing (" + p.reason + "); " +
                   (outbox ? p.detail + " reading(s) waiting, retrying" : p.detail + " reading(s) dropped so far");
        }
        case ProblemKey::MapOutbox:
            return "cannot write the Safecast outbox (" + p.reason + "); " + p.detail + " reading(s) kept in memory";
    }
    return {};
}

}  // namespace ravelin
