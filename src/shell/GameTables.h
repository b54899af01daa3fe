#pragma once
// Fixed lookup tables that turn bytes found in game data into text: the map
// names of SOCOM 3 / Combined Assault (one shared numbering) and of SOCOM II,
// the room numbers of the SOCOM II LAN lobby, and the reading of a short game
// name out of a LAN packet. The names are the games' own, kept exactly as
// the games' data has them (leading blanks, double blanks and misspellings
// included), because the room list shows them unchanged.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarn {

// Map name of a SOCOM 3 / Combined Assault map byte, or "Unlisted".
QString GetS3MapName(std::uint8_t map);

// Map name of a SOCOM II map byte, or "Unlisted".
QString GetS2MapName(std::uint8_t map);

// "1" to "31" for the room bytes 1 to 31 (a packet sent from a game room of
// the SOCOM II LAN lobby); "00" for every other byte (the main LAN lobby).
QString GetRoomNumberText(std::uint8_t room);

// Reads a NUL-terminated name of at most 32 characters from `bytes` (the
// bytes of a received packet from the name's place to the end of what was
// received). On a 0 byte among the first 33 bytes the result is the bytes
// before it, decoded in the ANSI code page. When 33 bytes pass without a 0
// byte, or the available bytes end before a 0 byte, the result is
// `previous`: the caller's text is kept.
QString GetPacketName(std::span<const std::uint8_t> bytes, const QString& previous);
inline QString GetPacketName(const std::uint8_t* data, std::size_t available,
                             const QString& previous) {
    return GetPacketName(std::span<const std::uint8_t>(data, data ? available : 0), previous);
}

// The map lines of a hosted game in the game room list: one name per map
// byte of `mapRun`, in order, up to the first 0 byte. Names come from the
// SOCOM 3 / Combined Assault table when `gameName` contains "CA:" or "S3:",
// otherwise from the SOCOM II table.
QStringList MapLines(const QString& gameName, std::span<const std::uint8_t> mapRun);
inline QStringList MapLines(const QString& gameName, const QByteArray& mapRun) {
    return MapLines(gameName, std::span<const std::uint8_t>(
                                  reinterpret_cast<const std::uint8_t*>(mapRun.constData()),
                                  static_cast<std::size_t>(mapRun.size())));
}

} // namespace tarn
