#include "Base64.h"

#include <array>
#include <cstdint>

namespace tarn {
namespace {

constexpr int kInvalid = -1;
constexpr int kPad = -2;

constexpr std::array<std::int8_t, 128> MakeDecodeTable() {
    std::array<std::int8_t, 128> t{};
    for (auto& v : t)
        v = kInvalid;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    t['='] = kPad;
    return t;
}
constexpr std::array<std::int8_t, 128> kDecode = MakeDecodeTable();

int ValueOf(char32_t ch) {
    return ch < kDecode.size() ? kDecode[ch] : kInvalid;
}
char32_t CodeOf(QChar ch) {
    return ch.unicode();
}
char32_t CodeOf(char ch) {
    return static_cast<unsigned char>(ch);
}

// Works on any sequence of code units; units beyond ASCII are invalid.
template <typename View> std::optional<QByteArray> Decode(View text) {
    const qsizetype n = text.size();
    if (n % 4 != 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(n / 4 * 3);
    for (qsizetype i = 0; i < n; i += 4) {
        int v[4];
        for (int j = 0; j < 4; ++j)
            v[j] = ValueOf(CodeOf(text[i + j]));
        const bool last = i + 4 == n;
        // "=" may stand only in the last group, as "xx==" or "xxx=".
        if (v[0] < 0 || v[1] < 0)
            return std::nullopt;
        int groupBytes = 3;
        if (v[2] == kPad) {
            if (!last || v[3] != kPad)
                return std::nullopt;
            groupBytes = 1;
        } else if (v[3] == kPad) {
            if (!last || v[2] < 0)
                return std::nullopt;
            groupBytes = 2;
        } else if (v[2] < 0 || v[3] < 0) {
            return std::nullopt;
        }
        const std::uint32_t bits = (std::uint32_t(v[0]) << 18) | (std::uint32_t(v[1]) << 12) |
                                   (std::uint32_t(v[2] < 0 ? 0 : v[2]) << 6) |
                                   std::uint32_t(v[3] < 0 ? 0 : v[3]);
        out.append(static_cast<char>(bits >> 16));
        if (groupBytes > 1)
            out.append(static_cast<char>((bits >> 8) & 0xFF));
        if (groupBytes > 2)
            out.append(static_cast<char>(bits & 0xFF));
    }
    return out;
}

} // namespace

QString Base64Encode(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

std::optional<QByteArray> Base64Decode(QStringView text) {
    return Decode(text);
}

std::optional<QByteArray> Base64Decode(QByteArrayView ascii) {
    return Decode(ascii);
}

} // namespace tarn
