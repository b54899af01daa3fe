#pragma once
// The packet-capture library bound at run time, and the small capture
// adapter every capture component works through.
//
// libpcap is loaded with dlopen (libpcap.so.1, else libpcap.so.0.8) the first
// time a real backend is asked for; a library that cannot be loaded, or that
// lacks one of the functions we use, makes PcapBackend() throw
// std::runtime_error, which surfaces as the construction failure of the
// capture components and of the bridge module. <pcap/pcap.h> is included for
// its types only; nothing links -lpcap.
//
// ICaptureSource is one open capture (open, filter, next, send, close, error
// text). ICaptureBackend enumerates devices and opens sources. Tests use
// FakeCaptureBackend (frames pushed by the test, sent frames recorded) or
// PcapOfflineSource (a .pcap fixture file).

#include <pcap/pcap.h>

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace tarn {

// Result of ICaptureSource::next, as pcap_next_ex gives it.
inline constexpr int kCaptureFrame = 1;
inline constexpr int kCaptureTimeout = 0;
inline constexpr int kCaptureError = -1;
inline constexpr int kCaptureEnd = -2; // end of a capture file

struct TCaptureDevice {
    QString Name;
    QString Description;
    bool HasNetmask = false;
    std::uint32_t Netmask = 0xFFFFFFFFu; // as the library reports it (wire order)
};

struct TOpenOptions {
    int SnapLen = 1600;
    bool Promiscuous = true;
    int ReadTimeOut = 100; // milliseconds
    // Hand every frame over at once instead of when a buffer block fills.
    bool Immediate = true;
    int BufferSize = 0;      // bytes; 0 keeps the library's default
    bool InboundOnly = true; // do not see the frames we send ourselves
};

// One open capture. next() is called from one capture thread; send() may be
// called from any thread (the library's send is used without a lock).
class ICaptureSource {
public:
    virtual ~ICaptureSource() = default;
    // Compiles and installs a filter; false with errorText() on failure.
    virtual bool setFilter(const QString& expression, std::uint32_t netmask) = 0;
    // kCaptureFrame with header and data valid until the next call,
    // kCaptureTimeout, kCaptureError or kCaptureEnd.
    virtual int next(const pcap_pkthdr** header, const std::uint8_t** data) = 0;
    // 0 when sent, negative when not.
    virtual int send(std::span<const std::uint8_t> frame) = 0;
    virtual QString errorText() const = 0;
    // Any thread: makes a next() that waits return at once. The stop of a
    // capture thread needs it: libpcap 1.10 on Linux keeps waiting past the
    // read time-out until a frame comes.
    virtual void interrupt() {}
};

class ICaptureBackend {
public:
    virtual ~ICaptureBackend() = default;
    // False with `error` set when the enumeration failed.
    virtual bool devices(std::vector<TCaptureDevice>& out, QString& error) = 0;
    // The opened source, or null with `error` set.
    virtual std::shared_ptr<ICaptureSource> open(const QString& device, const TOpenOptions& options,
                                                 QString& error) = 0;
    virtual QString version() const = 0;
};

// The libpcap backend; throws std::runtime_error when the library cannot be
// loaded. The object lives for the whole process.
ICaptureBackend& PcapBackend();

// A .pcap file opened with pcap_open_offline; null with `error` on failure.
std::shared_ptr<ICaptureSource> OpenPcapFile(const QString& path, QString& error);

// A backend for tests: a fixed device list, and sources whose frames the test
// pushes and whose sent frames it reads back.
class FakeCaptureSource : public ICaptureSource {
public:
    explicit FakeCaptureSource(int readTimeOutMs) : timeout_(readTimeOutMs) {}
    bool setFilter(const QString& expression, std::uint32_t netmask) override;
    int next(const pcap_pkthdr** header, const std::uint8_t** data) override;
    int send(std::span<const std::uint8_t> frame) override;
    QString errorText() const override;
    void interrupt() override;

    // Queues a frame; `wireLength` 0 means the frame's own size.
    void push(std::vector<std::uint8_t> frame, std::uint32_t wireLength = 0);
    // Makes the next read return kCaptureError.
    void failNextRead();
    std::vector<std::vector<std::uint8_t>> sent() const;
    QString filter() const;
    // Frames queued but not yet read.
    std::size_t pending() const;
    void setFilterFails(bool fails) { filterFails_ = fails; }
    void setSendFails(bool fails) { sendFails_ = fails; }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::pair<std::vector<std::uint8_t>, std::uint32_t>> queue_;
    std::vector<std::uint8_t> current_;
    pcap_pkthdr header_{};
    std::vector<std::vector<std::uint8_t>> sent_;
    QString filter_;
    int timeout_;
    bool failRead_ = false;
    bool interrupted_ = false;
    bool filterFails_ = false;
    bool sendFails_ = false;
};

class FakeCaptureBackend : public ICaptureBackend {
public:
    std::vector<TCaptureDevice> Devices;
    bool EnumerationFails = false;
    bool OpenFails = false;
    bool FilterFails = false;

    bool devices(std::vector<TCaptureDevice>& out, QString& error) override;
    std::shared_ptr<ICaptureSource> open(const QString& device, const TOpenOptions& options,
                                         QString& error) override;
    QString version() const override { return QStringLiteral("fake capture 1.0"); }

    // The sources opened so far, newest last, with the device and options used.
    struct Opened {
        QString Device;
        TOpenOptions Options;
        std::shared_ptr<FakeCaptureSource> Source;
    };
    std::vector<Opened> opened() const;
    // The newest source opened on `device`, or null.
    std::shared_ptr<FakeCaptureSource> last(const QString& device) const;

private:
    mutable std::mutex m_;
    std::vector<Opened> opened_;
};

} // namespace tarn
