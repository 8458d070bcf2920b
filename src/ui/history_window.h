// 「線量率の履歴」: the dose rate of the CSV logs of a folder against local time, with
// ranges, zoom, pan and the record under the pointer; it follows appended records.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "history/history_view.h"

class QLabel;
class QPushButton;
class QTimer;

namespace ravelin {

class HistoryCanvas;
class PosixLogFolder;

struct HistoryLimits {
    std::optional<double> alarm1, alarm2;
};

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // `folder` names the log folder now (asked at every look for new records); `limits`
    // gives the alarm limits to draw.
    HistoryWindow(std::function<std::string()> folder, std::function<HistoryLimits()> limits,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads what was appended (or the new folder's files) and redraws.
    void refresh();
    void showSpan(HistorySpan span);
    HistoryCanvas* canvas() const { return canvas_; }
    const HistoryLog* log() const { return log_.get(); }
    QString statusText() const;

private:
    std::function<std::string()> folderNow_;
    std::function<HistoryLimits()> limits_;
    std::unique_ptr<PosixLogFolder> folder_;
    std::unique_ptr<HistoryLog> log_;
    std::string error_;
    HistoryCanvas* canvas_;
    QLabel* status_;
    QPushButton* spans_[4];
    QTimer* timer_;
};

}  // namespace ravelin
