// consolesim: a scripted console. Run it on one end of a veth pair (usually
// inside a network namespace); it sends the frames a PlayStation 2 sends on
// the LAN from a raw packet socket and prints every IPv4/UDP or ARP frame
// that comes back, one line each.
//
//   consolesim IFACE MAC COMMAND [ARG...] [--ip A.B.C.D] [--wait MS] [--expect N]
//
// Commands:
//   dhcp-discover, dhcp-request   DHCP from 0.0.0.0:68 to 255.255.255.255:67
//   arp IP                        ARP request for IP
//   s2-lobby, ca-lobby            SOCOM II / Combined Assault LAN lobby request
//   s2-announce NAME              SOCOM II game announcement naming NAME
//   game DSTIP HEX                game frame 3658 -> 3658 with payload HEX
//   listen                        send nothing
//
// Output: "tx HEX" for the frame sent, "ready" once listening, then per
// frame received "rx HEX" followed, for DHCP and ARP replies, by a decoded
// line ("dhcp type=2 yiaddr=10.253.171.52 chaddr=00041F-12AB34",
// "arp op=2 sender=10.253.0.1 at=00041F-040001"). Listening ends after
// --wait milliseconds (default 2000) or after --expect received frames.
// Exit status 0, or 2 on bad arguments, 1 on socket errors.

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

bool ParseMac(const std::string& text, std::uint8_t out[6]) {
    unsigned v[6];
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) !=
        6)
        return false;
    for (int i = 0; i < 6; ++i) {
        if (v[i] > 255)
            return false;
        out[i] = static_cast<std::uint8_t>(v[i]);
    }
    return true;
}

bool ParseIp(const std::string& text, std::uint8_t out[4]) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    std::memcpy(out, &a, 4);
    return true;
}

