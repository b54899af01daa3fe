#pragma once
// Helpers of the bridge tests: frame builders, hex text, bounded waiting.

#include "common/WireHeaders.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarn::test {

using Bytes = std::vector<std::uint8_t>;

// "0a fd 00 01" (blanks ignored) -> bytes.
inline Bytes Hex(const std::string& text) {
    QByteArray compact;
    for (char c : text)
        if (c != ' ' && c != '\n')
            compact += c;
    const QByteArray raw = QByteArray::fromHex(compact);
    return Bytes(raw.begin(), raw.end());
}
inline Bytes Zeros(std::size_t n) {
    return Bytes(n, 0);
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline std::string ToHex(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()))
        .toHex(' ')
        .toStdString();
}

// Processes events until `done` holds or `ms` pass; no sleeping.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

struct UdpFrameFields {
    SNOOPMACADDRESS Dst{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    SNOOPMACADDRESS Src{0x00, 0x04, 0x1f, 0x12, 0xab, 0x34};
    std::array<std::uint8_t, 4> SrcIp{10, 253, 171, 52};
    std::array<std::uint8_t, 4> DstIp{10, 253, 1, 2};
    std::uint16_t SrcPort = 3658;
    std::uint16_t DstPort = 3658;
    int UdpLengthDelta = 0; // added to the UDP Length field
};

// Ethernet + IPv4 (no options) + UDP + payload, fields in wire order.
inline Bytes UdpFrame(const UdpFrameFields& s, const Bytes& payload) {
    Bytes f;
    f.insert(f.end(), s.Dst.begin(), s.Dst.end());
    f.insert(f.end(), s.Src.begin(), s.Src.end());
    f.push_back(0x08), f.push_back(0x00);
    const std::size_t total = 28 + payload.size();
    const Bytes ip = {
        0x45, 0x00, std::uint8_t(total >> 8), std::uint8_t(total), 0x12, 0x34, 0, 0, 64, 17,
        0xbe, 0xef};
    f.insert(f.end(), ip.begin(), ip.end());
    f.insert(f.end(), s.SrcIp.begin(), s.SrcIp.end());
    f.insert(f.end(), s.DstIp.begin(), s.DstIp.end());
    const int udpLen = static_cast<int>(8 + payload.size()) + s.UdpLengthDelta;
    const Bytes udp = {std::uint8_t(s.SrcPort >> 8),
                       std::uint8_t(s.SrcPort),
                       std::uint8_t(s.DstPort >> 8),
                       std::uint8_t(s.DstPort),
                       std::uint8_t(udpLen >> 8),
                       std::uint8_t(udpLen),
                       0x00,
                       0x00};
    f.insert(f.end(), udp.begin(), udp.end());
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

// Ethernet + ARP frame.
inline Bytes ArpFrame(const SNOOPMACADDRESS& src, std::uint16_t op,
                      std::array<std::uint8_t, 4> senderIp, std::array<std::uint8_t, 4> targetIp) {
    Bytes f = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    f.insert(f.end(), src.begin(), src.end());
    const Bytes rest = {
        0x08, 0x06, 0x00, 0x01, 0x08, 0x00, 0x06, 0x04, std::uint8_t(op >> 8), std::uint8_t(op)};
    f.insert(f.end(), rest.begin(), rest.end());
    f.insert(f.end(), src.begin(), src.end());
    f.insert(f.end(), senderIp.begin(), senderIp.end());
    f.insert(f.end(), 6, 0x00);
    f.insert(f.end(), targetIp.begin(), targetIp.end());
    return f;
}

} // namespace tarn::test
