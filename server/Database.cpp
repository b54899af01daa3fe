#include "Database.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>

#include <initializer_list>
#include <variant>

namespace tarn::server {

namespace {

const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS users(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  pw_salt BLOB NOT NULL,
  pw_key BLOB NOT NULL,
  pw_iterations INTEGER NOT NULL,
  email TEXT NOT NULL DEFAULT '',
  mail_events INTEGER NOT NULL DEFAULT 0,
  mail_reset INTEGER NOT NULL DEFAULT 1,
  mail_news INTEGER NOT NULL DEFAULT 0,
  vip INTEGER NOT NULL DEFAULT 0,
  banned INTEGER NOT NULL DEFAULT 0,
  rank INTEGER NOT NULL DEFAULT 0,
  position INTEGER NOT NULL DEFAULT 0,
  rating INTEGER NOT NULL DEFAULT 0,
  bio TEXT NOT NULL DEFAULT '',
  last_login REAL NOT NULL DEFAULT 0,
  auth_code TEXT NOT NULL DEFAULT '',
  config_parms TEXT NOT NULL DEFAULT '',
  created TEXT NOT NULL DEFAULT (datetime('now')));
CREATE TABLE IF NOT EXISTS sessions(
  token TEXT PRIMARY KEY, user_id INTEGER NOT NULL, passphrase TEXT NOT NULL,
  created TEXT NOT NULL DEFAULT (datetime('now')));
CREATE TABLE IF NOT EXISTS reports(
  id INTEGER PRIMARY KEY, reporter TEXT, reported TEXT, reason TEXT, text TEXT,
  created TEXT NOT NULL DEFAULT (datetime('now')));
CREATE TABLE IF NOT EXISTS feedback(
  id INTEGER PRIMARY KEY, user TEXT, text TEXT,
  created TEXT NOT NULL DEFAULT (datetime('now')));
CREATE TABLE IF NOT EXISTS golden(
  id INTEGER PRIMARY KEY, user TEXT, email TEXT,
  created TEXT NOT NULL DEFAULT (datetime('now')));
CREATE TABLE IF NOT EXISTS password_resets(
  id INTEGER PRIMARY KEY, user_id INTEGER, email TEXT, token TEXT,
  created TEXT NOT NULL DEFAULT (datetime('now')));
CREATE TABLE IF NOT EXISTS map_stats(
  name TEXT PRIMARY KEY, freq INTEGER NOT NULL, minutes INTEGER NOT NULL, last_played TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS friends(
  a INTEGER NOT NULL, b INTEGER NOT NULL, PRIMARY KEY(a, b));
CREATE TABLE IF NOT EXISTS clans(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  tag TEXT NOT NULL UNIQUE COLLATE NOCASE, game INTEGER NOT NULL, leader INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS clan_members(
  clan_id INTEGER NOT NULL, user_id INTEGER NOT NULL, game INTEGER NOT NULL,
  PRIMARY KEY(user_id, game));
)sql";

using Value = std::variant<std::int64_t, double, std::string>;

// A prepared statement bound from a list of values; finalised on scope exit.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql, std::initializer_list<Value> values) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) {
            st_ = nullptr;
            return;
        }
        int i = 1;
        for (const Value& v : values) {
            if (auto* n = std::get_if<std::int64_t>(&v))
                sqlite3_bind_int64(st_, i, *n);
            else if (auto* d = std::get_if<double>(&v))
                sqlite3_bind_double(st_, i, *d);
            else {
                const auto& s = std::get<std::string>(v);
                sqlite3_bind_blob(st_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            }
            ++i;
        }
    }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    bool ok() const { return st_ != nullptr; }
    bool row() { return st_ && sqlite3_step(st_) == SQLITE_ROW; }
    bool done() { return st_ && sqlite3_step(st_) == SQLITE_DONE; }
    std::int64_t i64(int c) { return sqlite3_column_int64(st_, c); }
    double dbl(int c) { return sqlite3_column_double(st_, c); }
    std::string str(int c) {
        const void* p = sqlite3_column_blob(st_, c);
        int n = sqlite3_column_bytes(st_, c);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n))
                 : std::string();
    }

private:
    sqlite3_stmt* st_ = nullptr;
};

// Text columns are bound as blobs above; compare names as text.
const char kUserCols[] = "SELECT id, CAST(name AS TEXT), CAST(email AS TEXT), mail_events, "
                         "mail_reset, mail_news, vip, banned, rank, position, rating, last_login, "
                         "CAST(bio AS TEXT) FROM users ";