bool ParseHex(const std::string& text, Bytes& out) {
    std::string t;
    for (char c : text)
        if (c != ' ' && c != ':')
            t += c;
    if (t.size() % 2)
        return false;
    for (std::size_t i = 0; i < t.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = t.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (*end)
            return false;
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return true;
}

std::string Hex(const std::uint8_t* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string MacText(const std::uint8_t* m) {
    char b[16];
    std::snprintf(b, sizeof b, "%02X%02X%02X-%02X%02X%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return b;
}

std::string IpText(const std::uint8_t* p) {
    char b[20];
    std::snprintf(b, sizeof b, "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
    return b;
}

void Put16(Bytes& f, unsigned v) {
    f.push_back(static_cast<std::uint8_t>(v >> 8));
    f.push_back(static_cast<std::uint8_t>(v));
}

std::uint16_t Checksum(const std::uint8_t* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        sum += (p[i] << 8) | p[i + 1];
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

Bytes UdpFrame(const std::uint8_t dstMac[6], const std::uint8_t srcMac[6],
               const std::uint8_t srcIp[4], const std::uint8_t dstIp[4], unsigned sport,
               unsigned dport, const Bytes& payload) {
    Bytes f(dstMac, dstMac + 6);
    f.insert(f.end(), srcMac, srcMac + 6);
    Put16(f, 0x0800);
    const std::size_t ip = f.size();
    f.push_back(0x45), f.push_back(0);
    Put16(f, static_cast<unsigned>(28 + payload.size()));
    Put16(f, 0x1c46), Put16(f, 0);
    f.push_back(64), f.push_back(17);
    Put16(f, 0);
    f.insert(f.end(), srcIp, srcIp + 4);
    f.insert(f.end(), dstIp, dstIp + 4);
    const std::uint16_t sum = Checksum(f.data() + ip, 20);
    f[ip + 10] = static_cast<std::uint8_t>(sum >> 8);
    f[ip + 11] = static_cast<std::uint8_t>(sum);
    Put16(f, sport), Put16(f, dport);
    Put16(f, static_cast<unsigned>(8 + payload.size()));
    Put16(f, 0);
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

Bytes DhcpPayload(const std::uint8_t mac[6], std::uint8_t type) {
    Bytes p(240, 0);
    p[0] = 1, p[1] = 1, p[2] = 6;
    p[4] = 0x3a, p[5] = 0x7c, p[6] = mac[4], p[7] = mac[5]; // transaction id
    std::memcpy(p.data() + 28, mac, 6);
    p[236] = 0x63, p[237] = 0x82, p[238] = 0x53, p[239] = 0x63;
    const std::uint8_t options[] = {53, 1, type, 55, 3, 1, 3, 6, 255};
    p.insert(p.end(), options, options + sizeof options);
    p.resize(300, 0);
    return p;
}

void Usage() {
    std::fprintf(stderr, "usage: consolesim IFACE MAC COMMAND [ARG...] [--ip A.B.C.D] "
                         "[--wait MS] [--expect N]\n");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::string ipText;
    int waitMs = 2000;
    int expect = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--ip" || a == "--wait" || a == "--expect") && i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--ip")
                ipText = v;
            else if (a == "--wait")
                waitMs = std::atoi(v.c_str());
            else
                expect = std::atoi(v.c_str());
        } else {
            args.push_back(a);
        }
    }
    if (args.size() < 3) {
        Usage();
        return 2;
    }
    const std::string iface = args[0];
    const std::string command = args[2];
    std::uint8_t mac[6];
    if (!ParseMac(args[1], mac)) {
        Usage();
        return 2;
    }
    std::uint8_t myIp[4] = {10, 253, mac[4], mac[5]};
    if (!ipText.empty() && !ParseIp(ipText, myIp)) {
        Usage();
        return 2;
    }
    const std::uint8_t broadcastMac[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const std::uint8_t zeroIp[4] = {0, 0, 0, 0};
    const std::uint8_t allOnes[4] = {255, 255, 255, 255};
    const std::uint8_t lanBroadcast[4] = {10, 253, 255, 255};

    Bytes frame;
    if (command == "dhcp-discover" || command == "dhcp-request") {
        frame = UdpFrame(broadcastMac, mac, zeroIp, allOnes, 68, 67,
                         DhcpPayload(mac, command == "dhcp-discover" ? 1 : 3));
    } else if (command == "arp" && args.size() >= 4) {
        std::uint8_t target[4];
        if (!ParseIp(args[3], target)) {
            Usage();
            return 2;
        }
        frame.assign(broadcastMac, broadcastMac + 6);
        frame.insert(frame.end(), mac, mac + 6);
        Put16(frame, 0x0806);
        Put16(frame, 1), Put16(frame, 0x0800);
        frame.push_back(6), frame.push_back(4);
        Put16(frame, 1);
        frame.insert(frame.end(), mac, mac + 6);
        frame.insert(frame.end(), myIp, myIp + 4);
        frame.insert(frame.end(), 6, 0);
        frame.insert(frame.end(), target, target + 4);
    } else if (command == "s2-lobby") {
        Bytes p(18, 0);
        p[2] = 0x06, p[13] = 0x13;
        frame = UdpFrame(broadcastMac, mac, myIp, lanBroadcast, 3658, 3658, p);
    } else if (command == "ca-lobby") {
        Bytes p(160, 0);
        p[0] = 0xc3, p[1] = 0x81, p[12] = 0x24, p[13] = 0x4e;
        frame = UdpFrame(broadcastMac, mac, myIp, lanBroadcast, 3658, 3658, p);
    } else if (command == "s2-announce" && args.size() >= 4) {
        Bytes p(414, 0);
        p[2] = 0x92, p[3] = 0x01, p[46] = 8;
        const std::string& name = args[3];
        std::memcpy(p.data() + 90, name.data(), std::min<std::size_t>(name.size(), 32));
        frame = UdpFrame(broadcastMac, mac, myIp, lanBroadcast, 3658, 3658, p);
    } else if (command == "game" && args.size() >= 5) {
        std::uint8_t dst[4];
        Bytes payload;
        if (!ParseIp(args[3], dst) || !ParseHex(args[4], payload)) {
            Usage();
            return 2;
        }
        // Consoles on the virtual LAN share the prefix 00:04:1F; the far
        // console's MAC is not known here, so the frame goes to broadcast.
        frame = UdpFrame(broadcastMac, mac, myIp, dst, 3658, 3658, payload);
    } else if (command != "listen") {
        Usage();
        return 2;
    }

    const int fd = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
    if (fd < 0) {
        std::perror("socket");
        return 1;
    }
    const unsigned index = if_nametoindex(iface.c_str());
    if (index == 0) {
        std::perror(iface.c_str());
        return 1;
    }
    sockaddr_ll sll{};
    sll.sll_family = AF_PACKET;
    sll.sll_protocol = htons(ETH_P_ALL);
    sll.sll_ifindex = static_cast<int>(index);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sll), sizeof sll) != 0) {
        std::perror("bind");
        return 1;
    }
    packet_mreq mr{};
    mr.mr_ifindex = static_cast<int>(index);
    mr.mr_type = PACKET_MR_PROMISC;
    setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &mr, sizeof mr);
    std::printf("ready\n");
    std::fflush(stdout);

    if (!frame.empty()) {
        if (send(fd, frame.data(), frame.size(), 0) != static_cast<ssize_t>(frame.size())) {
            std::perror("send");
            return 1;
        }
        std::printf("tx %s\n", Hex(frame.data(), frame.size()).c_str());
        std::fflush(stdout);
    }

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    int received = 0;
    std::uint8_t buf[2048];
    while (expect < 0 || received < expect) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        sockaddr_ll from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n =
            recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 14 || from.sll_pkttype == PACKET_OUTGOING)
            continue;
        const unsigned type = (buf[12] << 8) | buf[13];
        if (type != 0x0800 && type != 0x0806)
            continue;
        ++received;
        std::printf("rx %s\n", Hex(buf, static_cast<std::size_t>(n)).c_str());
        if (type == 0x0806 && n >= 42) {
            std::printf("arp op=%u sender=%s at=%s\n", (buf[20] << 8) | buf[21],
                        IpText(buf + 28).c_str(), MacText(buf + 22).c_str());
        } else if (type == 0x0800 && n >= 42 + 243 && buf[23] == 17 && buf[34] == 0 &&
                   buf[35] == 67) {
            std::printf("dhcp type=%u yiaddr=%s chaddr=%s\n", buf[42 + 242],
                        IpText(buf + 42 + 16).c_str(), MacText(buf + 42 + 28).c_str());
        }
        std::fflush(stdout);
    }
    close(fd);
    return 0;
}
