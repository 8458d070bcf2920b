// The monitor as a whole: owns the per-run state and the steps of one second, and
// connects the Start and Stop buttons, the capture device and the lifecycle.
#pragma once

#include <memory>
#include <string>

#include "engine/capture_device.h"
#include "engine/displays.h"
#include "engine/face.h"
#include "engine/monitor_state.h"
#include "engine/pipeline.h"
#include "engine/services.h"
#include "engine/settings.h"
#include "outputs/alarms.h"
#include "outputs/csv_log.h"

namespace ravelin {

// The messages Start shows.
inline constexpr const char* kNoSensitivityMessage = "GM菅γ線感度を入力してください";
inline constexpr const char* kBadSensitivityMessage = "GM菅γ線感度には0より大きい数値を入力してください";

// How capture control talks back to its face, besides the boxes.
class ControlFace {
public:
    virtual ~ControlFace() = default;
    // After StateChanged: recording or not (the button rule lives in the face).
    virtual void captureStateChanged(bool recording) = 0;
    // A message the user must acknowledge (a message box, or stderr headless).
    virtual void showMessage(const std::string& text) = 0;
};

struct MonitorServices {
    CaptureDevice& device;
    FileSystem& files;
    Clock& clock;
    SoundPlayer& player;
    Displays* displays = nullptr;  // none headless
};

class Monitor : public CaptureEvents {
public:
    Monitor(MonitorFace& face, ControlFace& control, MonitorServices services);
    ~Monitor() override;

    MonitorState& state() { return state_; }
    const MonitorState& state() const { return state_; }
    Pipeline& pipeline() { return pipeline_; }
    CsvLog& log() { return log_; }
    SettingReader& settings() { return settings_; }

    // Main window load: the scratch file.
    void load();
    // Start button. Returns false when Start was refused (message shown) or the
    // device could not be opened (problem reported).
    bool start();
    // Stop button.
    void stop();
    // A stage's stop button.
    void stopAlarm(int stage);
    // Main window unload. Returns false when log records are still unwritten.
    bool unload();
    // Tries unwritten records again; true when none is left.
    bool retryLog();

    // Capture events.
    void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) override;
    void StateChanged() override;

private:
    void reportCaptureError(const CaptureError& e);

    MonitorFace& face_;
    ControlFace& control_;
    MonitorServices services_;
    MonitorState state_;
    SettingReader settings_;
    CsvLog log_;
    Alarms alarms_;
    Pipeline pipeline_;
};

}  // namespace ravelin
