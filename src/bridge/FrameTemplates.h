#pragma once
// Frames of the gateway host 10.253.0.1 that the bridge sends onto the
// consoles' LAN: the LAN lobby query broadcasts, the gateway's ARP reply and
// the DHCP reply. Built once, byte for byte; senders copy before patching.

#include "common/WireHeaders.h"

#include <array>
#include <cstdint>

namespace tarn {

inline constexpr SNOOPMACADDRESS GatewayMac{0x00, 0x04, 0x1f, 0x04, 0x00, 0x01};

// Ethernet + IPv4 + UDP header from 10.253.0.1:3658 to 10.253.255.255:3658.
extern const std::array<std::uint8_t, 42> LanQueryHeader;
// SOCOM II LAN lobby query payload.
extern const std::array<std::uint8_t, 22> S2LanQuery;
// Combined Assault LAN lobby query payload.
extern const std::array<std::uint8_t, 160> CaLanQuery;
// Broadcast ARP reply: 10.253.0.1 is at GatewayMac.
extern const std::array<std::uint8_t, 42> GatewayArpReply;

// Offsets of the variable fields of the DHCP reply.
inline constexpr std::size_t kDhcpReplySize = 346;
inline constexpr std::size_t kDhcpEthDestination = 0;
inline constexpr std::size_t kDhcpTransactionId = 46;
inline constexpr std::size_t kDhcpYourAddress = 58;
inline constexpr std::size_t kDhcpClientHardware = 70;
inline constexpr std::size_t kDhcpMessageType = 284;

// The DHCP reply with zero in its four variable fields.
std::array<std::uint8_t, kDhcpReplySize> BuildDhcpReplyTemplate();

// The CA lobby query frame bytes 54 and 55 of the five broadcasts.
inline constexpr std::array<std::array<std::uint8_t, 2>, 5> CaLanQueryPorts{
    {{0x7c, 0x50}, {0x24, 0x4e}, {0x2e, 0x4e}, {0x38, 0x4e}, {0x16, 0x52}}};

} // namespace tarn
