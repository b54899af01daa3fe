#include "LobbyTestSupport.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::testing;

namespace {

QByteArray keepAlive() {
    return (ctl(8) + QStringLiteral("Alice")).toUtf8();
}
QByteArray hello() {
    return (ctl(5) + QStringLiteral(";Alice;tok;")).toUtf8();
}
QByteArray rejoin() {
    return (ctl(2) + ctl(3)).toUtf8();
}

TEST(KeepAlive, TimelineWithoutAnswersFromANormalExchange) {
    DnsResponder dns(QStringLiteral("127.3.0.81"), 5353, QStringLiteral("127.3.0.82"));
    ASSERT_TRUE(dns.ok);
    Lobby lobby(QStringLiteral("127.3.0.81"));
    Peer dnsLobby(QStringLiteral("127.3.0.82"), 30022);
    TLobbySession& s = lobby.session;
    RecordingOps& ops = lobby.ops;
    ASSERT_TRUE(s.UsingIPOverride);
    s.MissedKeepAlives = 0;

    const QByteArrayList only = {keepAlive()};
    const QByteArrayList again = {keepAlive(), hello(), rejoin()};
    for (int tick = 1; tick <= 3; ++tick) {
        s.Timer1Timer();
        EXPECT_EQ(lobby.sent(1), only) << tick;
    }
    s.Timer1Timer(); // 4: hello and room join again
    EXPECT_EQ(lobby.sent(3), again);
    EXPECT_EQ(dns.queries(), 0);
    s.Timer1Timer(); // 5: one-time DNS fallback after this tick's sends
    EXPECT_EQ(lobby.sent(3), again);
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_TRUE(s.DnsFallbackDone);
    EXPECT_EQ(s.Addresses().LobbyServerIP, QStringLiteral("127.3.0.82"));
    EXPECT_TRUE(ops.named("ShowLostConnection").isEmpty());
    s.Timer1Timer(); // 6: the overlay, once
    dnsLobby.waitFor(3);
    EXPECT_EQ(dnsLobby.texts(), again);
    EXPECT_EQ(ops.named("ShowLostConnection").size(), 1);
    EXPECT_TRUE(s.IsLoggedIn);
    ops.calls.clear();
    s.Timer1Timer(); // 7: logout
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_FALSE(s.IsLoggedIn);
    EXPECT_TRUE(ops.named("ShowLostConnection").isEmpty());
    EXPECT_EQ(ops.calls.back(), QStringLiteral("SetLoginResponse:Session expiry re-login require"));
    dnsLobby.received.clear();
    ASSERT_TRUE(dnsLobby.waitFor(4));
    EXPECT_EQ(dnsLobby.texts().back(), (ctl(9) + QStringLiteral("Alice")).toUtf8());
    s.Timer1Timer(); // logged out: nothing more
    EXPECT_EQ(s.MissedKeepAlives, 7);
}

TEST(KeepAlive, RightAfterLoginASilentServerEndsTheSessionOnTheThirdTick) {
    Lobby lobby(QStringLiteral("127.3.0.83"));
    TLobbySession& s = lobby.session;
    s.LobbyIPOverride.clear();
    s.UsingIPOverride = false;
    s.MissedKeepAlives = 4;
    s.Timer1Timer();
    EXPECT_EQ(lobby.sent(3), (QByteArrayList{keepAlive(), hello(), rejoin()}));
    s.Timer1Timer();
    EXPECT_TRUE(s.IsLoggedIn);
    s.Timer1Timer();
    EXPECT_FALSE(s.IsLoggedIn);
}

TEST(KeepAlive, AnswersKeepTheSessionAndRemoveTheOverlay) {
    Lobby lobby(QStringLiteral("127.3.0.84"));
    TLobbySession& s = lobby.session;
    RecordingOps& ops = lobby.ops;
    ops.gameName = QStringLiteral("Room 7");
    s.MissedKeepAlives = 0;
    for (int i = 0; i < 10; ++i) {
        s.Timer1Timer();
        EXPECT_LE(s.MissedKeepAlives, 1);
        lobby.inboundText(ctl(8));
    }
    EXPECT_TRUE(ops.named("ShowLostConnection").isEmpty());
    const QByteArrayList sent = lobby.sent(20);
    ASSERT_EQ(sent.size(), 20);
    EXPECT_EQ(sent[0], (ctl(0x0C) + QStringLiteral("Room 7")).toUtf8());
    EXPECT_EQ(sent[1], keepAlive());

    // Six silent ticks: the overlay once; the next message removes it.
    s.LobbyIPOverride.clear();
    s.UsingIPOverride = false;
    for (int i = 0; i < 6; ++i)
        s.Timer1Timer();
    EXPECT_EQ(ops.named("ShowLostConnection").size(), 1);
    EXPECT_TRUE(ops.statusVisible);
    lobby.inboundText(ctl(8));
    EXPECT_FALSE(ops.statusVisible);
    EXPECT_EQ(s.MissedKeepAlives, 0);
    EXPECT_TRUE(s.IsLoggedIn);
}

TEST(KeepAlive, DnsFallbackHappensOnceAndDoesNotSwitchBack) {
    DnsResponder dns(QStringLiteral("127.3.0.85"), 5353, QString()); // no A record
    ASSERT_TRUE(dns.ok);
    Lobby lobby(QStringLiteral("127.3.0.85"));
    TLobbySession& s = lobby.session;
    s.MissedKeepAlives = 4;
    s.Timer1Timer(); // 5: fallback, no A record: no address at all
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_TRUE(s.Addresses().LobbyServerIP.isEmpty());
    // Sends fail now; the failures are logged and the session still ends.
    s.Timer1Timer();
    s.Timer1Timer();
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_FALSE(s.IsLoggedIn);
    EXPECT_GE(lobby.ops.named("AppException").size(), 2);
    EXPECT_TRUE(lobby.ops.named("AppException").front().startsWith("AppException:ESocketError|"));

    // A new login keeps the fallback spent.
    s.CurrentUser = QStringLiteral("Alice");
    ASSERT_TRUE(s.LoggedIn());
    s.MissedKeepAlives = 4;
    s.Timer1Timer();
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_EQ(s.Addresses().LobbyServerIP, QStringLiteral("127.3.0.85"));
}

TEST(KeepAlive, CaptureResumesThirtySecondsAfterThePause) {
    Lobby lobby(QStringLiteral("127.3.0.86"), false);
    TLobbySession& s = lobby.session;
    s.CapturePaused = true;
    s.CapturePauseTime = lobby.clock;
    lobby.clock = lobby.clock.addSecs(29);
    s.Timer1Timer();
    EXPECT_TRUE(lobby.ops.calls.isEmpty());
    lobby.clock = lobby.clock.addSecs(1);
    s.Timer1Timer(); // even while logged out
    EXPECT_EQ(lobby.ops.calls, (QStringList{"SetCaptureEnabled:1", "ChangeAdapter"}));
    EXPECT_FALSE(s.CapturePaused);
}

TEST(Logout, StepsInOrderAndStateAfterwards) {
    Lobby lobby(QStringLiteral("127.3.0.87"));
    TLobbySession& s = lobby.session;
    RecordingOps& ops = lobby.ops;
    s.Users.UserUpdate(QStringLiteral("Bob"), 1, QLatin1Char('M'), 3);
    s.Users.UserUpdate(QStringLiteral("Eve"), 3, QLatin1Char('M'), 3);
    s.MyChatRoom = 5;
    s.ReloginPending = true;
    s.logout();
    EXPECT_EQ(lobby.sent(1), QByteArrayList{(ctl(9) + QStringLiteral("Alice")).toUtf8()});
    EXPECT_EQ(ops.calls, (QStringList{"UncheckAutoLogin", "DeactivateUdpGame",
                                      "ShowGateAfterLogout", "ResetLoginRetry", "MarkUsersOffline",
                                      "ResetChatArea", "CloseSessionWindows", "ClearRoomHistories",
                                      "RebuildRoomViews", "ResetStatusAfterLogout"}));
    EXPECT_FALSE(s.IsLoggedIn);
    EXPECT_FALSE(s.ReloginPending);
    EXPECT_TRUE(s.CurrentUser.isEmpty());
    EXPECT_FALSE(s.Timer1.isActive());
    EXPECT_FALSE(s.NgtServer.isActive());
    EXPECT_EQ(s.MyChatRoom, 3);
    ASSERT_EQ(s.Users.UserCount(), 2);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_FALSE(s.Users.at(i)->Online);
        EXPECT_EQ(s.Users.at(i)->Chatroom, 4);
    }
    // The key stays for the next login.
    EXPECT_EQ(s.LbRijndael1.Key(), lobby.peerCipher.Key());

    // With the server unreachable the local state is cleared all the same.
    Lobby unreachable(QStringLiteral("127.3.0.88"));
    unreachable.session.Addresses().LobbyServerIP.clear();
    unreachable.session.logout();
    EXPECT_FALSE(unreachable.session.IsLoggedIn);
    EXPECT_EQ(unreachable.ops.calls.back(), QStringLiteral("ResetStatusAfterLogout"));
    EXPECT_EQ(unreachable.ops.named("AppException").size(), 1);
}

} // namespace
