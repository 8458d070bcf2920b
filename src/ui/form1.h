// The main window: the settings boxes, the readouts, the buttons and the problem
// line. It is the face through which the monitor reads settings and shows results.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "control/monitor.h"
#include "engine/face.h"
#include "ui/status_line.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ravelin {

class Dialogs;
class DisplayWindows;
class ReadoutTooltips;
class SoundPlayer;

// The name the log-folder dialog opens with, and what stays after a cancel.
inline constexpr const char* kDefaultLogFileName = "data/μSVHData_nnnntthh.csv";
inline constexpr const char* kNotYetMessage = "すいませんまだ作っていません";
inline constexpr int kSettingsButtonWidth = 44;

class Form1 : public QWidget, public MonitorFace, public ControlFace {
    Q_OBJECT
public:
    explicit Form1(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    // What the window drives once the monitor exists; displays and player may be null.
    struct Services {
        Monitor* monitor = nullptr;
        SoundPlayer* player = nullptr;
        DisplayWindows* displays = nullptr;
    };
    void attach(const Services& services);

    // MonitorFace
    using MonitorFace::isChecked;
    using MonitorFace::setText;
    using MonitorFace::text;
    std::string text(Box box) const override;
    void setText(Box box, const std::string& text) override;
    bool isChecked(Check check) const override;
    void setProblem(const Problem& problem) override;
    void clearProblem(ProblemKey key) override;
    // ControlFace
    void captureStateChanged(bool recording) override;
    void showMessage(const std::string& text) override;

    // Ticks or unticks a check box, as the user would.
    void setChecked(Check check, bool on);

    // Controls by their names in the layout table ("Text7", "cmdRec", "Line1").
    QWidget* control(std::string_view name) const;
    QLineEdit* box(Box box) const;
    QCheckBox* checkBox(Check check) const;
    QPushButton* button(std::string_view name) const;
    QLabel* statusLabel() const { return status_; }
    // The 設定 button at the right end of the status row, outside the designed area.
    QPushButton* settingsButton() const { return settings_; }
    const ProblemSet& problems() const { return problems_; }

    // Closing from a signal: records still unwritten are printed to stderr instead
    // of asking, since nobody may be there to answer.
    void closeFromSignal();
    // 0, or 3 when records were left unwritten at close.
    int exitStatus() const { return exitStatus_; }

    // The click handlers.
    void startClicked();
    void stopClicked();
    void chooseLogFolder();

signals:
    // After the unload steps: the application may end.
    void closed();
    // The 設定 button was pressed.
    void settingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void refreshStatus();
    void shutDown(bool ask);

    Dialogs& dialogs_;
    Services services_;
    std::unique_ptr<ReadoutTooltips> tooltips_;  // follows the monitor's readings once attached
    std::map<std::string, QWidget*, std::less<>> controls_;
    QLabel* status_ = nullptr;
    QPushButton* settings_ = nullptr;
    ProblemSet problems_;
    bool closed_ = false;
    bool signalled_ = false;
    int exitStatus_ = 0;
};

}  // namespace ravelin