UserRow ReadUser(Stmt& s) {
    UserRow u;
    u.id = s.i64(0);
    u.name = s.str(1);
    u.email = s.str(2);
    u.mailEvents = s.i64(3) != 0;
    u.mailReset = s.i64(4) != 0;
    u.mailNews = s.i64(5) != 0;
    u.vip = s.i64(6) != 0;
    u.banned = s.i64(7) != 0;
    u.rank = static_cast<int>(s.i64(8));
    u.position = static_cast<int>(s.i64(9));
    u.rating = static_cast<int>(s.i64(10));
    u.lastLogin = s.dbl(11);
    u.bio = s.str(12);
    return u;
}

std::string RandomBytes(int n) {
    std::string s(static_cast<std::size_t>(n), '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(s.data()), n);
    return s;
}

} // namespace

std::string DerivePasswordKey(const std::string& passwordHex, const std::string& salt,
                              int iterations) {
    std::string out(32, '\0');
    PKCS5_PBKDF2_HMAC(passwordHex.data(), static_cast<int>(passwordHex.size()),
                      reinterpret_cast<const unsigned char*>(salt.data()),
                      static_cast<int>(salt.size()), iterations, EVP_sha256(),
                      static_cast<int>(out.size()), reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

Database::~Database() {
    Close();
}

bool Database::Open(const std::string& path, std::string* error) {
    std::lock_guard lock(mutex_);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        if (error)
            *error = db_ ? sqlite3_errmsg(db_) : "cannot open database";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    if (!ExecLocked("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") ||
        !ExecLocked(kSchema)) {
        if (error)
            *error = sqlite3_errmsg(db_);
        return false;
    }
    // A few rows so that a fresh service has statistics to show.
    Stmt c(db_, "SELECT COUNT(*) FROM map_stats", {});
    if (c.row() && c.i64(0) == 0) {
        ExecLocked("INSERT INTO map_stats VALUES('Frostfire', 65, 45, '12/1/2026 8:15:00 PM'),"
                   "('Blizzard', 66, 200, '12/2/2026 9:00:00 PM'),"
                   "('Crossroads', 67, 3000, '12/3/2026 10:30:00 PM');");
    }
    return true;
}

void Database::Close() {
    std::lock_guard lock(mutex_);
    if (db_) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

bool Database::ExecLocked(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<UserRow> Database::FindUser(const std::string& name) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, (std::string(kUserCols) + "WHERE name = CAST(?1 AS TEXT)").c_str(), {name});
    if (!s.row())
        return std::nullopt;
    return ReadUser(s);
}

std::optional<UserRow> Database::FindUserById(std::int64_t id) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, (std::string(kUserCols) + "WHERE id = ?1").c_str(), {id});
    if (!s.row())
        return std::nullopt;
    return ReadUser(s);
}

bool Database::CreateUser(const std::string& name, const std::string& passwordHex,
                          const std::string& email, int iterations, const std::string& authCode,
                          std::string* error) {
    const std::string salt = RandomBytes(16);
    const std::string key = DerivePasswordKey(passwordHex, salt, iterations);
    std::lock_guard lock(mutex_);
    {
        Stmt s(db_, "SELECT 1 FROM users WHERE name = CAST(?1 AS TEXT)", {name});
        if (s.row()) {
            if (error)
                *error = "taken";
            return false;
        }
    }
    Stmt s(db_,
           "INSERT INTO users(name, pw_salt, pw_key, pw_iterations, email, auth_code) "
           "VALUES(CAST(?1 AS TEXT), ?2, ?3, ?4, CAST(?5 AS TEXT), CAST(?6 AS TEXT))",
           {name, salt, key, std::int64_t{iterations}, email, authCode});
    if (!s.done()) {
        if (error)
            *error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool Database::CheckPassword(std::int64_t userId, const std::string& passwordHex) {
    std::string salt, key;
    std::int64_t iterations = 0;
    {
        std::lock_guard lock(mutex_);
        Stmt s(db_, "SELECT pw_salt, pw_key, pw_iterations FROM users WHERE id = ?1", {userId});
        if (!s.row())
            return false;
        salt = s.str(0);
        key = s.str(1);
        iterations = s.i64(2);
    }
    if (iterations < 1 || iterations > 10000000)
        return false;
    const std::string got = DerivePasswordKey(passwordHex, salt, static_cast<int>(iterations));
    return got.size() == key.size() && CRYPTO_memcmp(got.data(), key.data(), got.size()) == 0;
}

bool Database::SetPassword(std::int64_t userId, const std::string& passwordHex, int iterations) {
    const std::string salt = RandomBytes(16);
    const std::string key = DerivePasswordKey(passwordHex, salt, iterations);
    std::lock_guard lock(mutex_);
    Stmt s(db_, "UPDATE users SET pw_salt = ?2, pw_key = ?3, pw_iterations = ?4 WHERE id = ?1",
           {userId, salt, key, std::int64_t{iterations}});
    return s.done();
}

bool Database::SetEmail(std::int64_t userId, const std::string& email) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "UPDATE users SET email = CAST(?2 AS TEXT) WHERE id = ?1", {userId, email});
    return s.done();
}

