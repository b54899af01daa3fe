// The running service, end to end: real TLS, real UDP, the admin socket and
// the database on disk. Every test owns a loopback address (127.0.31.N), so
// the tests run side by side with the fixed protocol ports.
#include "ServerHarness.h"

#include "Files.h"
#include "lobby/LobbyCipher.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>

#include <functional>

using namespace tarn::test;

namespace {

QString Msg(std::initializer_list<char16_t> codes, const QString& rest = {}) {
    QString t;
    for (char16_t c : codes)
        t += QChar(c);
    return t + rest;
}

// One scripted client: its lobby socket and its cipher.
class LobbyClient {
public:
    LobbyClient(const ServerProcess& s, const LoginResult& login, std::string user)
        : server_(s), user_(std::move(user)) {
        cipher_.GenerateKey(QString::fromStdString(login.key));
        token_ = login.token;
    }
    void Plain(const QString& text, int port = 30022) {
        peer.Send(server_.address, port, Utf8(text));
    }
    void Encrypted(const QString& text) {
        Plain(QString(QChar(0x06)) + cipher_.EncryptString(text));
    }
    void Hello() {
        Plain(Msg({0x05}, ";" + QString::fromStdString(user_) + ";" +
                              QString::fromStdString(token_) + ";"));
    }
    // The next lobby message, decrypted when it was encrypted.
    std::optional<QString> Next(int timeoutMs = 5000) {
        auto d = peer.Recv(timeoutMs);
        if (!d)
            return std::nullopt;
        last = *d;
        QString t = FromUtf8(d->data);
        if (t.startsWith(QChar(0x06))) {
            auto p = cipher_.DecryptString(t.mid(1));
            return p ? *p : QString("<undecryptable>");
        }
        return t;
    }
    // Skips messages until one satisfies pred (bounded).
    std::optional<QString> Until(const std::function<bool(const QString&)>& pred) {
        for (int i = 0; i < 64; ++i) {
            auto m = Next();
            if (!m)
                return std::nullopt;
            if (pred(*m))
                return m;
        }
        return std::nullopt;
    }
    std::optional<QString> UntilOp(char16_t op) {
        return Until([op](const QString& m) { return !m.isEmpty() && m[0] == QChar(op); });
    }

    UdpPeer peer;
    Datagram last;

private:
    const ServerProcess& server_;
    std::string user_;
    std::string token_;
    tarn::LobbyCipher cipher_;
};

class ServerTest : public ::testing::Test {
protected:
    void StartOn(int n, std::vector<std::string> extra = {}) {
        ASSERT_TRUE(dir_.isValid());
        server_ = std::make_unique<ServerProcess>("127.0.31." + std::to_string(n),
                                                  dir_.path().toStdString() + "/s", extra);
        ASSERT_TRUE(server_->Start()) << server_->Output();
    }
    void TearDown() override {
        if (server_) {
            EXPECT_EQ(server_->Stop(), 0) << server_->Output();
        }
    }
    // Runs a query on the database file and returns the first column of each row.
    std::vector<std::string> Query(const std::string& sql) {
        std::vector<std::string> rows;
        sqlite3* db = nullptr;
        const std::string path = server_->stateDir + "/tarn.db";
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    const unsigned char* t = sqlite3_column_text(st, 0);
                    rows.push_back(t ? reinterpret_cast<const char*>(t) : "");
                }
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return rows;
    }
    ServerProcess& S() { return *server_; }

    QTemporaryDir dir_;
    std::unique_ptr<ServerProcess> server_;
};

