#include "Sessions.h"

#include <openssl/rand.h>

#include <vector>

namespace tarn::server {

std::string RandomToken(std::size_t n) {
    static const char kAlphabet[] =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::vector<unsigned char> raw(n);
    RAND_bytes(raw.data(), static_cast<int>(n));
    std::string out;
    out.reserve(n);
    for (unsigned char b : raw)
        out.push_back(kAlphabet[b % 62]);
    return out;
}

LoginSession SessionStore::Create(std::int64_t userId, const std::string& user) {
    LoginSession s;
    s.token = RandomToken(32);
    s.passphrase = RandomToken(32);
    s.userId = userId;
    s.user = user;
    s.created = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (auto it = byUser_.find(userId); it != byUser_.end()) {
        byToken_.erase(it->second);
        byUser_.erase(it);
    }
    if (byToken_.size() >= kMaxSessions) {
        auto oldest = byToken_.begin();
        for (auto it = byToken_.begin(); it != byToken_.end(); ++it)
            if (it->second.created < oldest->second.created)
                oldest = it;
        byUser_.erase(oldest->second.userId);
        byToken_.erase(oldest);
    }
    byToken_[s.token] = s;
    byUser_[userId] = s.token;
    return s;
}

std::optional<LoginSession> SessionStore::Find(const std::string& token) const {
    std::lock_guard lock(mutex_);
    auto it = byToken_.find(token);
    if (it == byToken_.end())
        return std::nullopt;
    return it->second;
}

std::optional<LoginSession> SessionStore::FindByUser(std::int64_t userId) const {
    std::lock_guard lock(mutex_);
    auto it = byUser_.find(userId);
    if (it == byUser_.end())
        return std::nullopt;
    return byToken_.at(it->second);
}

void SessionStore::Remove(const std::string& token) {
    std::lock_guard lock(mutex_);
    auto it = byToken_.find(token);
    if (it == byToken_.end())
        return;
    byUser_.erase(it->second.userId);
    byToken_.erase(it);
}

std::size_t SessionStore::Size() const {
    std::lock_guard lock(mutex_);
    return byToken_.size();
}

} // namespace tarn::server
