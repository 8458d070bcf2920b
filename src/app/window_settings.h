// What the 設定 window's choices do: the source, rate and polarity for the next 開始, a
// tube's figure into GM菅γ線感度, the dead time at once, the setup assistant on the
// chosen source, the history, and saving or forgetting the settings. Each choice is the
// same setting as its command-line option and goes through the same check.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "app/options.h"
#include "app/window_config.h"

class QTimer;

namespace ravelin {

class Form1;
class HistoryOpener;
class LevelMeter;
class Monitor;
class SettingsWindow;
class SwitchableDevice;
class WindowCalibration;
struct CalibrationResult;

class WindowSettings : public QObject {
public:
    // `options` are those the window started with (the saved file's, then the command line's);
    // `commandLine` the command line's alone, which 「既定に戻す」 keeps.
    WindowSettings(Form1& window, Monitor& monitor, SwitchableDevice& device, HistoryOpener& history,
                   const Options& options, const Options& commandLine, std::string configPath);
    ~WindowSettings() override;

    // Shows the 設定 window, making it the first time.
    void open();
    SettingsWindow* settingsWindow() const { return settings_.get(); }

    // The choices now: what the next 開始 captures from.
    const Options& choices() const { return choices_; }

    // What 「この設定を保存」 would write now.
    SavedWindow saved() const;
    // 「この設定を保存」 and 「既定に戻す」; the result is said in the 設定 window.
    bool save();
    void restoreDefaults();
    // The assistant's proposal accepted: the three boxes, the polarity, and the rate advice.
    void accept(const CalibrationResult& result, bool invertGiven);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void fill();
    void inputChanged();
    void tubeChosen(const std::string& name);
    void deadTimeChosen();
    void runAssistant();
    void deviceChanged();
    void listen();
    void refreshFolder();
    void say(const std::string& text);

    Form1& window_;
    Monitor& monitor_;
    SwitchableDevice& device_;
    HistoryOpener& history_;
    const std::optional<std::string> commandLineInput_;
    Options choices_;
    std::string configPath_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<LevelMeter> meter_;
    std::unique_ptr<WindowCalibration> calibration_;
    QTimer* refresh_ = nullptr;
};

}  // namespace ravelin