TEST_F(ServerTest, RegisterLoginHelloAndChatBetweenTwoClients) {
    StartOn(1);
    const LoginResult regA = Register(S(), "alice", "secret1", "alice@example.org");
    ASSERT_EQ(regA.fields.size(), 10u) << regA.reply.body;
    EXPECT_EQ(regA.fields[0], "RC:SUSS");
    const std::string a = S().address;
    EXPECT_EQ(regA.fields[5], "S2Ip:" + a);
    EXPECT_EQ(regA.fields[6], "CaIp:" + a);
    EXPECT_EQ(regA.fields[7], "NgtIp:" + a);
    EXPECT_EQ(regA.fields[8], "BackUpIp:" + a);
    EXPECT_EQ(regA.fields[9], "NewCap:false");
    EXPECT_EQ(regA.fields[3], "Email:alice@example.org");
    EXPECT_EQ(regA.fields[4], "EmailSettings:010");
    ASSERT_EQ(Register(S(), "bob", "pw-of-bob").fields[0], "RC:SUSS");

    // A later login hands out a new token and pass phrase.
    const LoginResult la = LogIn(S(), "ALICE", "secret1");
    ASSERT_EQ(la.fields[0], "RC:SUSS") << la.reply.body;
    EXPECT_NE(la.token, regA.token);
    const LoginResult lb = LogIn(S(), "bob", "pw-of-bob");
    ASSERT_EQ(lb.fields[0], "RC:SUSS");

    LobbyClient alice(S(), la, "alice"), bob(S(), lb, "bob");
    // The old token no longer opens a session.
    LobbyClient stale(S(), regA, "alice");
    stale.Hello();
    alice.Hello();
    EXPECT_EQ(alice.Next(), Msg({0x08, 0x01}));
    EXPECT_EQ(alice.last.fromPort, 30022);
    bob.Hello();
    EXPECT_EQ(bob.Next(), Msg({0x08, 0x01}));

    alice.Plain(Msg({0x02, 0x03}, "alice"));
    EXPECT_EQ(alice.UntilOp(0x02), Msg({0x02, 0x03, 0x00, u'm'}, "alice"));
    ASSERT_TRUE(alice.UntilOp(0x03));
    // The user batch: 2 header bytes and 24 bytes per record, one per user.
    EXPECT_EQ(alice.last.data.size(), 2u + 24u * 2);
    EXPECT_EQ(alice.last.data[1], '\x01');
    bob.Plain(Msg({0x02, 0x03}, "bob"));
    EXPECT_EQ(alice.UntilOp(0x02), Msg({0x02, 0x03, 0x00, u'm'}, "bob"));

    alice.Encrypted(Msg({0x01, 0x03}, QString::fromUtf8("hi  bob \u00e9")));
    const QString line = Msg({0x01, 0x03}, QString::fromUtf8("alice: hi  bob \u00e9"));
    EXPECT_EQ(alice.UntilOp(0x01), line);
    EXPECT_EQ(bob.UntilOp(0x01), line);

    // Private message bob -> alice arrives as operation 9, encrypted.
    bob.Encrypted(Msg({0x04}, ";bob;alice;") + QChar(0x01) + "psst" + QChar(0x01));
    EXPECT_EQ(alice.UntilOp(0x09), Msg({0x09, 0x01}, "bob") + QChar(0x01) + "psst" + QChar(0x01));
    EXPECT_TRUE(QString::fromStdString(alice.last.data).startsWith(QChar(0x06)));

    // Another socket cannot act for alice, even with her words.
    LobbyClient intruder(S(), la, "alice");
    intruder.Encrypted(Msg({0x01, 0x03}, "i am alice"));
    intruder.Encrypted(Msg({0x04}, ";alice;bob;") + QChar(0x01) + "fake" + QChar(0x01));
    // A PM that names someone else as sender is dropped too.
    alice.Encrypted(Msg({0x04}, ";bob;bob;") + QChar(0x01) + "forged" + QChar(0x01));
    alice.Encrypted(Msg({0x01, 0x03}, "marker"));
    EXPECT_EQ(bob.UntilOp(0x01), Msg({0x01, 0x03}, "alice: marker"));

    // Keep-alive, version check, game being played.
    bob.Plain(Msg({0x08}, "bob"));
    EXPECT_EQ(bob.UntilOp(0x08), Msg({0x08, 0x01}));
    bob.Plain(Msg({0x11}, "0.95f"));
    EXPECT_EQ(bob.UntilOp(0x11), Msg({0x11, 0x02}));
    bob.Plain(Msg({0x0C}, "CA Main LAN Lobby"));
    EXPECT_EQ(alice.UntilOp(0x0C),
              Msg({0x0C, 0x01, 0x01}, "bob") + QChar(0x01) + "CA Main LAN Lobby" + QChar(0x01));

    // Logout: everyone sees the user in room 4.
    alice.Plain(Msg({0x09}, "alice"));
    EXPECT_EQ(bob.UntilOp(0x02), Msg({0x02, 0x04, 0x00, u'm'}, "alice"));
    const auto sessions = S().Admin("sessions");
    ASSERT_FALSE(sessions.empty());
    EXPECT_EQ(sessions.back(), "OK 1");
}

