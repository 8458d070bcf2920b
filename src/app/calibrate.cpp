#include "app/calibrate.h"

#include <QCoreApplication>
#include <cstdio>
#include <span>

#include "app/source.h"
#include "platform/stop_signals.h"

namespace ravelin {
namespace {
constexpr long long kProgressEvery = 10;  // seconds between progress lines in the terminal

bool isRecording(const Options& o) { return isRecordingInput(o.input); }
bool isLive(const Options& o) { return !o.input || *o.input == "audio" || o.input->rfind("audio:", 0) == 0; }
}  // namespace

Listening listeningFor(const Options& o) {
    Listening l;
    l.seconds = o.seconds;
    l.untilEnough = !o.seconds && !isRecording(o);
    l.rateAdjustable = isLive(o);
    return l;
}

CalibrationRun::CalibrationRun(CaptureDevice& device, Listening listening)
    : device_(device), listening_(listening) {
    device_.setEvents(this);
}

CalibrationRun::~CalibrationRun() {
    if (!ended_) {
        device_.Stop();
        device_.Close();
    }
    device_.setEvents(nullptr);
}

bool CalibrationRun::start(std::string& error) {
    try {
        device_.Open();
        calibrator_ = std::make_unique<Calibrator>(device_.BufferSize(), listening_.rateAdjustable);
        buffer_.assign(static_cast<std::size_t>(device_.BufferSize()), 0);
        for (std::int16_t i = 0; i < device_.BufferCount(); ++i) device_.QueueBuffer(i);
        device_.Start();
    } catch (const CaptureError& e) {
        device_.Close();
        ended_ = true;
        error = e.what();
        return false;
    }
    return true;
}

void CalibrationRun::stop() {
    stopping_ = true;
    device_.Stop();
}

CalibrationResult CalibrationRun::result() const {
    return calibrator_ ? calibrator_->finish() : Calibrator(0).finish();
}

void CalibrationRun::BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) {
    if (stopping_ || byteCount <= 0) return;
    const auto n = std::min(static_cast<std::size_t>(byteCount), buffer_.size());
    device_.GetBufferData(buffer_, index, static_cast<std::int32_t>(n));
    calibrator_->addBuffer(std::span<const std::uint8_t>(buffer_.data(), n));
    if (stopFlag == 0) device_.QueueBuffer(index);
    ++seconds_;
    if (onSecond) onSecond(seconds_);
    if ((listening_.seconds && seconds_ >= *listening_.seconds) || heardEnough()) stop();
}

bool CalibrationRun::heardEnough() const {
    if (!listening_.untilEnough) return false;
    return seconds_ >= kMostListen || (seconds_ >= kLeastListen && calibrator_->pulsesSoFar() >= kEnoughPulses);
}

void CalibrationRun::StateChanged() {
    if (ended_ || device_.IsRecording()) return;
    failure_ = device_.failure();
    device_.Close();
    ended_ = true;
    if (onEnd) onEnd();
}

Options calibrationOptions(const Options& options) {
    Options o = options;
    if (isRecording(o)) o.fast = true;
    return o;
}

std::string listeningProgress(const CalibrationRun& run, std::int64_t seconds) {
    return std::to_string(seconds) + " s, " + std::to_string(run.pulsesSoFar()) + " pulses so far";
}

int runCalibration(const Options& given) {
    const Options options = calibrationOptions(given);
    auto device = captureDeviceFor(options);
    if (!device) return 2;
    CalibrationRun run(*device, listeningFor(options));
    run.onEnd = [] { QCoreApplication::exit(0); };
    const bool tell = !isRecording(options) && !options.fast;
    if (tell)
        run.onSecond = [&run](std::int64_t seconds) {
            if (seconds % kProgressEvery == 0) std::fprintf(stderr, "ravelin: %s\n", listeningProgress(run, seconds).c_str());
        };
    std::string error;
    if (!run.start(error)) {
        std::fprintf(stderr, "ravelin: %s\n", error.c_str());
        return 1;
    }
    if (tell && options.seconds)
        std::fprintf(stderr, "ravelin: listening for %lld s ...\n", *options.seconds);
    else if (tell)
        std::fprintf(stderr, "ravelin: listening until %lld pulses are heard (%lld s at least, %lld s at most) ...\n",
                     static_cast<long long>(kEnoughPulses), kLeastListen, kMostListen);
    // A signal ends the listening early; what was heard is still analysed.
    StopSignals stopSignals([&run] { run.stop(); });
    if (!run.ended()) QCoreApplication::exec();
    if (!run.failure().empty()) {
        std::fprintf(stderr, "ravelin: %s\n", run.failure().c_str());
        return 1;
    }
    const CalibrationResult result = run.result();
    std::fputs(explanationEn(result, options.invert).c_str(), stderr);
    if (!result.found) return 1;
    std::printf("%s\n", proposalLine(result, options.invert).c_str());
    return 0;
}

}  // namespace ravelin
