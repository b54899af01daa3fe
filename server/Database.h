#pragma once
// Accounts and the service's records in one SQLite file. One connection,
// serialised by a mutex: the HTTP threads and the UDP loop call in freely.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tarn::server {

struct UserRow {
    std::int64_t id = 0;
    std::string name;
    std::string email;
    bool mailEvents = false;
    bool mailReset = true;
    bool mailNews = false;
    bool vip = false;
    bool banned = false;
    int rank = 0;
    int position = 0;
    int rating = 0;
    double lastLogin = 0; // days since 1899-12-30
    std::string bio;
};

struct MapStatRow {
    std::string name;
    int freq = 0;
    int minutes = 0;
    std::string lastPlayed;
};

struct ClanMembership {
    int game = 0;
    std::uint32_t clanId = 0;
    bool leader = false;
};

class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool Open(const std::string& path, std::string* error);
    void Close();

    std::optional<UserRow> FindUser(const std::string& name);
    std::optional<UserRow> FindUserById(std::int64_t id);
    // False with "taken" when a user of that name (any case) exists.
    bool CreateUser(const std::string& name, const std::string& passwordHex,
                    const std::string& email, int iterations, const std::string& authCode,
                    std::string* error);
    bool CheckPassword(std::int64_t userId, const std::string& passwordHex);
    bool SetPassword(std::int64_t userId, const std::string& passwordHex, int iterations);
    bool SetEmail(std::int64_t userId, const std::string& email);
    bool SetMailFlags(std::int64_t userId, std::optional<bool> events, std::optional<bool> reset,
                      std::optional<bool> news);
    bool SetFlag(const std::string& name, const char* column, int value);
    bool SetBio(std::int64_t userId, const std::string& bio);
    void RecordLogin(std::int64_t userId, double when, const std::string& authCode,
                     const std::string& configParms);
    std::vector<std::string> VipNames();

    void AddSession(const std::string& token, std::int64_t userId, const std::string& passphrase);
    bool AddReport(const std::string& reporter, const std::string& reported,
                   const std::string& reason, const std::string& text);
    bool AddFeedback(const std::string& user, const std::string& text);
    bool AddGolden(const std::string& user, const std::string& email);
    bool AddPasswordReset(std::int64_t userId, const std::string& email, const std::string& token);

    std::vector<MapStatRow> MapStats();
    bool SetMapStat(const MapStatRow& row);

    bool AddFriends(std::int64_t a, std::int64_t b);
    bool AreFriends(std::int64_t a, std::int64_t b);
    // Clan id, or 0 when the name or tag is taken or the leader already has
    // a clan of that game.
    std::uint32_t CreateClan(const std::string& name, const std::string& tag, std::int64_t leaderId,
                             int game);
    std::optional<std::pair<std::uint32_t, int>> FindClan(const std::string& name); // id, game
    std::string ClanName(std::uint32_t id);
    std::string ClanTagOf(std::int64_t userId); // first clan's tag, "" when none
    bool JoinClan(std::uint32_t clanId, std::int64_t userId);
    std::vector<ClanMembership> ClansOf(std::int64_t userId);

    // Count of rows of a table (tests and the admin channel).
    std::int64_t Count(const std::string& table);

private:
    bool ExecLocked(const char* sql);

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};

// PBKDF2-HMAC-SHA256 over the client's password hash text.
std::string DerivePasswordKey(const std::string& passwordHex, const std::string& salt,
                              int iterations);

} // namespace tarn::server
