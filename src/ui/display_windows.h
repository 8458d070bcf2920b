// The waveform monitor and the trend graph windows behind the pipeline's Displays.
#pragma once

#include <memory>

#include "engine/displays.h"

class QWidget;

namespace ravelin {

class DisplayWindows : public Displays {
public:
    DisplayWindows();
    ~DisplayWindows() override;

    void drawSnapshot(std::span<const std::uint8_t> samples, const SnapshotLevels& levels) override;
    bool redrawTrend(const TrendInputs& inputs) override;

    // Shut-down: the waveform window, and with it the trend graph window.
    void closeAll();

    // The windows, once created (for tests and screenshots); nullptr before.
    QWidget* waveformWindow() const;
    QWidget* trendWindow() const;

private:
    struct Data;
    std::unique_ptr<Data> d_;
};

}  // namespace ravelin
