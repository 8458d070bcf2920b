#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace ravelin {

// Turns SIGINT and SIGTERM into a call on the event loop, so a signal stops the
// monitor the normal way instead of killing it mid-record.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(std::function<void()> onSignal);
    ~StopSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ravelin
