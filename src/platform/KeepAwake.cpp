#include "platform/KeepAwake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariant>

#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace tarn::platform {
namespace {

// A blocked or absent logind must not stall the user interface.
constexpr int kCallTimeoutMs = 1500;

std::mutex gMutex;
int gInhibitFd = -1; // the inhibitor lock; logind releases it when it is closed

int requestInhibitor(QDBusConnection& bus) {
    if (!bus.isConnected())
        return -1;
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return -1;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("TARN")
         << QStringLiteral("Keeping the computer awake while TARN is running")
         << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return -1;
    const QVariant arg = reply.arguments().constFirst();
    if (arg.metaType() != QMetaType::fromType<QDBusUnixFileDescriptor>())
        return -1;
    const auto received = arg.value<QDBusUnixFileDescriptor>();
    if (!received.isValid())
        return -1;
    // The reply owns its copy; keep one of our own that lives until released.
    return ::fcntl(received.fileDescriptor(), F_DUPFD_CLOEXEC, 3);
}

void releaseLocked() {
    if (gInhibitFd >= 0)
        ::close(gInhibitFd);
    gInhibitFd = -1;
}

} // namespace

bool SetKeepAwake(QDBusConnection& bus, bool on) {
    std::lock_guard lock(gMutex);
    if (!on) {
        releaseLocked();
        return true;
    }
    if (gInhibitFd < 0)
        gInhibitFd = requestInhibitor(bus);
    return gInhibitFd >= 0;
}

bool SetKeepAwake(bool on) {
    if (!on) {
        // Releasing needs no bus, so it also works while the program's
        // statics are finalised, after the bus connection is gone.
        std::lock_guard lock(gMutex);
        releaseLocked();
        return true;
    }
    if (KeepAwakeHeld())
        return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    return SetKeepAwake(bus, true);
}

bool KeepAwakeHeld() {
    std::lock_guard lock(gMutex);
    return gInhibitFd >= 0;
}

} // namespace tarn::platform
