#include "bridge/FrameTemplates.h"

#include "common/ByteWriter.h"

#include <cstring>

namespace tarn {

const std::array<std::uint8_t, 42> LanQueryHeader{
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x04, 0x1f, 0x04, 0x00, 0x01, 0x08, 0x00,
    0x45, 0x00, 0x00, 0x32, 0xef, 0xb0, 0x00, 0x00, 0x40, 0x11, 0x75, 0x10, 0x0a, 0xfd,
    0x00, 0x01, 0x0a, 0xfd, 0xff, 0xff, 0x0e, 0x4a, 0x0e, 0x4a, 0x00, 0x1e, 0x00, 0x00};

const std::array<std::uint8_t, 22> S2LanQuery{0x00, 0x00, 0x0a, 0x00, 0x00, 0x00, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0x00, 0x02, 0x1a, 0x0a, 0xfd,
                                              0x00, 0x01, 0x4a, 0x0e, 0x00, 0x00};

const std::array<std::uint8_t, 160> CaLanQuery = [] {
    constexpr std::uint8_t head[] = {0xc3, 0x81, 0x9c, 0x00, 0x00, 0x19, 0x9a, 0x00, 0x01, 0x80,
                                     0x94, 0x00, 0x7c, 0x50, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                                     0x01, 0x00, 0x00, 0x00, 0x46, 0x00, 0x0b, 0x02, 0x04, 0x00,
                                     0x00, 0x00, 0x0a, 0xfd, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                                     0x4a, 0x0e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    static_assert(sizeof(head) == 49);
    std::array<std::uint8_t, 160> a{};
    std::memcpy(a.data(), head, sizeof(head));
    return a;
}();

const std::array<std::uint8_t, 42> GatewayArpReply{
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x04, 0x1f, 0x04, 0x00, 0x01, 0x08, 0x06,
    0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x02, 0x00, 0x04, 0x1f, 0x04, 0x00, 0x01,
    0x0a, 0xfd, 0x00, 0x01, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x0a, 0xfd, 0xff, 0xff};

std::array<std::uint8_t, kDhcpReplySize> BuildDhcpReplyTemplate() {
    std::array<std::uint8_t, kDhcpReplySize> f{};
    ByteWriter w(f);
    w.fill(6, 0x00);                        // destination: the client
    w.fill(6, 0xff);                        // source
    w.u16be(0x0800);                        // EtherType
    w.u8(0x45);                             // version, header length
    w.u8(0x00);                             // type of service
    w.u16be(330);                           // total length
    w.u16be(0xb4ce);                        // identification
    w.u16be(0x0000);                        // flags, fragment offset
    w.u8(0x80);                             // time to live
    w.u8(0x11);                             // UDP
    w.u16be(0xc42b);                        // header checksum
    w.u32be(0xc0a80001);                    // 192.168.0.1
    w.u32be(0xffffffff);                    // broadcast
    w.u16be(67);                            // server port
    w.u16be(68);                            // client port
    w.u16be(310);                           // UDP length
    w.u16be(0);                             // no checksum
    w.u8(0x02);                             // op: reply
    w.u8(0x01);                             // Ethernet
    w.u8(0x06);                             // address length
    w.u8(0x00);                             // hops
    w.u32be(0);                             // transaction id
    w.u16be(0);                             // seconds
    w.u16be(0);                             // flags
    w.u32be(0);                             // client address
    w.u32be(0);                             // your address
    w.u32be(0);                             // server address
    w.u32be(0);                             // relay agent
    w.fill(16, 0);                          // client hardware address
    w.fill(64, 0);                          // server name
    w.fill(128, 0);                         // boot file name
    w.u32be(0x63825363);                    // magic cookie
    w.u8(53), w.u8(1), w.u8(0);             // message type
    w.u8(54), w.u8(4), w.u32be(0xc0a80001); // server identifier
    w.u8(1), w.u8(4), w.u32be(0xffff0000);  // subnet mask
    w.u8(3), w.u8(4), w.u32be(0xc0a80001);  // router
    w.u8(6), w.u8(4), w.u32be(0xc0a80001);  // name server
    w.u8(58), w.u8(4), w.u32be(0xffffffff); // renewal time
    w.u8(59), w.u8(4), w.u32be(0xffffffff); // rebinding time
    w.u8(51), w.u8(4), w.u32be(0xffffffff); // lease time
    w.u8(46), w.u8(1), w.u8(4);             // NetBIOS node type
    w.u8(15), w.u8(11);                     // domain name
    w.bytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("TARN-DHCP1"), 10));
    w.u8(0);
    w.u8(0xff); // end
    w.u16be(0); // after the datagram
    return f;
}

} // namespace tarn
