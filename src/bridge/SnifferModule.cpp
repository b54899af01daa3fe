#include "bridge/SnifferModule.h"

#include "common/AnsiCodec.h"
#include "common/ByteWriter.h"
#include "common/NetText.h"
#include "common/ServerAddresses.h"
#include "common/UdpSocket.h"
#include "platform/ShellFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace tarn {

bool CaptureEnabled = false;

TBridgeSettings& BridgeSettings() {
    static TBridgeSettings settings;
    return settings;
}

const std::array<std::uint32_t, 16> ConsolePrefixes{
    0x00041F, 0x001315, 0x0015C1, 0x0019C5, 0x001D0D, 0x001FA7, 0xA8E3EE, 0x00248D,
    0x271769, 0x0023F8, 0xFC0FE6, 0xFC0E65, 0x280DFC, 0x766D61, 0xF8D0AC, 0x709E29};

namespace {

constexpr int kGameReadTimeOut = 1;
constexpr int kServiceReadTimeOut = 100;
constexpr int kGameCaptureBuffer = 8 * 1024 * 1024;
constexpr int kRelaySocketBuffer = 4 * 1024 * 1024;
constexpr int kFrameBuffer = 1515; // TPacketData

const QString kSilentFilter = QStringLiteral("ether src FFFEFF1a1a1a");

// A field of a packed record as a value (a reference to it may be
// misaligned).
template <class T> T Copy(T v) {
    return v;
}

// MacToStr into a fixed buffer, without allocating (capture threads).
void MacText(const SNOOPMACADDRESS& mac, char out[13]) {
    static constexpr char hex[] = "0123456789ABCDEF";
    int o = 0;
    for (int i = 0; i < 6; ++i) {
        if (i == 3)
            out[o++] = '-';
        out[o++] = hex[mac[i] >> 4];
        out[o++] = hex[mac[i] & 0xF];
    }
}

// An IPv4 address as the 32-bit field of a header record holds it.
std::uint32_t WireAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}
const std::uint32_t kGatewayWire = WireAddress(10, 253, 0, 1);

} // namespace

// ---- console table ----------------------------------------------------------

QString TConsoleInfo::GameServerIp() const {
    const std::uint32_t ip = GameServerAddress();
    if (ip == 0)
        return {};
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ip >> 24)
        .arg((ip >> 16) & 0xFF)
        .arg((ip >> 8) & 0xFF)
        .arg(ip & 0xFF);
}

void TConsoleInfo::setRelay(const QString& address, quint16 port) {
    const QString text = address.left(15);
    const std::uint32_t ip = IsValidIPv4(text) ? StrToIP(text) : 0;
    relay_.store((std::uint64_t{ip} << 16) | port);
}

TConsoleInfo& TConsoleCollection::lookupByAddress(std::uint32_t wireIp) {
    const std::size_t n = std::min(count(), Slots.size());
    for (std::size_t i = 0; i < n; ++i)
        if (Slots[i].Ps2Ip.load(std::memory_order_relaxed) == wireIp)
            return Slots[i];
    return Slots[0];
}

bool TConsoleCollection::holdsMacString(const char* macText, std::size_t length) const {
    for (const auto& s : MacStrings)
        if (s.size() == length && std::memcmp(s.data(), macText, length) == 0)
            return true;
    return false;
}

// ---- module -------------------------------------------------------------------

