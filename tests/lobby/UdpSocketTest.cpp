#include "LobbyTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tarn;
using namespace tarn::testing;

namespace {

TEST(UdpSocket, WildcardBindingReceivesAndSendsFromIpv4) {
    UdpSocket s;
    std::vector<Datagram> got;
    s.setReceiver([&](const QByteArray& d, const QString& p, quint16 pp) {
        got.push_back({d, p, pp});
    });
    QString error;
    ASSERT_TRUE(s.bind(0, &error)) << error.toStdString();
    EXPECT_TRUE(s.isActive());
    ASSERT_NE(s.localPort(), 0);

    Peer peer(QStringLiteral("127.3.0.21"), 0);
    ASSERT_TRUE(peer.bound);
    ASSERT_TRUE(peer.send(QStringLiteral("127.0.0.1"), s.localPort(), "ping"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !got.empty(); }, 5000));
    EXPECT_EQ(got[0].bytes, QByteArray("ping"));
    EXPECT_EQ(got[0].peer, QStringLiteral("127.3.0.21"));
    EXPECT_EQ(got[0].port, peer.socket.localPort());

    ASSERT_TRUE(s.sendTo(QStringLiteral("127.3.0.21"), peer.socket.localPort(), "pong", &error));
    ASSERT_TRUE(peer.waitFor(1));
    EXPECT_EQ(peer.received[0].bytes, QByteArray("pong"));
    EXPECT_EQ(peer.received[0].port, s.localPort());

    if (s.hasIpv6Binding()) {
        UdpSocket v6;
        QByteArray seen;
        v6.setReceiver([&](const QByteArray& d, const QString&, quint16) { seen = d; });
        if (v6.bindAddress(QStringLiteral("::1"), 0)) {
            ASSERT_TRUE(v6.sendTo(QStringLiteral("::1"), s.ipv6LocalPort(), "six"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() >= 2; }, 5000));
            EXPECT_EQ(got[1].bytes, QByteArray("six"));
            EXPECT_EQ(got[1].peer, QStringLiteral("::1"));
        }
    }
}

TEST(UdpSocket, DrainsEveryQueuedDatagramInOrderAndKeepsEmptyAndLargeOnes) {
    UdpSocket s;
    QByteArrayList got;
    s.setReceiver([&](const QByteArray& d, const QString&, quint16) { got << d; });
    s.setBufferSizes(4 * 1024 * 1024, 0);
    ASSERT_TRUE(s.bindAddress(QStringLiteral("127.3.0.22"), 0));
    Peer peer(QStringLiteral("127.3.0.22"), 0);
    const QByteArray big(65507, 'x'); // the largest IPv4 UDP payload
    ASSERT_TRUE(peer.send("127.3.0.22", s.localPort(), QByteArray()));
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(peer.send("127.3.0.22", s.localPort(), QByteArray::number(i)));
    ASSERT_TRUE(peer.send("127.3.0.22", s.localPort(), big));
    ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() >= 202; }, 5000));
    EXPECT_TRUE(got[0].isEmpty());
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(got[i + 1], QByteArray::number(i));
    EXPECT_EQ(got[201], big);
}

TEST(UdpSocket, ErrorsAreReportedNotThrown) {
    UdpSocket s;
    QString error;
    EXPECT_FALSE(s.sendTo(QStringLiteral("127.0.0.1"), 9, "x", &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(s.bindAddress(QStringLiteral("127.3.0.23"), 0));
    const struct {
        const char* address;
    } bad[] = {{""}, {"not-an-address"}, {"300.1.1.1"}, {"::1"}};
    for (const auto& c : bad) {
        error.clear();
        EXPECT_FALSE(s.sendTo(QString::fromLatin1(c.address), 9, "x", &error)) << c.address;
        EXPECT_FALSE(error.isEmpty()) << c.address;
    }
    // A second socket cannot take the same address and port.
    UdpSocket other;
    EXPECT_FALSE(other.bindAddress(QStringLiteral("127.3.0.23"), s.localPort(), &error));
    EXPECT_FALSE(other.isActive());
    EXPECT_FALSE(other.bindAddress(QStringLiteral("no.such"), 0, &error));
}

TEST(UdpSocket, CloseFromTheReceiverStopsDeliveryAndRebindWorks) {
    UdpSocket s;
    int calls = 0;
    s.setReceiver([&](const QByteArray&, const QString&, quint16) {
        ++calls;
        s.close();
    });
    ASSERT_TRUE(s.bindAddress(QStringLiteral("127.3.0.24"), 0));
    const quint16 port = s.localPort();
    Peer peer(QStringLiteral("127.3.0.24"), 0);
    for (int i = 0; i < 5; ++i)
        peer.send("127.3.0.24", port, "x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls >= 1; }, 5000));
    EXPECT_FALSE(s.isActive());
    EXPECT_EQ(s.localPort(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(s.sendTo("127.3.0.24", peer.socket.localPort(), "y"));

    // Bound again (another port is fine), the socket receives again.
    s.setReceiver([&](const QByteArray&, const QString&, quint16) { ++calls; });
    ASSERT_TRUE(s.bindAddress(QStringLiteral("127.3.0.24"), 0));
    peer.send("127.3.0.24", s.localPort(), "z");
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls >= 2; }, 5000));
}

TEST(UdpSocket, ConcurrentSendsWhileTheOwnerCloses) {
    Peer sink(QStringLiteral("127.3.0.25"), 0);
    UdpSocket s;
    ASSERT_TRUE(s.bindAddress(QStringLiteral("127.3.0.25"), 0));
    std::atomic<int> ok{0};
    std::atomic<bool> go{true};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t)
        senders.emplace_back([&] {
            for (int i = 0; i < 2000 && go; ++i)
                if (s.sendTo(QStringLiteral("127.3.0.25"), sink.socket.localPort(), "d"))
                    ++ok;
        });
    s.close();
    go = false;
    for (auto& t : senders)
        t.join();
    EXPECT_FALSE(s.sendTo(QStringLiteral("127.3.0.25"), sink.socket.localPort(), "d"));
}

} // namespace
