#include "app/calibrate.h"

#include <QCoreApplication>
#include <cstdio>
#include <span>

#include "app/source.h"
#include "platform/stop_signals.h"

namespace ravelin {
namespace {
constexpr long long kListenSeconds = 30;

bool isRecording(const Options& o) { return o.input && o.input->rfind("file:", 0) == 0; }
}  // namespace

CalibrationRun::CalibrationRun(CaptureDevice& device, std::optional<long long> seconds)
    : device_(device), limit_(seconds) {
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
        calibrator_ = std::make_unique<Calibrator>(device_.BufferSize());
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
    if (limit_ && seconds_ >= *limit_) stop();
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
    if (isRecording(o)) {
        o.fast = true;
    } else if (!o.seconds) {
        o.seconds = kListenSeconds;
    }
    return o;
}

int runCalibration(const Options& given) {
    const Options options = calibrationOptions(given);
    auto device = captureDeviceFor(options);
    if (!device) return 2;
    CalibrationRun run(*device, options.seconds);
    run.onEnd = [] { QCoreApplication::exit(0); };
    std::string error;
    if (!run.start(error)) {
        std::fprintf(stderr, "ravelin: %s\n", error.c_str());
        return 1;
    }
    if (!isRecording(options) && !options.fast)
        std::fprintf(stderr, "ravelin: listening for %lld s ...\n", *options.seconds);
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
