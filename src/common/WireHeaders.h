#pragma once
// Wire-header records of the LAN bridge: Ethernet, IPv4 (without options),
// UDP and ARP. Every record is packed, so it can be copied to and from frame
// bytes at any offset, and every multi-byte field holds its bytes exactly as
// they stand on the wire (network byte order). Code that needs a number
// converts with NetToHost16/NetToHost32 itself.
//
// Records are read out of a frame with ByteReader::record and written with
// ByteWriter::record; nothing casts a frame pointer to a record.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tarn {

using SNOOPMACADDRESS = std::array<std::uint8_t, 6>;

#pragma pack(push, 1)

struct ETHERNET_HDR {
    SNOOPMACADDRESS Destination;
    SNOOPMACADDRESS Source;
    std::uint16_t Protocol; // EtherType: 0x0800 IPv4, 0x0806 ARP
};

struct IP_HDR {
    std::uint8_t VerLen;  // version and header length
    std::uint8_t Service; // type of service
    std::uint16_t Length; // total length
    std::uint16_t Ident;
    std::uint16_t FlagOff; // flags and fragment offset
    std::uint8_t TimeLive;
    std::uint8_t Protocol; // 17 = UDP
    std::uint16_t Checksum;
    std::uint32_t Source;
    std::uint32_t Destination;
};

struct UDP_HDR {
    std::uint16_t Source;      // port
    std::uint16_t Destination; // port
    std::uint16_t Length;      // header plus data
    std::uint16_t Checksum;
};

struct ARP_HDR {
    std::uint16_t HardwareType;
    std::uint16_t ProtocolType;
    std::uint8_t HLen;
    std::uint8_t PLen;
    std::uint16_t Operation; // 1 request, 2 reply
    SNOOPMACADDRESS SenderHA;
    std::uint32_t SenderIP;
    SNOOPMACADDRESS TargetHA;
    std::uint32_t TargetIP;
};

#pragma pack(pop)

static_assert(sizeof(SNOOPMACADDRESS) == 6 && alignof(SNOOPMACADDRESS) == 1);

static_assert(sizeof(ETHERNET_HDR) == 14);
static_assert(offsetof(ETHERNET_HDR, Destination) == 0);
static_assert(offsetof(ETHERNET_HDR, Source) == 6);
static_assert(offsetof(ETHERNET_HDR, Protocol) == 12);

static_assert(sizeof(IP_HDR) == 20);
static_assert(offsetof(IP_HDR, VerLen) == 0);
static_assert(offsetof(IP_HDR, Service) == 1);
static_assert(offsetof(IP_HDR, Length) == 2);
static_assert(offsetof(IP_HDR, Ident) == 4);
static_assert(offsetof(IP_HDR, FlagOff) == 6);
static_assert(offsetof(IP_HDR, TimeLive) == 8);
static_assert(offsetof(IP_HDR, Protocol) == 9);
static_assert(offsetof(IP_HDR, Checksum) == 10);
static_assert(offsetof(IP_HDR, Source) == 12);
static_assert(offsetof(IP_HDR, Destination) == 16);

static_assert(sizeof(UDP_HDR) == 8);
static_assert(offsetof(UDP_HDR, Source) == 0);
static_assert(offsetof(UDP_HDR, Destination) == 2);
static_assert(offsetof(UDP_HDR, Length) == 4);
static_assert(offsetof(UDP_HDR, Checksum) == 6);

static_assert(sizeof(ARP_HDR) == 28);
static_assert(offsetof(ARP_HDR, HardwareType) == 0);
static_assert(offsetof(ARP_HDR, ProtocolType) == 2);
static_assert(offsetof(ARP_HDR, HLen) == 4);
static_assert(offsetof(ARP_HDR, PLen) == 5);
static_assert(offsetof(ARP_HDR, Operation) == 6);
static_assert(offsetof(ARP_HDR, SenderHA) == 8);
static_assert(offsetof(ARP_HDR, SenderIP) == 14);
static_assert(offsetof(ARP_HDR, TargetHA) == 18);
static_assert(offsetof(ARP_HDR, TargetIP) == 24);

static_assert(std::is_trivially_copyable_v<ETHERNET_HDR> && std::is_trivially_copyable_v<IP_HDR> &&
              std::is_trivially_copyable_v<UDP_HDR> && std::is_trivially_copyable_v<ARP_HDR>);

inline constexpr std::uint16_t kEtherTypeIPv4 = 0x0800;
inline constexpr std::uint16_t kEtherTypeArp = 0x0806;
inline constexpr std::uint8_t kIpProtocolUdp = 17;

// Conversions between wire order (as stored in the records) and host order.
constexpr std::uint16_t NetToHost16(std::uint16_t v) noexcept {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<std::uint16_t>((v >> 8) | (v << 8));
    else
        return v;
}
constexpr std::uint32_t NetToHost32(std::uint32_t v) noexcept {
    if constexpr (std::endian::native == std::endian::little)
        return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
    else
        return v;
}
constexpr std::uint16_t HostToNet16(std::uint16_t v) noexcept {
    return NetToHost16(v);
}
constexpr std::uint32_t HostToNet32(std::uint32_t v) noexcept {
    return NetToHost32(v);
}

} // namespace tarn
