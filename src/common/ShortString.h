#pragma once
// Short strings: fixed-size text fields of one length byte followed by up to
// `capacity` characters in the ANSI code page (the field takes capacity + 1
// bytes). Used by the settings record and by binary records of the service.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarn {

// Reads a short string from `field` (capacity + 1 bytes). A damaged length
// byte larger than the capacity reads as the capacity.
QString ReadShortString(std::span<const std::uint8_t> field);

// Writes `text` into `field` (capacity + 1 bytes): its first `capacity`
// characters and the length byte. Bytes after the new length keep what they
// held, as the original record layout does.
void WriteShortString(std::span<std::uint8_t> field, const QString& text);

// The same on a raw record: the field starts at `offset` and holds `capacity`
// characters. Callers guarantee offset + capacity + 1 <= record size.
inline QString ReadShortString(const std::uint8_t* record, std::size_t offset,
                               std::size_t capacity) {
    return ReadShortString(std::span<const std::uint8_t>(record + offset, capacity + 1));
}
inline void WriteShortString(std::uint8_t* record, std::size_t offset, std::size_t capacity,
                             const QString& text) {
    WriteShortString(std::span<std::uint8_t>(record + offset, capacity + 1), text);
}

} // namespace tarn