TDataModule2::TDataModule2(QObject* parent, ICaptureBackend* backend)
    : QObject(parent), backend_(backend ? backend : &PcapBackend()) {
    setObjectName(QStringLiteral("DataModule2"));

    GameTraffic = new TSnoopUDPData(this, backend_);
    GameTraffic->setObjectName(QStringLiteral("GameTraffic"));
    GameTraffic->setThreadSafe(false);
    GameTraffic->setFilter(kSilentFilter);
    GameTraffic->setReadTimeOut(kGameReadTimeOut);
    GameTraffic->setBufferSize(kGameCaptureBuffer);

    UDPRQs = new TSnoopUDPData(this, backend_);
    UDPRQs->setObjectName(QStringLiteral("UDPRQs"));
    UDPRQs->setThreadSafe(true);
    UDPRQs->setFilter(QStringLiteral(
        "(ether dst ffffffffffff and dst port 3658) or dst 10.253.0.1 or (len = 166 and dst "
        "port 3658) or (len = 518 and dst port 3658 and not src 10.253.0.1)"));
    UDPRQs->setReadTimeOut(kServiceReadTimeOut);

    DHCP = new TSnoopUDPData(this, backend_);
    DHCP->setObjectName(QStringLiteral("DHCP"));
    DHCP->setThreadSafe(false);
    DHCP->setFilter(QStringLiteral("net 0.0.0.0"));
    DHCP->setReadTimeOut(kServiceReadTimeOut);

    Arp = new TSnoopARP(this, backend_);
    Arp->setObjectName(QStringLiteral("Arp"));
    Arp->setThreadSafe(false);
    Arp->setFilter(QStringLiteral("arp and src 10.253 and dst 10.253"));
    Arp->setReadTimeOut(kServiceReadTimeOut);

    for (TCustomSnoop* c :
         {static_cast<TCustomSnoop*>(GameTraffic), static_cast<TCustomSnoop*>(UDPRQs),
          static_cast<TCustomSnoop*>(DHCP), static_cast<TCustomSnoop*>(Arp)}) {
        c->setAdapterIndex(-1);
        c->setSnapLen(1600);
        c->setFlags(1);
    }

    GameTraffic->OnCaptureUDPData = [this](TCustomSnoop* s, const pcap_pkthdr* h, ETHERNET_HDR* e,
                                           IP_HDR* i, UDP_HDR* u, const std::uint8_t* d, int n) {
        GameTrafficCaptureUDPData(s, h, e, i, u, d, n);
    };
    DHCP->OnCaptureUDPData = [this](TCustomSnoop* s, const pcap_pkthdr* h, ETHERNET_HDR* e,
                                    IP_HDR* i, UDP_HDR* u, const std::uint8_t* d,
                                    int n) { DHCPCaptureUDPData(s, h, e, i, u, d, n); };
    Arp->OnCaptureARP = [this](TCustomSnoop* s, const pcap_pkthdr* h, ETHERNET_HDR* e, ARP_HDR* a) {
        ArpCaptureARP(s, h, e, a);
    };

    UdpGame = new UdpSocket(this);
    UdpGame->setObjectName(QStringLiteral("UdpGame"));
    UdpGame->setBufferSizes(kRelaySocketBuffer, kRelaySocketBuffer);
    UdpGame->setReceiver([this](const QByteArray& data, const QString& peer, quint16 port) {
        UdpGameUDPRead(data, peer, port);
    });

    DataModuleCreate(this);
}

TDataModule2::~TDataModule2() {
    // Stop every capture thread before the state they use goes away.
    CloseCap();
    DataModuleDestroy(this);
}

void TDataModule2::DataModuleCreate(QObject*) {
    DhcpReply = BuildDhcpReplyTemplate();
    GameNameAge = 0;
    Ps2MacList.clear();
    DhcpLog.clear();
    PairCodes.clear();
    QFile file(Ps2MacListPath());
    if (file.exists() && file.open(QIODevice::ReadOnly)) {
        // Lines as a text list reads them: CR LF, LF or CR end a line.
        const QString text = StringFromAnsi(file.readAll());
        QStringList lines = text.split(QLatin1Char('\n'));
        for (QString& l : lines)
            if (l.endsWith(QLatin1Char('\r')))
                l.chop(1);
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        Ps2MacList = lines;
    }
    ActivateUdpGame();
    AdapterPromptShown = false;
    BridgeTimer = new QTimer(this);
    BridgeTimer->setObjectName(QStringLiteral("BridgeTimer"));
    BridgeTimer->setInterval(10000);
    connect(BridgeTimer, &QTimer::timeout, this, [this] { Timer1Timer(BridgeTimer); });
}

bool TDataModule2::ActivateUdpGame() {
    if (UdpGame->isActive())
        return true;
    // The original socket binds when it first sends; a send from a capture
    // thread cannot bind safely, so it is bound here on the main thread.
    return UdpGame->bind(BridgeSettings().GameTrafficPort);
}

QString TDataModule2::Ps2MacListPath() const {
    QString folder = BridgeSettings().DataFolder;
    if (folder.isEmpty())
        folder =
            platform::GetSpecialFolder(platform::CSIDL_LOCAL_APPDATA) + QStringLiteral("/TARN");
    return folder + QStringLiteral("/Ps2MacList.txt");
}

