#pragma once
// TDataModule2: the LAN bridge module. It owns the four capture components
// (GameTraffic, UDPRQs, DHCP, Arp), the relay socket UdpGame, the console
// list Ps2MacList ("Ps2MacList.txt") with the console table Consoles, the
// game name, the traffic counters and the 10-second BridgeTimer.
//
// Threads: the module lives on the main thread. GameTrafficCaptureUDPData
// runs on GameTraffic's capture thread and DHCPCaptureUDPData and
// ArpCaptureARP on their components' capture threads; they read only the
// published console table (swapped in whole by InitPs2Mac; slot fields and
// counters are atomics) and send through thread-safe handles. Everything
// that changes the console list, the file, DhcpLog or the chat runs on the
// main thread (the DHCP handler queues those steps there, in order). The
// TCP relay clients of the original module are not carried: relaying is
// over UDP only.

#include "bridge/FrameTemplates.h"
#include "bridge/Pcap.h"
#include "bridge/SharedSlot.h"
#include "bridge/Snoop.h"
#include "common/WireHeaders.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

class UdpSocket;

// Process-wide capture switch (main thread): set true when the main window is
// created, switched by lobby commands and the keep-alive timer.
extern bool CaptureEnabled;

// Settings the module takes at creation. The application fills these from
// its settings record before the module is created; DataFolder empty means
// local application data + "/TARN".
struct TBridgeSettings {
    QString DataFolder;
    quint16 GameTrafficPort = 0;
};
TBridgeSettings& BridgeSettings();

// Game relay ports.
inline constexpr quint16 kS2GamePort = 30122;
inline constexpr quint16 kCaGamePort = 30123;

struct TConsoleInfo {
    std::atomic<std::uint32_t> Ps2Ip{0}; // wire form; 0 until known
    SNOOPMACADDRESS PS2MAC{};            // fixed once the table is published
    std::atomic<std::uint32_t> PacketCount{0};
    std::atomic<std::uint32_t> ArpCount{0};
    std::atomic<bool> Udp{false};
    std::atomic<bool> Enable{false};
    QString Game; // main thread only

    // The relay: dotted IPv4 text (at most 15 characters) and port, stored
    // together so a capture thread never sees one without the other.
    QString GameServerIp() const;
    quint16 GamePort() const { return static_cast<quint16>(relay_.load() & 0xFFFF); }
    // Host-order IPv4 address of the relay; 0 when the text is no address.
    std::uint32_t GameServerAddress() const {
        return static_cast<std::uint32_t>(relay_.load() >> 16);
    }
    void setRelay(const QString& address, quint16 port);
    std::uint64_t relay() const { return relay_.load(); }
    void setRelayRaw(std::uint64_t v) { relay_.store(v); }

private:
    std::atomic<std::uint64_t> relay_{0};
};

// The console table as published: one slot per Ps2MacList line plus a spare
// slot, and the lines cut to 13 characters (Ps2MacStrings) for the exact
// look-ups of the DHCP, ARP and lobby handlers. Never changed in size after
// publication.
struct TConsoleCollection {
    explicit TConsoleCollection(std::size_t lines) : Slots(lines + 1), MacStrings(lines) {}
    std::vector<TConsoleInfo> Slots;
    std::vector<std::string> MacStrings; // ANSI bytes
    std::size_t count() const { return MacStrings.size(); }
    // The first of the first count() slots whose Ps2Ip equals `wireIp`, else
    // slot 0.
    TConsoleInfo& lookupByAddress(std::uint32_t wireIp);
    // Whether `macText` (13 ASCII characters) equals an entry exactly.
    bool holdsMacString(const char* macText, std::size_t length) const;
};

struct TGameStats {
    QString GameName;
    QByteArray Gamedata;
    quint16 Checksum = 0;
};

// What the module needs from the windows; the application wires them.
struct TBridgeHooks {
    std::function<void(const QString&)> DataToSend;        // lobby datagram
    std::function<bool(const QString&)> ChatOutputHolds;   // MemoChatOutput has the line
    std::function<void(const QString&)> AddChatOutputLine; // MemoChatOutput line
    std::function<void(const QString&)> AddToChatScreen;
    std::function<void()> UiChangeAdapterToSelect;       // options dialog
    std::function<void(const QString&)> AddToMacListBox; // ListBoxMacList
};

