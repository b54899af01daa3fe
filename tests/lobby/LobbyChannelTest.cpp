#include "LobbyTestSupport.h"

#include "common/AnsiCodec.h"
#include "common/Base64.h"
#include "common/ErrorLog.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

using namespace tarn;
using namespace tarn::testing;

namespace {

// AES-256-ECB without any framing: the blocks exactly as they travel.
QByteArray rawDecrypt(const QByteArray& key, const QByteArray& cipher) {
    QByteArray out(cipher.size() + 16, '\0');
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n = 0, m = 0;
    EVP_DecryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr,
                       reinterpret_cast<const unsigned char*>(key.constData()), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(cipher.constData()),
                      static_cast<int>(cipher.size()));
    EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &m);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(n + m);
    return out;
}

TEST(LobbyChannel, PlainDatagramsAreTheUtf8OfTheirText) {
    Lobby lobby(QStringLiteral("127.3.0.41"));
    ASSERT_TRUE(lobby.session.IsLoggedIn);
    const QString texts[] = {
        ctl(8) + QStringLiteral("Alice"),
        ctl(2) + ctl(3) + QStringLiteral("J\u00f6rg \u20ac \u2603 \U0001F600"),
        ctl(0x0C) + QStringLiteral("Room \u00e9"),
        ctl(9),
    };
    for (const QString& t : texts)
        lobby.session.DataToSend(t);
    const QByteArrayList got = lobby.sent(std::size(texts));
    ASSERT_EQ(got.size(), static_cast<qsizetype>(std::size(texts)));
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(got[static_cast<qsizetype>(i)], texts[i].toUtf8()) << i;
}

TEST(LobbyChannel, ChatAndPrivateMessagesTravelEncrypted) {
    Lobby lobby(QStringLiteral("127.3.0.42"));
    const QByteArray key = lobby.session.LbRijndael1.Key();
    const struct {
        QString text;
        int base64Length;
        int finalCount;
    } cases[] = {
        // 16 ANSI bytes: one full block and a final block holding only 0.
        {ctl(1) + ctl(3) + QStringLiteral("Hello, world!!"), 44, 0},
        // 15 bytes: one block whose last byte is the count 15.
        {ctl(1) + ctl(3) + QStringLiteral("Hello, world!"), 24, 15},
        {ctl(4) + QStringLiteral("Bob") + ctl(1) + QStringLiteral("hi") + ctl(1), 24, 8},
        {ctl(1), 24, 1},
    };
    for (const auto& c : cases)
        lobby.session.DataToSend(c.text);
    const QByteArrayList got = lobby.sent(std::size(cases));
    ASSERT_EQ(got.size(), static_cast<qsizetype>(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const QByteArray d = got[static_cast<qsizetype>(i)];
        ASSERT_TRUE(d.startsWith('\x06')) << i;
        EXPECT_EQ(d.size() - 1, c.base64Length) << i;
        const auto cipher = Base64Decode(QByteArrayView(d).sliced(1));
        ASSERT_TRUE(cipher) << i;
        const QByteArray blocks = rawDecrypt(key, *cipher);
        const QByteArray ansi = AnsiFromString(c.text);
        ASSERT_EQ(blocks.size(), (ansi.size() / 16 + 1) * 16) << i;
        EXPECT_EQ(static_cast<int>(blocks.back()), c.finalCount) << i;
        EXPECT_EQ(blocks.left(ansi.size()), ansi) << i;
        EXPECT_EQ(blocks.mid(ansi.size(), blocks.size() - ansi.size() - 1),
                  QByteArray(blocks.size() - ansi.size() - 1, '\0'))
            << i;
    }
}

TEST(LobbyChannel, EncryptedTextLosesCharactersOutsideTheCodePage) {
    Lobby lobby(QStringLiteral("127.3.0.43"));
    lobby.session.DataToSend(ctl(1) + ctl(3) + QStringLiteral("snow \u2603 \u00e9\u20ac"));
    const QByteArrayList got = lobby.sent(1);
    ASSERT_EQ(got.size(), 1);
    const auto plain = lobby.peerCipher.DecryptString(QString::fromLatin1(got[0].mid(1)));
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, ctl(1) + ctl(3) + QStringLiteral("snow ? \u00e9\u20ac"));
}

TEST(LobbyChannel, SendErrorsReachTheCaller) {
    Lobby lobby(QStringLiteral("127.3.0.44"), false);
    // Not logged in: the socket is not active.
    EXPECT_THROW(lobby.session.DataToSend(ctl(8) + QStringLiteral("Alice")), LobbyError);
    lobby.session.LoggedIn();
    lobby.session.Addresses().LobbyServerIP.clear();
    try {
        lobby.session.DataToSend(ctl(8) + QStringLiteral("Alice"));
        FAIL() << "no error";
    } catch (const LobbyError& e) {
        EXPECT_EQ(e.className(), QStringLiteral("ESocketError"));
        EXPECT_FALSE(e.message().isEmpty());
    }
}