QStringList TDataModule2::Ps2MacStrings() const {
    QStringList out;
    if (auto t = Consoles())
        for (const auto& s : t->MacStrings)
            out.append(StringFromAnsi(QByteArray::fromStdString(s)));
    return out;
}

// ---- console list -----------------------------------------------------------

int TDataModule2::Ps2MacAddrIndex(const SNOOPMACADDRESS& mac, const TConsoleCollection& table,
                                  int count) {
    const int n = std::min<int>(count, static_cast<int>(table.Slots.size()));
    for (int i = 0; i < n; ++i)
        if (table.Slots[static_cast<std::size_t>(i)].PS2MAC == mac)
            return i;
    return -1;
}

void TDataModule2::InitPs2Mac() {
    const std::shared_ptr<TConsoleCollection> old = consoles_.load();
    const auto lines = static_cast<std::size_t>(Ps2MacList.size());
    auto table = std::make_shared<TConsoleCollection>(lines);
    for (std::size_t i = 0; i < lines; ++i) {
        const QString& line = Ps2MacList.at(static_cast<qsizetype>(i));
        const QByteArray ansi = AnsiFromString(line.left(13));
        table->MacStrings[i] = std::string(ansi.constData(), static_cast<std::size_t>(ansi.size()));
        TConsoleInfo& slot = table->Slots[i];
        slot.PS2MAC = StrToMac(line);
        const int found =
            old ? Ps2MacAddrIndex(slot.PS2MAC, *old, static_cast<int>(old->Slots.size())) : -1;
        if (found >= 0) {
            const TConsoleInfo& o = old->Slots[static_cast<std::size_t>(found)];
            slot.Ps2Ip.store(o.Ps2Ip.load());
            slot.setRelayRaw(o.relay());
            slot.PacketCount.store(o.PacketCount.load());
            slot.ArpCount.store(o.ArpCount.load());
            slot.Enable.store(o.Enable.load());
            slot.Game = o.Game;
        } else {
            slot.PacketCount.store(0);
            slot.ArpCount.store(0);
            slot.setRelay(ServerAddresses().CaServerIP, kCaGamePort);
        }
    }
    // Published only when complete; readers holding the old table finish
    // with it undisturbed.
    consoles_.store(std::move(table));
}

int TDataModule2::Ps2MacSlot(const SNOOPMACADDRESS& mac) const {
    auto t = Consoles();
    return t ? Ps2MacAddrIndex(mac, *t, static_cast<int>(t->count())) : -1;
}

bool TDataModule2::AddPs2Mac(const QString& text) {
    if (Ps2MacList.contains(text, Qt::CaseInsensitive))
        return false;
    Ps2MacList.append(text);
    SaveMacList();
    InitPs2Mac();
    RecompileFilter();
    return true;
}

bool TDataModule2::RemovePs2Mac(const QString& text) {
    qsizetype at = -1;
    for (qsizetype k = 0; k < Ps2MacList.size(); ++k)
        if (Ps2MacList.at(k).compare(text, Qt::CaseInsensitive) == 0) {
            at = k;
            break;
        }
    if (at < 0)
        return false;
    Ps2MacList.removeAt(at);
    SaveMacList();
    InitPs2Mac();
    RecompileFilter();
    return true;
}

void TDataModule2::SaveMacList() {
    QByteArray bytes;
    for (const QString& line : Ps2MacList) {
        bytes += AnsiFromString(line);
        bytes += "\r\n";
    }
    const QString path = Ps2MacListPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}

// ---- captures -----------------------------------------------------------------

void TDataModule2::RecompileFilter() {
    QString filter =
        QStringLiteral("src 10.253 and dst 10.253 and src port 3658 and dst port 3658 and (");
    int terms = 0;
    for (const QString& line : Ps2MacList) {
        if (line.isEmpty())
            continue;
        if (terms++ > 0)
            filter += QStringLiteral(" or ");
        QString mac = line;
        const qsizetype dash = mac.indexOf(QLatin1Char('-'));
        if (dash >= 0)
            mac.remove(dash, 1);
        filter += QStringLiteral("ether src ") + mac;
    }
    filter += QLatin1Char(')');
    if (terms == 0)
        filter = kSilentFilter;
    GameTraffic->setFilter(filter);
    GameTraffic->Close();
    GameTraffic->Open();
}

