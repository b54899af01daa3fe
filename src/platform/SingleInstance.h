#pragma once
// Tells whether this process is the first running instance of the client: an
// exclusive flock on a lock file in the user's runtime folder. The first
// instance keeps the lock until it ends; the operating system then drops it.

#include <QString>

namespace tarn::platform {

// $XDG_RUNTIME_DIR/TARN_IS_RUNNING.lock, or /tmp/TARN_IS_RUNNING-<uid>.lock
// when XDG_RUNTIME_DIR is unset.
QString SingleInstanceLockPath();

// One lock on one file. The lock is held for the object's lifetime.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const QString& path);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False only when another open of the file holds the lock. A lock file
    // that cannot be opened at all does not keep the client from running.
    bool isFirst() const { return first_; }

private:
    int fd_ = -1;
    bool first_ = true;
};

// Takes the lock at SingleInstanceLockPath() on the first call and keeps it
// until the process exits; later calls give the same answer.
bool IsFirstInstance();

} // namespace tarn::platform
