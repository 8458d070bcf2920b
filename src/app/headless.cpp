#include "app/headless.h"

#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "app/assembly.h"
#include "app/service.h"
#include "app/settings_check.h"
#include "app/source.h"
#include "control/monitor.h"
#include "engine/convert.h"
#include "platform/journal_prefix.h"
#include "platform/sound.h"
#include "platform/stop_signals.h"

namespace ravelin {
namespace {

// Writes and flushes one line of readouts. False, after saying why on stderr, when it
// cannot be written (a reader that went away, a full disk).
bool writeReadoutLine(const std::string& line) {
    if (std::fputs(line.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return true;
    say(Priority::Error, std::string("cannot write the readouts to standard output: ") + std::strerror(errno));
    return false;
}

// The headless face: boxes are the command-line values, readouts go to stdout.
class HeadlessFace : public MonitorFace, public ControlFace, public PipelineObserver {
public:
    explicit HeadlessFace(const Options& o) : stats_(o.stats) {
        for (const auto& row : kSettingTable)
            texts_[row.box] = settingOption(o, row.setting).value_or(std::string(row.defaultText));
        for (const auto& row : kSwitchTable) checks_[row.check] = switchOption(o, row.which).value_or(row.onAtLoad);
    }

    void setMonitor(Monitor* monitor) { monitor_ = monitor; }

    using MonitorFace::isChecked;
    using MonitorFace::setText;
    using MonitorFace::text;
    std::string text(Box box) const override {
        const auto it = texts_.find(box);
        return it == texts_.end() ? std::string{} : it->second;
    }
    void setText(Box box, const std::string& text) override { texts_[box] = text; }
    bool isChecked(Check check) const override {
        const auto it = checks_.find(check);
        return it != checks_.end() && it->second;
    }
    void setProblem(const Problem& problem) override {
        // Said once, and again only when it changes.
        const std::string sentence = problemSentenceEn(problem);
        auto& said = problems_[problem.key];
        if (said == sentence) return;
        said = sentence;
        const bool serious = isCaptureProblem(problem.key) || problem.key == ProblemKey::UnwrittenRecords;
        say(serious ? Priority::Error : Priority::Warning, sentence);
        if (isCaptureProblem(problem.key)) captureFailed_ = true;
    }
    void clearProblem(ProblemKey key) override { problems_.erase(key); }

    void captureStateChanged(bool recording) override {
        if (!recording) QCoreApplication::exit(0);
    }
    void showMessage(const std::string& text) override {
        say(Priority::Notice, text);
    }

    void secondDone(const SecondReport& r) override {
        if (outputFailed_) return;
        std::string line = integerText(r.seconds) + "," + integerText(r.total) + "," + cpmText(r) + "," +
                           doseText(r) + "," + integerText(r.alarmLatch1) + "," + integerText(r.alarmLatch2);
        if (stats_) {
            const ReadingIntervalTexts i = intervalTexts(r.interval);
            line += "," + i.cpmLow + "," + i.cpmHigh + "," + i.doseLow + "," + i.doseHigh;
        }
        if (!writeReadoutLine(line + "\n")) {
            // Nobody reads the readouts any more: a clean stop, so that the log and the
            // scratch file are dealt with as at any stop.
            outputFailed_ = true;
            if (monitor_) monitor_->stop();
        }
    }
    void alarmFired(int stage, float dose, float limit) override {
        say(Priority::Warning, "alarm stage " + integerText(stage) + ": " + singleText(dose) +
                                   " µSv/h is above the limit " + singleText(limit) + " µSv/h");
    }

    bool captureFailed() const { return captureFailed_; }
    bool outputFailed() const { return outputFailed_; }

private:
    std::map<Box, std::string> texts_;
    std::map<Check, bool> checks_;
    std::map<ProblemKey, std::string> problems_;
    bool stats_;
    Monitor* monitor_ = nullptr;
    bool captureFailed_ = false;
    bool outputFailed_ = false;
};

class NoStagePlayer : public SoundPlayer {
public:
    void playLoop(int, const std::string&) override {}
    void stop() override {}
};

}  // namespace

int runHeadless(const Options& options) {
    // A reader that goes away is an error on the write, handled below, not a signal that
    // would end the program before the log is dealt with.
    std::signal(SIGPIPE, SIG_IGN);
    if (const std::string error = checkHeadlessSettings(options); !error.empty()) {
        say(Priority::Error, error);
        return 2;
    }
    auto device = captureDeviceFor(options);
    if (!device) return 2;

    HeadlessFace face(options);
    // Without --alarm1 or --alarm2 no stage is ticked and nothing can sound: the audio
    // output is not even opened, which keeps a replay's start-up short.
    std::unique_ptr<SoundPlayer> player;
    if (settingOption(options, Setting::Alarm1Limit) || settingOption(options, Setting::Alarm2Limit))
        player = createSoundPlayer(face);
    else
        player = std::make_unique<NoStagePlayer>();
    // The face's line comes before the --seconds stop.
    Assembly assembly(options, face, face, *device, *player, nullptr, &face);
    Monitor& monitor = assembly.monitor();
    face.setMonitor(&monitor);
    std::string stationError;
    if (!assembly.startStation(stationError)) {
        say(Priority::Error, stationError);
        return 2;
    }

    // Under systemd: ready at the first buffer, a status a minute, the watchdog while buffers come.
    const auto service = startServiceLink(monitor);
    StopSignals stopSignals([&monitor] { monitor.stop(); });

    const char* statsColumns = options.stats ? ",cpm_low,cpm_high,usv_h_low,usv_h_high" : "";
    if (!writeReadoutLine(std::string("seconds,total,cpm,usv_h,alarm1,alarm2") + statsColumns + "\n")) return 1;
    monitor.load();
    int status = 0;
    if (!monitor.start()) {
        status = 1;
    } else {
        QCoreApplication::exec();
        if (face.captureFailed() || face.outputFailed()) status = 1;
    }
    if (!assembly.unload()) status = 3;
    return status;
}

}  // namespace ravelin
