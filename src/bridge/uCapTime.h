#pragma once
// TCapTime (base TCapBase): a capture component that opens the adapter at a
// position in the device list and hands every raw frame with its length to
// OnCaptureData. Lives on the main thread; its capture thread delivers on
// the main thread when ThreadSafe is set, otherwise on itself.

#include "bridge/CaptureRunner.h"
#include "bridge/Pcap.h"

#include <QObject>
#include <QString>
#include <functional>

namespace tarn {

class TCapBase;

using PPAcketData = const std::uint8_t*;
using TOnCaptureDataEvent = std::function<void(TCapBase* Sender, const pcap_pkthdr* PacketHeader,
                                               PPAcketData Data, int size)>;

// The promiscuous flag every TCapBase opens with: the value last written to
// any component's promoucous. Main thread only.
extern bool PromiscuousMode;

class TCapBase : public QObject {
    Q_OBJECT
public:
    // `backend` null: the libpcap backend (throws when it cannot be loaded).
    explicit TCapBase(QObject* owner = nullptr, ICaptureBackend* backend = nullptr);
    ~TCapBase() override;

    quint16 CapLen() const { return FCapLen; }
    // A value above 1514 shows "Value needs be between 0 and 1514" and is
    // stored all the same.
    void setCapLen(quint16 v);
    int AdapterIndex() const { return FAdapterIndex; }
    void setAdapterIndex(int v) { FAdapterIndex = v; }
    QString Filter() const { return Ffilter; }
    void setFilter(const QString& v) { Ffilter = v; }
    bool active() const { return Factive; }
    void setActive(bool v);
    bool promoucous() const { return Fpromoucous; }
    void setPromoucous(bool v);
    bool ThreadSafe() const { return FThreadSafe; }
    void setThreadSafe(bool v) { FThreadSafe = v; }
    int TimeOut() const { return Ftimeout; }
    void setTimeOut(int v) { Ftimeout = v; }
    int BufferSize() const { return FBufferSize; }
    void setBufferSize(int v) { FBufferSize = v; }
    QString Error() const { return FError; }

    // Any thread: raw send on the open handle; negative when none.
    int SendPacket(std::span<const std::uint8_t> frame) const { return runner_.send(frame); }

protected:
    virtual void DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data, int size) = 0;

private:
    void OpenAdapter();
    void WorkerDone(const QString& error);

    ICaptureBackend* backend_;
    quint16 FCapLen = 1514;
    int FAdapterIndex = 0;
    QString Ffilter;
    bool Factive = false;
    bool FOpen = false;
    bool Fpromoucous = true;
    bool FThreadSafe = true;
    int Ftimeout = 0;
    int FBufferSize = 0;
    QString FError;
    CaptureRunner runner_;
};

class TCapTime : public TCapBase {
    Q_OBJECT
public:
    using TCapBase::TCapBase;
    // Set while the component is inactive.
    TOnCaptureDataEvent OnCaptureData;

protected:
    void DeliverPacket(const pcap_pkthdr* header, const std::uint8_t* data, int size) override;
};

} // namespace tarn
