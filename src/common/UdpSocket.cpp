#include "common/UdpSocket.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarn {
namespace {

// Upper bound of datagrams handled in one wake-up; the notifier fires again
// while more are queued, so nothing is lost, the event loop just breathes.
constexpr int kMaxPerWakeUp = 4096;

QString errnoText(const char* what, int err) {
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(err));
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

// Numeric address text to a socket address of the given family.
bool toSockaddr(int family, const QString& address, quint16 port, sockaddr_storage& out,
                socklen_t& len) {
    std::memset(&out, 0, sizeof out);
    const QByteArray text = address.toLatin1();
    if (family == AF_INET) {
        auto* a = reinterpret_cast<sockaddr_in*>(&out);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        if (address.isEmpty())
            a->sin_addr.s_addr = htonl(INADDR_ANY);
        else if (inet_pton(AF_INET, text.constData(), &a->sin_addr) != 1)
            return false;
        len = sizeof(sockaddr_in);
        return true;
    }
    auto* a = reinterpret_cast<sockaddr_in6*>(&out);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(port);
    if (address.isEmpty())
        a->sin6_addr = in6addr_any;
    else if (inet_pton(AF_INET6, text.constData(), &a->sin6_addr) != 1)
        return false;
    len = sizeof(sockaddr_in6);
    return true;
}

void peerOf(const sockaddr_storage& from, QString& address, quint16& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (from.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&from);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        port = ntohs(a->sin_port);
    } else if (from.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&from);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port = ntohs(a->sin6_port);
    } else {
        port = 0;
    }
    address = QString::fromLatin1(text);
}

} // namespace

UdpSocket::UdpSocket(QObject* parent) : QObject(parent) {}

UdpSocket::~UdpSocket() {
    close();
}

void UdpSocket::setReceiver(Receiver receiver) {
    receiver_ = std::move(receiver);
}

void UdpSocket::setBufferSizes(int receiveBytes, int sendBytes) {
    receiveBuffer_ = receiveBytes > 0 ? receiveBytes : 0;
    sendBuffer_ = sendBytes > 0 ? sendBytes : 0;
    for (const Binding& b : bindings_)
        applyBufferSizes(b.fd);
}

void UdpSocket::applyBufferSizes(int fd) const {
    if (receiveBuffer_ > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
    if (sendBuffer_ > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer_, sizeof sendBuffer_);
}

bool UdpSocket::openBinding(int family, const QString& address, quint16 port, Binding& out,
                            QString* error) {
    sockaddr_storage sa;
    socklen_t len = 0;
    if (!toSockaddr(family, address, port, sa, len)) {
        setError(error, QStringLiteral("Invalid address: ") + address);
        return false;
    }
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        setError(error, errnoText("socket", errno));
        return false;
    }
    if (family == AF_INET6) {
        const int one = 1;
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    }
    applyBufferSizes(fd);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0) {
        setError(error, errnoText("bind", errno));
        ::close(fd);
        return false;
    }
    sockaddr_storage local;
    socklen_t localLen = sizeof local;
    QString ignored;
    quint16 boundPort = port;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) == 0)
        peerOf(local, ignored, boundPort);
    out.fd = fd;
    out.family = family;
    out.port = boundPort;
    out.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(out.notifier, &QSocketNotifier::activated, this, [this, fd] { readReady(fd); });
    return true;
}

bool UdpSocket::bind(quint16 port, QString* error) {
    close();
    Binding v4;
    if (!openBinding(AF_INET, QString(), port, v4, error))
        return false;
    bindings_.push_back(v4);
    Binding v6;
    if (openBinding(AF_INET6, QString(), v4.port, v6, nullptr) ||
        (port == 0 && openBinding(AF_INET6, QString(), 0, v6, nullptr)))
        bindings_.push_back(v6);
    if (!buffer_)
        buffer_ = std::make_unique<char[]>(kMaxDatagram);
    std::unique_lock lock(sendLock_);
    sendFd_ = v4.fd;
    sendFamily_ = AF_INET;
    return true;
}

bool UdpSocket::bindAddress(const QString& address, quint16 port, QString* error) {
    close();
    const int family = address.contains(QLatin1Char(':')) ? AF_INET6 : AF_INET;
    Binding b;
    if (!openBinding(family, address, port, b, error))
        return false;
    bindings_.push_back(b);
    if (!buffer_)
        buffer_ = std::make_unique<char[]>(kMaxDatagram);
    std::unique_lock lock(sendLock_);
    sendFd_ = b.fd;
    sendFamily_ = family;
    return true;
}

void UdpSocket::close() {
    ++generation_;
    {
        std::unique_lock lock(sendLock_);
        sendFd_ = -1;
        sendFamily_ = 0;
    }
    for (Binding& b : bindings_) {
        // The notifier may be the one whose signal is being handled right
        // now; deleteLater keeps it alive until that call returns.
        b.notifier->setEnabled(false);
        b.notifier->deleteLater();
        ::close(b.fd);
    }
    bindings_.clear();
}

bool UdpSocket::isActive() const {
    return !bindings_.empty();
}

quint16 UdpSocket::localPort() const {
    return bindings_.empty() ? 0 : bindings_.front().port;
}

bool UdpSocket::hasIpv6Binding() const {
    return bindings_.size() > 1 && bindings_[1].family == AF_INET6;
}

quint16 UdpSocket::ipv6LocalPort() const {
    return hasIpv6Binding() ? bindings_[1].port : 0;
}

bool UdpSocket::sendTo(const QString& address, quint16 port, QByteArrayView bytes,
                       QString* error) const {
    std::shared_lock lock(sendLock_);
    if (sendFd_ < 0) {
        setError(error, QStringLiteral("Socket is not active"));
        return false;
    }
    sockaddr_storage sa;
    socklen_t len = 0;
    if (address.isEmpty() || !toSockaddr(sendFamily_, address, port, sa, len)) {
        setError(error, QStringLiteral("Invalid address: \"") + address + QLatin1Char('"'));
        return false;
    }
    for (;;) {
        const ssize_t n = ::sendto(sendFd_, bytes.data(), static_cast<size_t>(bytes.size()),
                                   MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), len);
        if (n >= 0)
            return true;
        if (errno == EINTR)
            continue;
        setError(error, errnoText("sendto", errno));
        return false;
    }
}

void UdpSocket::readReady(int fd) {
    const quint64 generation = generation_;
    for (int i = 0; i < kMaxPerWakeUp && generation == generation_; ++i) {
        sockaddr_storage from;
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer_.get(), kMaxDatagram, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN: drained; other errors (ICMP reports) end this wake-up
        }
        if (!receiver_)
            continue;
        QString peer;
        quint16 peerPort = 0;
        peerOf(from, peer, peerPort);
        receiver_(QByteArray(buffer_.get(), static_cast<qsizetype>(n)), peer, peerPort);
    }
}

} // namespace tarn
