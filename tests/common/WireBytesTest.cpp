#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "common/NetText.h"
#include "common/WireHeaders.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <array>
#include <vector>

using namespace tarn;

namespace {

std::vector<std::uint8_t> Hex(const char* hex) {
    const QByteArray b = QByteArray::fromHex(hex);
    return std::vector<std::uint8_t>(b.begin(), b.end());
}

// A SOCOM II LAN lobby broadcast of 10.253.1.5 (MAC 00:04:1F:12:AB:34) to
// 10.253.255.255, UDP 3658 -> 3658, with a 4-byte payload.
const char* const kUdpFrame = "ffffffffffff00041f12ab340800"
                              "45000020123400004011519b0afd01050afdffff"
                              "0e4a0e4a000c0000"
                              "deadbeef";

// An ARP request of the same console for 10.253.0.1.
const char* const kArpFrame = "ffffffffffff00041f12ab340806"
                              "0001080006040001"
                              "00041f12ab340afd0105"
                              "0000000000000afd0001";

constexpr std::uint8_t kFive[5] = {1, 2, 3, 4, 5};

} // namespace

TEST(WireHeaders, RecordSizes) {
    EXPECT_EQ(sizeof(SNOOPMACADDRESS), 6u);
    EXPECT_EQ(sizeof(ETHERNET_HDR), 14u);
    EXPECT_EQ(sizeof(IP_HDR), 20u);
    EXPECT_EQ(sizeof(UDP_HDR), 8u);
    EXPECT_EQ(sizeof(ARP_HDR), 28u);
    EXPECT_EQ(alignof(ARP_HDR), 1u); // copied at any frame offset
}

TEST(WireHeaders, UdpFrameDecodesAndReencodesByteExact) {
    const std::vector<std::uint8_t> frame = Hex(kUdpFrame);
    ByteReader r{std::span<const std::uint8_t>(frame)};
    ETHERNET_HDR eth;
    IP_HDR ip;
    UDP_HDR udp;
    ASSERT_TRUE(r.record(eth) && r.record(ip) && r.record(udp));

    EXPECT_EQ(eth.Destination, (SNOOPMACADDRESS{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(MacToStr(eth.Source), QStringLiteral("00041F-12AB34"));
    EXPECT_EQ(NetToHost16(eth.Protocol), kEtherTypeIPv4);
    EXPECT_EQ(ip.VerLen, 0x45);
    EXPECT_EQ(NetToHost16(ip.Length), 32);
    EXPECT_EQ(NetToHost16(ip.Ident), 0x1234);
    EXPECT_EQ(ip.TimeLive, 0x40);
    EXPECT_EQ(ip.Protocol, kIpProtocolUdp);
    EXPECT_EQ(IPChecksum(ip), NetToHost16(ip.Checksum));
    EXPECT_EQ(NetToHost32(ip.Source), 0x0AFD0105u);
    EXPECT_EQ(NetToHost32(ip.Destination), 0x0AFDFFFFu);
    EXPECT_EQ(NetToHost16(udp.Source), 3658);
    EXPECT_EQ(NetToHost16(udp.Destination), 3658);
    EXPECT_EQ(NetToHost16(udp.Length), 12);
    const auto payload = r.rest();
    ASSERT_EQ(payload.size(), 4u);
    EXPECT_EQ(payload[0], 0xDE);
    EXPECT_EQ(payload[3], 0xEF);

    std::array<std::uint8_t, 64> out{};
    ByteWriter w{std::span<std::uint8_t>(out)};
    ASSERT_TRUE(w.record(eth) && w.record(ip) && w.record(udp) && w.bytes(payload));
    const auto written = w.written();
    EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.end()), frame);
}

TEST(WireHeaders, ArpAddressesHoldWireBytes) {
    const std::vector<std::uint8_t> frame = Hex(kArpFrame);
    ByteReader r{std::span<const std::uint8_t>(frame)};
    ETHERNET_HDR eth;
    ARP_HDR arp;
    ASSERT_TRUE(r.record(eth) && r.record(arp));
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(NetToHost16(eth.Protocol), kEtherTypeArp);
    EXPECT_EQ(NetToHost16(arp.HardwareType), 1);
    EXPECT_EQ(NetToHost16(arp.ProtocolType), 0x0800);
    EXPECT_EQ(arp.HLen, 6);
    EXPECT_EQ(arp.PLen, 4);
    EXPECT_EQ(NetToHost16(arp.Operation), 1);
    EXPECT_EQ(arp.SenderHA, eth.Source);
    EXPECT_EQ(NetToHost32(arp.SenderIP), 0x0AFD0105u); // the unaligned field at offset 14
    EXPECT_EQ(arp.TargetHA, SNOOPMACADDRESS{});
    EXPECT_EQ(NetToHost32(arp.TargetIP), 0x0AFD0001u);
    if constexpr (std::endian::native == std::endian::little) {
        // Compared natively, the wire address 10.253.0.1 is the address text reversed.
        EXPECT_EQ(arp.TargetIP, StrToIP(QStringLiteral("1.0.253.10")));
    }
}

TEST(ByteReader, ReadsEachWidthAndFailsForGoodPastTheEnd) {
    const std::uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D};
    ByteReader r{std::span<const std::uint8_t>(data)};
    EXPECT_EQ(r.u8(), 0x01);
    EXPECT_EQ(r.u16be(), 0x0203);
    EXPECT_EQ(r.u16le(), 0x0504);
    EXPECT_EQ(r.u32be(), 0x06070809u);
    EXPECT_EQ(r.u32le(), 0x0D0C0B0Au);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_TRUE(r.view(0).empty());
    EXPECT_TRUE(r.ok());

    // One byte short: nothing is read, the position stays, the flag sticks.
    ASSERT_TRUE(r.seek(10));
    EXPECT_EQ(r.u32be(), 0u);
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.position(), 10u);
    EXPECT_EQ(r.u8(), 0u) << "a byte is there, but the reader has failed";
    EXPECT_TRUE(r.rest().empty());
    EXPECT_FALSE(r.has(0));
}

