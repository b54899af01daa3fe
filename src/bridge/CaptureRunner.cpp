#include "bridge/CaptureRunner.h"

#include <QMetaObject>
#include <QPointer>
#include <condition_variable>
#include <mutex>

namespace tarn {

std::mutex& PostLock() {
    static std::mutex lock;
    return lock;
}

struct CaptureRunner::Sync {
    enum class State { Idle, Posted, Running, Done };
    std::mutex m;
    std::condition_variable cv;
    State state = State::Idle;
    std::atomic<bool> stop{false};
    bool stopInDelivery = false;
    QObject* owner = nullptr;
    std::shared_ptr<ICaptureSource> source;
    bool threadSafe = true;
    Deliver deliver;
    Done done;
    QString readErrorText;
};

void CaptureRunner::start(QObject* owner, std::shared_ptr<ICaptureSource> source, bool threadSafe,
                          Deliver deliver, QString readErrorText, Done done) {
    stop();
    auto sync = std::make_shared<Sync>();
    sync->owner = owner;
    sync->source = source;
    sync->threadSafe = threadSafe;
    sync->deliver = std::move(deliver);
    sync->done = std::move(done);
    sync->readErrorText = std::move(readErrorText);
    source_.store(std::move(source));
    sync_ = sync;
    thread_ = std::thread([this, sync] { loop(sync); });
}

void CaptureRunner::loop(std::shared_ptr<Sync> sync) {
    ICaptureSource& src = *sync->source;
    QString error;
    while (!sync->stop.load(std::memory_order_acquire)) {
        const pcap_pkthdr* header = nullptr;
        const std::uint8_t* data = nullptr;
        const int rc = src.next(&header, &data);
        if (sync->stop.load(std::memory_order_acquire))
            break;
        if (rc == kCaptureTimeout)
            continue;
        if (rc < 0) {
            if (rc == kCaptureError)
                error = sync->readErrorText;
            break;
        }
        if (!sync->threadSafe) {
            sync->deliver(header, data);
            continue;
        }
        // Hand the frame to the owner's thread and wait until it is handled
        // or a stop is requested (the owner may be waiting for us in stop()).
        {
            std::lock_guard lock(sync->m);
            sync->state = Sync::State::Posted;
        }
        PostToOwner(sync->owner, [sync, header, data] {
            {
                std::lock_guard lock(sync->m);
                if (sync->state != Sync::State::Posted)
                    return; // cancelled by stop()
                sync->state = Sync::State::Running;
            }
            sync->deliver(header, data);
            std::lock_guard lock(sync->m);
            sync->state = Sync::State::Done;
            sync->cv.notify_all();
        });
        std::unique_lock lock(sync->m);
        sync->cv.wait(lock, [&] {
            return sync->state == Sync::State::Done ||
                   (sync->state == Sync::State::Posted && sync->stop.load());
        });
        sync->state = Sync::State::Idle; // a still-posted call now does nothing
    }
    if (!sync->stop.load()) {
        // Ended by itself: tell the owner on its thread.
        PostToOwner(sync->owner, [this, sync, error] { finish(sync, error); });
    }
}

void CaptureRunner::finish(std::shared_ptr<Sync> sync, const QString& error) {
    if (sync != sync_)
        return; // a later start or a stop already took over
    if (thread_.joinable())
        thread_.join();
    sync_.reset();
    source_.store(nullptr);
    if (sync->done)
        sync->done(error);
}

bool CaptureRunner::stop() {
    if (!thread_.joinable())
        return false;
    auto sync = sync_;
    {
        std::lock_guard lock(sync->m);
        sync->stop.store(true, std::memory_order_release);
        if (sync->state == Sync::State::Running) {
            // Called from within our own delivery: the thread waits for it
            // to return, so it cannot be joined here. It leaves its loop
            // right after; join it then.
            sync->stopInDelivery = true;
        }
        sync->cv.notify_all();
    }
    sync->source->interrupt();
    if (sync->stopInDelivery) {
        std::thread t = std::move(thread_);
        sync_.reset();
        source_.store(nullptr);
        // The holder joins when the queued call has run, or when it is
        // dropped because the owner went away first.
        struct Joiner {
            std::thread t;
            ~Joiner() {
                if (t.joinable())
                    t.join();
            }
        };
        auto joiner = std::make_shared<Joiner>();
        joiner->t = std::move(t);
        QMetaObject::invokeMethod(
            sync->owner, [joiner]() mutable { joiner.reset(); }, Qt::QueuedConnection);
        return true;
    }
    thread_.join();
    sync_.reset();
    source_.store(nullptr);
    return true;
}

} // namespace tarn
