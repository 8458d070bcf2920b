// --calibrate in the window: listens while the main window shows, then puts the
// proposal into しきい値, 不感帯 and 分解能 and shows the result view (the reasons and
// the counting plateau).
#pragma once

#include <functional>
#include <memory>

#include "app/calibrate.h"

namespace ravelin {

class Form1;
class CalibrationView;

class WindowCalibration {
public:
    // `device` is the assistant's own, opened only while it listens; capture is not started.
    WindowCalibration(Form1& window, std::unique_ptr<CaptureDevice> device, const Options& options);
    ~WindowCalibration();

    // Starts listening; the progress goes on the status line under the designed area.
    void start();
    bool done() const { return done_; }
    // The result view once the assistant has finished with a result; nullptr before.
    CalibrationView* view() const { return view_.get(); }

    // When set, the result goes here instead of into the boxes and a message box (the
    // 設定 window shows it and lets the person accept it). `invertGiven`: the samples were inverted.
    std::function<void(const CalibrationResult& result, bool invertGiven)> onResult;
    // After the run, whatever its end.
    std::function<void()> onDone;

private:
    void finish();
    void end();

    Form1& window_;
    std::unique_ptr<CaptureDevice> device_;
    Options options_;
    std::unique_ptr<CalibrationRun> run_;
    bool done_ = false;
    std::unique_ptr<CalibrationView> view_;
};

}  // namespace ravelin
