#pragma once
// Desktop notifications through the freedesktop notification service on the
// session bus.

#include <QString>

class QDBusConnection;

namespace tarn::platform {

// Shows a notification with the title and body; false when no notification
// service answered, so the caller can fall back to a tray message. Waits at
// most a short moment for the service.
bool ShowNotification(const QString& title, const QString& body);

// The same over a given bus connection.
bool ShowNotification(QDBusConnection& bus, const QString& title, const QString& body);

} // namespace tarn::platform
