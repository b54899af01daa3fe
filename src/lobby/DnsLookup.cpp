#include "lobby/DnsLookup.h"

#include "common/ByteReader.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QStringList>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarn {
namespace {

constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kClassIn = 1;
constexpr int kMaxRecords = 256; // records walked at most per section

// Steps over a (possibly compressed) name; false when it cannot be read.
bool skipName(ByteReader& r) {
    for (int labels = 0; labels < 128; ++labels) {
        const std::uint8_t len = r.u8();
        if (!r.ok())
            return false;
        if (len == 0)
            return true;
        if ((len & 0xC0) == 0xC0) {
            r.u8(); // a pointer ends the name in place
            return r.ok();
        }
        if ((len & 0xC0) != 0)
            return false;
        if (!r.skip(len))
            return false;
    }
    return false;
}

QString errnoText(const char* what) {
    return QString::fromLatin1(what) + QStringLiteral(": ") +
           QString::fromLocal8Bit(strerror(errno));
}

} // namespace

QByteArray EncodeDnsQuery(std::uint16_t id, const QString& host) {
    const QByteArray name = host.toUtf8();
    if (name.isEmpty() || name.size() > 253)
        return {};
    QByteArray q;
    q.reserve(18 + name.size());
    auto u16 = [&q](std::uint16_t v) {
        q.append(static_cast<char>(v >> 8));
        q.append(static_cast<char>(v & 0xFF));
    };
    u16(id);
    u16(0x0100); // standard query, recursion desired
    u16(1);      // one question
    u16(0);
    u16(0);
    u16(0);
    QByteArray n = name;
    if (n.endsWith('.'))
        n.chop(1);
    for (const QByteArray& label : n.split('.')) {
        if (label.isEmpty() || label.size() > 63)
            return {};
        q.append(static_cast<char>(label.size()));
        q.append(label);
    }
    q.append('\0');
    u16(kTypeA);
    u16(kClassIn);
    return q;
}

DnsAnswer ParseDnsResponse(const QByteArray& bytes, std::uint16_t id) {
    DnsAnswer out;
    ByteReader r(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::uint16_t gotId = r.u16be();
    const std::uint16_t flags = r.u16be();
    const std::uint16_t qd = r.u16be();
    const std::uint16_t an = r.u16be();
    r.u16be(); // authority
    r.u16be(); // additional
    if (!r.ok() || gotId != id || (flags & 0x8000) == 0)
        return out;
    out.rcode = static_cast<std::uint8_t>(flags & 0x0F);
    for (int i = 0; i < qd && i < kMaxRecords; ++i) {
        if (!skipName(r) || !r.skip(4))
            return out;
    }
    out.valid = true;
    for (int i = 0; i < an && i < kMaxRecords; ++i) {
        if (!skipName(r))
            return out;
        const std::uint16_t type = r.u16be();
        const std::uint16_t cls = r.u16be();
        r.u32be(); // ttl
        const std::uint16_t len = r.u16be();
        const auto data = r.view(len);
        if (!r.ok())
            return out;
        if (type == kTypeA && cls == kClassIn && len == 4) {
            out.address =
                QStringLiteral("%1.%2.%3.%4").arg(data[0]).arg(data[1]).arg(data[2]).arg(data[3]);
            return out;
        }
    }
    return out;
}

DnsResult ResolveARecord(const QString& server, quint16 port, const QString& host, int timeoutMs) {
    DnsResult result;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (inet_pton(AF_INET, server.toLatin1().constData(), &to.sin_addr) != 1) {
        result.error = QStringLiteral("Invalid DNS server address: ") + server;
        return result;
    }
    const auto id = static_cast<std::uint16_t>(QRandomGenerator::global()->generate());
    const QByteArray query = EncodeDnsQuery(id, host);
    if (query.isEmpty()) {
        result.error = QStringLiteral("Invalid host name: ") + host;
        return result;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        result.error = errnoText("socket");
        return result;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::sendto(fd, query.constData(), static_cast<size_t>(query.size()), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
        result.error = errnoText("sendto");
        return result;
    }
    QDeadlineTimer deadline(timeoutMs);
    QByteArray buffer(4096, Qt::Uninitialized);
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = ::recvfrom(fd, buffer.data(), static_cast<size_t>(buffer.size()),
                                       MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (got < 0)
            continue; // ICMP port unreachable and the like: keep waiting
        if (from.sin_addr.s_addr != to.sin_addr.s_addr || from.sin_port != to.sin_port)
            continue;
        const DnsAnswer answer = ParseDnsResponse(buffer.left(got), id);
        if (!answer.valid)
            continue;
        result.status = DnsResult::Answered;
        result.address = answer.address;
        return result;
    }
    result.status = DnsResult::TimedOut;
    result.error = QStringLiteral("Timed out waiting for the DNS answer");
    return result;
}

} // namespace tarn
