#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "platform/desktop_notifier.h"

namespace ravelin {
namespace {

class DBusNotifier : public DesktopNotifier {
public:
    void notify(const std::string& summary, const std::string& body) override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        // An alarm is critical: it stays until the person dismisses it.
        const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(2))},
                                {QStringLiteral("category"), QStringLiteral("device")}};
        call << QStringLiteral("Ravelin") << static_cast<uint>(0) << QStringLiteral("ravelin")
             << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList() << hints
             << static_cast<int>(-1);
        bus.send(call);
    }
};

}  // namespace

std::unique_ptr<DesktopNotifier> createDesktopNotifier() { return std::make_unique<DBusNotifier>(); }

}  // namespace ravelin
