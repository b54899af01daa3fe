#include "Files.h"

#include <openssl/evp.h>

#include <cstdio>

namespace tarn::server {

const std::array<const char*, 11> kRunFileNames = {
    "3FA521AB.ZAR", "7FB5EC81.ZAR", "78AC526F.ZAR", "285A12D6.ZAR", "490849B5.ZAR", "AE65077E.ZAR",
    "B2BE6EAB.ZAR", "D9181507.ZAR", "DAC5DD46.ZAR", "E5B66869.ZAR", "E5221E18.ZAR"};

namespace {

void PutLE32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutLE16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

} // namespace

void Append7BitString(std::string& out, const std::string& utf8) {
    std::uint32_t n = static_cast<std::uint32_t>(utf8.size());
    do {
        std::uint8_t b = n & 0x7F;
        n >>= 7;
        if (n)
            b |= 0x80;
        out.push_back(static_cast<char>(b));
    } while (n);
    out += utf8;
}

std::string MapStatisticsPack(const std::vector<MapStatRow>& rows) {
    std::string out;
    PutLE32(out, static_cast<std::uint32_t>(rows.size()));
    for (const MapStatRow& r : rows) {
        Append7BitString(out, r.name);
        out.push_back(static_cast<char>(r.freq & 0xFF));
        PutLE32(out, static_cast<std::uint32_t>(r.minutes));
        Append7BitString(out, r.lastPlayed);
    }
    return out;
}

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out, central;
    for (const auto& [name, data] : entries) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = Crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        // Local file header.
        PutLE32(out, 0x04034b50);
        PutLE16(out, 10);     // version needed
        PutLE16(out, 0);      // flags
        PutLE16(out, 0);      // stored
        PutLE16(out, 0);      // time
        PutLE16(out, 0x5021); // date 2020-01-01
        PutLE32(out, crc);
        PutLE32(out, size);
        PutLE32(out, size);
        PutLE16(out, static_cast<std::uint16_t>(name.size()));
        PutLE16(out, 0);
        out += name;
        out += data;
        // Central directory entry.
        PutLE32(central, 0x02014b50);
        PutLE16(central, 20);
        PutLE16(central, 10);
        PutLE16(central, 0);
        PutLE16(central, 0);
        PutLE16(central, 0);
        PutLE16(central, 0x5021);
        PutLE32(central, crc);
        PutLE32(central, size);
        PutLE32(central, size);
        PutLE16(central, static_cast<std::uint16_t>(name.size()));
        PutLE16(central, 0);
        PutLE16(central, 0);
        PutLE16(central, 0);
        PutLE16(central, 0);
        PutLE32(central, 0);
        PutLE32(central, offset);
        central += name;
    }
    const std::uint32_t cdOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    PutLE32(out, 0x06054b50);
    PutLE16(out, 0);
    PutLE16(out, 0);
    PutLE16(out, static_cast<std::uint16_t>(entries.size()));
    PutLE16(out, static_cast<std::uint16_t>(entries.size()));
    PutLE32(out, static_cast<std::uint32_t>(central.size()));
    PutLE32(out, cdOffset);
    PutLE16(out, 0);
    return out;
}

const std::string& UsbMapsZip() {
    static const std::string zip = [] {
        std::string image(64 * 1024, '\0');
        const char label[] = "TARN USB MAPS";
        image.replace(3, sizeof label - 1, label);
        image[510] = '\x55';
        image[511] = '\xAA';
        return StoredZip(
            {{"usbmaps.ima", image},
             {"USBqemu-wheel-0.8.1.dll", "MZ TARN private server USB plugin fixture\n"}});
    }();
    return zip;
}

std::string Md5Hex(const std::string& data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(data.data(), data.size(), md, &n, EVP_md5(), nullptr);
    std::string out;
    char buf[3];
    for (unsigned int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", md[i]);
        out += buf;
    }
    return out;
}

std::string MapPackFile(const std::string& game, const std::string& file) {
    if (game != "SOCOM3" && game != "SOCOMCA")
        return {};
    for (const char* name : kRunFileNames) {
        if (file == name)
            return "ZAR TARN map pack fixture " + game + " " + file + "\n" +
                   std::string(1024, static_cast<char>(Crc32(game + file) & 0xFF));
    }
    return {};
}

std::string InstallerBody() {
    return "MZ TARN private server installer placeholder\r\n";
}

std::string DefaultUpdateText() {
    return "TARN 0.95f\r\nThis private server has no newer client version.\r\n";
}

} // namespace tarn::server
