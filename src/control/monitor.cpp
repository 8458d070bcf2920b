#include "control/monitor.h"

#include <algorithm>


namespace ravelin {

Monitor::Monitor(MonitorFace& face, ControlFace& control, MonitorServices services)
    : face_(face),
      control_(control),
      services_(services),
      settings_(face),
      log_(services.files),
      alarms_(state_, face, settings_, services.player),
      pipeline_(state_, face, settings_, services.device, log_, services.clock, alarms_, services.displays) {
    services_.device.setEvents(this);
}

Monitor::~Monitor() { services_.device.setEvents(nullptr); }

void Monitor::load() {
    if (state_.scratchFileNumber != 0) return;
    std::string error;
    if (services_.files.holdOpen(state_.scratchFilePath, error)) {
        state_.scratchFileNumber = 1;
        face_.clearProblem(ProblemKey::ScratchFile);
    } else {
        face_.setProblem(Problem{ProblemKey::ScratchFile, {}, state_.scratchFilePath, error});
    }
}

bool Monitor::start() {
    face_.setText(Readout::Seconds, "0");
    face_.setText(Readout::Total, "0");
    state_.TotalCount = 0;
    state_.ElapsedSeconds = 0;
    state_.TestDone = 0;

    // A negative sensitivity would give negative doses and a zero one no dose at all.
    if (const auto verdict = checkSensitivity(face_.text(Setting::Sensitivity)); verdict != SensitivityVerdict::Usable) {
        control_.showMessage(verdict == SensitivityVerdict::Empty ? kNoSensitivityMessage : kBadSensitivityMessage);
        return false;
    }
    settings_.readSensitivity();  // this run's first good value

    auto& device = services_.device;
    try {
        device.Open();
    } catch (const CaptureError& e) {
        reportCaptureError(e);
        return false;
    }
    const std::int32_t size = device.BufferSize();
    state_.SampleBuffer.assign(static_cast<std::size_t>(std::max<std::int32_t>(size, 0)), 0);
    const std::int16_t count = device.BufferCount();
    for (std::int16_t i = 0; i < count; ++i) device.QueueBuffer(i);
    try {
        device.Start();
    } catch (const CaptureError& e) {
        reportCaptureError(e);
        device.Close();
        return false;
    }
    // A cut line found in the log is shown until the next run starts.
    for (auto key : {ProblemKey::CaptureNoInput, ProblemKey::CaptureLost, ProblemKey::CaptureUnreadable,
                     ProblemKey::LogLineCut})
        face_.clearProblem(key);
    return true;
}

void Monitor::reportCaptureError(const CaptureError& e) {
    const auto key = e.kind() == CaptureError::Kind::Unreadable ? ProblemKey::CaptureUnreadable : ProblemKey::CaptureNoInput;
    face_.setProblem(Problem{key, {}, e.what(), {}});
}

void Monitor::stop() { services_.device.Stop(); }

void Monitor::stopAlarm(int stage) { alarms_.stopStage(stage); }

bool Monitor::retryLog() {
    const bool done = log_.retry();
    pipeline_.reportLog();
    return done;
}

bool Monitor::unload() {
    services_.device.Stop();
    services_.device.Close();
    const bool written = retryLog();
    if (state_.scratchFileNumber != 0) {
        services_.files.release(state_.scratchFilePath);
        state_.scratchFileNumber = 0;
    }
    if (services_.files.exists(state_.scratchFilePath)) services_.files.remove(state_.scratchFilePath);
    return written;
}

void Monitor::BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) {
    pipeline_.BufferDone(index, byteCount, stopFlag);
}

void Monitor::StateChanged() {
    auto& device = services_.device;
    const bool recording = device.IsRecording();
    if (!recording) {
        device.Close();
        const std::string failure = device.failure();
        if (!failure.empty()) face_.setProblem(Problem{ProblemKey::CaptureLost, {}, failure, {}});
        if (!log_.pending().empty()) retryLog();
    }
    control_.captureStateChanged(recording);
}

}  // namespace ravelin
