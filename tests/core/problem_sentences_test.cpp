// Every problem's sentence, in both languages, as the user reads it: the window's status
// line and the headless monitor's stderr. Other tests check which problem stands and with
// what fields; the words are pinned here, once.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/problems.h"

using namespace ravelin;

namespace {

struct Expected {
    Problem problem;
    std::string ja;
    std::string en;
};

// Fields as the system fills them in: the box's text, the errno text, the path, the count.
std::vector<Expected> expectedSentences() {
    using K = ProblemKey;
    using F = BoxFallback;
    const std::string tiny = "0." + std::string(37, '0') + "2";
    return {
        {{K::UnwrittenRecords, {}, "3", "/var/log/rad/μSVHData20120305.csv: No space left on device"},
         "CSVに書き込めていない記録が3件あります（/var/log/rad/μSVHData20120305.csv: No space left on device）。再試行します。",
         "3 log record(s) not yet written (/var/log/rad/μSVHData20120305.csv: No space left on device); retrying"},
        {{K::LogLineCut, {}, "/var/log/rad/μSVHData20120305.csv", {}},
         "CSVファイル「/var/log/rad/μSVHData20120305.csv」の最後の行が途中で切れていたため、その行を閉じて次の記録を新しい行に書きました。",
         "the log file /var/log/rad/μSVHData20120305.csv ended in a line cut short: that line was closed and left as it "
         "was, and the next record was written on a line of its own"},
        {{K::CaptureNoInput, {}, "there is no sound input device", {}},
         "音声入力装置を開けません（there is no sound input device）。",
         "cannot open the sound input: there is no sound input device"},
        {{K::CaptureLost, {}, "the device is gone", {}},
         "音声入力が途切れたため、計測を止めました（the device is gone）。",
         "capture ended: the device is gone"},
        {{K::CaptureUnreadable, {}, "cannot read \"gm.txt\" as a recording: Format not recognised", {}},
         "入力の録音ファイルを読めません（cannot read \"gm.txt\" as a recording: Format not recognised）。",
         "cannot read the recording: cannot read \"gm.txt\" as a recording: Format not recognised"},
        // The monitor puts the scratch file's path in the detail and the errno text in the reason.
        {{K::ScratchFile, {}, "~Record.tmp", "Read-only file system"},
         "作業ファイル「~Record.tmp」を作れません（Read-only file system）。計数は続けます。",
         "cannot create the scratch file ~Record.tmp (Read-only file system); counting goes on"},
        // Each setting with one of the fallbacks; every fallback's ending once at least.
        {{settingProblem(Setting::Threshold), "abc", {}, {}, F::Default},
         "「しきい値」の「abc」は数値として使えません。既定値で続けます。",
         "--threshold \"abc\" is not a usable number; the default is used"},
        {{settingProblem(Setting::DeadBand), "3.5", {}, {}, F::Previous},
         "「不感帯」の「3.5」は数値として使えません。前の値で続けます。",
         "--dead-band \"3.5\" is not a usable number; the previous value is used"},
        {{settingProblem(Setting::Skip), "", {}, {}, F::Previous},
         "「分解能」の「」は数値として使えません。前の値で続けます。",
         "--skip \"\" is not a usable number; the previous value is used"},
        {{settingProblem(Setting::Sensitivity), "0", {}, {}, F::Previous},
         "「GM菅γ線感度」の「0」は数値として使えません。前の値で続けます。",
         "--sensitivity \"0\" is not a usable number; the previous value is used"},
        {{settingProblem(Setting::Alarm1Limit), "0,27", {}, {}, F::Nothing},
         "「第一段警報上限値」の「0,27」は数値として使えません。使える値がまだありません。",
         "--alarm1 \"0,27\" is not a usable number; there is no value to use yet"},
        {{settingProblem(Setting::Alarm2Limit), "x", {}, {}, F::Previous},
         "「第二段警報上限値」の「x」は数値として使えません。前の値で続けます。",
         "--alarm2 \"x\" is not a usable number; the previous value is used"},
        {{K::SkipNegative, "-3", {}, {}},
         "「分解能」の「-3」は負の値です。0として計数します。",
         "--skip \"-3\" is negative; scanning with 0"},
        {{K::Overflow, {}, "C+D", {}},
         "「しきい値」と「不感帯」から求めた値が範囲を超えています（C+D）。前の値で続けます。",
         "a level from the threshold and the dead band is out of range (C+D); the previous levels are used"},
        {{K::SnapshotOverflow, {}, "8×(C+D)", {}},
         "「しきい値」と「不感帯」から求めた表示位置が範囲を超えたため、テスト表示を完了できません（8×(C+D)）。",
         "the test snapshot's threshold lines are out of range (8×(C+D))"},
        {{K::DoseOverflow, tiny, {}, {}},
         "「GM菅γ線感度」の「" + tiny + "」では線量率が範囲を超えます。前の値を表示します。",
         "--sensitivity \"" + tiny + "\" puts the dose rate out of range; the previous dose is kept"},
        {{K::CountOverflow, {}, "49999", {}},
         "1秒間のパルス数が32767を超えました（49999）。CPMと線量率はその秒を32767として計算します。",
         "49999 pulses in one second exceed 32767; CPM and dose rate count 32767 for that second"},
        {{K::TrendScale, "0", {}, {}},
         "「第二段警報上限値」の「0」ではグラフの目盛りを決められません。",
         "--alarm2 \"0\" gives the trend graph no scale"},
        {{K::DeadTimeSaturated, {}, "10000", {}},
         "計数率が不感時間10000µsの補正の限界を超えました。補正しないCPMと線量率を表示します。",
         "the count rate is beyond what --dead-time-us 10000 can correct; the uncorrected CPM and dose rate are used"},
        {{K::SavedSettingsLine, {}, "/home/a/.config/ravelin/ravelin.conf:3", "\"tube\" is not a setting"},
         "保存した設定の/home/a/.config/ravelin/ravelin.conf:3を使えません（\"tube\" is not a setting）。ほかの行は使います。",
         "saved settings: /home/a/.config/ravelin/ravelin.conf:3 is not used (\"tube\" is not a setting); the other lines are"},
        {{K::AlarmSound1, {}, "daiichi.wav", {}},
         "警報音「daiichi.wav」を再生できないため、標準の警報音を鳴らします。",
         "alarm sound daiichi.wav cannot be played; playing the built-in sound"},
        {{K::AlarmSound2, {}, "daini.wav", {}},
         "警報音「daini.wav」を再生できないため、標準の警報音を鳴らします。",
         "alarm sound daini.wav cannot be played; playing the built-in sound"},
        {{K::NoAudioOutput, {}, {}, {}},
         "音声出力装置がないため、警報音を鳴らせません。",
         "no audio output: alarms are silent"},
        {{K::StationLink, {}, "mqtt://broker:1883", "Connection refused"},
         "MQTTブローカー「mqtt://broker:1883」に接続できません（Connection refused）。再試行します。",
         "MQTT broker mqtt://broker:1883 unreachable (Connection refused); retrying"},
        {{K::StationRecordsDropped, {}, "1", "1440"},
         "MQTTブローカーに送れない記録が1440件を超えたため、古い記録を1件破棄しました。",
         "more than 1440 records waiting for the MQTT broker: 1 oldest dropped so far"},
    };
}

}  // namespace