TEST(LobbyChannel, OnlyTheLobbyServerIsHeardExceptPingReplies) {
    Lobby lobby(QStringLiteral("127.3.0.45"));
    TLobbySession& s = lobby.session;
    const quint16 port = s.NgtServer.localPort();
    s.S2PingTime = lobby.clock.addMSecs(-42);
    s.CaPingTime = lobby.clock.addMSecs(-7);

    Peer stranger(QStringLiteral("127.3.0.46"), 30022);
    Peer relay1(QStringLiteral("127.3.0.46"), 30122);
    Peer relay2(QStringLiteral("127.3.0.47"), 30123);
    Peer objectServer(QStringLiteral("127.3.0.45"), 40000);
    ASSERT_TRUE(stranger.bound && relay1.bound && relay2.bound && objectServer.bound);

    // Notifications come encrypted (a plain U+0006 is the encrypted mark).
    const QByteArray notice = lobby.encrypted(ctl(6) + QStringLiteral("xfrom stranger"));
    stranger.send("127.0.0.1", port, notice);
    relay1.send("127.0.0.1", port, ctl(0x12).toUtf8());
    relay2.send("127.0.0.1", port, ctl(0x12).toUtf8() + "junk");
    // Port 40000 gets the raw bytes, even when they look encrypted.
    objectServer.send("127.0.0.1", port, "\x06not base64!");
    lobby.server->send("127.0.0.1", port, lobby.encrypted(ctl(6) + QStringLiteral("xmarker")));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !lobby.ops.named("RemoteNotification").isEmpty(); }, 5000));
    EXPECT_EQ(lobby.ops.calls,
              (QStringList{"AddToChatScreen:Your ping with game server #1 42",
                           "AddToChatScreen:Your ping with game server #2 7",
                           "NewObjectServerData:" +
                               QString::fromLatin1(QByteArray("\x06not base64!").toHex()),
                           "RemoteNotification:TARN|marker"}));
    EXPECT_EQ(s.LastReceived, lobby.clock);
}

TEST(LobbyChannel, EncryptedDatagramsAreDecryptedAndBrokenOnesDropped) {
    Lobby lobby(QStringLiteral("127.3.0.48"));
    TLobbySession& s = lobby.session;
    s.ReloginAttempts = 2;
    const QByteArray good = lobby.encrypted(ctl(6) + QStringLiteral("x\u00e9t\u00e9"));
    QByteArray partial = good;
    partial.chop(4); // 12 bytes of cipher: not a whole block
    QByteArray countTooBig =
        QByteArray(1, '\x06') +
        Base64Encode(lobby.peerCipher.EncryptBytes(QByteArray(14, 'a'))).toLatin1();
    // Corrupting the final block garbles its count byte (almost surely > 15).
    countTooBig[countTooBig.size() - 6] = countTooBig[countTooBig.size() - 6] == 'A' ? 'B' : 'A';
    const QByteArray broken[] = {QByteArray("\x06"), QByteArray("\x06!!!!"), partial,
                                 QByteArray("\x06") + good.mid(1).toLower()};
    for (const QByteArray& b : broken)
        lobby.inbound(b);
    EXPECT_TRUE(lobby.ops.calls.isEmpty()) << lobby.ops.calls.join(", ").toStdString();
    EXPECT_EQ(s.ReloginAttempts, 2);

    const quint16 port = s.NgtServer.localPort();
    lobby.server->send("127.0.0.1", port, good);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lobby.ops.calls.isEmpty(); }, 5000));
    EXPECT_EQ(lobby.ops.calls, QStringList{"RemoteNotification:TARN|\u00e9t\u00e9"});
    EXPECT_EQ(s.ReloginAttempts, 0);
}

TEST(LobbyChannel, NothingIsHeardWhileLoggedOut) {
    Lobby lobby(QStringLiteral("127.3.0.49"), false);
    lobby.inboundText(ctl(8) + QStringLiteral("x"));
    lobby.inboundEncrypted(ctl(6) + QStringLiteral("xhello"));
    lobby.inboundText(ctl(0x12));
    EXPECT_TRUE(lobby.ops.calls.isEmpty());
    EXPECT_FALSE(lobby.session.NgtServer.isActive());
}

