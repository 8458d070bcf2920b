// The two alarm stages: a ticked, armed stage whose limit is below the dose starts
// its looping sound and latches until its stop button is pressed.
#pragma once

#include <optional>
#include <string>

#include "engine/face.h"
#include "engine/monitor_state.h"
#include "engine/pipeline_steps.h"
#include "engine/services.h"
#include "engine/settings.h"

namespace ravelin {

const char* alarmSoundFile(int stage);

class Alarms : public AlarmCheck {
public:
    Alarms(MonitorState& state, MonitorFace& face, SettingReader& settings, SoundPlayer& player)
        : state_(state), face_(face), settings_(settings), player_(player) {}

    // The check of one stage for this second. Returns the limit when the stage fired.
    std::optional<float> CheckAlarmStage(int stage) override;
    // The stage's stop button: the latch goes to 0 and whatever sound plays stops.
    void stopStage(int stage);

private:
    MonitorState& state_;
    MonitorFace& face_;
    SettingReader& settings_;
    SoundPlayer& player_;
};

}  // namespace ravelin
