#include "common/NetText.h"

#include <cstring>

namespace tarn {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Value of a hexadecimal digit of either case, or -1.
int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

bool IsAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

QString MacToStr(std::span<const std::uint8_t, 6> mac) {
    QString s;
    s.reserve(13);
    for (std::size_t i = 0; i < 6; ++i) {
        if (i == 3)
            s.append(QLatin1Char('-'));
        s.append(QLatin1Char(kHexDigits[mac[i] >> 4]));
        s.append(QLatin1Char(kHexDigits[mac[i] & 0x0F]));
    }
    return s;
}

SNOOPMACADDRESS StrToMac(const QString& text, bool* complete) {
    SNOOPMACADDRESS mac{};
    const qsizetype n = text.size();
    qsizetype pos = 0;
    std::size_t got = 0;
    for (; got < mac.size(); ++got) {
        if (pos + 1 >= n)
            break;
        const int hi = HexValue(text.at(pos));
        const int lo = HexValue(text.at(pos + 1));
        if (hi < 0 || lo < 0)
            break;
        mac[got] = static_cast<std::uint8_t>((hi << 4) | lo);
        pos += 2;
        while (pos < n && (text.at(pos) == QLatin1Char('-') || text.at(pos) == QLatin1Char(':')))
            ++pos;
    }
    if (complete)
        *complete = got == mac.size();
    return mac;
}

std::uint32_t StrToIP(const QString& text) {
    const qsizetype n = text.size();
    qsizetype pos = 0;
    std::uint32_t result = 0;
    for (int field = 0; field < 4; ++field) {
        std::uint32_t value = 0;
        while (pos < n && IsAsciiDigit(text.at(pos))) {
            value = value * 10u + static_cast<std::uint32_t>(text.at(pos).unicode() - u'0');
            ++pos;
        }
        if (pos < n)
            ++pos; // the one character that ends the number
        result += value << (8 * (3 - field));
    }
    return result;
}

std::uint16_t IPChecksum(const IP_HDR& header) {
    // The header's bytes as they stand on the wire, summed as ten big-endian
    // (host-order) words.
    std::uint8_t bytes[sizeof(IP_HDR)];
    std::memcpy(bytes, &header, sizeof bytes);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < sizeof bytes; i += 2)
        sum += static_cast<std::uint32_t>((bytes[i] << 8) | bytes[i + 1]);
    sum -= NetToHost16(header.Checksum); // the sum of the header with a zero checksum
    while (sum > 0xFFFF)
        sum = (sum >> 16) + (sum & 0xFFFF);
    return static_cast<std::uint16_t>(~sum);
}

bool IsValidIPv4(const QString& text) {
    const qsizetype n = text.size();
    qsizetype pos = 0;
    for (int field = 0; field < 4; ++field) {
        if (field > 0) {
            if (pos >= n || text.at(pos) != QLatin1Char('.'))
                return false;
            ++pos;
        }
        int digits = 0;
        int value = 0;
        while (pos < n && IsAsciiDigit(text.at(pos))) {
            if (++digits > 3)
                return false;
            value = value * 10 + (text.at(pos).unicode() - u'0');
            ++pos;
        }
        if (digits == 0 || value > 255)
            return false;
    }
    return pos == n;
}

QString NormaliseMacText(const QString& text) {
    const QString upper = text.toUpper().left(17);
    QString out;
    out.reserve(13);
    int digits = 0;
    for (QChar c : upper) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F')))
            continue;
        out.append(c);
        if (++digits == 6)
            out.append(QLatin1Char('-'));
        if (digits == 12)
            break;
    }
    return digits == 12 ? out : QString();
}

} // namespace tarn
