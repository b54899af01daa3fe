#pragma once
// The capture thread shared by both families of capture components: a
// pcap_next_ex loop on its own std::thread that hands every frame either to
// a handler on the same thread or, when thread-safe delivery is asked for,
// to the owner's thread (the main thread) as a queued call that the capture
// thread waits for. The open source is published through a SharedSlot so that any thread may send
// on it while the main thread closes it.

#include "bridge/Pcap.h"
#include "bridge/SharedSlot.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tarn {

// The lock that orders a call posted from a capture thread before its run on
// the owner's thread. Qt's event queue orders them too, but with primitives
// the thread sanitizer does not see; taking this lock around the post and at
// the start of the call makes that order visible to it.
std::mutex& PostLock();

// Queues `f` to run on `owner`'s thread (dropped if the owner goes away).
// Safe to call from any thread.
template <class F> void PostToOwner(QObject* owner, F&& f) {
    std::lock_guard lock(PostLock());
    QMetaObject::invokeMethod(
        owner,
        [fn = std::forward<F>(f)]() mutable {
            { std::lock_guard seen(PostLock()); }
            fn();
        },
        Qt::QueuedConnection);
}

class CaptureRunner {
public:
    using Deliver = std::function<void(const pcap_pkthdr*, const std::uint8_t*)>;
    // Runs on the owner's thread after the loop ended by itself (read error
    // or end of a capture file); `error` is the read error text or empty.
    using Done = std::function<void(const QString& error)>;

    CaptureRunner() = default;
    ~CaptureRunner() { stop(); }
    CaptureRunner(const CaptureRunner&) = delete;
    CaptureRunner& operator=(const CaptureRunner&) = delete;

    // Owner's thread. `owner` receives the queued calls; it must outlive the
    // runner's thread (stop() in its destructor).
    void start(QObject* owner, std::shared_ptr<ICaptureSource> source, bool threadSafe,
               Deliver deliver, QString readErrorText, Done done);
    // Owner's thread: asks the thread to stop, waits for it and releases the
    // source. Returns false when no thread was running. Called from within a
    // thread-safe delivery of this runner, the wait happens right after that
    // delivery returns.
    bool stop();
    bool running() const { return thread_.joinable(); }

    // Any thread: the open source or null.
    std::shared_ptr<ICaptureSource> source() const { return source_.load(); }
    // Any thread: sends on the open source; negative when none is open.
    int send(std::span<const std::uint8_t> frame) const {
        auto s = source_.load();
        return s ? s->send(frame) : -1;
    }

private:
    struct Sync;
    void loop(std::shared_ptr<Sync> sync);
    void finish(std::shared_ptr<Sync> sync, const QString& error);

    SharedSlot<ICaptureSource> source_;
    std::shared_ptr<Sync> sync_;
    std::thread thread_;
};

} // namespace tarn