TEST_F(ServerTest, RefusedLoginsAnswerWithTheirReason) {
    StartOn(2);
    ASSERT_EQ(Register(S(), "carol", "right").fields[0], "RC:SUSS");
    struct Case {
        const char* what;
        std::function<LoginResult()> run;
        const char* body;
    };
    const Case cases[] = {
        {"wrong password", [&] { return LogIn(S(), "carol", "wrong"); }, "RC:Wrong password."},
        {"unknown user", [&] { return LogIn(S(), "nobody", "x"); }, "RC:Unknown username."},
        {"name taken", [&] { return Register(S(), "CAROL", "other"); },
         "RC:Username already taken."},
        {"bad name", [&] { return Register(S(), "bad name", "x"); },
         "RC:Username can contain A to Z, a to z, 0 to 9, and _. Max 16 characters long."},
        {"too long name", [&] { return Register(S(), "abcdefghijklmnopq", "x"); },
         "RC:Username can contain A to Z, a to z, 0 to 9, and _. Max 16 characters long."},
        {"old version", [&] { return LogIn(S(), "carol", "right", "0.95e"); },
         "RC:New update require to log in"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.run().reply.body, c.body) << c.what;

    // Registration with passwords or e-mails that differ.
    auto reg = [&](const Fields& f) {
        return PostMultipart(S(), "/accounts/?scriptname=auth.php", f).body;
    };
    EXPECT_EQ(reg({{"account", "dave"},
                   {"version", "0.95f"},
                   {"Password", Sha("a")},
                   {"Password2", Sha("b")},
                   {"registry", "true"}}),
              "RC:Password must match Password confirm.");
    EXPECT_EQ(reg({{"account", "dave"},
                   {"version", "0.95f"},
                   {"Password", Sha("a")},
                   {"Password2", Sha("a")},
                   {"email", "d@x.org"},
                   {"email2", "e@x.org"},
                   {"registry", "true"}}),
              "RC:Email and Email confirm must match.");
    EXPECT_EQ(Query("SELECT name FROM users ORDER BY id"), std::vector<std::string>{"carol"});

    // A banned account is refused.
    EXPECT_EQ(S().Admin("ban carol on").back(), "OK");
    EXPECT_EQ(LogIn(S(), "carol", "right").reply.body, "RC:This account is banned.");
}

TEST_F(ServerTest, AccountScriptsChangeTheDatabase) {
    StartOn(3);
    const LoginResult r = Register(S(), "erin", "pw1", "erin@example.org");
    ASSERT_EQ(r.fields[0], "RC:SUSS");
    const std::string cookie = r.reply.cookie;
    ASSERT_EQ(cookie, "TARNSESSION=" + r.token);
    const std::string acc = "/accounts/?scriptname=";

    // Scripts that change an account need the session cookie of that account.
    EXPECT_EQ(PostMultipart(S(), acc + "mailsettings.php",
                            {{"PassReset", "no"}, {"EnableEvents", "yes"}, {"account", "erin"}})
                  .body,
              "Not logged in.");
    EXPECT_EQ(PostMultipart(S(), acc + "mailsettings.php",
                            {{"PassReset", "no"},
                             {"EnableNewsletters", "yes"},
                             {"EnableEvents", "yes"},
                             {"account", "erin"}},
                            cookie)
                  .body,
              "Successfully saved your email settings.");
    EXPECT_EQ(Query("SELECT mail_events || mail_reset || mail_news FROM users"),
              std::vector<std::string>{"101"});
    // A field left out keeps its value.
    PostMultipart(S(), acc + "mailsettings.php", {{"PassReset", "yes"}, {"account", "erin"}},
                  cookie);
    EXPECT_EQ(Query("SELECT mail_events || mail_reset || mail_news FROM users"),
              std::vector<std::string>{"111"});

    EXPECT_EQ(PostMultipart(S(), acc + "EditAccount.php",
                            {{"ChangeUsername", ""},
                             {"ChangeEMail", "new@example.org"},
                             {"ChangeEMailAgain", "other@example.org"},
                             {"account", "erin"}},
                            cookie)
                  .body,
              "Email and Email confirm must match.");
    EXPECT_EQ(PostMultipart(S(), acc + "EditAccount.php",
                            {{"ChangeUsername", ""},
                             {"ChangeEMail", "new@example.org"},
                             {"ChangeEMailAgain", "new@example.org"},
                             {"account", "erin"}},
                            cookie)
                  .body,
              "Account information updated successfully.");
    EXPECT_EQ(Query("SELECT email FROM users"), std::vector<std::string>{"new@example.org"});

    EXPECT_EQ(PostMultipart(S(), acc + "changepw.php",
                            {{"CurrentPW", Sha("bad")},
                             {"NewPW", Sha("pw2")},
                             {"NewPWagain", Sha("pw2")},
                             {"account", "erin"}},
                            cookie)
                  .body,
              "Current password is wrong.");
    EXPECT_EQ(PostMultipart(S(), acc + "changepw.php",
                            {{"CurrentPW", Sha("pw1")},
                             {"NewPW", Sha("pw2")},
                             {"NewPWagain", Sha("pw2")},
                             {"account", "erin"}},
                            cookie)
                  .body,
              "Password changed successfully.");
    EXPECT_EQ(LogIn(S(), "erin", "pw1").reply.body, "RC:Wrong password.");
    const LoginResult again = LogIn(S(), "erin", "pw2");
    ASSERT_EQ(again.fields[0], "RC:SUSS");
    EXPECT_EQ(again.fields[4], "EmailSettings:111");
    const std::string cookie2 = again.reply.cookie;

    EXPECT_EQ(PostMultipart(S(), acc + "getgolden.php",
                            {{"username", "erin"}, {"email", "donor@example.org"}}, cookie2)
                  .body,
              "Your golden name request was received successfully.");
    EXPECT_EQ(
        PostMultipart(S(), "/forms/?scriptname=feedback.php", {{"feedback", "nice"}}, cookie2).body,
        "Thank you, your feedback was received successfully.");
    EXPECT_EQ(
        PostMultipart(S(), "/forms/?scriptname=report.php",
                      {{"report", ""}, {"userreported", "Reporting: bob"}, {"reason", "Cheating"}},
                      cookie2)
            .body,
        "Your report was received successfully.");
    EXPECT_EQ(Query("SELECT user || '/' || email FROM golden"),
              std::vector<std::string>{"erin/donor@example.org"});
    EXPECT_EQ(Query("SELECT user || '/' || text FROM feedback"),
              std::vector<std::string>{"erin/nice"});
    EXPECT_EQ(Query("SELECT reporter || '/' || reported || '/' || reason FROM reports"),
              std::vector<std::string>{"erin/bob/Cheating"});

    // Password reset, URL-encoded.
    EXPECT_EQ(
        PostUrlEncoded(S(), acc + "PWreset.php", {{"account", "erin"}, {"email", "x@y.z"}}).body,
        "Account and email address do not match our records.");
    EXPECT_EQ(PostUrlEncoded(S(), acc + "PWreset.php",
                             {{"account", "erin"}, {"email", "NEW@example.org"}})
                  .body,
              "A password reset link has been sent to your email address.");
    EXPECT_EQ(Query("SELECT email FROM password_resets"),
              std::vector<std::string>{"NEW@example.org"});

    // VIP list.
    Register(S(), "frank", "f");
    EXPECT_EQ(S().Admin("vip frank on").back(), "OK");
    EXPECT_EQ(S().Admin("vip erin on").back(), "OK");
    const WebReply vip = GetHttps(S(), acc + "viplist.php");
    EXPECT_EQ(vip.status, 200);
    EXPECT_EQ(vip.body, "erin\r\nfrank");

    // Oversized bodies are refused, and the service keeps going.
    EXPECT_EQ(PostMultipart(S(), "/forms/?scriptname=feedback.php",
                            {{"feedback", std::string(200 * 1024, 'x')}}, cookie2)
                  .status,
              413);
    EXPECT_EQ(GetHttps(S(), acc + "nosuch.php").status, 404);
    EXPECT_EQ(LogIn(S(), "erin", "pw2").fields[0], "RC:SUSS");
}

TEST_F(ServerTest, RelaysLearnAndBroadcastAndAnswerPings) {
    StartOn(4);
    for (int port : {30122, 30123, 30322}) {
        UdpPeer c1, c2, c3;
        const std::string a = S().address;
        const std::string mac1("\x00\x04\x1f\x00\x00\x01", 6), mac2("\x00\x04\x1f\x00\x00\x02", 6);
        const std::string bcast(6, '\xff');
        auto frame = [](const std::string& dst, const std::string& src, const std::string& tag) {
            return dst + src + std::string("\x08\x00", 2) + tag;
        };
        const std::string f1 = frame(bcast, std::string(mac1.data(), 6), "hello-from-1");
        c3.Send(a, port, frame(bcast, std::string("\x00\x04\x1f\x00\x00\x03", 6), "c3-joins"));
        c2.Send(a, port, frame(bcast, std::string(mac2.data(), 6), "c2-joins"));
        ASSERT_EQ(c3.Recv()->data.substr(14), "c2-joins") << port;
        c1.Send(a, port, f1);
        auto at2 = c2.Recv(), at3 = c3.Recv();
        ASSERT_TRUE(at2 && at3);
        EXPECT_EQ(at2->data, f1) << "broadcast forwarded unchanged";
        EXPECT_EQ(at3->data, f1);
        EXPECT_EQ(at2->fromPort, port);

        // Unicast to the learnt MAC reaches c1 only: c3's next frame is the marker.
        const std::string uni =
            frame(std::string(mac1.data(), 6), std::string(mac2.data(), 6), "to-1");
        c2.Send(a, port, uni);
        EXPECT_EQ(c1.Recv()->data, uni);
        c1.Send(a, port, frame(bcast, std::string(mac1.data(), 6), "marker"));
        EXPECT_EQ(c3.Recv()->data.substr(14), "marker");
        EXPECT_EQ(c2.Recv()->data.substr(14), "marker");

        // Ping, and short datagrams that are not frames.
        UdpPeer pinger;
        pinger.Send(a, port, "\x08");
        auto pong = pinger.Recv();
        ASSERT_TRUE(pong);
        EXPECT_EQ(pong->data, "\x12");
        c1.Send(a, port, "short");
        c1.Send(a, port, frame(bcast, std::string(mac1.data(), 6), "after"));
        EXPECT_EQ(c2.Recv()->data.substr(14), "after");
    }
}

TEST_F(ServerTest, DnsAnswersTheLobbyHostOnly) {
    StartOn(5, {"--lobby-host", "lobby.example.test"});
    UdpPeer q;
    auto query = [](const std::string& name, std::uint16_t id) {
        std::string d;
        d.push_back(static_cast<char>(id >> 8));
        d.push_back(static_cast<char>(id & 0xFF));
        d += std::string("\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10);
        std::size_t start = 0;
        while (start <= name.size()) {
            auto dot = name.find('.', start);
            if (dot == std::string::npos)
                dot = name.size();
            d.push_back(static_cast<char>(dot - start));
            d += name.substr(start, dot - start);
            start = dot + 1;
        }
        d.push_back('\0');
        d += std::string("\x00\x01\x00\x01", 4);
        return d;
    };
    const std::string q1 = query("LOBBY.example.test", 0x1234);
    q.Send(S().address, S().dnsPort, q1);
    auto a1 = q.Recv();
    ASSERT_TRUE(a1);
    const std::string expected =
        std::string("\x12\x34\x85\x00\x00\x01\x00\x01\x00\x00\x00\x00", 12) + q1.substr(12) +
        std::string("\xc0\x0c\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04"
                    "\x7f\x00\x1f\x05",
                    16);
    EXPECT_EQ(a1->data, expected);
    q.Send(S().address, S().dnsPort, query("other.example.test", 7));
    auto a2 = q.Recv();
    ASSERT_TRUE(a2);
    EXPECT_EQ(static_cast<std::uint8_t>(a2->data[3]) & 0x0F, 3) << "NXDOMAIN";
    EXPECT_EQ(a2->data[7], '\0') << "no answer";
}

TEST_F(ServerTest, RestartKeepsAccountsAndCertificate) {
    StartOn(6);
    ASSERT_EQ(Register(S(), "gina", "pw").fields[0], "RC:SUSS");
    QFile cert(QString::fromStdString(S().stateDir + "/cert.pem"));
    ASSERT_TRUE(cert.open(QIODevice::ReadOnly));
    const QByteArray before = cert.readAll();
    cert.close();
    ASSERT_EQ(S().Stop(), 0) << S().Output();
    EXPECT_NE(S().Output().find("stopped"), std::string::npos);
    ASSERT_TRUE(S().Start()) << S().Output();
    EXPECT_EQ(LogIn(S(), "gina", "pw").fields[0], "RC:SUSS");
    EXPECT_EQ(LogIn(S(), "gina", "nope").reply.body, "RC:Wrong password.");
    ASSERT_TRUE(cert.open(QIODevice::ReadOnly));
    EXPECT_EQ(cert.readAll(), before);
    // The stored password is a salted slow hash, never the client's hash.
    const auto stored = Query("SELECT hex(pw_key) FROM users");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].size(), 64u);
    EXPECT_EQ(Query("SELECT COUNT(*) FROM users WHERE pw_key = '" + Sha("pw") + "'")[0], "0");
}