void TDataModule2::ChangeAdapter(const QString& NICName) {
    for (TCustomSnoop* c :
         {static_cast<TCustomSnoop*>(GameTraffic), static_cast<TCustomSnoop*>(UDPRQs),
          static_cast<TCustomSnoop*>(DHCP), static_cast<TCustomSnoop*>(Arp)})
        if (c->Active())
            c->Close();
    if (!CaptureEnabled)
        return;
    ActivateUdpGame();
    const int i = static_cast<int>(GameTraffic->AdapterNames().indexOf(NICName));
    GameTraffic->setAdapterIndex(i);
    UDPRQs->setAdapterIndex(i);
    DHCP->setAdapterIndex(i);
    Arp->setAdapterIndex(i);
    RecompileFilter();
    GameTraffic->Open();
    UDPRQs->Open();
    DHCP->Open();
    Arp->Open();
}

void TDataModule2::CloseCap() {
    Arp->Close();
    UDPRQs->Close();
    DHCP->Close();
    GameTraffic->Close();
}

// ---- game traffic -------------------------------------------------------------

void TDataModule2::SendToRelay(const TConsoleInfo& slot, std::span<const std::uint8_t> frame) {
    const std::uint64_t relay = slot.relay();
    const auto ip = static_cast<std::uint32_t>(relay >> 16);
    const auto port = static_cast<quint16>(relay & 0xFFFF);
    if (ip == 0)
        return;
    // The address text is made again only when the relay changes, so the
    // per-frame path does not allocate for it.
    thread_local std::uint32_t cachedIp = 0;
    thread_local QString cachedText;
    if (ip != cachedIp || cachedText.isEmpty()) {
        cachedIp = ip;
        cachedText = slot.GameServerIp();
    }
    UdpGame->sendTo(cachedText, port,
                    QByteArrayView(reinterpret_cast<const char*>(frame.data()),
                                   static_cast<qsizetype>(frame.size())));
}

void TDataModule2::GameTrafficCaptureUDPData(TCustomSnoop*, const pcap_pkthdr*,
                                             ETHERNET_HDR* EthernetHeader, IP_HDR* IPHeader,
                                             UDP_HDR* UDPHeader, const std::uint8_t* UDPData,
                                             int UDPDataLength) {
    std::array<std::uint8_t, 2048> buffer;
    if (UDPDataLength < 0 || 42 + static_cast<std::size_t>(UDPDataLength) > buffer.size())
        return;
    ByteWriter w(buffer);
    const ETHERNET_HDR& e = *EthernetHeader;
    w.bytes(e.Destination);
    w.bytes(e.Source);
    w.record(Copy(e.Protocol));
    const IP_HDR& i = *IPHeader;
    w.u8(i.VerLen);
    w.u8(i.Service);
    w.record(Copy(i.Length));
    w.record(Copy(i.Ident));
    w.record(Copy(i.FlagOff));
    w.u8(i.TimeLive);
    w.u8(i.Protocol);
    w.record(Copy(i.Checksum));
    w.record(Copy(i.Source));
    w.record(Copy(i.Destination));
    const UDP_HDR& u = *UDPHeader;
    w.record(Copy(u.Source));
    w.record(Copy(u.Destination));
    w.record(Copy(u.Length));
    w.record(Copy(u.Checksum));
    w.bytes(std::span<const std::uint8_t>(UDPData, static_cast<std::size_t>(UDPDataLength)));
    if (!w.ok())
        return;
    const auto table = Consoles();
    if (!table)
        return;
    TConsoleInfo& slot = table->lookupByAddress(i.Source);
    SendToRelay(slot, w.written());
    slot.PacketCount.fetch_add(1, std::memory_order_relaxed);
    BridgePacketsOut.fetch_add(1, std::memory_order_relaxed);
}

void TDataModule2::UdpGameUDPRead(const QByteArray& data, const QString& peerAddress, quint16) {
    const TServerAddresses& a = ServerAddresses();
    if (peerAddress != a.S2ServerIP && peerAddress != a.CaServerIP)
        return;
    if (peerAddress.isEmpty() || data.size() > kFrameBuffer)
        return;
    std::array<std::uint8_t, kFrameBuffer> frame;
    const auto length = static_cast<std::size_t>(data.size());
    std::memcpy(frame.data(), data.constData(), length);
    if (GameTraffic->SendPacket(std::span<const std::uint8_t>(frame.data(), length)) == 0)
        BridgePacketsIn.fetch_add(1, std::memory_order_relaxed);
}

