#pragma once
// A game relay: a learning switch between the clients that send to it. Each
// datagram is one Ethernet frame; its source MAC is learnt for the sender,
// a frame for a learnt MAC of another client goes to that client alone, and
// broadcast or unknown frames go to every other client. Frames are forwarded
// unchanged. A single byte U+0008 is a ping and is answered U+0012.
// Lives on the UDP loop thread.

#include "Endpoint.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn::server {

class Relay {
public:
    using Clock = std::chrono::steady_clock;
    using SendFn = std::function<void(const Endpoint& to, std::string_view bytes)>;

    static constexpr std::size_t kMaxClients = 1024;
    static constexpr std::size_t kMaxMacs = 8192;
    static constexpr std::chrono::seconds kIdle{300};

    void OnDatagram(const Endpoint& from, std::string_view data, Clock::time_point now,
                    const SendFn& send);
    // Forgets clients and MACs idle for longer than kIdle.
    void Expire(Clock::time_point now);

    std::size_t ClientCount() const { return clients_.size(); }
    std::size_t MacCount() const { return macs_.size(); }
    std::uint64_t Forwarded() const { return forwarded_; }

private:
    struct ClientEntry {
        Endpoint ep;
        Clock::time_point seen;
    };
    struct MacEntry {
        Endpoint ep;
        Clock::time_point seen;
    };
    std::vector<ClientEntry> clients_;
    std::unordered_map<std::uint64_t, std::size_t> clientIndex_; // endpoint key -> index
    std::unordered_map<std::uint64_t, MacEntry> macs_;
    std::uint64_t forwarded_ = 0;
};

} // namespace tarn::server