TEST_F(ServerTest, AdminCommandsRoomListAndObjectServer) {
    StartOn(7);
    const LoginResult l = Register(S(), "hank", "pw");
    ASSERT_EQ(l.fields[0], "RC:SUSS");
    LobbyClient hank(S(), l, "hank");
    hank.Hello();
    ASSERT_EQ(hank.Next(), Msg({0x08, 0x01}));

    EXPECT_EQ(S().Admin("notify * Server restarts soon").back(), "OK");
    EXPECT_EQ(hank.UntilOp(0x06), Msg({0x06, 0x01}, "Server restarts soon"));
    struct Case {
        const char* command;
        QString expected; // decrypted
    };
    const Case cases[] = {
        {"chatban hank", Msg({0x0B, 0x03})},
        {"chatunban hank", Msg({0x0B, 0x04})},
        {"capture hank off", Msg({0x0B, 0x01})},
        {"capture hank on", Msg({0x0B, 0x02})},
        {"capture hank pause", Msg({0x0B, 0x09})},
        {"address hank 5 10.1.2.3", Msg({0x14, 0x05}, "10.1.2.3")},
        {"servertag hank TAG1", Msg({0x0B, 0x05}, "  TAG1")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S().Admin(c.command).back(), "OK") << c.command;
        auto m = hank.Next();
        EXPECT_EQ(m, c.expected) << c.command;
        EXPECT_TRUE(QString::fromStdString(hank.last.data).startsWith(QChar(0x06))) << c.command;
    }
    EXPECT_EQ(S().Admin("reauth hank").back(), "OK");
    EXPECT_EQ(hank.Next(), Msg({0x07, 0x01}));
    EXPECT_EQ(S().Admin("tick hank 5").back(), "OK");
    EXPECT_EQ(hank.Next(), Msg({0x0D, 0x01, 0x01, 0x05}));
    EXPECT_EQ(S().Admin("address hank 7 10.1.2.3").back().substr(0, 3), "ERR");
    EXPECT_EQ(S().Admin("notify nobody hi").back().substr(0, 3), "ERR");
    EXPECT_EQ(S().Admin("frobnicate").back().substr(0, 3), "ERR");

    // Room list: one operation-10 datagram per hosted room.
    EXPECT_EQ(S().Admin("room-add S3: Tourney|4|16|no|All|Frostfire|0102").back(), "OK");
    EXPECT_EQ(S().Admin("room-add Casual|1|8|yes|None|Crossroads|05").back(), "OK");
    EXPECT_EQ(S().Admin("room-add Bad|1|8|yes|None|Map|3B").back().substr(0, 3), "ERR");
    hank.Plain(Msg({0x0A}), 3758);
    auto r1 = hank.peer.Recv(), r2 = hank.peer.Recv();
    ASSERT_TRUE(r1 && r2);
    EXPECT_EQ(r1->fromPort, 3758);
    EXPECT_EQ(r1->data, std::string("\x0A\x01;S3: Tourney;4;16;no;All;Frostfire;\x01\x02;"));
    EXPECT_EQ(r2->data, std::string("\x0A\x01;Casual;1;8;yes;None;Crossroads;\x05;"));

    // Object server: profile, my clans, friend invitation.
    EXPECT_EQ(S().Admin("rank hank 7").back(), "OK");
    EXPECT_EQ(S().Admin("clan-create Night Owls|NO|hank|2").back().substr(0, 2), "OK");
    hank.peer.Send(S().address, 40000, std::string("\x01hank"));
    // The rank change reaches hank first as a user state; skip to the answer.
    auto prof = hank.Until([&](const QString&) { return hank.last.fromPort == 40000; });
    ASSERT_TRUE(prof);
    EXPECT_EQ(hank.last.fromPort, 40000);
    ASSERT_EQ(hank.last.data.size(), 453u);
    EXPECT_EQ(hank.last.data.substr(0, 3), std::string("\x01\x00\x07", 3));
    EXPECT_EQ(hank.last.data.substr(2 + 271, 11), std::string("\x0aNight Owls", 11));

    std::string clans("\x05\x09", 2);
    clans.push_back(static_cast<char>(l.token.size()));
    clans += l.token;
    clans.resize(43, '\0');
    hank.peer.Send(S().address, 40000, clans);
    auto my = hank.peer.Recv();
    ASSERT_TRUE(my);
    std::string expected(74, '\0');
    expected[0] = 0x05;
    expected[1] = 0x09;
    expected[2 + 24] = 1;     // game 2: in a clan
    expected[2 + 24 + 4] = 1; // clan id 1
    expected[2 + 24 + 8] = 1; // leader
    EXPECT_EQ(my->data, expected);

    const LoginResult li = Register(S(), "ivy", "pw");
    LobbyClient ivy(S(), li, "ivy");
    ivy.Hello();
    ASSERT_EQ(ivy.Next(), Msg({0x08, 0x01}));
    hank.peer.Send(S().address, 40000, std::string("\x12ivy"));
    EXPECT_EQ(ivy.UntilOp(0x13), Msg({0x13, u'F'}, "hank"));
    ivy.Plain(Msg({0x14, u'F', u'F'}, "hank"));
    EXPECT_EQ(ivy.UntilOp(0x15), Msg({0x15, u'F', u'F'}, ";hank"));
    EXPECT_EQ(hank.UntilOp(0x15), Msg({0x15, u'F', u'F'}, ";ivy"));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM friends"), std::vector<std::string>{"2"});
    // Clan invitation over the lobby, accepted.
    hank.Plain(Msg({0x13, u'C'}, "ivy"));
    EXPECT_EQ(ivy.UntilOp(0x13), Msg({0x13, u'C'}, ";Night Owls;hank;"));
    ivy.Plain(Msg({0x14, u'C', u'C'}, "Night Owls"));
    EXPECT_EQ(ivy.UntilOp(0x15), Msg({0x15, u'C', u'C'}, ";Night Owls"));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM clan_members"), std::vector<std::string>{"2"});
    // An accept without an invitation does nothing.
    ivy.Plain(Msg({0x14, u'F', u'F'}, "hank"));
    ivy.Plain(Msg({0x08}, "ivy"));
    EXPECT_EQ(ivy.Next(), Msg({0x08, 0x01}));
}

