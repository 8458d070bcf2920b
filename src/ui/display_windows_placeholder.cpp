// Until the windows exist they draw nothing.
#include "ui/display_windows.h"

namespace ravelin {
struct DisplayWindows::Data {};
DisplayWindows::DisplayWindows() = default;
DisplayWindows::~DisplayWindows() = default;
void DisplayWindows::drawSnapshot(std::span<const std::uint8_t>, const SnapshotLevels&) {}
bool DisplayWindows::redrawTrend(const TrendInputs&) { return true; }
void DisplayWindows::closeAll() {}
QWidget* DisplayWindows::waveformWindow() const { return nullptr; }
QWidget* DisplayWindows::trendWindow() const { return nullptr; }
}  // namespace ravelin