// ---- DHCP and ARP ---------------------------------------------------------------

void TDataModule2::DHCPCaptureUDPData(TCustomSnoop* Sender, const pcap_pkthdr*,
                                      ETHERNET_HDR* EthernetHeader, IP_HDR*, UDP_HDR*,
                                      const std::uint8_t* UDPData, int UDPDataLength) {
    const SNOOPMACADDRESS mac = EthernetHeader->Source;
    char text[13];
    MacText(mac, text);
    const std::uint32_t prefix = (std::uint32_t{mac[0]} << 16) | (mac[1] << 8) | mac[2];
    bool eligible =
        std::find(ConsolePrefixes.begin(), ConsolePrefixes.end(), prefix) != ConsolePrefixes.end();
    if (!eligible) {
        const auto table = Consoles();
        eligible = table && table->holdsMacString(text, sizeof text);
    }
    const QString macText = QString::fromLatin1(text, sizeof text);
    if (!eligible) {
        PostToOwner(this, [this, macText] {
            DhcpLog.append(QStringLiteral("IP Not Assign To ") + macText);
        });
        return;
    }
    // The transaction id and the first option lie inside the first 243
    // payload bytes; a shorter request is not answered.
    if (UDPDataLength < 243)
        return;
    std::memcpy(DhcpReply.data() + kDhcpTransactionId, UDPData + 4, 4);
    std::memcpy(DhcpReply.data() + kDhcpEthDestination, mac.data(), 6);
    std::memcpy(DhcpReply.data() + kDhcpClientHardware, mac.data(), 6);
    DhcpReply[kDhcpMessageType] = UDPData[242] == 1 ? 0x02 : 0x05;
    const std::uint8_t x = mac[4];
    const std::uint8_t y = mac[5];
    const std::uint8_t yours[4] = {10, 253, x, y};
    std::memcpy(DhcpReply.data() + kDhcpYourAddress, yours, 4);
    Sender->SendPacket(DhcpReply);
    // Steps that change the console list, the file and the log run on the
    // main thread, in the order of the requests.
    PostToOwner(this, [this, macText, x, y] {
        if (!Ps2MacList.contains(macText)) {
            if (AddPs2Mac(macText) && Hooks.AddToMacListBox)
                Hooks.AddToMacListBox(macText);
        }
        DhcpLog.append(QStringLiteral("Dhcp Assigned To ") + macText +
                       QStringLiteral(" IP Assign 10.253.") + QString::number(x) +
                       QLatin1Char('.') + QString::number(y));
    });
}

void TDataModule2::ArpCaptureARP(TCustomSnoop*, const pcap_pkthdr*, ETHERNET_HDR* EthernetHeader,
                                 ARP_HDR* ARPHeader) {
    const auto table = Consoles();
    if (!table)
        return;
    char text[13];
    MacText(EthernetHeader->Source, text);
    if (!table->holdsMacString(text, sizeof text))
        return;
    const ARP_HDR& a = *ARPHeader;
    if (NetToHost16(a.Operation) == 1 && a.TargetIP == kGatewayWire)
        UDPRQs->SendPacket(GatewayArpReply);
    std::array<std::uint8_t, 42> frame;
    ByteWriter w(frame);
    const ETHERNET_HDR& e = *EthernetHeader;
    w.bytes(e.Destination);
    w.bytes(e.Source);
    w.record(Copy(e.Protocol));
    w.record(Copy(a.HardwareType));
    w.record(Copy(a.ProtocolType));
    w.u8(a.HLen);
    w.u8(a.PLen);
    w.record(Copy(a.Operation));
    w.bytes(a.SenderHA);
    w.record(Copy(a.SenderIP));
    w.bytes(a.TargetHA);
    w.record(Copy(a.TargetIP));
    TConsoleInfo& slot = table->lookupByAddress(a.SenderIP);
    SendToRelay(slot, frame);
    slot.ArpCount.fetch_add(1, std::memory_order_relaxed);
}

// ---- timer and chat commands ----------------------------------------------------