TEST_F(ServerTest, HostileDatagramsLeaveTheServiceWorking) {
    StartOn(8);
    const LoginResult l = Register(S(), "jack", "pw");
    LobbyClient jack(S(), l, "jack");
    UdpPeer junk;
    const std::string samples[] = {
        std::string(1, '\x06'),        "\x06!!!notbase64",          "\x06QUJD",
        std::string("\x05;jack;bad;"), std::string("\x05;;;"),      std::string(1, '\x05'),
        std::string(8000, '\x01'),     std::string("\xff\xfe\xfd"), std::string("\x02\x03jack"),
        std::string("\x20", 1)};
    for (int port : {30022, 3758, 40000, 30122, 30123, 30322, S().dnsPort})
        for (const std::string& d : samples)
            junk.Send(S().address, port, d);
    jack.Hello();
    EXPECT_EQ(jack.Next(), Msg({0x08, 0x01}));
    jack.Plain(QString(QChar(0x06)) + "AAAA");
    jack.Plain(QString(QChar(0x06)) + QString(24, 'A'));
    jack.Plain(Msg({0x02, 0x09}, "jack")); // no such room
    jack.Plain(Msg({0x08}, "jack"));
    EXPECT_EQ(jack.Next(), Msg({0x08, 0x01}));
    // A burst of chat lines gets the sender muted (command 3) before all pass.
    jack.Plain(Msg({0x02, 0x03}, "jack"));
    for (int i = 0; i < 12; ++i)
        jack.Encrypted(Msg({0x01, 0x03}, "spam " + QString::number(i)));
    int lines = 0;
    auto mute = jack.Until([&](const QString& m) {
        lines += m.startsWith(QChar(0x01));
        return m.startsWith(QChar(0x0B));
    });
    EXPECT_EQ(mute, Msg({0x0B, 0x03}));
    EXPECT_LT(lines, 12);
    EXPECT_EQ(LogIn(S(), "jack", "pw").fields[0], "RC:SUSS");
}

