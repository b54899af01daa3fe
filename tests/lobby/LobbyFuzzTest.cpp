#include "LobbyTestSupport.h"

#include "common/AnsiCodec.h"
#include "common/Base64.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace tarn;
using namespace tarn::testing;

namespace {

// Seeded and bounded: random datagrams, random texts behind every code,
// mutations of valid encrypted datagrams and user batches, from the lobby
// server, the object-server port and strangers.
TEST(LobbyFuzz, HostileDatagramsNeverFault) {
    Lobby lobby(QStringLiteral("127.3.0.91"));
    TLobbySession& s = lobby.session;
    lobby.ops.adapters = QStringList{"eth0"};
    s.DnsFallbackDone = true; // no DNS waits inside the loop
    QRandomGenerator rng(20261211);
    auto randomBytes = [&](int maxLen) {
        QByteArray b(static_cast<qsizetype>(rng.bounded(maxLen + 1)), '\0');
        for (char& c : b)
            c = static_cast<char>(rng.bounded(256));
        return b;
    };
    auto randomText = [&](int maxLen) {
        QString t;
        const int n = static_cast<int>(rng.bounded(maxLen + 1));
        for (int i = 0; i < n; ++i) {
            const quint32 r = rng.bounded(10);
            t += r < 3   ? QChar(static_cast<char16_t>(rng.bounded(0x20)))
                 : r < 8 ? QChar(static_cast<char16_t>(0x20 + rng.bounded(0x60)))
                         : QChar(static_cast<char16_t>(0xA0 + rng.bounded(0x2000)));
        }
        return t;
    };
    const quint16 ports[] = {30022, 30022, 30022, 40000, 30122, 30123, 1};
    for (int i = 0; i < 20000; ++i) {
        // Keep the session alive so that every path stays reachable.
        if (!s.IsLoggedIn) {
            s.CurrentUser = QStringLiteral("Alice");
            ASSERT_TRUE(s.LoggedIn());
        }
        QByteArray d;
        switch (rng.bounded(6)) {
        case 0:
            d = randomBytes(96);
            break;
        case 1: {
            const QString code = ctl(1 + static_cast<int>(rng.bounded(0x16)));
            d = (code + randomText(40)).toUtf8();
            break;
        }
        case 2: {
            const QString code = ctl(1 + static_cast<int>(rng.bounded(0x16)));
            d = lobby.encrypted(code + randomText(40));
            break;
        }
        case 3: {
            d = lobby.encrypted(ctl(1 + static_cast<int>(rng.bounded(0x16))) + randomText(40));
            for (int m = 0; m < 3; ++m)
                d[static_cast<qsizetype>(rng.bounded(d.size()))] =
                    static_cast<char>(rng.bounded(256));
            if (rng.bounded(2))
                d.truncate(static_cast<qsizetype>(rng.bounded(d.size() + 1)));
            break;
        }
        case 4:
            d = QByteArray(1, '\x03') + randomBytes(300);
            break;
        default:
            d = QByteArray(1, '\x06') + Base64Encode(randomBytes(64)).toLatin1();
            break;
        }
        const quint16 port = ports[rng.bounded(static_cast<quint32>(std::size(ports)))];
        const QString peer = rng.bounded(8) == 0 ? QStringLiteral("127.3.0.92") : lobby.host;
        s.NgtServerUDPRead(d, peer, port);
        if (rng.bounded(50) == 0)
            s.Timer1Timer();
        ASSERT_LE(s.Users.UserCount(), TUserTable::kCapacity);
    }
    // The channel still works afterwards.
    if (!s.IsLoggedIn) {
        ASSERT_TRUE(s.LoggedIn());
    }
    lobby.ops.calls.clear();
    s.Addresses().LobbyServerIP = lobby.host;
    lobby.inboundEncrypted(ctl(6) + QStringLiteral("xstill here"));
    EXPECT_EQ(lobby.ops.named("RemoteNotification"),
              QStringList{"RemoteNotification:TARN|still here"});
}

TEST(LobbyFuzz, TheUserTableStopsAtItsCapacity) {
    Lobby lobby(QStringLiteral("127.3.0.93"));
    for (int batch = 0; batch < 5; ++batch) {
        QByteArray d = QByteArray::fromHex("03ff");
        for (int r = 0; r < 256; ++r) {
            d += QByteArray::fromHex("03004d0001") + QByteArray(3, '\0') +
                 QByteArray("u" + QByteArray::number(batch * 256 + r)).leftJustified(16, '\0');
        }
        lobby.inbound(d);
    }
    EXPECT_EQ(lobby.session.Users.UserCount(), TUserTable::kCapacity);
    EXPECT_EQ(lobby.session.Users.UserIndex("u1023"), 1024);
    EXPECT_EQ(lobby.session.Users.UserIndex("u1024"), 0);
}

} // namespace
