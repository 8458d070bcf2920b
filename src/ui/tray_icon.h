// The tray icon, where the desktop has a tray: the dose rate in its tooltip, its colour
// by the two alarm limits, and a menu to show the window, open the history or quit.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/pipeline.h"

class QMenu;
class QSystemTrayIcon;

namespace ravelin {

// What the icon's colour says.
enum class TrayLevel { NoDose, Below, OverLimit1, OverLimit2 };

// A dose at or above a limit is over it; a limit that does not convert is left out.
TrayLevel trayLevel(std::optional<float> dose, std::optional<float> limit1, std::optional<float> limit2);

// The tooltip: the dose as the readout shows it, or that no dose has been made yet.
std::string trayToolTip(const std::string& doseText);

class TrayIcon : public QObject, public PipelineObserver {
    Q_OBJECT
public:
    // `limits` reads the two limits' boxes now.
    explicit TrayIcon(std::function<std::pair<std::optional<float>, std::optional<float>>()> limits,
                      QObject* parent = nullptr);
    ~TrayIcon() override;

    void show();
    QString toolTip() const;
    TrayLevel level() const { return level_; }

    void secondDone(const SecondReport& report) override;

signals:
    void showWindowRequested();
    void historyRequested();
    void quitRequested();

private:
    void paint(TrayLevel level);

    std::function<std::pair<std::optional<float>, std::optional<float>>()> limits_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
    TrayLevel level_ = TrayLevel::NoDose;
    bool painted_ = false;
};

}  // namespace ravelin
