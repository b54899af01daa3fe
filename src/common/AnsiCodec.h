#pragma once
// The system's single-byte ANSI code page, Windows-1252, in both directions.
// Records exchanged with the service, the settings file and the encrypted
// lobby texts all use it. A character the code page lacks becomes "?".

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace tarn {

// Encodes text as Windows-1252 bytes, one byte per character; characters
// outside the code page (and each surrogate pair) become '?'.
QByteArray AnsiFromString(const QString& text);

// Decodes Windows-1252 bytes; every byte yields exactly one character.
QString StringFromAnsi(const char* data, std::size_t size);
inline QString StringFromAnsi(const QByteArray& bytes) {
    return StringFromAnsi(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// One character each way, for callers that work byte by byte.
char16_t AnsiByteToChar(std::uint8_t byte);
std::uint8_t AnsiCharToByte(char16_t ch); // '?' when the code page lacks it

} // namespace tarn
