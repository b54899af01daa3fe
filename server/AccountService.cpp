#include "AccountService.h"

#include <chrono>
#include <ctime>

namespace tarn::server {

namespace {

std::string Field(const FormRequest& r, const char* name) {
    auto it = r.fields.find(name);
    return it == r.fields.end() ? std::string() : it->second;
}

std::optional<std::string> OptField(const FormRequest& r, const char* name) {
    auto it = r.fields.find(name);
    if (it == r.fields.end())
        return std::nullopt;
    return it->second;
}

FormReply Text(std::string body) {
    return FormReply{200, std::move(body), {}};
}
FormReply Refuse(const std::string& why) {
    return Text("RC:" + why);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Optional e-mail: empty, or one "@", printable, no field separators.
bool ValidEmail(const std::string& e) {
    if (e.empty())
        return true;
    if (e.size() > 255)
        return false;
    for (unsigned char c : e)
        if (c < 0x21 || c == 0x7F || c == ';' || c == ':')
            return false;
    const auto at = e.find('@');
    return at != std::string::npos && at > 0 && at + 1 < e.size() &&
           e.find('@', at + 1) == std::string::npos;
}

double NowAsDelphiDate() {
    const double unixDays =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() /
        86400.0;
    return unixDays + 25569.0;
}

std::optional<bool> YesNo(const FormRequest& r, const char* name) {
    auto v = OptField(r, name);
    if (!v)
        return std::nullopt;
    if (*v == "yes")
        return true;
    if (*v == "no")
        return false;
    return std::nullopt;
}

} // namespace

bool ValidUserName(const std::string& name) {
    if (name.empty() || name.size() > 16)
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

bool ValidPasswordHash(const std::string& hex) {
    if (hex.size() != 128)
        return false;
    for (char c : hex)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

AccountService::AccountService(Database& db, SessionStore& sessions, const ServerConfig& config)
    : db_(db), sessions_(sessions), config_(config) {}

std::optional<UserRow> AccountService::CookieUser(const FormRequest& r,
                                                  const std::string& account) {
    if (r.cookieToken.empty())
        return std::nullopt;
    auto s = sessions_.Find(r.cookieToken);
    if (!s || Lower(s->user) != Lower(account))
        return std::nullopt;
    return db_.FindUserById(s->userId);
}

FormReply AccountService::Handle(const FormRequest& r) {
    const std::string& s = r.script;
    if (s == "auth.php")
        return Auth(r);
    if (s == "viplist.php") {
        std::string body;
        for (const std::string& n : db_.VipNames()) {
            if (!body.empty())
                body += "\r\n";
            body += n;
        }
        return Text(body);
    }
    if (s == "PWreset.php") {
        auto user = db_.FindUser(Field(r, "account"));
        const std::string email = Field(r, "email");
        if (!user || user->email.empty() || Lower(user->email) != Lower(email))
            return Text("Account and email address do not match our records.");
        db_.AddPasswordReset(user->id, email, RandomToken(32));
        return Text("A password reset link has been sent to your email address.");
    }
    if (s == "EditAccount.php") {
        auto user = CookieUser(r, Field(r, "account"));
        if (!user)
            return Text("Not logged in.");
        if (!Field(r, "ChangeUsername").empty())
            return Text("Changing the username is not available.");
        const std::string e1 = Field(r, "ChangeEMail"), e2 = Field(r, "ChangeEMailAgain");
        if (e1 != e2)
            return Text("Email and Email confirm must match.");
        if (e1.empty() || !ValidEmail(e1))
            return Text("Invalid email address.");
        if (!db_.SetEmail(user->id, e1))
            return Text("Account update failed, please try again.");
        return Text("Account information updated successfully.");
    }
    if (s == "changepw.php") {
        auto user = db_.FindUser(Field(r, "account"));
        const std::string cur = Field(r, "CurrentPW"), n1 = Field(r, "NewPW"),
                          n2 = Field(r, "NewPWagain");
        if (!user || !ValidPasswordHash(cur) || !db_.CheckPassword(user->id, cur))
            return Text("Current password is wrong.");
        if (n1 != n2)
            return Text("New password and confirm must match.");
        if (!ValidPasswordHash(n1))
            return Text("Invalid new password.");
        if (!db_.SetPassword(user->id, n1, config_.pbkdf2Iterations))
            return Text("Password change failed, please try again.");
        return Text("Password changed successfully.");
    }
    if (s == "mailsettings.php") {
        auto user = CookieUser(r, Field(r, "account"));
        if (!user)
            return Text("Not logged in.");
        if (!db_.SetMailFlags(user->id, YesNo(r, "EnableEvents"), YesNo(r, "PassReset"),
                              YesNo(r, "EnableNewsletters")))
            return Text("Saving failed, please try again.");
        return Text("Successfully saved your email settings.");
    }
    if (s == "getgolden.php") {
        const std::string name = Field(r, "username"), email = Field(r, "email");
        auto user = CookieUser(r, name);
        if (!user)
            return Text("Not logged in.");
        if (email.empty() || !ValidEmail(email))
            return Text("Please enter the email address you donated with.");
        db_.AddGolden(user->name, email);
        return Text("Your golden name request was received successfully.");
    }
    if (s == "feedback.php") {
        const std::string text = Field(r, "feedback");
        if (text.empty())
            return Text("Feedback is empty.");
        std::string who;
        if (auto sess = sessions_.Find(r.cookieToken))
            who = sess->user;
        db_.AddFeedback(who, text);
        return Text("Thank you, your feedback was received successfully.");
    }
    if (s == "report.php") {
        std::string who;
        if (auto sess = sessions_.Find(r.cookieToken))
            who = sess->user;
        else
            return Text("Not logged in.");
        std::string reported = Field(r, "userreported");
        const std::string prefix = "Reporting: ";
        if (reported.rfind(prefix, 0) == 0)
            reported = reported.substr(prefix.size());
        db_.AddReport(who, reported, Field(r, "reason"), Field(r, "report"));
        return Text("Your report was received successfully.");
    }
    return FormReply{404, "Unknown script.", {}};
}

FormReply AccountService::Auth(const FormRequest& r) {
    if (Field(r, "version") != config_.requiredVersion)
        return Refuse("New update require to log in");
    const std::string name = Field(r, "account");
    const std::string pw = Field(r, "Password");
    if (name.empty())
        return Refuse("Username name field blank.");
    if (Field(r, "registry") == "true") {
        if (!ValidUserName(name))
            return Refuse("Username can contain A to Z, a to z, 0 to 9, and _. Max 16 characters "
                          "long.");
        if (!ValidPasswordHash(pw) || pw != Field(r, "Password2"))
            return Refuse("Password must match Password confirm.");
        const std::string e1 = Field(r, "email"), e2 = Field(r, "email2");
        if (e1 != e2)
            return Refuse("Email and Email confirm must match.");
        if (!ValidEmail(e1))
            return Refuse("Invalid email address.");
        std::string error;
        if (!db_.CreateUser(name, pw, e1, config_.pbkdf2Iterations, Field(r, "AuthCode"), &error))
            return Refuse(error == "taken" ? "Username already taken." : "Registration failed.");
        auto user = db_.FindUser(name);
        if (!user)
            return Refuse("Registration failed.");
        return LoginReply(*user, r);
    }
    auto user = db_.FindUser(name);
    if (!user)
        return Refuse("Unknown username.");
    if (user->banned)
        return Refuse("This account is banned.");
    if (!ValidPasswordHash(pw) || !db_.CheckPassword(user->id, pw))
        return Refuse("Wrong password.");
    return LoginReply(*user, r);
}

FormReply AccountService::LoginReply(const UserRow& user, const FormRequest& r) {
    const LoginSession s = sessions_.Create(user.id, user.name);
    db_.AddSession(s.token, user.id, s.passphrase);
    db_.RecordLogin(user.id, NowAsDelphiDate(), Field(r, "AuthCode").substr(0, 512),
                    Field(r, "ConfigParms").substr(0, 4096));
    const std::string& a = config_.address;
    std::string body = "RC:SUSS;Ssid:" + s.token + ";Key:" + s.passphrase + ";Email:" + user.email +
                       ";EmailSettings:" + (user.mailEvents ? "1" : "0") +
                       (user.mailReset ? "1" : "0") + (user.mailNews ? "1" : "0") + ";S2Ip:" + a +
                       ";CaIp:" + a + ";NgtIp:" + a + ";BackUpIp:" + config_.backupAddress +
                       ";NewCap:false";
    FormReply reply = Text(body);
    reply.setCookie = std::string(kSessionCookie) + "=" + s.token + "; Path=/; Secure; HttpOnly";
    return reply;
}

} // namespace tarn::server
