#pragma once
// Login sessions handed out by auth.php and claimed by the lobby hello.
// Shared between the HTTPS threads and the UDP loop; every call locks.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace tarn::server {

struct LoginSession {
    std::string token;
    std::int64_t userId = 0;
    std::string user;       // spelling as registered
    std::string passphrase; // the lobby cipher's pass phrase
    std::chrono::steady_clock::time_point created;
};

class SessionStore {
public:
    static constexpr std::size_t kMaxSessions = 4096;

    // A fresh token and pass phrase for the user; an older session of the
    // same user is replaced. When full, the oldest session is dropped.
    LoginSession Create(std::int64_t userId, const std::string& user);
    std::optional<LoginSession> Find(const std::string& token) const;
    std::optional<LoginSession> FindByUser(std::int64_t userId) const;
    void Remove(const std::string& token);
    std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, LoginSession> byToken_;
    std::map<std::int64_t, std::string> byUser_;
};

// Random text of n characters from [0-9A-Za-z].
std::string RandomToken(std::size_t n);

} // namespace tarn::server
