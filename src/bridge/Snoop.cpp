#include "bridge/Snoop.h"

#include "common/ByteReader.h"

namespace tarn {

QString CurrentAdapter;

namespace {
std::function<void(const QString&)>& MessageHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}
} // namespace

void SetCaptureMessageHandler(std::function<void(const QString&)> handler) {
    MessageHandler() = std::move(handler);
}

void ShowCaptureMessage(const QString& text) {
    if (MessageHandler())
        MessageHandler()(text);
}

bool ReadEthernetHeader(std::span<const std::uint8_t> frame, ETHERNET_HDR& eth) {
    ByteReader r(frame);
    return r.record(eth);
}

bool GetIPHeader(std::span<const std::uint8_t> frame, const ETHERNET_HDR& eth, IP_HDR& ip) {
    if (NetToHost16(eth.Protocol) != kEtherTypeIPv4)
        return false;
    ByteReader r(frame);
    r.skip(sizeof(ETHERNET_HDR));
    return r.record(ip);
}

bool GetARPHeader(std::span<const std::uint8_t> frame, const ETHERNET_HDR& eth, ARP_HDR& arp) {
    if (NetToHost16(eth.Protocol) != kEtherTypeArp)
        return false;
    ByteReader r(frame);
    r.skip(sizeof(ETHERNET_HDR));
    return r.record(arp);
}

bool GetUDPHeader(std::span<const std::uint8_t> frame, const IP_HDR& ip, UDP_HDR& udp) {
    if (ip.Protocol != kIpProtocolUdp)
        return false;
    ByteReader r(frame);
    r.skip(sizeof(ETHERNET_HDR) + sizeof(IP_HDR));
    return r.record(udp);
}

bool GetUDPData(std::span<const std::uint8_t> frame, const UDP_HDR& udp,
                std::span<const std::uint8_t>& payload) {
    const std::size_t length = NetToHost16(udp.Length);
    if (length < sizeof(UDP_HDR))
        return false;
    ByteReader r(frame);
    r.skip(sizeof(ETHERNET_HDR) + sizeof(IP_HDR) + sizeof(UDP_HDR));
    payload = r.view(length - sizeof(UDP_HDR));
    return r.ok();
}

int SendPacket(ICaptureSource* handle, std::span<const std::uint8_t> frame) {
    return handle ? handle->send(frame) : -1;
}

// ---- TCustomSnoop ---------------------------------------------------------

TCustomSnoop::TCustomSnoop(QObject* owner, ICaptureBackend* backend)
    : QObject(owner), backend_(backend ? backend : &PcapBackend()) {
    GetAdapterNames(FAdapterNames);
    GetAdapterDescriptions(FAdapterDescriptions);
    if (!FError.isEmpty())
        ShowCaptureMessage(FError);
}

TCustomSnoop::~TCustomSnoop() {
    Close();
}

void TCustomSnoop::GetAdapterNames(QStringList& list) {
    list.clear();
    list.reserve(10);
    std::vector<TCaptureDevice> devices;
    QString error;
    if (!backend_->devices(devices, error)) {
        FError = error.left(256);
        return;
    }
    for (const auto& d : devices)
        list.append(d.Name);
    FError.clear();
}

void TCustomSnoop::GetAdapterDescriptions(QStringList& list) {
    list.clear();
    list.reserve(10);
    std::vector<TCaptureDevice> devices;
    QString error;
    if (!backend_->devices(devices, error)) {
        FError = error.left(256);
        return;
    }
    for (const auto& d : devices)
        list.append(d.Description);
    FError.clear();
}

void TCustomSnoop::setAdapterIndex(int v) {
    if (v == FAdapterIndex)
        return;
    if (v < 0 || v >= FAdapterNames.size()) {
        FAdapterIndex = -1;
        FAdapterName.clear();
        return;
    }
    FAdapterIndex = v;
    FAdapterName = FAdapterNames.at(v);
    FAdapterDescription = v < FAdapterDescriptions.size() ? FAdapterDescriptions.at(v) : QString();
    CurrentAdapter = FAdapterName;
}