// The 16 MAC prefixes served by DHCP without pairing, (b1<<16)+(b2<<8)+b3.
extern const std::array<std::uint32_t, 16> ConsolePrefixes;

class TDataModule2 : public QObject {
    Q_OBJECT
public:
    // `backend` null: libpcap, which throws std::runtime_error when it
    // cannot be loaded.
    explicit TDataModule2(QObject* parent = nullptr, ICaptureBackend* backend = nullptr);
    ~TDataModule2() override;

    // Components.
    TSnoopUDPData* GameTraffic = nullptr;
    TSnoopUDPData* UDPRQs = nullptr;
    TSnoopUDPData* DHCP = nullptr;
    TSnoopARP* Arp = nullptr;
    UdpSocket* UdpGame = nullptr;
    QTimer* BridgeTimer = nullptr;

    // Module state (main thread unless noted).
    QStringList Ps2MacList;
    QStringList PairCodes;
    QStringList DhcpLog;
    TGameStats GameStats;
    quint16 GameNameAge = 0;
    bool AdapterPromptShown = false;
    std::atomic<std::uint32_t> BridgePacketsIn{0};  // any thread
    std::atomic<std::uint32_t> BridgePacketsOut{0}; // any thread
    TBridgeHooks Hooks;

    // The published console table (any thread); null before InitPs2Mac.
    std::shared_ptr<TConsoleCollection> Consoles() const { return consoles_.load(); }
    QStringList Ps2MacStrings() const;

    void DataModuleCreate(QObject* sender);
    void DataModuleDestroy(QObject* sender) { Q_UNUSED(sender); }
    void ChangeAdapter(const QString& NICName);
    void CloseCap();
    void RecompileFilter();
    void InitPs2Mac();
    static int Ps2MacAddrIndex(const SNOOPMACADDRESS& mac, const TConsoleCollection& table,
                               int count);
    // Binds UdpGame (local port GameTrafficPort, else any) if it is not
    // active; logout deactivates it with UdpGame->close().
    bool ActivateUdpGame();

    // Console list operations shared with pairing and the options dialog.
    bool AddPs2Mac(const QString& text);
    bool RemovePs2Mac(const QString& text);
    void SaveMacList();
    int Ps2MacSlot(const SNOOPMACADDRESS& mac) const;
    QString Ps2MacListPath() const;

    // Capture handlers.
    void GameTrafficCaptureUDPData(TCustomSnoop* Sender, const pcap_pkthdr* PacketHeader,
                                   ETHERNET_HDR* EthernetHeader, IP_HDR* IPHeader,
                                   UDP_HDR* UDPHeader, const std::uint8_t* UDPData,
                                   int UDPDataLength);
    void DHCPCaptureUDPData(TCustomSnoop* Sender, const pcap_pkthdr* PacketHeader,
                            ETHERNET_HDR* EthernetHeader, IP_HDR* IPHeader, UDP_HDR* UDPHeader,
                            const std::uint8_t* UDPData, int UDPDataLength);
    void ArpCaptureARP(TCustomSnoop* Sender, const pcap_pkthdr* PacketHeader,
                       ETHERNET_HDR* EthernetHeader, ARP_HDR* ARPHeader);
    // A datagram of the relay socket (main thread).
    void UdpGameUDPRead(const QByteArray& data, const QString& peerAddress, quint16 peerPort);

    void Timer1Timer(QObject* sender);
    QString PackStats() const;
    void SnifferState();
    QString PcapVer() const;
    void ApplyMultiAdapters() {}

private:
    void SendToRelay(const TConsoleInfo& slot, std::span<const std::uint8_t> frame);
    bool ChatHolds(const QString& line) const;
    void ChatLine(const QString& line);

    ICaptureBackend* backend_;
    SharedSlot<TConsoleCollection> consoles_;
    // Only the DHCP capture thread writes it.
    std::array<std::uint8_t, kDhcpReplySize> DhcpReply;
};

} // namespace tarn
