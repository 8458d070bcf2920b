#include "app/gui.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/assembly.h"
#include "app/calibrate_window.h"
#include "app/history.h"
#include "app/source.h"
#include "control/monitor.h"
#include "platform/dialogs.h"
#include "platform/sound.h"
#include "platform/stop_signals.h"
#include "ui/display_windows.h"
#include "ui/form1.h"
#include "ui/qt_japanese.h"

namespace ravelin {
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

int runGui(int& argc, char** argv, const Options& options) {
    if (!displayOrSay("use --headless to monitor without a window")) return 1;
    QApplication app(argc, argv);
    prepareApplication(app);

    auto device = captureDeviceFor(options);
    if (!device) return 2;

    auto dialogs = createQtDialogs();
    Form1 window(*dialogs);
    auto player = createSoundPlayer(window);
    DisplayWindows displays;
    Assembly assembly(options, window, window, *device, *player, &displays);
    Monitor& monitor = assembly.monitor();
    window.attach(Form1::Services{&monitor, player.get(), &displays});
    applyOptions(window, options);
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