TEST(LobbyLogin, OverrideSkipsDnsAndReplyFieldsApplyWhenValid) {
    DnsResponder dns(QStringLiteral("127.3.0.50"), 5353, QStringLiteral("127.3.0.51"));
    ASSERT_TRUE(dns.ok);
    const struct {
        const char* override_;
        const char* ngt;
        const char* s2;
        const char* ca;
        const char* backup;
        const char* lobbyIP;
        const char* s2IP;
        const char* caIP;
        const char* backupIP;
        bool usingOverride;
        int queries;
    } cases[] = {
        {"127.3.0.52", "", "", "", "", "127.3.0.52", "127.3.0.52", "127.3.0.52", "", true, 0},
        {"", "", "", "", "", "127.3.0.51", "127.3.0.51", "127.3.0.51", "", false, 1},
        {"", "10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.1", "10.0.0.2", "10.0.0.3",
         "10.0.0.4", false, 2},
        {"127.3.0.52", "10.0.0", "10.0.0.2.5", "10.0.0.256", "host.test", "127.3.0.52",
         "127.3.0.52", "127.3.0.52", "", true, 2},
    };
    for (const auto& c : cases) {
        Lobby lobby(QStringLiteral("127.3.0.50"), false);
        TLobbySession& s = lobby.session;
        s.LobbyIPOverride = QString::fromLatin1(c.override_);
        s.LoginInfo.NgtIp = QString::fromLatin1(c.ngt);
        s.LoginInfo.S2Ip = QString::fromLatin1(c.s2);
        s.LoginInfo.CaIp = QString::fromLatin1(c.ca);
        s.LoginInfo.BackUpIp = QString::fromLatin1(c.backup);
        s.Addresses().BackUpServerIP = QStringLiteral("stale");
        ASSERT_TRUE(s.LoggedIn());
        const TServerAddresses& a = s.Addresses();
        EXPECT_EQ(a.LobbyServerIP, QString::fromLatin1(c.lobbyIP)) << c.ngt;
        EXPECT_EQ(a.S2ServerIP, QString::fromLatin1(c.s2IP)) << c.s2;
        EXPECT_EQ(a.CaServerIP, QString::fromLatin1(c.caIP)) << c.ca;
        EXPECT_EQ(a.PspServerIP, a.S2ServerIP);
        EXPECT_EQ(a.BackUpServerIP, QString::fromLatin1(c.backupIP)) << c.backup;
        EXPECT_EQ(s.UsingIPOverride, c.usingOverride);
        EXPECT_EQ(dns.queries(), c.queries);
        EXPECT_TRUE(s.IsLoggedIn);
        EXPECT_TRUE(s.Timer1.isActive());
        EXPECT_EQ(s.Timer1.interval(), 10000);
        EXPECT_TRUE(s.NgtServer.isActive());
    }
}

TEST(LobbyLogin, DnsWithoutAnswerOrWithErrorLeavesTheAddressEmpty) {
    {
        DnsResponder dns(QStringLiteral("127.3.0.53"), 5353, QString());
        Lobby lobby(QStringLiteral("127.3.0.53"), false);
        lobby.session.LobbyIPOverride.clear();
        ASSERT_TRUE(lobby.session.LoggedIn());
        EXPECT_EQ(dns.queries(), 1);
        EXPECT_TRUE(lobby.session.Addresses().LobbyServerIP.isEmpty());
    }
    Lobby lobby(QStringLiteral("127.3.0.54"), false);
    UseTestEndpoints(QStringLiteral("unresolvable"));
    ErrorLog().clear();
    lobby.session.LobbyIPOverride.clear();
    lobby.session.Addresses().LobbyServerIP = QStringLiteral("1.2.3.4");
    ASSERT_TRUE(lobby.session.LoggedIn());
    EXPECT_TRUE(lobby.session.Addresses().LobbyServerIP.isEmpty());
    ASSERT_EQ(ErrorLog().size(), 1);
    // Class name directly followed by the message.
    EXPECT_EQ(ErrorLog().front(),
              QStringLiteral("EDNSResolverErrorInvalid DNS server address: unresolvable"));
}

TEST(LobbyLogin, ANewLoginMayBindAnotherPort) {
    Lobby lobby(QStringLiteral("127.3.0.55"), false);
    Peer blocker(QStringLiteral("0.0.0.0"), 0);
    const quint16 taken = blocker.socket.localPort();
    lobby.session.NonGamePort = taken;
    EXPECT_FALSE(lobby.session.LoggedIn()); // port in use: reported, not logged in
    EXPECT_FALSE(lobby.session.IsLoggedIn);
    ASSERT_EQ(lobby.ops.named("AppException").size(), 1);
    lobby.session.NonGamePort = 0;
    ASSERT_TRUE(lobby.session.LoggedIn());
    const quint16 first = lobby.session.NgtServer.localPort();
    lobby.session.logout();
    EXPECT_FALSE(lobby.session.NgtServer.isActive());
    ASSERT_TRUE(lobby.session.LoggedIn());
    EXPECT_TRUE(lobby.session.NgtServer.isActive());
    EXPECT_NE(lobby.session.NgtServer.localPort(), 0);
    (void)first;
}

} // namespace
