#pragma once
// Standard Base64 (RFC 4648 alphabet "A-Z a-z 0-9 + /", "=" padding) without
// line breaks, as the service's encrypted texts and records use it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace tarn {

// One-shot encoding: 4 characters per 3 bytes, "=" or "==" at the end, no
// line breaks and no trailing newline.
QString Base64Encode(const QByteArray& bytes);

// Strict decoding of text that came from outside: only the standard
// alphabet, a length that is a multiple of 4, and "=" only as the last one or
// two characters. Anything else (blanks, CR/LF, URL-safe letters, missing
// padding) gives nullopt. Unused low bits of the last group are ignored.
std::optional<QByteArray> Base64Decode(QStringView text);
std::optional<QByteArray> Base64Decode(QByteArrayView ascii);

} // namespace tarn
