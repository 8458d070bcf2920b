#include "app/history.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/gui.h"
#include "app/window_config.h"
#include "engine/convert.h"
#include "engine/setting_table.h"
#include "history/history_summary.h"
#include "platform/log_folder.h"
#include "ui/form1.h"
#include "ui/history_paint.h"
#include "ui/history_window.h"

namespace ravelin {

namespace {

// The limit boxes' own defaults, for a box that does not convert.
const double kDefaultAlarm1 = *toDouble(settingRow(Setting::Alarm1Limit).defaultText);
const double kDefaultAlarm2 = *toDouble(settingRow(Setting::Alarm2Limit).defaultText);

double limitOr(const std::string& text, double fallback) { return toDouble(text).value_or(fallback); }

bool limitsFrom(const Options& o, HistoryLimits& limits) {
    limits = {kDefaultAlarm1, kDefaultAlarm2};
    for (const auto& [name, text, limit] : {std::tuple{"--alarm1", &settingOption(o, Setting::Alarm1Limit), &limits.alarm1},
                                           std::tuple{"--alarm2", &settingOption(o, Setting::Alarm2Limit), &limits.alarm2}}) {
        if (!*text) continue;
        *limit = toDouble(**text);
        if (!*limit) {
            std::fprintf(stderr, "ravelin: %s: \"%s\" is not a number\n", name, (*text)->c_str());
            return false;
        }
    }
    return true;
}

// Reads every log of the folder once; false (said on stderr) when it cannot be listed.
bool readAll(HistoryLog& log) {
    std::string error;
    if (log.refresh(error) < 0) {
        std::fprintf(stderr, "ravelin: cannot read the log folder %s\n", error.c_str());
        return false;
    }
    log.finish();
    const std::string skipped = skippedReport(log);
    std::size_t start = 0;
    for (std::size_t end; (end = skipped.find('\n', start)) != std::string::npos; start = end + 1)
        std::fprintf(stderr, "ravelin: skipped %s\n", skipped.substr(start, end - start).c_str());
    return true;
}

class ShortcutOpener : public QObject, public HistoryOpener {
public:
    ShortcutOpener(Form1& window, const MonitorState& state) : window_(window), state_(state) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), &window);
        connect(shortcut, &QShortcut::activated, this, [this] { open(); });
    }
    void open() override {
        if (!history_) {
            history_ = std::make_unique<HistoryWindow>(
                [this] {
                    const std::string& f = state_.SaveFolder;
                    return f.empty() ? std::string(".") : f.size() > 1 && f.back() == '/' ? f.substr(0, f.size() - 1) : f;
                },
                [this] {
                    return HistoryLimits{limitOr(window_.text(Setting::Alarm1Limit), kDefaultAlarm1),
                                         limitOr(window_.text(Setting::Alarm2Limit), kDefaultAlarm2)};
                });
        }
        history_->show();
        history_->raise();
    }

private:
    Form1& window_;
    const MonitorState& state_;
    std::unique_ptr<HistoryWindow> history_;
};

}  // namespace

std::unique_ptr<HistoryOpener> attachHistoryShortcut(Form1& window, const MonitorState& state) {
    return std::make_unique<ShortcutOpener>(window, state);
}

int runHistory(int& argc, char** argv, const Options& o) {
    // Without DIR, the folder the window saved, when it saved one.
    const std::string folder = o.historyFolder ? *o.historyFolder : savedLogFolder(o).value_or(".");
    HistoryLimits limits;
    if (!limitsFrom(o, limits)) return 2;
    if (o.summary) {
        PosixLogFolder files(folder);
        HistoryLog log(files);
        if (!readAll(log)) return 1;
        const std::string text = historySummary(log);
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (o.exportFile) {
        // Drawn without a window: no display is needed.
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QGuiApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        PosixLogFolder files(folder);
        HistoryLog log(files);
        if (!readAll(log)) return 1;
        HistoryPlotInput input;
        input.range = datesRange(log.records(), o.fromDay, o.toDay);
        input.alarm1 = limits.alarm1;
        input.alarm2 = limits.alarm2;
        std::string error;
        if (!exportHistory(log, input, *o.exportFile, error)) {
            std::fprintf(stderr, "ravelin: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (!displayOrSay("use --summary or --export to read the logs without a window")) return 1;
    QApplication app(argc, argv);
    prepareApplication(app);
    {
        PosixLogFolder probe(folder);
        std::vector<std::string> names;
        std::string error;
        if (!probe.list(names, error)) {
            std::fprintf(stderr, "ravelin: cannot read the log folder %s\n", error.c_str());
            return 1;
        }
    }
    HistoryWindow window([folder] { return folder; }, [limits] { return limits; });
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QCoreApplication::quit);
    window.setAttribute(Qt::WA_QuitOnClose, true);
    window.show();
    return app.exec();
}

}  // namespace ravelin
