#include "AnsiCodec.h"

#include <array>

namespace tarn {
namespace {

// 0x80..0x9F of Windows-1252. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as
// the Windows conversion functions do, so that every byte round-trips.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char16_t AnsiByteToChar(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

std::uint8_t AnsiCharToByte(char16_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<std::uint8_t>(ch);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == ch)
            return static_cast<std::uint8_t>(0x80 + i);
    }
    return '?';
}

QByteArray AnsiFromString(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if (QChar::isHighSurrogate(ch) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i; // one character outside the code page, one '?'
            out.append('?');
            continue;
        }
        out.append(static_cast<char>(AnsiCharToByte(ch)));
    }
    return out;
}

QString StringFromAnsi(const char* data, std::size_t size) {
    QString out;
    out.resize(static_cast<qsizetype>(size));
    QChar* dst = out.data();
    for (std::size_t i = 0; i < size; ++i)
        dst[i] = QChar(AnsiByteToChar(static_cast<std::uint8_t>(data[i])));
    return out;
}

} // namespace tarn