void TCustomSnoop::setAdapterName(const QString& s) {
    if (s == FAdapterName)
        return;
    const int i = static_cast<int>(FAdapterNames.indexOf(s));
    if (i < 0) {
        FAdapterIndex = -1;
        FAdapterName.clear();
        FAdapterDescription.clear();
        return;
    }
    FAdapterIndex = i;
    FAdapterName = FAdapterNames.at(i);
    FAdapterDescription = i < FAdapterDescriptions.size() ? FAdapterDescriptions.at(i) : QString();
}

void TCustomSnoop::setAdapterDescription(const QString& s) {
    if (s == FAdapterDescription)
        return;
    const int i = static_cast<int>(FAdapterDescriptions.indexOf(s));
    if (i < 0 || i >= FAdapterNames.size()) {
        FAdapterIndex = -1;
        FAdapterName.clear();
        FAdapterDescription.clear();
        return;
    }
    FAdapterIndex = i;
    FAdapterName = FAdapterNames.at(i);
    FAdapterDescription = FAdapterDescriptions.at(i);
}

void TCustomSnoop::Open() {
    if (FActive) {
        FError = QStringLiteral("Snoop Error: Already open");
        return;
    }
    std::vector<TCaptureDevice> devices;
    QString error;
    if (!backend_->devices(devices, error)) {
        FError = error.left(256);
        return;
    }
    const TCaptureDevice* device = nullptr;
    for (const auto& d : devices) {
        if (d.Name == CurrentAdapter) {
            device = &d;
            break;
        }
    }
    if (!device) {
        FError = QStringLiteral("Snoop Error: Invalid AdapterName");
        return;
    }
    TOpenOptions options;
    options.SnapLen = FSnapLen;
    options.Promiscuous = (FFlags & 1) != 0;
    options.ReadTimeOut = FReadTimeOut;
    options.Immediate = true;
    options.BufferSize = FBufferSize;
    options.InboundOnly = true;
    auto source = backend_->open(device->Name, options, error);
    if (!source) {
        FError = error.left(256);
        return;
    }
    FSourceName = FAdapterName;
    const std::uint32_t netmask = device->HasNetmask ? device->Netmask : 0xFFFFFFFFu;
    if (!source->setFilter(FFilter, netmask)) {
        FError = source->errorText();
        return;
    }
    FActive = true;
    runner_.start(
        this, std::move(source), FThreadSafe,
        [this](const pcap_pkthdr* h, const std::uint8_t* d) { DeliverPacket(h, d); },
        QStringLiteral("Snoop Error: pcap_next_ex return -1"),
        [this](const QString& e) { ThreadDone(e); });
}

void TCustomSnoop::ThreadDone(const QString& error) {
    if (!error.isEmpty())
        FError = error;
    FActive = false;
}

void TCustomSnoop::Close() {
    if (!FActive)
        return;
    if (!runner_.running()) {
        FError = QStringLiteral("Snoop Error: No thread to stop");
        return;
    }
    FActive = false;
    runner_.stop();
}

// ---- TSnoopUDPData / TSnoopARP ----------------------------------------------

TSnoopUDPData::TSnoopUDPData(QObject* owner, ICaptureBackend* backend)
    : TCustomSnoop(owner, backend) {
    FFilter = QStringLiteral("udp");
}

void TSnoopUDPData::DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data) {
    if (!OnCaptureUDPData)
        return;
    const std::span<const std::uint8_t> frame(data, header->caplen);
    ETHERNET_HDR eth;
    IP_HDR ip;
    UDP_HDR udp;
    std::span<const std::uint8_t> payload;
    if (!ReadEthernetHeader(frame, eth) || !GetIPHeader(frame, eth, ip) ||
        !GetUDPHeader(frame, ip, udp) || !GetUDPData(frame, udp, payload))
        return;
    OnCaptureUDPData(this, header, &eth, &ip, &udp, payload.data(),
                     static_cast<int>(payload.size()));
}

TSnoopARP::TSnoopARP(QObject* owner, ICaptureBackend* backend) : TCustomSnoop(owner, backend) {
    FFilter = QStringLiteral("arp");
}

void TSnoopARP::DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data) {
    if (!OnCaptureARP)
        return;
    const std::span<const std::uint8_t> frame(data, header->caplen);
    ETHERNET_HDR eth;
    ARP_HDR arp;
    if (!ReadEthernetHeader(frame, eth) || !GetARPHeader(frame, eth, arp))
        return;
    OnCaptureARP(this, header, &eth, &arp);
}

} // namespace tarn