bool Database::SetMailFlags(std::int64_t userId, std::optional<bool> events,
                            std::optional<bool> reset, std::optional<bool> news) {
    std::lock_guard lock(mutex_);
    auto v = [](std::optional<bool> b) { return std::int64_t{b ? (*b ? 1 : 0) : -1}; };
    Stmt s(db_,
           "UPDATE users SET mail_events = CASE WHEN ?2 < 0 THEN mail_events ELSE ?2 END, "
           "mail_reset = CASE WHEN ?3 < 0 THEN mail_reset ELSE ?3 END, "
           "mail_news = CASE WHEN ?4 < 0 THEN mail_news ELSE ?4 END WHERE id = ?1",
           {userId, v(events), v(reset), v(news)});
    return s.done();
}

bool Database::SetFlag(const std::string& name, const char* column, int value) {
    const std::string col = column;
    if (col != "vip" && col != "banned" && col != "rank")
        return false;
    std::lock_guard lock(mutex_);
    Stmt s(db_, ("UPDATE users SET " + col + " = ?2 WHERE name = CAST(?1 AS TEXT)").c_str(),
           {name, std::int64_t{value}});
    return s.done() && sqlite3_changes(db_) > 0;
}

bool Database::SetBio(std::int64_t userId, const std::string& bio) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "UPDATE users SET bio = CAST(?2 AS TEXT) WHERE id = ?1", {userId, bio});
    return s.done();
}

void Database::RecordLogin(std::int64_t userId, double when, const std::string& authCode,
                           const std::string& configParms) {
    std::lock_guard lock(mutex_);
    Stmt s(db_,
           "UPDATE users SET last_login = ?2, auth_code = CAST(?3 AS TEXT), "
           "config_parms = CAST(?4 AS TEXT) WHERE id = ?1",
           {userId, when, authCode, configParms});
    s.done();
}

std::vector<std::string> Database::VipNames() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    Stmt s(db_, "SELECT CAST(name AS TEXT) FROM users WHERE vip != 0 ORDER BY id", {});
    while (s.row())
        out.push_back(s.str(0));
    return out;
}

void Database::AddSession(const std::string& token, std::int64_t userId,
                          const std::string& passphrase) {
    std::lock_guard lock(mutex_);
    Stmt d(db_, "DELETE FROM sessions WHERE user_id = ?1", {userId});
    d.done();
    Stmt s(db_,
           "INSERT INTO sessions(token, user_id, passphrase) VALUES(CAST(?1 AS TEXT), ?2, "
           "CAST(?3 AS TEXT))",
           {token, userId, passphrase});
    s.done();
}

bool Database::AddReport(const std::string& reporter, const std::string& reported,
                         const std::string& reason, const std::string& text) {
    std::lock_guard lock(mutex_);
    Stmt s(db_,
           "INSERT INTO reports(reporter, reported, reason, text) VALUES(CAST(?1 AS TEXT), "
           "CAST(?2 AS TEXT), CAST(?3 AS TEXT), CAST(?4 AS TEXT))",
           {reporter, reported, reason, text});
    return s.done();
}

bool Database::AddFeedback(const std::string& user, const std::string& text) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "INSERT INTO feedback(user, text) VALUES(CAST(?1 AS TEXT), CAST(?2 AS TEXT))",
           {user, text});
    return s.done();
}

bool Database::AddGolden(const std::string& user, const std::string& email) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "INSERT INTO golden(user, email) VALUES(CAST(?1 AS TEXT), CAST(?2 AS TEXT))",
           {user, email});
    return s.done();
}

bool Database::AddPasswordReset(std::int64_t userId, const std::string& email,
                                const std::string& token) {
    std::lock_guard lock(mutex_);
    Stmt s(db_,
           "INSERT INTO password_resets(user_id, email, token) VALUES(?1, CAST(?2 AS TEXT), "
           "CAST(?3 AS TEXT))",
           {userId, email, token});
    return s.done();
}

