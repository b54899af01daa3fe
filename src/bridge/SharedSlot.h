#pragma once
// A shared_ptr that one thread replaces while others take copies of it: the
// way the bridge publishes a rebuilt console table or an open capture handle
// whole. A copy is taken under a short lock (no allocation); readers keep
// what they took, undisturbed by a later replacement.
//
// (libstdc++'s std::atomic<std::shared_ptr> waits on a futex that the thread
// sanitizer cannot see, so its races could not be checked; this slot uses a
// plain mutex, which it can.)

#include <memory>
#include <mutex>

namespace tarn {

template <class T> class SharedSlot {
public:
    std::shared_ptr<T> load() const {
        std::lock_guard lock(m_);
        return p_;
    }
    void store(std::shared_ptr<T> p) {
        std::shared_ptr<T> old;
        {
            std::lock_guard lock(m_);
            old = std::exchange(p_, std::move(p));
        }
        // The old object, if this was its last owner, is released outside
        // the lock.
    }

private:
    mutable std::mutex m_;
    std::shared_ptr<T> p_;
};

} // namespace tarn
