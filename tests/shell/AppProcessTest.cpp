// The client as a process: a second instance ends on its own while the
// first runs on.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

QProcessEnvironment clientEnvironment(const QString& root) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root);
    return env;
}

} // namespace

TEST(ClientProcess, SecondInstanceEndsSilentlyAndTheFirstRunsOn) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QProcessEnvironment env = clientEnvironment(root.path());

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(QStringLiteral(TARN_CLIENT_BINARY), {});
    ASSERT_TRUE(first.waitForStarted());
    // The first instance holds the lock once its account window is created;
    // wait until the lock file exists.
    const QString lockPath = root.path() + QStringLiteral("/TARN_IS_RUNNING.lock");
    for (int i = 0; i < 300 && !QFile::exists(lockPath); ++i)
        first.waitForFinished(50);
    ASSERT_TRUE(QFile::exists(lockPath));
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAll().toStdString();

    QProcess second;
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(TARN_CLIENT_BINARY), {});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}
