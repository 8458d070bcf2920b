#include "app/window_settings.h"

#include <QDir>
#include <algorithm>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/calibrate_window.h"
#include "app/history.h"
#include "app/level_meter.h"
#include "app/reading_options.h"
#include "app/source.h"
#include "app/switchable_device.h"
#include "control/monitor.h"
#include "engine/calibration.h"
#include "engine/convert.h"
#include "engine/tubes.h"
#include "platform/capture_sources.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"
#include "ui/calibration_view.h"
#include "ui/settings_window.h"

namespace ravelin {
namespace {
constexpr int kDefaultRate = 22050;


// The source a choice names, at its rate and polarity; a recording keeps its own rate.
std::unique_ptr<CaptureDevice> deviceFor(const Options& choice, std::string& error) {
    CaptureOptions o = captureOptionsFor(choice);
    if (isRecordingInput(choice.input)) o.rate.reset();
    return createCaptureDevice(choice.input.value_or("audio"), o, error);
}

std::string kindJa(std::string_view kind) {
    if (kind == "maker datasheet") return "メーカーのデータシート";
    if (kind == "maker passport") return "メーカーのパスポート（製品証明書）";
    if (kind == "published measurement") return "公表された測定";
    if (kind == "published simulation") return "公表されたシミュレーション";
    return std::string(kind);
}

// The rate is the person's choice: the advice names it and where to set it.
std::string rateAdvice(std::int32_t rate) {
    return "パルスの形を保つには、サンプリングレート" + integerText(rate) + " Hzを勧めます（上の「サンプリングレート」で選べます）。";
}

std::string isotopeJa(std::string_view isotope) {
    if (isotope == "not stated") return "記載なし";
    if (isotope == "natural background") return "自然放射線";
    return std::string(isotope);
}
}  // namespace

WindowSettings::WindowSettings(Form1& window, Monitor& monitor, SwitchableDevice& device, HistoryOpener& history,
                               const Options& options, const Options& commandLine, std::string configPath)
    : window_(window),
      monitor_(monitor),
      device_(device),
      history_(history),
      commandLineInput_(commandLine.input),
      choices_(options),
      configPath_(std::move(configPath)) {
    QObject::connect(&window_, &Form1::settingsRequested, this, [this] { open(); });
}

WindowSettings::~WindowSettings() {
    if (settings_) settings_->removeEventFilter(this);
    meter_.reset();
}

void WindowSettings::open() {
    if (!settings_) build();
    refreshFolder();
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}

void WindowSettings::build() {
    settings_ = std::make_unique<SettingsWindow>(&window_);
    settings_->setWindowFlag(Qt::Window);
    meter_ = std::make_unique<LevelMeter>([this](int percent) {
        if (settings_) settings_->setLevel(percent);
    });
    fill();
    std::vector<SettingsWindow::Choice> tubes;
    for (const auto& t : tubePresets())
        if (*t.cpsPerMrh) tubes.push_back({t.name, std::string(t.name) + " — " + t.cpsPerMrh + " cps/(mR/h)"});
    settings_->setTubes(tubes);

    connect(settings_.get(), &SettingsWindow::inputChosen, this, [this] { inputChanged(); });
    connect(settings_.get(), &SettingsWindow::rateChosen, this, [this] {
        choices_.rate = settings_->rate();
        deviceChanged();
    });
    connect(settings_.get(), &SettingsWindow::invertChosen, this, [this] {
        choices_.invert = settings_->invert();
        deviceChanged();
    });
    connect(settings_.get(), &SettingsWindow::tubeChosen, this,
            [this](const QString& name) { tubeChosen(name.toStdString()); });
    connect(settings_.get(), &SettingsWindow::deadTimeChosen, this, [this] { deadTimeChosen(); });
    connect(settings_.get(), &SettingsWindow::assistantRequested, this, [this] { runAssistant(); });
    connect(settings_.get(), &SettingsWindow::historyRequested, this, [this] { history_.open(); });
    connect(settings_.get(), &SettingsWindow::saveRequested, this, [this] { save(); });
    connect(settings_.get(), &SettingsWindow::defaultsRequested, this, [this] { restoreDefaults(); });
    settings_->installEventFilter(this);
    // The log folder changes with 保存先; it is shown as it is while the window is open.
    refresh_ = new QTimer(this);
    refresh_->setInterval(1000);
    connect(refresh_, &QTimer::timeout, this, [this] { refreshFolder(); });
}

void WindowSettings::fill() {
    std::vector<SettingsWindow::Choice> inputs{{"audio", "既定の入力"}};
    for (const auto& input : listAudioInputs()) inputs.push_back({"audio:" + input.id, input.description});
    const std::string chosen = choices_.input.value_or("audio");
    if (std::none_of(inputs.begin(), inputs.end(), [&](const auto& c) { return c.id == chosen; }))
        inputs.push_back({chosen, chosen});
    if (commandLineInput_ && *commandLineInput_ != chosen) inputs.push_back({*commandLineInput_, *commandLineInput_});
    settings_->setInputs(inputs, chosen);
    settings_->setRate(choices_.rate.value_or(kDefaultRate));
    settings_->setRateUsable(!isRecordingInput(choices_.input));
    settings_->setInvert(choices_.invert);
    settings_->setDeadTime(choices_.deadTimeUs.value_or(""));
}

bool WindowSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == settings_.get()) {
        if (event->type() == QEvent::Show) {
            listen();
            refresh_->start();
        } else if (event->type() == QEvent::Hide) {
            meter_->stop();
            refresh_->stop();
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowSettings::inputChanged() {
    const std::string input = settings_->input();
    choices_.input = input;
    settings_->setRateUsable(!isRecordingInput(choices_.input));
    deviceChanged();
}

void WindowSettings::deviceChanged() {
    const Options choice = choices_;
    device_.changeTo([choice](std::string& error) { return deviceFor(choice, error); });
    listen();
}

void WindowSettings::listen() {
    if (!settings_ || !settings_->isVisible() || (calibration_ && !calibration_->done())) return;
    std::string error;
    auto device = deviceFor(choices_, error);
    if (!device) say("入力元「" + choices_.input.value_or("audio") + "」を使えません（" + error + "）。");
    meter_->listen(std::move(device));
}

void WindowSettings::tubeChosen(const std::string& name) {
    const auto tube = findTube(name);
    if (!tube || !*tube->cpsPerMrh) return;
    window_.setText(settingRow(Setting::Sensitivity).box, tube->cpsPerMrh);
    settings_->setTubeSource("核種: " + isotopeJa(tube->isotope) + "　出典の種類: " + kindJa(tube->kind) + "\n" +
                             tube->source);
}

void WindowSettings::deadTimeChosen() {
    const std::string text = settings_->deadTime();
    Options check;
    if (!text.empty()) check.deadTimeUs = text;
    // The same check as --dead-time-us.
    if (!resolveReadingOptions(check).empty()) {
        say("不感時間「" + text + "」は0から10000までの数値（µs）ではありません。前の値のままです。");
        return;
    }
    choices_.deadTimeUs = check.deadTimeUs;
    choices_.deadTimeSeconds = check.deadTimeSeconds;
    monitor_.state().DeadTime = check.deadTimeSeconds;
    say({});
}

void WindowSettings::runAssistant() {
    if (device_.IsRecording()) {
        say("記録中はアシスタントを実行できません。「停止」してから実行してください。");
        return;
    }
    Options choice = choices_;
    if (isRecordingInput(choice.input)) choice.rate.reset();
    auto device = captureDeviceFor(calibrationOptions(choice));
    if (!device) {
        say("入力元「" + choice.input.value_or("audio") + "」を使えません。");
        return;
    }
    meter_->stop();
    calibration_ = std::make_unique<WindowCalibration>(window_, std::move(device), choice);
    calibration_->onResult = [this](const CalibrationResult& result, bool invertGiven) {
        CalibrationView view(result, invertGiven, settings_.get());
        if (view.exec() == QDialog::Accepted && result.found) accept(result, invertGiven);
        else if (result.recommendedRate) say(rateAdvice(result.recommendedRate));
    };
    calibration_->onDone = [this] {
        settings_->setAssistantRunning(false);
        listen();
    };
    settings_->setAssistantRunning(true);
    say({});
    calibration_->start();
}

void WindowSettings::accept(const CalibrationResult& result, bool invertGiven) {
    window_.setText(settingRow(Setting::Threshold).box, integerText(result.threshold));
    window_.setText(settingRow(Setting::DeadBand).box, integerText(result.deadBand));
    window_.setText(settingRow(Setting::Skip).box, integerText(result.skip));
    // The proposal's polarity: the samples seen were already inverted when `invertGiven`.
    const bool invert = result.upward != invertGiven;
    if (invert != choices_.invert) {
        choices_.invert = invert;
        if (settings_) settings_->setInvert(invert);
        deviceChanged();
    }
    std::string told = "しきい値・不感帯・分解能" + std::string(invert ? "と極性反転" : "") + "を提案どおりにしました。";
    if (result.recommendedRate) told += rateAdvice(result.recommendedRate);
    say(told);
}

SavedWindow WindowSettings::saved() const {
    SavedWindow s;
    for (const auto& row : kSettingTable) s.settings[static_cast<std::size_t>(row.setting)] = window_.text(row.box);
    for (const auto& row : kSwitchTable) s.switches[static_cast<std::size_t>(row.which)] = window_.isChecked(row.check);
    s.input = choices_.input;
    s.rate = choices_.rate;
    s.invert = choices_.invert;
    s.deadTimeUs = choices_.deadTimeUs.value_or("");
    s.logFolder = monitor_.state().SaveFolder;
    return s;
}

bool WindowSettings::save() {
    const SavedWindow s = saved();
    if (const std::string box = unconvertedBox(s); !box.empty()) {
        say("「" + box + "」の値が数値にならないため、保存しません。");
        return false;
    }
    std::string error;
    if (!writeWindowConfig(configPath_, windowConfigText(s), error)) {
        say("保存できません（" + error + "）。");
        return false;
    }
    // The file is now what the window shows: a bad line read at start is gone with it.
    window_.clearProblem(ProblemKey::SavedSettingsLine);
    say("保存しました: " + configPath_);
    return true;
}

void WindowSettings::restoreDefaults() {
    std::string error;
    if (!removeWindowConfig(configPath_, error)) say("設定ファイルを削除できません（" + error + "）。");
    else window_.clearProblem(ProblemKey::SavedSettingsLine);
    for (const auto& row : kSettingTable) window_.setText(row.box, std::string(row.defaultText));
    for (const auto& row : kSwitchTable) window_.setChecked(row.check, row.onAtLoad);
    window_.setText(readoutBox(Readout::LogFile), std::string(findControl(controlName(readoutBox(Readout::LogFile)))->text));
    monitor_.state().SaveFolder.clear();
    monitor_.state().DeadTime.reset();
    choices_.input = commandLineInput_;
    choices_.rate.reset();
    choices_.invert = false;
    choices_.deadTimeUs.reset();
    choices_.deadTimeSeconds.reset();
    if (settings_) {
        fill();
        settings_->clearTube();
    }
    deviceChanged();
    refreshFolder();
    if (error.empty()) say("既定に戻しました（" + configPath_ + " はありません）。");
}

void WindowSettings::refreshFolder() {
    if (!settings_) return;
    const std::string& folder = monitor_.state().SaveFolder;
    std::string shown = folder.empty() ? QDir::currentPath().toStdString() + "/" : folder;
    if (!window_.isChecked(switchRow(Switch::Log).check)) shown += "（データ収集(CSV)は切）";
    settings_->setLogFolder(shown);
}

void WindowSettings::say(const std::string& text) {
    if (settings_) settings_->setMessage(text);
}

}  // namespace ravelin