TEST(ByteReader, ShortInputNeverReadsOutOfBounds) {
    // Exact-size heap buffer, so an over-read shows up under the address sanitizer.
    const std::vector<std::uint8_t> data{0xAA, 0xBB, 0xCC};
    struct Step {
        const char* what;
        bool (*read)(ByteReader&);
    };
    const Step steps[] = {
        {"u32be", [](ByteReader& r) { return r.u32be() == 0 && r.failed(); }},
        {"u32le", [](ByteReader& r) { return r.u32le() == 0 && r.failed(); }},
        {"skip", [](ByteReader& r) { return !r.skip(4); }},
        {"seek", [](ByteReader& r) { return !r.seek(4); }},
        {"view", [](ByteReader& r) { return r.view(4).empty() && r.failed(); }},
        {"bytes",
         [](ByteReader& r) {
             std::array<std::uint8_t, 4> out{1, 1, 1, 1};
             return !r.bytes(out) && out == std::array<std::uint8_t, 4>{};
         }},
        {"record",
         [](ByteReader& r) {
             UDP_HDR udp{1, 2, 3, 4};
             return !r.record(udp) && udp.Source == 0 && udp.Checksum == 0;
         }},
        {"huge skip", [](ByteReader& r) { return r.u8() == 0xAA && !r.skip(SIZE_MAX); }},
    };
    for (const Step& s : steps) {
        ByteReader r{std::span<const std::uint8_t>(data)};
        EXPECT_TRUE(s.read(r)) << s.what;
        EXPECT_TRUE(r.failed()) << s.what;
    }
    ByteReader empty;
    EXPECT_EQ(empty.u8(), 0u);
    EXPECT_TRUE(empty.failed());
    ByteReader null(nullptr, 100);
    EXPECT_EQ(null.size(), 0u);
    EXPECT_EQ(null.u16be(), 0u);
    EXPECT_TRUE(null.failed());
}

TEST(ByteWriter, WritesEachWidthAndCannotOverrun) {
    std::array<std::uint8_t, 16> backing;
    backing.fill(0xEE);
    ByteWriter w{std::span<std::uint8_t>(backing).first(12)};
    EXPECT_TRUE(w.u8(0x01));
    EXPECT_TRUE(w.u16be(0x0203));
    EXPECT_TRUE(w.u16le(0x0504));
    EXPECT_TRUE(w.u32be(0x06070809));
    EXPECT_EQ(w.remaining(), 3u);

    // Four bytes do not fit into three: nothing is written and the flag sticks.
    EXPECT_FALSE(w.u32le(0x11223344));
    EXPECT_TRUE(w.failed());
    EXPECT_EQ(w.position(), 9u);
    EXPECT_FALSE(w.u8(0x55)) << "room is left, but the writer has failed";
    EXPECT_FALSE(w.fill(1, 0x55));
    EXPECT_EQ(backing,
              (std::array<std::uint8_t, 16>{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
                                            0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

    // Refusals of each kind leave the buffer alone.
    struct Step {
        const char* what;
        bool (*write)(ByteWriter&);
    };
    const Step steps[] = {
        {"bytes", [](ByteWriter& w) { return w.bytes(kFive); }},
        {"fill", [](ByteWriter& w) { return w.fill(5, 0x77); }},
        {"record", [](ByteWriter& w) { return w.record(UDP_HDR{}); }},
        {"seek", [](ByteWriter& w) { return w.seek(5); }},
        {"u8 at the end", [](ByteWriter& w) { return w.seek(4) && w.u8(1); }},
    };
    for (const Step& s : steps) {
        std::array<std::uint8_t, 8> buf;
        buf.fill(0xEE);
        ByteWriter small{std::span<std::uint8_t>(buf).first(4)};
        EXPECT_FALSE(s.write(small)) << s.what;
        EXPECT_TRUE(small.failed()) << s.what;
        EXPECT_EQ(buf,
                  (std::array<std::uint8_t, 8>{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}))
            << s.what;
    }
}

TEST(ByteWriter, SeekPatchesAFieldWrittenEarlier) {
    std::array<std::uint8_t, 6> buf{};
    ByteWriter w{std::span<std::uint8_t>(buf)};
    ASSERT_TRUE(w.u16be(0) && w.u32le(0xA1B2C3D4));
    ASSERT_TRUE(w.seek(0) && w.u16be(0x1C2B));
    EXPECT_EQ(buf, (std::array<std::uint8_t, 6>{0x1C, 0x2B, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(w.written().size(), 2u);
    EXPECT_TRUE(w.seek(6));
    EXPECT_TRUE(w.fill(0, 0)); // an empty write at the end fits
    EXPECT_FALSE(w.seek(7));
}
