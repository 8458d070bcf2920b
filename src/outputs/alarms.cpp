#include "outputs/alarms.h"

namespace ravelin {

const char* alarmSoundFile(int stage) { return stage == 1 ? "daiichi.wav" : "daini.wav"; }

std::optional<float> Alarms::CheckAlarmStage(int stage) {
    const Switch enable = stage == 1 ? Switch::Alarm1 : Switch::Alarm2;
    std::int16_t& latch = stage == 1 ? state_.AlarmLatch1 : state_.AlarmLatch2;
    if (!face_.isChecked(enable)) return std::nullopt;
    if (latch == 1) return std::nullopt;  // the limit box is not even read
    // A limit that never converted leaves the stage unchecked.
    const auto limit = settings_.readSingle(stage == 1 ? Setting::Alarm1Limit : Setting::Alarm2Limit);
    if (!limit) return std::nullopt;
    if (*limit < state_.CurrentDose) {
        player_.playLoop(stage, alarmSoundFile(stage));
        latch = 1;
        return limit;
    }
    return std::nullopt;
}

void Alarms::stopStage(int stage) {
    (stage == 1 ? state_.AlarmLatch1 : state_.AlarmLatch2) = 0;
    player_.stop();
}

}  // namespace ravelin
