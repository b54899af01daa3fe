#pragma once
// Capture components that parse frames into wire-header records:
// TSnoopUDPData (UDP over IPv4) and TSnoopARP, with their base TCustomSnoop,
// and the unit functions that find the headers in a frame.
//
// A component lives on the main thread. Open starts a capture thread; with
// ThreadSafe set the thread hands every frame to the main thread and waits
// for the handler, otherwise the handler runs on the capture thread. Errors
// are stored in Error() instead of being raised.
//
// The header records handed to a handler are copies read with a bounds
// check out of the captured bytes; the handler may change them. The payload
// pointer points into the library's buffer and is valid until the handler
// returns. A frame whose headers or payload are not all inside the captured
// bytes is dropped.

#include "bridge/CaptureRunner.h"
#include "bridge/Pcap.h"
#include "common/WireHeaders.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <span>

namespace tarn {

class TCustomSnoop;

using TOnCaptureUDPDataEvent = std::function<void(
    TCustomSnoop* Sender, const pcap_pkthdr* PacketHeader, ETHERNET_HDR* EthernetHeader,
    IP_HDR* IPHeader, UDP_HDR* UDPHeader, const std::uint8_t* UDPData, int UDPDataLength)>;
using TOnCaptureARPEvent = std::function<void(TCustomSnoop* Sender, const pcap_pkthdr* PacketHeader,
                                              ETHERNET_HDR* EthernetHeader, ARP_HDR* ARPHeader)>;

// The device name every TCustomSnoop opens; written only by a successful
// AdapterIndex assignment. Main thread only.
extern QString CurrentAdapter;

// Where the components show their notices (a failed device enumeration,
// a CapLen out of range). The application points it at its message box;
// by default notices are dropped. Main thread only.
void SetCaptureMessageHandler(std::function<void(const QString&)> handler);
void ShowCaptureMessage(const QString& text);

// Unit functions on captured bytes. Each reads its record at the fixed
// offset (Ethernet 0, IPv4 and ARP 14, UDP 34; IPv4 options are not
// considered) and fails when the record is not entirely inside `frame`.
bool ReadEthernetHeader(std::span<const std::uint8_t> frame, ETHERNET_HDR& eth);
// EtherType 0x0800 and 20 header bytes present.
bool GetIPHeader(std::span<const std::uint8_t> frame, const ETHERNET_HDR& eth, IP_HDR& ip);
// EtherType 0x0806 and 28 header bytes present.
bool GetARPHeader(std::span<const std::uint8_t> frame, const ETHERNET_HDR& eth, ARP_HDR& arp);
// Protocol 17 and 8 header bytes present 20 bytes after the IPv4 header.
bool GetUDPHeader(std::span<const std::uint8_t> frame, const IP_HDR& ip, UDP_HDR& udp);
// The payload 8 bytes after the UDP header, of UDP Length - 8 bytes. Fails
// when Length is below 8 or the payload is not all captured.
bool GetUDPData(std::span<const std::uint8_t> frame, const UDP_HDR& udp,
                std::span<const std::uint8_t>& payload);

// The library's send call; 0 sent, negative failed.
int SendPacket(ICaptureSource* handle, std::span<const std::uint8_t> frame);

class TCustomSnoop : public QObject {
    Q_OBJECT
public:
    // `backend` null: the libpcap backend, which throws std::runtime_error
    // when the library cannot be loaded. The backend must outlive us.
    explicit TCustomSnoop(QObject* owner = nullptr, ICaptureBackend* backend = nullptr);
    ~TCustomSnoop() override;

    int AdapterIndex() const { return FAdapterIndex; }
    void setAdapterIndex(int v);
    QString AdapterName() const { return FAdapterName; }
    void setAdapterName(const QString& s);
    QString AdapterDescription() const { return FAdapterDescription; }
    void setAdapterDescription(const QString& s);
    const QStringList& AdapterNames() const { return FAdapterNames; }
    const QStringList& AdapterDescriptions() const { return FAdapterDescriptions; }

    bool ThreadSafe() const { return FThreadSafe; }
    void setThreadSafe(bool v) { FThreadSafe = v; }
    QString Filter() const { return FFilter; }
    void setFilter(const QString& v) { FFilter = v; }
    int SnapLen() const { return FSnapLen; }
    void setSnapLen(int v) { FSnapLen = v; }
    int Flags() const { return FFlags; }
    void setFlags(int v) { FFlags = v; }
    int ReadTimeOut() const { return FReadTimeOut; }
    void setReadTimeOut(int v) { FReadTimeOut = v; }
    // Capture buffer in bytes (0: the library's default).
    int BufferSize() const { return FBufferSize; }
    void setBufferSize(int v) { FBufferSize = v; }

    bool Active() const { return FActive; }
    QString Error() const { return FError; }
    QString SourceName() const { return FSourceName; }

    void Open();
    void Close();

    // Any thread: sends a raw frame on the running capture's handle;
    // negative when none is open or the send failed.
    int SendPacket(std::span<const std::uint8_t> frame) const { return runner_.send(frame); }
    // Any thread: the running capture's handle, or null.
    std::shared_ptr<ICaptureSource> Handle() const { return runner_.source(); }

protected:
    // Called for every captured frame, on the thread the delivery runs on.
    virtual void DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data) = 0;

private:
    void GetAdapterNames(QStringList& list);
    void GetAdapterDescriptions(QStringList& list);
    void ThreadDone(const QString& error);

    ICaptureBackend* backend_;
    bool FActive = false;
    int FAdapterIndex = -1;
    QString FAdapterName;
    QString FAdapterDescription;
    QStringList FAdapterNames;
    QStringList FAdapterDescriptions;
    bool FThreadSafe = true;
    QString FFilter;
    int FSnapLen = 1600;
    int FFlags = 1;
    int FReadTimeOut = 100;
    int FBufferSize = 0;
    QString FError;
    QString FSourceName;
    CaptureRunner runner_;

    friend class TSnoopUDPData;
    friend class TSnoopARP;
};

class TSnoopUDPData : public TCustomSnoop {
    Q_OBJECT
public:
    explicit TSnoopUDPData(QObject* owner = nullptr, ICaptureBackend* backend = nullptr);
    // Set while the component is closed.
    TOnCaptureUDPDataEvent OnCaptureUDPData;

protected:
    void DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data) override;
};

class TSnoopARP : public TCustomSnoop {
    Q_OBJECT
public:
    explicit TSnoopARP(QObject* owner = nullptr, ICaptureBackend* backend = nullptr);
    // Set while the component is closed.
    TOnCaptureARPEvent OnCaptureARP;

protected:
    void DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data) override;
};

} // namespace tarn
