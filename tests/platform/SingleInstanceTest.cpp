#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

using namespace tarn::platform;

namespace {

// Whether another process, taking the lock at path, is the first instance.
bool firstInOtherProcess(const QString& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const SingleInstanceLock lock(path);
        ::_exit(lock.isFirst() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SingleInstance, LockPathFollowsTheRuntimeFolder) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", "/run/user/1234");
    EXPECT_EQ(SingleInstanceLockPath(), QStringLiteral("/run/user/1234/TARN_IS_RUNNING.lock"));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstanceLockPath(),
              QStringLiteral("/tmp/TARN_IS_RUNNING-%1.lock").arg(::getuid()));
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(SingleInstance, SecondProcessIsRefusedWhileTheFirstRuns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TARN_IS_RUNNING.lock"));
    {
        const SingleInstanceLock first(path);
        ASSERT_TRUE(first.isFirst());
        EXPECT_FALSE(firstInOtherProcess(path));
    }
    // The lock goes with its holder.
    EXPECT_TRUE(firstInOtherProcess(path));
}

TEST(SingleInstance, ProcessWideLockIsKept) {
    // The test folders give this process a runtime folder of its own.
    ASSERT_TRUE(IsFirstInstance());
    EXPECT_TRUE(IsFirstInstance());
    EXPECT_FALSE(firstInOtherProcess(SingleInstanceLockPath()));
}

TEST(SingleInstance, UnusableLockFileDoesNotStopTheProgram) {
    EXPECT_TRUE(SingleInstanceLock(QStringLiteral("/nonexistent-folder/x.lock")).isFirst());
}

} // namespace
