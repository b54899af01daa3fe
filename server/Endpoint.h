#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarn::server {

// An IPv4 UDP peer, address and port in host order.
struct Endpoint {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
    friend auto operator<=>(const Endpoint&, const Endpoint&) = default;
    std::uint64_t key() const { return (std::uint64_t{ip} << 16) | port; }
    bool loopback() const { return (ip >> 24) == 127; }
    std::string text() const {
        return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
               std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF) + ":" +
               std::to_string(port);
    }
};

struct EndpointHash {
    std::size_t operator()(const Endpoint& e) const { return std::hash<std::uint64_t>{}(e.key()); }
};

} // namespace tarn::server
