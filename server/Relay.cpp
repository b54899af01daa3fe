#include "Relay.h"

namespace tarn::server {

namespace {

std::uint64_t MacAt(std::string_view d, std::size_t off) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < 6; ++i)
        m = (m << 8) | static_cast<std::uint8_t>(d[off + i]);
    return m;
}

} // namespace

void Relay::OnDatagram(const Endpoint& from, std::string_view data, Clock::time_point now,
                       const SendFn& send) {
    if (data.size() == 1 && data[0] == '\x08') {
        send(from, std::string_view("\x12", 1));
        return;
    }
    if (data.size() < 14)
        return; // not an Ethernet frame
    auto ci = clientIndex_.find(from.key());
    if (ci == clientIndex_.end()) {
        if (clients_.size() >= kMaxClients) {
            Expire(now);
            if (clients_.size() >= kMaxClients)
                return;
        }
        ci = clientIndex_.emplace(from.key(), clients_.size()).first;
        clients_.push_back({from, now});
    } else {
        clients_[ci->second].seen = now;
    }

    const std::uint64_t src = MacAt(data, 6);
    const std::uint64_t dst = MacAt(data, 0);
    const bool srcGroup = (src >> 40) & 1;
    if (!srcGroup) {
        auto m = macs_.find(src);
        if (m != macs_.end()) {
            m->second = {from, now};
        } else if (macs_.size() < kMaxMacs) {
            macs_.emplace(src, MacEntry{from, now});
        }
    }
    const bool dstGroup = (dst >> 40) & 1;
    if (!dstGroup) {
        auto m = macs_.find(dst);
        if (m != macs_.end()) {
            if (!(m->second.ep == from)) {
                send(m->second.ep, data);
                ++forwarded_;
            }
            return;
        }
    }
    for (const ClientEntry& c : clients_) {
        if (!(c.ep == from)) {
            send(c.ep, data);
            ++forwarded_;
        }
    }
}

void Relay::Expire(Clock::time_point now) {
    for (auto it = macs_.begin(); it != macs_.end();) {
        if (now - it->second.seen > kIdle)
            it = macs_.erase(it);
        else
            ++it;
    }
    std::vector<ClientEntry> kept;
    kept.reserve(clients_.size());
    for (const ClientEntry& c : clients_)
        if (now - c.seen <= kIdle)
            kept.push_back(c);
    if (kept.size() == clients_.size())
        return;
    clients_ = std::move(kept);
    clientIndex_.clear();
    for (std::size_t i = 0; i < clients_.size(); ++i)
        clientIndex_[clients_[i].ep.key()] = i;
    // MACs of forgotten clients go too.
    for (auto it = macs_.begin(); it != macs_.end();) {
        if (!clientIndex_.count(it->second.ep.key()))
            it = macs_.erase(it);
        else
            ++it;
    }
}

} // namespace tarn::server
