// Keep-awake and notifications against stand-in services on a private bus
// (a dbus-daemon of our own), and without any bus at all.
#include "platform/KeepAwake.h"
#include "platform/Notifications.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QSemaphore>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>

#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace tarn::platform;

namespace {

// Qt's D-Bus connections run on a thread inside the uninstrumented Qt
// libraries, whose locking the thread sanitizer cannot see.
#if defined(__SANITIZE_THREAD__)
#define SKIP_UNDER_TSAN() GTEST_SKIP() << "Qt's D-Bus thread is not instrumented"
#else
#define SKIP_UNDER_TSAN() (void)0
#endif

// What the stand-in services were asked, written on the service thread.
struct Calls {
    std::mutex mutex;
    QList<QStringList> inhibit;
    QList<QVariantList> notify;
    int handOut = -1; // descriptor returned by Inhibit
};

} // namespace

class FakeLogin : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeLogin(Calls& calls) : calls_(calls) {}
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        std::lock_guard lock(calls_.mutex);
        calls_.inhibit.append({what, who, why, mode});
        return QDBusUnixFileDescriptor(calls_.handOut);
    }

private:
    Calls& calls_;
};

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(Calls& calls) : calls_(calls) {}
public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        std::lock_guard lock(calls_.mutex);
        calls_.notify.append(
            QVariantList{app, replaces, icon, summary, body, actions, hints.size(), timeout});
        return 7;
    }

private:
    Calls& calls_;
};

namespace {

// Serves both stand-ins from a thread of its own, so that a blocking call
// from the test's thread can be answered.
class ServiceThread : public QThread {
public:
    ServiceThread(QString address, Calls& calls) : address_(std::move(address)), calls_(calls) {}
    bool ok = false;
    QSemaphore ready;

protected:
    void run() override {
        const QString name = QStringLiteral("tarn-test-service");
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address_, name);
            FakeLogin login(calls_);
            FakeNotifications notifications(calls_);
            ok = bus.isConnected() &&
                 bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &login,
                                    QDBusConnection::ExportAllSlots) &&
                 bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
                 bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                    &notifications, QDBusConnection::ExportAllSlots) &&
                 bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
            ready.release();
            if (ok)
                exec();
        }
        QDBusConnection::disconnectFromBus(name);
    }

private:
    QString address_;
    Calls& calls_;
};

class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNDER_TSAN();
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(dir.isValid());
        address = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("bus"));
        // The daemon goes with this process, however the test ends.
        daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--nopidfile"), QStringLiteral("--print-address"),
                      QStringLiteral("--address=") + address});
        ASSERT_TRUE(daemon.waitForStarted());
        // The address is printed once the daemon listens.
        while (!daemon.canReadLine())
            ASSERT_TRUE(daemon.waitForReadyRead()) << "dbus-daemon did not start";
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("tarn-test-client")));
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override {
        SetKeepAwake(false);
        if (service) {
            service->quit();
            service->wait();
        }
        if (client) {
            client.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("tarn-test-client"));
        }
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished();
        }
    }
    void startServices() {
        service = std::make_unique<ServiceThread>(address, calls);
        service->start();
        service->ready.acquire();
        ASSERT_TRUE(service->ok);
    }

    QTemporaryDir dir;
    QString address;
    QProcess daemon;
    std::unique_ptr<QDBusConnection> client;
    Calls calls;
    std::unique_ptr<ServiceThread> service;
};

TEST_F(PrivateBus, KeepAwakeHoldsTheInhibitorUntilSwitchedOff) {
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    calls.handOut = pipeFds[1];
    startServices();

    ASSERT_TRUE(SetKeepAwake(*client, true));
    EXPECT_TRUE(KeepAwakeHeld());
    EXPECT_TRUE(SetKeepAwake(*client, true)); // already held: not asked again
    ::close(pipeFds[1]);
    {
        std::lock_guard lock(calls.mutex);
        ASSERT_EQ(calls.inhibit.size(), 1);
        const QStringList& args = calls.inhibit.front();
        EXPECT_EQ(args[0], QStringLiteral("sleep:idle"));
        EXPECT_EQ(args[1], QStringLiteral("TARN"));
        EXPECT_FALSE(args[2].isEmpty());
        EXPECT_EQ(args[3], QStringLiteral("block"));
    }
    // Our copy of the inhibitor keeps the pipe open...
    pollfd p{pipeFds[0], POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0);

    // ...until released; the service's own copies go once its reply is sent.
    EXPECT_TRUE(SetKeepAwake(false));
    EXPECT_FALSE(KeepAwakeHeld());
    ASSERT_EQ(::poll(&p, 1, 30000), 1);
    char byte;
    EXPECT_EQ(::read(pipeFds[0], &byte, 1), 0);
    ::close(pipeFds[0]);
}

TEST_F(PrivateBus, KeepAwakeWithoutLogindHasNoEffect) {
    EXPECT_FALSE(SetKeepAwake(*client, true));
    EXPECT_FALSE(KeepAwakeHeld());
    EXPECT_TRUE(SetKeepAwake(*client, false));
}

TEST_F(PrivateBus, NotificationReachesTheService) {
    startServices();
    ASSERT_TRUE(
        ShowNotification(*client, QStringLiteral("New message"), QStringLiteral("from someone")));
    std::lock_guard lock(calls.mutex);
    ASSERT_EQ(calls.notify.size(), 1);
    EXPECT_EQ(calls.notify.front(),
              (QVariantList{QStringLiteral("TARN"), 0u, QString(), QStringLiteral("New message"),
                            QStringLiteral("from someone"), QStringList(), 0, -1}));
}

TEST_F(PrivateBus, NotificationWithoutServiceFails) {
    EXPECT_FALSE(ShowNotification(*client, QStringLiteral("t"), QStringLiteral("b")));
}

TEST(NoBus, NothingBreaksWithoutABus) {
    SKIP_UNDER_TSAN();
    QTemporaryDir dir;
    const QByteArray nowhere = "unix:path=" + QFile::encodeName(dir.filePath("no-bus"));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", nowhere);
    qputenv("DBUS_SESSION_BUS_ADDRESS", nowhere);
    EXPECT_FALSE(SetKeepAwake(true));
    EXPECT_FALSE(KeepAwakeHeld());
    EXPECT_TRUE(SetKeepAwake(false));
    EXPECT_FALSE(ShowNotification(QStringLiteral("t"), QStringLiteral("b")));
}

} // namespace

#include "DBusServicesTest.moc"