TEST(ProblemSentences, EveryKeySaysItsSentenceInBothLanguages) {
    std::map<int, const Expected*> byKey;
    const auto expected = expectedSentences();
    for (const Expected& e : expected)
        EXPECT_TRUE(byKey.emplace(static_cast<int>(e.problem.key), &e).second)
            << "key " << static_cast<int>(e.problem.key) << " is expected twice";

    const int first = static_cast<int>(ProblemKey::UnwrittenRecords);
    const int last = static_cast<int>(ProblemKey::StationRecordsDropped);
    for (int k = first; k <= last; ++k) {
        const auto it = byKey.find(k);
        if (it == byKey.end()) {
            ADD_FAILURE() << "key " << k << " has no expected sentence";
            continue;
        }
        const Problem& p = it->second->problem;
        EXPECT_EQ(problemSentenceJa(p), it->second->ja) << "key " << k;
        EXPECT_EQ(problemSentenceEn(p), it->second->en) << "key " << k;
        byKey.erase(it);
    }
    EXPECT_TRUE(byKey.empty()) << "expected sentences for keys past the last one";

    // Both ends of the setting keys are in the range walked above.
    EXPECT_GE(static_cast<int>(settingProblem(Setting::Threshold)), first);
    EXPECT_LE(static_cast<int>(settingProblem(Setting::Alarm2Limit)), last);
}

TEST(ProblemSentences, TheMapsSayFailingOrStoppedWithTheirCounts) {
    using K = ProblemKey;
    const struct {
        Problem problem;
        const char* ja;
        const char* en;
    } cases[] = {
        {{K::MapSafecast, "failing", "12", "HTTP 500"},
         "Safecastへの送信に失敗しています（HTTP 500）。未送信12件、再試行します。",
         "uploads to Safecast failing (HTTP 500); 12 reading(s) waiting, retrying"},
        {{K::MapSafecast, "stopped", "3", "Safecast refuses the API key (HTTP 401)"},
         "Safecastへの送信を停止しました（Safecast refuses the API key (HTTP 401)）。未送信の3件は次の起動まで保存します。",
         "uploads to Safecast stopped: Safecast refuses the API key (HTTP 401); 3 reading(s) kept in the outbox for "
         "the next start"},
        {{K::MapRadmon, "failing", "2", "no answer in time"},
         "radmon.orgへの送信に失敗しています（no answer in time）。破棄2件。",
         "uploads to radmon.org failing (no answer in time); 2 reading(s) dropped so far"},
        {{K::MapGmcmap, "stopped", "1", "GMCmap does not know the counter id (ERR2)"},
         "GMCmapへの送信を停止しました（GMCmap does not know the counter id (ERR2)）。",
         "uploads to GMCmap stopped: GMCmap does not know the counter id (ERR2)"},
        {{K::MapOutbox, {}, "4", "/var/lib/ravelin/safecast.outbox: No space left on device"},
         "Safecastの送信待ちファイルに書き込めません（/var/lib/ravelin/safecast.outbox: No space left on device）。"
         "4件をメモリに保持しています。",
         "cannot write the Safecast outbox (/var/lib/ravelin/safecast.outbox: No space left on device); 4 reading(s) "
         "kept in memory"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(problemSentenceJa(c.problem), c.ja);
        EXPECT_EQ(problemSentenceEn(c.problem), c.en);
        EXPECT_EQ(problemRank(c.problem.key), 3);  // after records, capture and settings
    }
}
