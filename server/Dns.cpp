#include "Dns.h"

#include <cctype>

namespace tarn::server {

std::optional<std::string> DnsAnswer(std::string_view q, const std::string& hostName,
                                     std::uint32_t address) {
    if (q.size() < 12 || q.size() > 512)
        return std::nullopt;
    auto u8 = [&](std::size_t i) { return static_cast<std::uint8_t>(q[i]); };
    const bool isResponse = u8(2) & 0x80;
    const int opcode = (u8(2) >> 3) & 0x0F;
    const int qdcount = (u8(4) << 8) | u8(5);
    if (isResponse || qdcount != 1)
        return std::nullopt;
    // Question name: plain labels only (no compression in a query).
    std::size_t pos = 12;
    std::string name;
    for (;;) {
        if (pos >= q.size())
            return std::nullopt;
        const std::uint8_t len = u8(pos++);
        if (len == 0)
            break;
        if (len > 63 || pos + len > q.size() || name.size() + len + 1 > 255)
            return std::nullopt;
        if (!name.empty())
            name.push_back('.');
        name.append(q.substr(pos, len));
        pos += len;
    }
    if (pos + 4 > q.size())
        return std::nullopt;
    const int qtype = (u8(pos) << 8) | u8(pos + 1);
    const int qclass = (u8(pos + 2) << 8) | u8(pos + 3);
    const std::size_t questionEnd = pos + 4;

    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string out(q.substr(0, questionEnd));
    // Header: QR, the opcode, AA, RD copied; RA clear; no authority/additional.
    out[2] = static_cast<char>(0x80 | (opcode << 3) | 0x04 | (u8(2) & 0x01));
    int rcode = 0;
    bool answer = false;
    if (opcode != 0) {
        rcode = 4;
    } else if (lower(name) != lower(hostName)) {
        rcode = 3;
    } else if ((qtype == 1 || qtype == 255) && (qclass == 1 || qclass == 255)) {
        answer = true;
    }
    out[3] = static_cast<char>(rcode);
    out[6] = 0;
    out[7] = answer ? 1 : 0;
    out[8] = out[9] = out[10] = out[11] = 0;
    if (answer) {
        const unsigned char rr[] = {0xC0, 0x0C, 0x00, 0x01, 0x00, 0x01,
                                    0x00, 0x00, 0x00, 0x3C, 0x00, 0x04};
        out.append(reinterpret_cast<const char*>(rr), sizeof rr);
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(static_cast<char>((address >> s) & 0xFF));
    }
    return out;
}

} // namespace tarn::server
