#include "platform/SingleInstance.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarn::platform {

QString SingleInstanceLockPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/TARN_IS_RUNNING.lock");
    return QStringLiteral("/tmp/TARN_IS_RUNNING-%1.lock").arg(::getuid());
}

SingleInstanceLock::SingleInstanceLock(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    // Close-on-exec: a program we start must not inherit the lock and keep it
    // after we exit. No-follow: the /tmp fallback is shared with other users.
    do {
        fd_ = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        return;
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        first_ = errno != EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool IsFirstInstance() {
    // Never destroyed: the lock must outlive every static destructor.
    static const SingleInstanceLock* const lock = new SingleInstanceLock(SingleInstanceLockPath());
    return lock->isFirst();
}

} // namespace tarn::platform
