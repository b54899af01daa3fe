#pragma once
// The account scripts of the HTTPS service: form fields in, reply text out.
// Called from the HTTP server's threads; the database and session store
// lock for themselves.

#include "Config.h"
#include "Database.h"
#include "Sessions.h"

#include <map>
#include <string>

namespace tarn::server {

struct FormRequest {
    std::string script;                        // e.g. "auth.php"
    std::map<std::string, std::string> fields; // first value of each name
    std::string cookieToken;                   // the session cookie, if any
};

struct FormReply {
    int status = 200;
    std::string body;
    std::string setCookie; // value of a Set-Cookie header, empty for none
};

// The session cookie the service sets at login and reads back.
inline constexpr char kSessionCookie[] = "TARNSESSION";

// Letters, digits and "_", 1 to 16 characters.
bool ValidUserName(const std::string& name);
// 128 lower- or upper-case hex digits (the client's password hash).
bool ValidPasswordHash(const std::string& hex);

class AccountService {
public:
    AccountService(Database& db, SessionStore& sessions, const ServerConfig& config);

    FormReply Handle(const FormRequest& request);

private:
    FormReply Auth(const FormRequest& r);
    FormReply LoginReply(const UserRow& user, const FormRequest& r);
    // The user of the session cookie when it names the same account.
    std::optional<UserRow> CookieUser(const FormRequest& r, const std::string& account);

    Database& db_;
    SessionStore& sessions_;
    const ServerConfig& config_;
};

} // namespace tarn::server
