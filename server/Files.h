#pragma once
// Bodies of the plain-HTTP main web host that are built rather than stored.

#include "Database.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace tarn::server {

// The 11 map pack files of a flash-drive installation, in download order.
extern const std::array<const char*, 11> kRunFileNames;

// "/map_statistics.pack": count (int32 LE), then per row the map name as a
// 7-bit-length UTF-8 string, the frequency byte, the minutes (int32 LE) and
// the last-played text as a 7-bit-length string.
std::string MapStatisticsPack(const std::vector<MapStatRow>& rows);
void Append7BitString(std::string& out, const std::string& utf8);

// A zip archive of stored (uncompressed) entries.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries);
std::uint32_t Crc32(const std::string& data);

// "/PCSX2/usbmaps.zip": the USB disk image and the USB plugin, small fixtures.
const std::string& UsbMapsZip();
// Upper-case hex MD5 of data.
std::string Md5Hex(const std::string& data);

// Content of "/<game>/RUN/<file>" for game "SOCOM3" or "SOCOMCA"; empty when
// the game or the file name is not one of the known ones.
std::string MapPackFile(const std::string& game, const std::string& file);

// "/TARN.exe": a small placeholder installer.
std::string InstallerBody();
std::string DefaultUpdateText();

} // namespace tarn::server
