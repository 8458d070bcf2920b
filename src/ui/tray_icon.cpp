#include "ui/tray_icon.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace ravelin {

TrayLevel trayLevel(std::optional<float> dose, std::optional<float> limit1, std::optional<float> limit2) {
    if (!dose) return TrayLevel::NoDose;
    if (limit2 && *dose >= *limit2) return TrayLevel::OverLimit2;
    if (limit1 && *dose >= *limit1) return TrayLevel::OverLimit1;
    return TrayLevel::Below;
}

std::string trayToolTip(const std::string& doseText) {
    if (doseText.empty()) return "Ravelin — 線量率はまだありません";
    return "Ravelin — " + doseText + " µSv/h";
}

TrayIcon::TrayIcon(std::function<std::pair<std::optional<float>, std::optional<float>>()> limits, QObject* parent)
    : QObject(parent), limits_(std::move(limits)), menu_(std::make_unique<QMenu>()) {
    icon_ = new QSystemTrayIcon(this);
    icon_->setObjectName("RavelinTray");
    menu_->addAction(QStringLiteral("ウィンドウを表示"), this, &TrayIcon::showWindowRequested);
    menu_->addAction(QStringLiteral("線量率の履歴"), this, &TrayIcon::historyRequested);
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("終了"), this, &TrayIcon::quitRequested);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) emit showWindowRequested();
    });
    icon_->setToolTip(QString::fromStdString(trayToolTip({})));
    paint(TrayLevel::NoDose);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show() { icon_->show(); }

QString TrayIcon::toolTip() const { return icon_->toolTip(); }

void TrayIcon::secondDone(const SecondReport& report) {
    icon_->setToolTip(QString::fromStdString(trayToolTip(doseText(report))));
    const auto [limit1, limit2] = limits_();
    paint(trayLevel(report.doseUsable ? std::optional(report.dose) : std::nullopt, limit1, limit2));
}

void TrayIcon::paint(TrayLevel level) {
    if (painted_ && level == level_) return;
    level_ = level;
    painted_ = true;
    QColor fill;
    switch (level) {
        case TrayLevel::NoDose: fill = QColor(150, 150, 150); break;
        case TrayLevel::Below: fill = QColor(40, 160, 60); break;
        case TrayLevel::OverLimit1: fill = QColor(240, 170, 0); break;
        case TrayLevel::OverLimit2: fill = QColor(220, 0, 0); break;
    }
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(fill);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.end();
    icon_->setIcon(QIcon(pixmap));
}

}  // namespace ravelin