TEST_F(ServerTest, ExpiredSessionEndsAtTheReauthentication) {
    StartOn(9);
    const LoginResult l = Register(S(), "kate", "pw");
    LobbyClient kate(S(), l, "kate");
    kate.Hello();
    ASSERT_EQ(kate.Next(), Msg({0x08, 0x01}));
    EXPECT_EQ(S().Admin("expire kate").back(), "OK");
    EXPECT_EQ(kate.Next(), Msg({0x07, 0x01}));
    // The client's answer to operation 7.
    kate.Plain(Msg({0x05, 0x01, 0x60, u'W'}, ";kate;" + QString::fromStdString(l.token) + ";"));
    EXPECT_EQ(kate.Next(), Msg({0x05, 0x01}));
    EXPECT_EQ(S().Admin("sessions").back(), "OK 0");
    // The old token cannot open a new session either.
    kate.Hello();
    kate.Plain(Msg({0x08}, "kate"));
    const LoginResult again = LogIn(S(), "kate", "pw");
    LobbyClient fresh(S(), again, "kate");
    fresh.Hello();
    EXPECT_EQ(fresh.Next(), Msg({0x08, 0x01}));
    EXPECT_FALSE(kate.peer.Recv(200)) << "nothing reached the expired socket";
}

TEST_F(ServerTest, PlainHttpServesTheMainWebHostFiles) {
    QTemporaryDir out;
    const std::string endpoints = out.path().toStdString() + "/Endpoints.txt";
    StartOn(10, {"--write-endpoints", endpoints});
    QFile f(QString::fromStdString(endpoints));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const std::string a = S().address;
    EXPECT_TRUE(text.contains(QString::fromStdString("WebHost=" + a + ":18443\n")));
    EXPECT_TRUE(text.contains(QString::fromStdString("MainWebHost=" + a + ":18080\n")));
    EXPECT_TRUE(text.contains("LobbyHost=lobby.tarn.test\n"));
    // Off port 53 the client is told the responder's port too.
    EXPECT_TRUE(text.contains(
        QString::fromStdString("DnsServer=" + a + ":" + std::to_string(S().dnsPort) + "\n")));

    const WebReply zip = GetHttp(S(), "/PCSX2/usbmaps.zip");
    EXPECT_EQ(zip.status, 200);
    EXPECT_TRUE(
        text.contains(QString::fromStdString("UsbMapsMd5=" + tarn::server::Md5Hex(zip.body))));
    EXPECT_EQ(zip.body.substr(0, 4), "PK\x03\x04");

    for (const char* game : {"SOCOM3", "SOCOMCA"})
        for (const char* file : tarn::server::kRunFileNames) {
            const WebReply r = GetHttp(S(), std::string("/") + game + "/RUN/" + file);
            EXPECT_EQ(r.status, 200) << game << file;
            EXPECT_EQ(r.body, tarn::server::MapPackFile(game, file));
        }
    EXPECT_EQ(GetHttp(S(), "/SOCOM3/RUN/NOSUCH.ZAR").status, 404);

    EXPECT_EQ(S().Admin("mapstat Sandstorm|66|90|12/5/2026").back(), "OK");
    const WebReply pack = GetHttp(S(), "/map_statistics.pack");
    EXPECT_EQ(pack.status, 200);
    EXPECT_EQ(pack.body.substr(0, 4), std::string("\x04\x00\x00\x00", 4));
    const std::string row = std::string("\x09Sandstorm\x42\x5a\x00\x00\x00\x09", 16) + "12/5/2026";
    EXPECT_NE(pack.body.find(row), std::string::npos);

    for (const char* path :
         {"/update.txt", "/TARN.exe", "/donate.php", "/AdHocSetupGuide.php", "/"}) {
        const WebReply r = GetHttp(S(), path);
        EXPECT_EQ(r.status, 200) << path;
        EXPECT_FALSE(r.body.empty()) << path;
    }
}

TEST(ServerCommandLine, HelpAndBadFlags) {
    struct Case {
        QStringList args;
        int exitCode;
        const char* text;
    };
    const Case cases[] = {
        {{"--help"}, 0, "admin.sock"},
        {{"--bogus"}, 2, "unknown argument: --bogus"},
        {{"--web-port", "x", "--state", "/tmp"}, 2, "--web-port needs a port number"},
    };
    for (const Case& c : cases) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(TARN_SERVER_BIN), c.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), c.exitCode) << c.text;
        EXPECT_TRUE(p.readAll().contains(c.text)) << c.text;
    }
}

} // namespace
