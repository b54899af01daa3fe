#include "bridge/Pcap.h"

#include <dlfcn.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace tarn {

namespace {

// The library's functions we use, resolved once.
struct PcapApi {
    int (*findalldevs)(pcap_if_t**, char*) = nullptr;
    void (*freealldevs)(pcap_if_t*) = nullptr;
    pcap_t* (*open_live)(const char*, int, int, int, char*) = nullptr;
    pcap_t* (*open_offline)(const char*, char*) = nullptr;
    pcap_t* (*create)(const char*, char*) = nullptr;
    int (*set_snaplen)(pcap_t*, int) = nullptr;
    int (*set_promisc)(pcap_t*, int) = nullptr;
    int (*set_timeout)(pcap_t*, int) = nullptr;
    int (*set_immediate_mode)(pcap_t*, int) = nullptr;
    int (*set_buffer_size)(pcap_t*, int) = nullptr;
    int (*activate)(pcap_t*) = nullptr;
    int (*setdirection)(pcap_t*, pcap_direction_t) = nullptr;
    int (*compile)(pcap_t*, bpf_program*, const char*, int, bpf_u_int32) = nullptr;
    void (*freecode)(bpf_program*) = nullptr;
    int (*setfilter)(pcap_t*, bpf_program*) = nullptr;
    char* (*geterr)(pcap_t*) = nullptr;
    int (*next_ex)(pcap_t*, pcap_pkthdr**, const u_char**) = nullptr;
    int (*sendpacket)(pcap_t*, const u_char*, int) = nullptr;
    void (*close)(pcap_t*) = nullptr;
    const char* (*lib_version)() = nullptr;
    int (*stats)(pcap_t*, pcap_stat*) = nullptr;
    void (*breakloop)(pcap_t*) = nullptr;
};

template <class F> bool Bind(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

const PcapApi& Api() {
    static const PcapApi api = [] {
        void* lib = dlopen("libpcap.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            lib = dlopen("libpcap.so.0.8", RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            throw std::runtime_error("The capture library libpcap could not be loaded");
        PcapApi a;
        const bool ok =
            Bind(lib, "pcap_findalldevs", a.findalldevs) &&
            Bind(lib, "pcap_freealldevs", a.freealldevs) &&
            Bind(lib, "pcap_open_live", a.open_live) &&
            Bind(lib, "pcap_open_offline", a.open_offline) && Bind(lib, "pcap_create", a.create) &&
            Bind(lib, "pcap_set_snaplen", a.set_snaplen) &&
            Bind(lib, "pcap_set_promisc", a.set_promisc) &&
            Bind(lib, "pcap_set_timeout", a.set_timeout) &&
            Bind(lib, "pcap_set_immediate_mode", a.set_immediate_mode) &&
            Bind(lib, "pcap_set_buffer_size", a.set_buffer_size) &&
            Bind(lib, "pcap_activate", a.activate) &&
            Bind(lib, "pcap_setdirection", a.setdirection) &&
            Bind(lib, "pcap_compile", a.compile) && Bind(lib, "pcap_freecode", a.freecode) &&
            Bind(lib, "pcap_setfilter", a.setfilter) && Bind(lib, "pcap_geterr", a.geterr) &&
            Bind(lib, "pcap_next_ex", a.next_ex) && Bind(lib, "pcap_sendpacket", a.sendpacket) &&
            Bind(lib, "pcap_close", a.close) && Bind(lib, "pcap_lib_version", a.lib_version) &&
            Bind(lib, "pcap_stats", a.stats) && Bind(lib, "pcap_breakloop", a.breakloop);
        if (!ok)
            throw std::runtime_error("The capture library libpcap lacks a needed function");
        // The library stays loaded for the rest of the process.
        return a;
    }();
    return api;
}

QString ErrBuf(const char* buf) {
    return QString::fromLocal8Bit(buf, static_cast<qsizetype>(strnlen(buf, PCAP_ERRBUF_SIZE)))
        .left(256);
}

class PcapSource : public ICaptureSource {
public:
    explicit PcapSource(pcap_t* p) : p_(p) {}
    ~PcapSource() override { Api().close(p_); }

    bool setFilter(const QString& expression, std::uint32_t netmask) override {
        bpf_program prog{};
        const QByteArray text = expression.toLocal8Bit();
        if (Api().compile(p_, &prog, text.constData(), 1, netmask) != 0) {
            error_ = QString::fromLocal8Bit(Api().geterr(p_));
            return false;
        }
        const int rc = Api().setfilter(p_, &prog);
        Api().freecode(&prog);
        if (rc != 0) {
            error_ = QString::fromLocal8Bit(Api().geterr(p_));
            return false;
        }
        return true;
    }
    int next(const pcap_pkthdr** header, const std::uint8_t** data) override {
        pcap_pkthdr* h = nullptr;
        const u_char* d = nullptr;
        const int rc = Api().next_ex(p_, &h, &d);
        if (rc == 1) {
            *header = h;
            *data = d;
        }
        return rc;
    }
    int send(std::span<const std::uint8_t> frame) override {
        return Api().sendpacket(p_, frame.data(), static_cast<int>(frame.size()));
    }
    void interrupt() override { Api().breakloop(p_); }
    QString errorText() const override {
        return error_.isEmpty() ? QString::fromLocal8Bit(Api().geterr(p_)) : error_;
    }

private:
    pcap_t* p_;
    QString error_;
};

class RealBackend : public ICaptureBackend {
public:
    bool devices(std::vector<TCaptureDevice>& out, QString& error) override {
        out.clear();
        out.reserve(10);
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        pcap_if_t* list = nullptr;
        if (Api().findalldevs(&list, errbuf) != 0) {
            error = ErrBuf(errbuf);
            return false;
        }
        for (pcap_if_t* d = list; d; d = d->next) {
            TCaptureDevice dev;
            dev.Name = QString::fromLocal8Bit(d->name);
            dev.Description = d->description ? QString::fromLocal8Bit(d->description) : QString();
            if (d->addresses && d->addresses->netmask &&
                d->addresses->netmask->sa_family == AF_INET) {
                std::uint32_t mask = 0;
                std::memcpy(&mask, d->addresses->netmask->sa_data + 2, 4);
                dev.HasNetmask = true;
                dev.Netmask = mask;
            }
            out.push_back(std::move(dev));
        }
        Api().freealldevs(list);
        error.clear();
        return true;
    }

    std::shared_ptr<ICaptureSource> open(const QString& device, const TOpenOptions& o,
                                         QString& error) override {
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        const QByteArray name = device.toLocal8Bit();
        pcap_t* p = Api().create(name.constData(), errbuf);
        if (!p) {
            error = ErrBuf(errbuf);
            return nullptr;
        }
        Api().set_snaplen(p, o.SnapLen);
        Api().set_promisc(p, o.Promiscuous ? 1 : 0);
        Api().set_timeout(p, o.ReadTimeOut);
        if (o.Immediate)
            Api().set_immediate_mode(p, 1);
        if (o.BufferSize > 0)
            Api().set_buffer_size(p, o.BufferSize);
        const int rc = Api().activate(p);
        if (rc < 0) {
            error = QString::fromLocal8Bit(Api().geterr(p));
            if (error.isEmpty())
                error = QStringLiteral("%1: activation failed (%2)").arg(device).arg(rc);
            Api().close(p);
            return nullptr;
        }
        // Not every device supports a direction; frames we inject are then
        // kept away by the filters instead.
        if (o.InboundOnly)
            Api().setdirection(p, PCAP_D_IN);
        return std::make_shared<PcapSource>(p);
    }

    QString version() const override { return QString::fromLocal8Bit(Api().lib_version()); }
};

} // namespace

ICaptureBackend& PcapBackend() {
    Api(); // throws when the library is missing
    static RealBackend backend;
    return backend;
}

std::shared_ptr<ICaptureSource> OpenPcapFile(const QString& path, QString& error) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = Api().open_offline(path.toLocal8Bit().constData(), errbuf);
    if (!p) {
        error = ErrBuf(errbuf);
        return nullptr;
    }
    return std::make_shared<PcapSource>(p);
}

// ---- fake backend -------------------------------------------------------

bool FakeCaptureSource::setFilter(const QString& expression, std::uint32_t) {
    std::lock_guard lock(m_);
    if (filterFails_)
        return false;
    filter_ = expression;
    return true;
}

int FakeCaptureSource::next(const pcap_pkthdr** header, const std::uint8_t** data) {
    std::unique_lock lock(m_);
    if (queue_.empty() && !failRead_ && !interrupted_)
        cv_.wait_for(lock, std::chrono::milliseconds(timeout_ > 0 ? timeout_ : 1),
                     [this] { return !queue_.empty() || failRead_ || interrupted_; });
    if (interrupted_) {
        interrupted_ = false;
        return kCaptureEnd;
    }
    if (failRead_) {
        failRead_ = false;
        return kCaptureError;
    }
    if (queue_.empty())
        return kCaptureTimeout;
    current_ = std::move(queue_.front().first);
    header_ = pcap_pkthdr{};
    header_.caplen = static_cast<bpf_u_int32>(current_.size());
    header_.len = queue_.front().second ? queue_.front().second : header_.caplen;
    queue_.pop_front();
    *header = &header_;
    *data = current_.data();
    return kCaptureFrame;
}

int FakeCaptureSource::send(std::span<const std::uint8_t> frame) {
    std::lock_guard lock(m_);
    if (sendFails_)
        return -1;
    sent_.emplace_back(frame.begin(), frame.end());
    return 0;
}

QString FakeCaptureSource::errorText() const {
    return QStringLiteral("fake: syntax error in filter expression");
}

void FakeCaptureSource::interrupt() {
    {
        std::lock_guard lock(m_);
        interrupted_ = true;
    }
    cv_.notify_one();
}

void FakeCaptureSource::push(std::vector<std::uint8_t> frame, std::uint32_t wireLength) {
    {
        std::lock_guard lock(m_);
        queue_.emplace_back(std::move(frame), wireLength);
    }
    cv_.notify_one();
}

void FakeCaptureSource::failNextRead() {
    {
        std::lock_guard lock(m_);
        failRead_ = true;
    }
    cv_.notify_one();
}

std::vector<std::vector<std::uint8_t>> FakeCaptureSource::sent() const {
    std::lock_guard lock(m_);
    return sent_;
}

QString FakeCaptureSource::filter() const {
    std::lock_guard lock(m_);
    return filter_;
}

std::size_t FakeCaptureSource::pending() const {
    std::lock_guard lock(m_);
    return queue_.size();
}

bool FakeCaptureBackend::devices(std::vector<TCaptureDevice>& out, QString& error) {
    if (EnumerationFails) {
        error = QStringLiteral("fake: no capture rights");
        out.clear();
        return false;
    }
    out = Devices;
    return true;
}

std::shared_ptr<ICaptureSource>
FakeCaptureBackend::open(const QString& device, const TOpenOptions& options, QString& error) {
    if (OpenFails) {
        error = QStringLiteral("fake: %1: Operation not permitted").arg(device);
        return nullptr;
    }
    auto src = std::make_shared<FakeCaptureSource>(options.ReadTimeOut);
    src->setFilterFails(FilterFails);
    std::lock_guard lock(m_);
    opened_.push_back({device, options, src});
    return src;
}

std::vector<FakeCaptureBackend::Opened> FakeCaptureBackend::opened() const {
    std::lock_guard lock(m_);
    return opened_;
}

std::shared_ptr<FakeCaptureSource> FakeCaptureBackend::last(const QString& device) const {
    std::lock_guard lock(m_);
    for (auto it = opened_.rbegin(); it != opened_.rend(); ++it)
        if (it->Device == device)
            return it->Source;
    return nullptr;
}

} // namespace tarn
