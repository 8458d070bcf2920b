#include "app/calibrate_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <cstdio>

#include "engine/convert.h"
#include "ui/calibration_view.h"
#include "ui/form1.h"

namespace ravelin {

WindowCalibration::WindowCalibration(Form1& window, std::unique_ptr<CaptureDevice> device, const Options& options)
    : window_(window), device_(std::move(device)), options_(calibrationOptions(options)) {}

WindowCalibration::~WindowCalibration() = default;

void WindowCalibration::start() {
    run_ = std::make_unique<CalibrationRun>(*device_, listeningFor(options_));
    const std::string total = options_.seconds ? "／" + integerText(*options_.seconds) : std::string{};
    run_->onSecond = [this, total](std::int64_t seconds) {
        std::string text = "入力を調べています… " + integerText(seconds) + total + "秒";
        if (run_->listening().untilEnough)
            text += "、パルス" + integerText(run_->pulsesSoFar()) + "／" + integerText(kEnoughPulses) + "個";
        window_.statusLabel()->setText(QString::fromStdString(text));
    };
    // The message box is not opened from inside the device's event.
    run_->onEnd = [this] { QMetaObject::invokeMethod(&window_, [this] { finish(); }, Qt::QueuedConnection); };
    window_.button("cmdRec")->setEnabled(false);
    window_.statusLabel()->setText(QString::fromUtf8("入力を調べています…"));
    std::string error;
    if (!run_->start(error)) {
        window_.button("cmdRec")->setEnabled(true);
        window_.statusLabel()->clear();
        done_ = true;
        std::fprintf(stderr, "ravelin: %s\n", error.c_str());
        window_.showMessage("入力を開けないため、設定を調べられません（" + error + "）。");
        if (onDone) onDone();
    }
}

void WindowCalibration::end() {
    if (onDone) onDone();
}

void WindowCalibration::finish() {
    done_ = true;
    window_.button("cmdRec")->setEnabled(true);
    window_.statusLabel()->clear();
    if (!run_->failure().empty()) {
        std::fprintf(stderr, "ravelin: %s\n", run_->failure().c_str());
        window_.showMessage("入力が途切れたため、設定を調べられません（" + run_->failure() + "）。");
        end();
        return;
    }
    const CalibrationResult result = run_->result();
    std::fputs(explanationEn(result, options_.invert).c_str(), stderr);
    if (onResult) {
        onResult(result, options_.invert);
        end();
        return;
    }
    if (result.found) {
        std::printf("%s\n", proposalLine(result, options_.invert).c_str());
        std::fflush(stdout);
        window_.setText(settingRow(Setting::Threshold).box, integerText(result.threshold));
        window_.setText(settingRow(Setting::DeadBand).box, integerText(result.deadBand));
        window_.setText(settingRow(Setting::Skip).box, integerText(result.skip));
    }
    // A window of its own beside the main window, which it must not keep alive.
    view_ = std::make_unique<CalibrationView>(result, options_.invert, nullptr, false);
    view_->setAttribute(Qt::WA_QuitOnClose, false);
    view_->show();
    end();
}

}  // namespace ravelin
