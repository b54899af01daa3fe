#include "LobbyTestSupport.h"

#include "lobby/Dispatcher.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::testing;

namespace {

QString line(const Lobby& lobby, const QString& text) {
    return ChatTimeText(lobby.clock) + QLatin1Char(' ') + text;
}

TEST(LobbyFields, ClosingSeparatorRule) {
    const struct {
        const char* text;
        int n;
        const char* field;
    } cases[] = {
        {"a;b;c;", 0, "a"}, {"a;b;c;", 2, "c"}, {"a;b;c", 2, ""}, {"a;b;c;", 3, ""},
        {"", 0, ""},        {"abc", 0, ""},     {";;x;", 1, ""},  {";;x;", 2, "x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LobbyField(QString::fromLatin1(c.text), QLatin1Char(';'), c.n),
                  QString::fromLatin1(c.field))
            << c.text << " " << c.n;
}

TEST(LobbyDispatch, FirstMessageHidesTheOverlayAndJoinsTheRoomOnce) {
    Lobby lobby(QStringLiteral("127.3.0.61"));
    lobby.ops.statusVisible = true;
    lobby.inboundText(ctl(0x10));             // a code that does nothing
    lobby.inboundText(ctl(0x08) + ctl(0x01)); // keep-alive answer
    lobby.inboundText(ctl(0x30) + "x");       // above U+0015: ignored after step 2
    EXPECT_EQ(lobby.ops.named("HideStatusAndGate").size(), 1);
    const QByteArrayList sent = lobby.sent(1);
    EXPECT_EQ(sent, QByteArrayList{(ctl(2) + ctl(3) + QStringLiteral("Alice")).toUtf8()});

    // After a lost connection the next accepted message does it again.
    lobby.session.MyChatRoom = 5;
    lobby.ops.statusVisible = true;
    lobby.inboundText(ctl(0x30));
    EXPECT_EQ(lobby.sent(1), QByteArrayList{(ctl(2) + ctl(5) + QStringLiteral("Alice")).toUtf8()});
}

TEST(LobbyDispatch, ChatLines) {
    Lobby lobby(QStringLiteral("127.3.0.62"));
    RecordingOps& ops = lobby.ops;
    ops.blocked.insert(QStringLiteral("Troll"));
    struct Case {
        int room;
        QString payload;
        QString lastLine;
        QStringList expected;
    };
    const QString mine = QStringLiteral("Bob: hi  there @Alice  ok");
    const QString mineOnce = QStringLiteral("Bob: hi there @Alice ok");
    const Case cases[] = {
        {3, QString(), {}, {}},
        {3, QStringLiteral("Troll: buy gold"), {}, {}},
        {3, QStringLiteral("Bob: again"), QStringLiteral("12:00:00 Bob: again"), {}},
        {3,
         QStringLiteral("Bob:   three"),
         {},
         {"AddToChatScreen:" + line(lobby, "Bob:  three"),
          "AddToStringList:3|" + line(lobby, "Bob:  three")}},
        {1,
         mine,
         {},
         {"AddMention:" + mineOnce + "|1", "AddToStringList:1|" + line(lobby, mineOnce)}},
        {4, QStringLiteral("Bob: nowhere"), {}, {}},
        {5, QStringLiteral("no colon"), {}, {"AddToStringList:5|" + line(lobby, "no colon")}},
    };
    for (const Case& c : cases) {
        ops.calls.clear();
        ops.lastChatLine = c.lastLine;
        lobby.inboundEncrypted(ctl(1) + ctl(c.room) + c.payload);
        EXPECT_EQ(ops.calls, c.expected) << c.payload.toStdString();
    }
}

TEST(LobbyDispatch, UserStateAndBatch) {
    Lobby lobby(QStringLiteral("127.3.0.63"));
    RecordingOps& ops = lobby.ops;
    TUserTable& users = lobby.session.Users;

    lobby.inboundText(ctl(2) + ctl(3) + "ab"); // too short: ignored
    EXPECT_TRUE(ops.calls.isEmpty());
    lobby.inboundText(ctl(2) + ctl(3) + ctl(7) + "MCarol");
    EXPECT_EQ(ops.calls, (QStringList{"AssignToList:Carol", "ChatCount"}));
    ASSERT_EQ(users.UserCount(), 1);
    EXPECT_EQ(users.at(1)->Rank, 7);
    EXPECT_EQ(users.at(1)->MemberGroup, QLatin1Char('M'));
    EXPECT_TRUE(users.at(1)->Online);
    ops.calls.clear();
    lobby.inboundText(ctl(2) + ctl(1) + ctl(7) + "MCarol"); // to another room
    EXPECT_EQ(ops.calls, (QStringList{"RemoveListItem:Carol", "ChatCount"}));
    EXPECT_EQ(users.UserCount(), 1);

    // One record: byte 1 = 0, 26 bytes in all.
    QByteArray one = QByteArray::fromHex("0300") +
                     QByteArray::fromHex("0300"
                                         "4100"
                                         "05") +
                     QByteArray("TAG", 3) + QByteArray("Dave").leftJustified(16, '\0');
    ASSERT_EQ(one.size(), 26);
    lobby.inbound(one);
    ASSERT_EQ(users.UserCount(), 2);
    const TUsers* dave = users.find(QStringLiteral("dave"));
    ASSERT_NE(dave, nullptr);
    EXPECT_EQ(dave->Username, QStringLiteral("Dave"));
    EXPECT_EQ(dave->Chatroom, 3);
    EXPECT_EQ(dave->tag, QStringLiteral("TAG"));
    EXPECT_EQ(dave->MemberGroup, QLatin1Char('A'));
    EXPECT_EQ(dave->Rank, 5);
    EXPECT_TRUE(dave->Online);

    // Declared 3 records, 1.5 present: only the whole one is read; the
    // respelled name is taken, room 4 means offline.
    QByteArray cut = QByteArray::fromHex("0302") + QByteArray::fromHex("04004100") +
                     QByteArray(1, '\x01') + QByteArray(3, '\0') +
                     QByteArray("DAVE").leftJustified(16, '\0') + QByteArray(12, 'z');
    ops.listItems.insert(QStringLiteral("DAVE"));
    lobby.inbound(cut);
    EXPECT_EQ(users.UserCount(), 2);
    EXPECT_EQ(dave->Username, QStringLiteral("DAVE"));
    EXPECT_FALSE(dave->Online);
    EXPECT_EQ(dave->Chatroom, 4);
    EXPECT_TRUE(ops.named("RemoveListItem").contains("RemoveListItem:DAVE"));
    for (const char* hex : {"03", "03ff", "03ff0000"})
        lobby.inbound(QByteArray::fromHex(hex));
    EXPECT_EQ(users.UserCount(), 2);
}

TEST(LobbyDispatch, ReauthenticationIsAnsweredThreeTimesAndExpiryNeedsIt) {
    Lobby lobby(QStringLiteral("127.3.0.64"));
    TLobbySession& s = lobby.session;
    lobby.inboundText(ctl(5) + "x"); // no re-authentication asked: ignored
    EXPECT_TRUE(s.IsLoggedIn);
    for (int i = 0; i < 4; ++i)
        lobby.inboundText(ctl(7) + "x");
    const QByteArray answer = (ctl(5) + ctl(1) + QStringLiteral("`W;Alice;tok;")).toUtf8();
    EXPECT_EQ(lobby.sent(3), (QByteArrayList{answer, answer, answer}));
    EXPECT_EQ(s.ReloginAttempts, 3);
    // An encrypted message resets the count.
    lobby.inboundEncrypted(ctl(0x10));
    EXPECT_EQ(s.ReloginAttempts, 0);
    lobby.inboundText(ctl(7) + "x");
    EXPECT_EQ(lobby.sent(1), QByteArrayList{answer});
    EXPECT_TRUE(s.ReloginPending);

    lobby.inboundText(ctl(5) + "x");
    EXPECT_FALSE(s.IsLoggedIn);
    EXPECT_FALSE(s.ReloginPending);
    EXPECT_EQ(lobby.ops.calls.back(),
              QStringLiteral("SetLoginResponse:Session expiry re-login require"));
}

TEST(LobbyDispatch, ServerAddressesChangeOnlyWhenEncryptedAndValid) {
    Lobby lobby(QStringLiteral("127.3.0.65"));
    TServerAddresses& a = lobby.session.Addresses();
    const TServerAddresses before = a;
    lobby.inboundText(ctl(0x14) + ctl(4) + "10.1.1.1");       // plain
    lobby.inboundEncrypted(ctl(0x14) + ctl(4) + "10.1.1");    // not an address
    lobby.inboundEncrypted(ctl(0x14) + ctl(2) + "10.1.1.1 "); // trailing blank
    EXPECT_EQ(a.LobbyServerIP, before.LobbyServerIP);
    EXPECT_EQ(a.S2ServerIP, before.S2ServerIP);
    EXPECT_EQ(a.CaServerIP, before.CaServerIP);

    const struct {
        int sub;
        const char* ip;
    } steps[] = {{2, "10.0.0.2"}, {3, "10.0.0.3"}, {5, "10.0.0.5"}, {6, "10.0.0.6"}};
    for (const auto& st : steps)
        lobby.inboundEncrypted(ctl(0x14) + ctl(st.sub) + QString::fromLatin1(st.ip));
    EXPECT_EQ(a.S2ServerIP, QStringLiteral("10.0.0.2"));
    EXPECT_EQ(a.CaServerIP, QStringLiteral("10.0.0.3"));
    EXPECT_EQ(a.BackUpServerIP, QStringLiteral("10.0.0.5"));
    EXPECT_EQ(lobby.ops.named("StoreFallbackWebIP"), QStringList{"StoreFallbackWebIP:10.0.0.5"});
    EXPECT_EQ(lobby.session.WebBaseURL, QStringLiteral("10.0.0.6"));
    EXPECT_EQ(a.LobbyServerIP, before.LobbyServerIP);
    lobby.inboundEncrypted(ctl(0x14) + ctl(4) + "127.3.0.66");
    EXPECT_EQ(a.LobbyServerIP, QStringLiteral("127.3.0.66"));
    EXPECT_EQ(a.S2ServerIP, QStringLiteral("127.3.0.66"));
    // Now only 127.3.0.66 is heard.
    lobby.ops.calls.clear();
    lobby.inboundEncrypted(ctl(6) + "xlost");
    EXPECT_TRUE(lobby.ops.calls.isEmpty());
}

TEST(LobbyDispatch, CommandsActOnlyWhenEncrypted) {
    Lobby lobby(QStringLiteral("127.3.0.67"));
    RecordingOps& ops = lobby.ops;
    TLobbySession& s = lobby.session;
    ops.adapters = QStringList{"eth0", "wlan0"};
    const struct {
        int sub;
        QString payload;
        QStringList expected;
    } cases[] = {
        {1, "", {"SetCaptureEnabled:0", "CloseCap"}},
        {2, "", {"SetCaptureEnabled:1", "ChangeAdapter"}},
        {3, "", {"AddToChatScreen:Chat disable for 5 minutes due to spamming."}},
        {5, "xxTAG123456789", {"StoreServerTag:TAG12345"}},
        {6, "zz00041F12AB34", {"RemovePs2Mac:00041F12AB34"}},
        {8, "1", {"UiChangeAdapterToSelect:1"}},
        {8, "2", {}},
        {8, "x", {}},
        {8, "", {}},
        {9, "", {"CloseCap", "SetCaptureEnabled:0"}},
        {0x0A, "", {}},
    };
    for (const auto& c : cases) {
        ops.calls.clear();
        lobby.inboundText(ctl(0x0B) + ctl(c.sub) + c.payload);
        EXPECT_TRUE(ops.calls.isEmpty()) << "plain " << c.sub;
        lobby.inboundEncrypted(ctl(0x0B) + ctl(c.sub) + c.payload);
        EXPECT_EQ(ops.calls, c.expected) << c.sub;
    }
    EXPECT_FALSE(s.ChatAllowed);
    EXPECT_EQ(s.ChatBanTime, lobby.clock);
    EXPECT_TRUE(s.CapturePaused);
    lobby.inboundEncrypted(ctl(0x0B) + ctl(4));
    EXPECT_TRUE(s.ChatAllowed);
    lobby.inboundEncrypted(ctl(0x0B) + ctl(7));
    EXPECT_EQ(lobby.sent(2), (QByteArrayList{"\x0b"
                                             "eth0",
                                             "\x0b"
                                             "wlan0"}));
}

TEST(LobbyDispatch, OtherOperations) {
    Lobby lobby(QStringLiteral("127.3.0.68"));
    RecordingOps& ops = lobby.ops;
    ops.blocked.insert(QStringLiteral("Troll"));
    lobby.session.Users.UserUpdate(QStringLiteral("Eve"), 3, QLatin1Char('M'), 1);
    ops.listItems.insert(QStringLiteral("Eve"));
    const QString u1 = ctl(1);
    const struct {
        QString text;
        QStringList expected;
    } cases[] = {
        {ctl(9) + "x" + "Bob" + u1 + "hi \u2603" + u1, {"AddPM:Bob|hi ?", "AddNotify:1|Bob"}},
        {ctl(9) + "x" + "Bob" + u1 + "no end", {"AddPM:Bob|", "AddNotify:1|Bob"}},
        {ctl(9) + "x" + "Troll" + u1 + "spam" + u1, {}},
        {ctl(0x0C) + "x" + "y" + u1 + "eve" + u1 + "Room 1" + u1, {"UIGameUpdate:Eve|Room 1"}},
        {ctl(0x0C) + "x" + "y" + u1 + "eve" + u1 + "Room 1" + u1, {}}, // unchanged
        {ctl(0x0C) + "x" + "y" + u1 + "Nobody" + u1 + "R" + u1, {}},
        {ctl(0x11) + ctl(1),
         {"ShowAutoUpdate:A optional TARN update is availabe if you like to update to this new "
          "verison you can click the Update TARN button at the bottom. If you click it TARN "
          "would download new TARN installer program and would automatic launch it."}},
        {ctl(0x11) + "0",
         {"AddToChatScreen:Your version of TARN is the most recent and no new update is "
          "available at the monent."}},
        {ctl(0x13) + "C" + "x;Clan\u00e9;Bob;", {"AddClanInv:Clan\u00e9|Bob"}},
        {ctl(0x13) + "C" + "x;Clan;Bob", {"AddClanInv:Clan|"}},
        {ctl(0x13) + "F" + "Bob", {"AddFriendInv:Bob"}},
        {ctl(0x15) + "C" + "..Wolves",
         {"AddToChatScreen:You are now part of clan Wolves! To view more information about "
          "your clan click the community button in the top menu and click clan."}},
        {ctl(0x15) + "F" + "..Bob",
         {"AddToChatScreen:You are now friends with Bob! To view your friends list click "
          "community button in the top menu and click Friends."}},
        {ctl(0x0A) + "AB", {"AddToRoomList:0a4142"}},
        {ctl(0x04) + "xy", {}},
        {ctl(0x12), {"AddToChatScreen:Your ping with game server #2 0"}},
    };
    for (const auto& c : cases) {
        ops.calls.clear();
        lobby.inboundText(c.text);
        EXPECT_EQ(ops.calls, c.expected) << c.text.toStdString();
    }
    EXPECT_EQ(lobby.session.Users.find("Eve")->roomname, QStringLiteral("Room 1"));
}

TEST(LobbyDispatch, TickRequestsAndKeepAliveAnswer) {
    Lobby lobby(QStringLiteral("127.3.0.69"));
    TLobbySession& s = lobby.session;
    lobby.inboundText(ctl(0x0D) + "x" + "a7");
    lobby.inboundText(ctl(0x0D) + "x" + "a"); // no tick number: ignored
    s.TickState.ClientTicks[2] = '9';
    s.TickState.ClientSent[2] = QStringLiteral("sent");
    lobby.inboundText(ctl(0x0D) + "x" + "a9");
    EXPECT_EQ(lobby.sent(2), (QByteArrayList{"\x0e"
                                             "7",
                                             "\x0d"
                                             "sent"}));

    s.MissedKeepAlives = 6;
    lobby.ops.statusVisible = true;
    lobby.inboundText(ctl(8));
    EXPECT_EQ(s.MissedKeepAlives, 0);
    EXPECT_FALSE(lobby.ops.statusVisible);
}

} // namespace