std::vector<MapStatRow> Database::MapStats() {
    std::lock_guard lock(mutex_);
    std::vector<MapStatRow> out;
    Stmt s(db_,
           "SELECT CAST(name AS TEXT), freq, minutes, CAST(last_played AS TEXT) FROM map_stats "
           "ORDER BY minutes DESC, name LIMIT 1000",
           {});
    while (s.row())
        out.push_back({s.str(0), static_cast<int>(s.i64(1)), static_cast<int>(s.i64(2)), s.str(3)});
    return out;
}

bool Database::SetMapStat(const MapStatRow& row) {
    std::lock_guard lock(mutex_);
    Stmt s(db_,
           "INSERT OR REPLACE INTO map_stats VALUES(CAST(?1 AS TEXT), ?2, ?3, CAST(?4 AS TEXT))",
           {row.name, std::int64_t{row.freq}, std::int64_t{row.minutes}, row.lastPlayed});
    return s.done();
}

bool Database::AddFriends(std::int64_t a, std::int64_t b) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "INSERT OR IGNORE INTO friends VALUES(?1, ?2), (?2, ?1)", {a, b});
    return s.done();
}

bool Database::AreFriends(std::int64_t a, std::int64_t b) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "SELECT 1 FROM friends WHERE a = ?1 AND b = ?2", {a, b});
    return s.row();
}

std::uint32_t Database::CreateClan(const std::string& name, const std::string& tag,
                                   std::int64_t leaderId, int game) {
    std::lock_guard lock(mutex_);
    {
        Stmt s(db_, "SELECT 1 FROM clan_members WHERE user_id = ?1 AND game = ?2",
               {leaderId, std::int64_t{game}});
        if (s.row())
            return 0;
    }
    Stmt s(db_,
           "INSERT INTO clans(name, tag, game, leader) VALUES(CAST(?1 AS TEXT), CAST(?2 AS TEXT), "
           "?3, ?4)",
           {name, tag, std::int64_t{game}, leaderId});
    if (!s.done())
        return 0;
    const auto id = static_cast<std::uint32_t>(sqlite3_last_insert_rowid(db_));
    Stmt m(db_, "INSERT INTO clan_members VALUES(?1, ?2, ?3)",
           {std::int64_t{id}, leaderId, std::int64_t{game}});
    m.done();
    return id;
}

std::optional<std::pair<std::uint32_t, int>> Database::FindClan(const std::string& name) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "SELECT id, game FROM clans WHERE name = CAST(?1 AS TEXT)", {name});
    if (!s.row())
        return std::nullopt;
    return std::make_pair(static_cast<std::uint32_t>(s.i64(0)), static_cast<int>(s.i64(1)));
}

std::string Database::ClanName(std::uint32_t id) {
    std::lock_guard lock(mutex_);
    Stmt s(db_, "SELECT CAST(name AS TEXT) FROM clans WHERE id = ?1", {std::int64_t{id}});
    return s.row() ? s.str(0) : std::string();
}

std::string Database::ClanTagOf(std::int64_t userId) {
    std::lock_guard lock(mutex_);
    Stmt s(db_,
           "SELECT CAST(c.tag AS TEXT) FROM clan_members m JOIN clans c ON c.id = m.clan_id "
           "WHERE m.user_id = ?1 ORDER BY m.game LIMIT 1",
           {userId});
    return s.row() ? s.str(0) : std::string();
}

bool Database::JoinClan(std::uint32_t clanId, std::int64_t userId) {
    std::lock_guard lock(mutex_);
    Stmt s(db_,
           "INSERT INTO clan_members(clan_id, user_id, game) SELECT id, ?2, game FROM clans "
           "WHERE id = ?1",
           {std::int64_t{clanId}, userId});
    return s.done() && sqlite3_changes(db_) > 0;
}

std::vector<ClanMembership> Database::ClansOf(std::int64_t userId) {
    std::lock_guard lock(mutex_);
    std::vector<ClanMembership> out;
    Stmt s(db_,
           "SELECT m.game, m.clan_id, c.leader = m.user_id FROM clan_members m JOIN clans c ON "
           "c.id = m.clan_id WHERE m.user_id = ?1",
           {userId});
    while (s.row())
        out.push_back(
            {static_cast<int>(s.i64(0)), static_cast<std::uint32_t>(s.i64(1)), s.i64(2) != 0});
    return out;
}

std::int64_t Database::Count(const std::string& table) {
    for (char c : table)
        if (!((c >= 'a' && c <= 'z') || c == '_'))
            return -1;
    std::lock_guard lock(mutex_);
    Stmt s(db_, ("SELECT COUNT(*) FROM " + table).c_str(), {});
    return s.row() ? s.i64(0) : -1;
}

} // namespace tarn::server
