#include "app/gui.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/assembly.h"
#include "app/calibrate_window.h"
#include "app/history.h"
#include "app/source.h"
#include "app/switchable_device.h"
#include "app/window_config.h"
#include "app/window_settings.h"
#include "control/monitor.h"
#include "engine/convert.h"
#include "platform/desktop_notifier.h"
#include "platform/dialogs.h"
#include "platform/sound.h"
#include "platform/stop_signals.h"
#include "ui/display_windows.h"
#include "ui/form1.h"
#include "ui/qt_japanese.h"
#include "ui/tray_icon.h"

namespace ravelin {
namespace {
// A firing alarm stage is also said on the desktop, besides its sound.
// An observer in the pipeline for as long as this lives; none when null.
class ObserverGuard {
public:
    ObserverGuard(Pipeline& pipeline, PipelineObserver* observer) : pipeline_(pipeline), observer_(observer) {
        if (observer_) pipeline_.addObserver(observer_);
    }
    ~ObserverGuard() {
        if (observer_) pipeline_.removeObserver(observer_);
    }
    ObserverGuard(const ObserverGuard&) = delete;
    ObserverGuard& operator=(const ObserverGuard&) = delete;

private:
    Pipeline& pipeline_;
    PipelineObserver* observer_;
};

class AlarmNotification : public PipelineObserver {
public:
    explicit AlarmNotification(DesktopNotifier& notifier) : notifier_(notifier) {}
    void alarmFired(int stage, float dose, float limit) override {
        notifier_.notify(stage == 1 ? "第一段警報" : "第二段警報",
                         "線量率 " + singleText(dose) + " µSv/h が" + (stage == 1 ? "第一段" : "第二段") +
                             "警報上限値 " + singleText(limit) + " µSv/h を超えました。");
    }

private:
    DesktopNotifier& notifier_;
};

std::unique_ptr<TrayIcon> trayFor(Form1& window, HistoryOpener& history) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return nullptr;
    auto tray = std::make_unique<TrayIcon>([&window] {
        return std::pair{toSingle(window.text(Setting::Alarm1Limit)), toSingle(window.text(Setting::Alarm2Limit))};
    });
    QObject::connect(tray.get(), &TrayIcon::showWindowRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(tray.get(), &TrayIcon::historyRequested, &window, [&history] { history.open(); });
    QObject::connect(tray.get(), &TrayIcon::quitRequested, &window, &QWidget::close);
    tray->show();
    return tray;
}

// What only the saved file says: the stages ticked or not, and its bad lines.
void applySavedSettings(Form1& window, const WindowStart& start) {
    for (std::size_t stage = 0; stage < start.alarmTicked.size(); ++stage)
        if (const auto ticked = start.alarmTicked[stage])
            window.setChecked(switchRow(stage == 0 ? Switch::Alarm1 : Switch::Alarm2).check, *ticked);
    for (const std::string& line : start.badLines) std::fprintf(stderr, "ravelin: %s\n", line.c_str());
    if (start.badLines.empty()) return;
    // "FILE:LINE: why": the place and the reason of the first line not used.
    const std::string& first = start.badLines.front();
    const auto colon = first.find(": ", start.path.size());
    window.setProblem(Problem{ProblemKey::SavedSettingsLine, {}, first.substr(0, colon),
                              colon == std::string::npos ? std::string{} : first.substr(colon + 2)});
}
}  // namespace

void applyOptions(Form1& window, const Options& o) {
    auto put = [&window](Box box, const std::optional<std::string>& value) {
        if (value) window.box(box)->setText(QString::fromStdString(*value));
    };
    for (const auto& row : kSettingTable) put(row.box, settingOption(o, row.setting));
    for (const auto& row : kSwitchTable)
        if (const auto ticked = switchOption(o, row.which)) window.setChecked(row.check, *ticked);
    if (const auto folder = logFolderOption(o)) window.setText(Readout::LogFile, *folder + "μSVHData_nnnntthh.csv");
}

bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool needsDisplay = platform == nullptr || *platform == '\0' || std::strncmp(platform, "xcb", 3) == 0 ||
                              std::strncmp(platform, "wayland", 7) == 0;
    const auto isSet = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return !needsDisplay || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

bool displayOrSay(const char* advice) {
    // Without a display the window system would abort the program; say what to do instead.
    if (hasDisplay()) return true;
    std::fprintf(stderr,
                 "ravelin: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set);\n"
                 "%s\n",
                 advice);
    return false;
}

void prepareApplication(QApplication& app) {
    std::setlocale(LC_NUMERIC, "C");
    app.setApplicationName("ravelin");
    if (!installQtJapanese())
        std::fprintf(stderr, "ravelin: Qt's Japanese translations are missing (package qt6-translations-l10n)\n");
}

int runGui(int& argc, char** argv, const Options&) {
    if (!displayOrSay("use --headless to monitor without a window")) return 1;
    // The saved settings come before the command line's, which wins.
    const std::vector<std::string> arguments(argv, argv + argc);
    const ParseResult commandLine = parseArguments(arguments);
    const WindowStart start = windowStart(arguments, commandLine);
    const Options& options = start.parsed.options;
    QApplication app(argc, argv);
    prepareApplication(app);

    auto first = captureDeviceFor(options);
    if (!first) return 2;
    SwitchableDevice device(std::move(first));

    auto dialogs = createQtDialogs();
    Form1 window(*dialogs);
    auto player = createSoundPlayer(window);
    DisplayWindows displays;
    Assembly assembly(options, window, window, device, *player, &displays);
    Monitor& monitor = assembly.monitor();
    window.attach(Form1::Services{&monitor, player.get(), &displays});
    applyOptions(window, options);
    applySavedSettings(window, start);
    std::string stationError;
    if (!assembly.startStation(stationError)) {
        std::fprintf(stderr, "ravelin: %s\n", stationError.c_str());
        return 2;
    }

    // The trend and waveform windows must not keep the program alive.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &Form1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    StopSignals stopSignals([&window] { window.closeFromSignal(); });

    const auto history = attachHistoryShortcut(window, monitor.state());
    WindowSettings settings(window, monitor, device, *history, options, commandLine.options, start.path);
    const auto tray = trayFor(window, *history);
    const auto notifier = createDesktopNotifier();
    AlarmNotification alarmNotification(*notifier);
    // Both leave the pipeline before they go, as the station's observers do.
    const ObserverGuard trayObserving(monitor.pipeline(), tray.get());
    const ObserverGuard notifying(monitor.pipeline(), &alarmNotification);
    monitor.load();
    window.show();
    if (options.start) QTimer::singleShot(0, &window, [&window] { window.button("cmdRec")->click(); });
    std::unique_ptr<WindowCalibration> calibration;
    if (options.calibrate) {
        calibration = std::make_unique<WindowCalibration>(window, captureDeviceFor(calibrationOptions(options)), options);
        QTimer::singleShot(0, &window, [&calibration] { calibration->start(); });
    }
    app.exec();
    return window.exitStatus();
}

}  // namespace ravelin
