#include "platform/Notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tarn::platform {
namespace {

constexpr int kCallTimeoutMs = 1500;

} // namespace

bool ShowNotification(QDBusConnection& bus, const QString& title, const QString& body) {
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
    call << QStringLiteral("TARN") << 0u << QString() << title << body << QStringList()
         << QVariantMap() << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool ShowNotification(const QString& title, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return ShowNotification(bus, title, body);
}

} // namespace tarn::platform
