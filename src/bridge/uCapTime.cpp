#include "bridge/uCapTime.h"

#include "bridge/Snoop.h"

namespace tarn {

bool PromiscuousMode = false;

TCapBase::TCapBase(QObject* owner, ICaptureBackend* backend)
    : QObject(owner), backend_(backend ? backend : &PcapBackend()) {}

TCapBase::~TCapBase() {
    runner_.stop();
}

void TCapBase::setCapLen(quint16 v) {
    if (v > 1514)
        ShowCaptureMessage(QStringLiteral("Value needs be between 0 and 1514"));
    FCapLen = v;
}

void TCapBase::setPromoucous(bool v) {
    Fpromoucous = v;
    PromiscuousMode = v;
}

void TCapBase::setActive(bool v) {
    if (v) {
        OpenAdapter();
        return;
    }
    if (runner_.stop()) {
        Factive = false;
        FOpen = false;
    }
    Factive = false;
}

void TCapBase::OpenAdapter() {
    if (FOpen) {
        FError = QStringLiteral("Error: Already open");
        return;
    }
    std::vector<TCaptureDevice> devices;
    QString error;
    if (!backend_->devices(devices, error))
        return;
    if (FAdapterIndex < 0 || FAdapterIndex >= static_cast<int>(devices.size())) {
        FError = QStringLiteral("Invalid Adapter Index");
        return;
    }
    TOpenOptions options;
    // A snapshot length of 0 means "whole frames" to the library.
    options.SnapLen = FCapLen;
    options.Promiscuous = PromiscuousMode;
    options.ReadTimeOut = Ftimeout;
    options.Immediate = true;
    options.BufferSize = FBufferSize;
    options.InboundOnly = true;
    auto source =
        backend_->open(devices[static_cast<std::size_t>(FAdapterIndex)].Name, options, error);
    if (!source) {
        FError = error.left(256);
        return;
    }
    if (!source->setFilter(Ffilter, 0)) {
        FError = source->errorText();
        return;
    }
    Factive = true;
    FOpen = true;
    runner_.start(
        this, std::move(source), FThreadSafe,
        [this](const pcap_pkthdr* h, const std::uint8_t* d) {
            DeliverPacket(h, d, static_cast<int>(h->len));
        },
        QStringLiteral("CapTime Error: pcap_next_ex return -1"),
        [this](const QString& e) { WorkerDone(e); });
}

void TCapBase::WorkerDone(const QString& error) {
    if (!error.isEmpty())
        FError = error;
    Factive = false;
    FOpen = false;
}

void TCapTime::DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data, int size) {
    // The size handed on is the wire length; it never exceeds what was
    // captured, so a handler reading `size` bytes stays inside the buffer.
    if (OnCaptureData)
        OnCaptureData(this, header, data, std::min<int>(size, static_cast<int>(header->caplen)));
}

} // namespace tarn