bool TDataModule2::ChatHolds(const QString& line) const {
    return Hooks.ChatOutputHolds && Hooks.ChatOutputHolds(line);
}

void TDataModule2::ChatLine(const QString& line) {
    if (Hooks.AddChatOutputLine)
        Hooks.AddChatOutputLine(line);
}

void TDataModule2::Timer1Timer(QObject*) {
    if (!GameStats.GameName.isEmpty()) {
        if (GameNameAge == 4) {
            GameStats.GameName.clear();
            if (Hooks.DataToSend)
                Hooks.DataToSend(QString(QChar(0x000C)));
        }
        ++GameNameAge;
    }
    if (UDPRQs->AdapterIndex() == -1) {
        if (Arp->AdapterNames().isEmpty()) {
            const QString line = QStringLiteral(
                "It appears the Npf driver is not running. This driver is part of Winpcap and is "
                "require for TARN to function correctly. Do you want TARN to try to start it for "
                "you? If so type in without quotes \"/start npf\"");
            if (!ChatHolds(line)) {
                ChatLine(line);
                ChatLine(QString());
            }
            return;
        }
        if (!AdapterPromptShown) {
            if (Hooks.UiChangeAdapterToSelect)
                Hooks.UiChangeAdapterToSelect();
            AdapterPromptShown = true;
            if (UDPRQs->AdapterIndex() != -1)
                ChatLine(QStringLiteral("No network adapter selected issue resloved."));
            ChatLine(QString());
        }
        const QString line = QStringLiteral(
            "You do not have your Network adapter selected. Go to Options then Client Settings "
            "and select your Ethernet adapter.");
        if (UDPRQs->AdapterIndex() == -1 && !ChatHolds(line)) {
            ChatLine(line);
            ChatLine(QStringLiteral(" "));
            ChatLine(QStringLiteral(
                "If using PlayStation 2/3 console this should be your Ethernet adapter common "
                "names are realtek, controller, Ethernet and etc. If using PCSX2 you can type "
                "\"/setup pcsx2\" this would fetch the addapter you have set in dev9 "
                "configuration."));
            ChatLine(QString());
        }
        return;
    }
    if (CaptureEnabled) {
        for (TCustomSnoop* c :
             {static_cast<TCustomSnoop*>(UDPRQs), static_cast<TCustomSnoop*>(GameTraffic),
              static_cast<TCustomSnoop*>(Arp), static_cast<TCustomSnoop*>(DHCP)})
            if (!c->Active() && c->AdapterIndex() >= 0)
                c->Open();
    }
    if (UDPRQs->Active()) {
        std::array<std::uint8_t, 64> s2;
        std::memcpy(s2.data(), LanQueryHeader.data(), 42);
        std::memcpy(s2.data() + 42, S2LanQuery.data(), S2LanQuery.size());
        UDPRQs->SendPacket(s2);
        std::array<std::uint8_t, 202> ca;
        std::memcpy(ca.data(), LanQueryHeader.data(), 42);
        std::memcpy(ca.data() + 42, CaLanQuery.data(), CaLanQuery.size());
        for (const auto& port : CaLanQueryPorts) {
            ca[54] = port[0];
            ca[55] = port[1];
            UDPRQs->SendPacket(ca);
        }
    }
}

QString TDataModule2::PackStats() const {
    return QStringLiteral("Packets In: ") + QString::number(BridgePacketsIn.load()) +
           QStringLiteral("Packets Out: ") + QString::number(BridgePacketsOut.load());
}

void TDataModule2::SnifferState() {
    auto add = [this](const QString& s) {
        if (Hooks.AddToChatScreen)
            Hooks.AddToChatScreen(s);
    };
    add(Arp->Active() ? QStringLiteral("Arp active!!!!!!") : QStringLiteral("Arp Not Active"));
    add(DHCP->Active() ? QStringLiteral("Dhcp active!!!!!!") : QStringLiteral("DHCP Not Active"));
    add(GameTraffic->Active() ? QStringLiteral("Game Sniffer active!!!!!!")
                              : QStringLiteral("Game Sniffer Not Active"));
    add(UDPRQs->Active() ? QStringLiteral("Game Fetcher active!!!!!!")
                         : QStringLiteral("Game Fetcher Not Active"));
    ChatLine(QString());
}

QString TDataModule2::PcapVer() const {
    return backend_->version();
}

} // namespace tarn
