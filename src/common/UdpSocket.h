#pragma once
// UdpSocket: a small UDP socket of our own around POSIX sockets.
//
// - bind(port) binds the IPv4 wildcard on `port` (0 = the system chooses)
//   and, where the system has IPv6, an IPv6 wildcard too (IPV6_V6ONLY, so
//   the two never overlap; it takes the IPv4 binding's port when free, any
//   port otherwise). bindAddress(address, port) binds one given IPv4 or IPv6
//   address only (tests use 127.0.0.N).
// - sendTo sends from the IPv4 binding (or the only binding of bindAddress)
//   and may be called from any thread, also while the main thread closes the
//   socket: the send then fails with an error text.
// - Reading happens on the thread that owns the object (the main thread)
//   through QSocketNotifier: every ready datagram is drained per wake-up
//   (bounded per wake-up so a flood cannot starve the event loop) and handed
//   to the receiver as (bytes, peer address text, peer port). Datagrams are
//   at most 64 KiB; the receive buffer is allocated once.
// - The receiver may call close() or bind again; it must not destroy the
//   socket object.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <shared_mutex>
#include <vector>

class QSocketNotifier;

namespace tarn {

class UdpSocket : public QObject {
    Q_OBJECT
public:
    using Receiver =
        std::function<void(const QByteArray& data, const QString& peerAddress, quint16 peerPort)>;

    static constexpr int kMaxDatagram = 65536;

    explicit UdpSocket(QObject* parent = nullptr);
    ~UdpSocket() override;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    void setReceiver(Receiver receiver);

    // SO_RCVBUF / SO_SNDBUF in bytes for the bindings made from now on and
    // for the open ones; 0 keeps the system's default.
    void setBufferSizes(int receiveBytes, int sendBytes);

    // Closes any earlier binding first. False with `error` filled when the
    // IPv4 binding fails (a failing IPv6 binding is not an error).
    bool bind(quint16 port, QString* error = nullptr);
    bool bindAddress(const QString& address, quint16 port, QString* error = nullptr);

    // Deactivates: closes every binding; no receiver call happens afterwards.
    void close();
    bool isActive() const;

    // Local port of the sending binding (0 when inactive) and whether an
    // IPv6 binding is open, with its port.
    quint16 localPort() const;
    bool hasIpv6Binding() const;
    quint16 ipv6LocalPort() const;

    // Thread-safe. `address` is a numeric IPv4 text (or IPv6 when the
    // sending binding is IPv6). False with `error` filled on failure.
    bool sendTo(const QString& address, quint16 port, QByteArrayView bytes,
                QString* error = nullptr) const;

private:
    struct Binding {
        int fd = -1;
        int family = 0;
        quint16 port = 0;
        QSocketNotifier* notifier = nullptr;
    };

    bool openBinding(int family, const QString& address, quint16 port, Binding& out,
                     QString* error);
    void applyBufferSizes(int fd) const;
    void readReady(int fd);

    Receiver receiver_;
    int receiveBuffer_ = 0;
    int sendBuffer_ = 0;
    std::vector<Binding> bindings_; // [0] is the sending binding
    // Guards the sending descriptor against a concurrent close.
    mutable std::shared_mutex sendLock_;
    int sendFd_ = -1;
    int sendFamily_ = 0;
    quint64 generation_ = 0; // bumped by close(): stops a drain in progress
    std::unique_ptr<char[]> buffer_;
};

} // namespace tarn
