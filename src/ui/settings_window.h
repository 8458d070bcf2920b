// The 設定 window: the input, the tube, the setup assistant and the history, and saving
// the settings, for a person who does not use the command line. It only shows and asks;
// the application decides what each choice does.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace ravelin {

class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        std::string id;     // what --input takes: "audio", "audio:NAME", "file:PATH", "sim:CPM"
        std::string label;  // what the person reads
    };
    explicit SettingsWindow(QWidget* parent = nullptr);

    // The sources to choose from, and which one is chosen.
    void setInputs(const std::vector<Choice>& inputs, const std::string& chosen);
    std::string input() const;
    // The rate applies to the live input and the simulator only.
    void setRate(int rate);
    int rate() const;
    void setRateUsable(bool usable);
    void setInvert(bool on);
    bool invert() const;
    // 0..100: how far the loudest sample of the last second went from the middle.
    void setLevel(int percent);

    // The tubes with a figure; the picker starts at none.
    void setTubes(const std::vector<Choice>& tubes);
    void setTubeSource(const std::string& text);
    void clearTube();
    void setDeadTime(const std::string& microseconds);
    std::string deadTime() const;

    void setAssistantRunning(bool running);
    void setLogFolder(const std::string& folder);
    // The line under the buttons: what saving did, or why a line of the file is not used.
    void setMessage(const std::string& text);

    QPushButton* button(const char* name) const;

signals:
    void inputChosen();
    void rateChosen();
    void invertChosen();
    void tubeChosen(const QString& name);
    void deadTimeChosen();
    void assistantRequested();
    void historyRequested();
    void saveRequested();
    void defaultsRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitHeight();

    QComboBox* inputs_ = nullptr;
    QProgressBar* level_ = nullptr;
    QSpinBox* rate_ = nullptr;
    QCheckBox* invert_ = nullptr;
    QComboBox* tubes_ = nullptr;
    QLabel* tubeSource_ = nullptr;
    QLineEdit* deadTime_ = nullptr;
    QLabel* assistantState_ = nullptr;
    QLabel* logFolder_ = nullptr;
    QLabel* message_ = nullptr;
};

}  // namespace ravelin
