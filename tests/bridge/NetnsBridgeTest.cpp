// The bridge on a real adapter: the module captures on one end of a veth
// pair while consolesim plays a console in a network namespace on the other
// end. The relay is a UDP socket of the test on a loopback address. Needs
// root; every namespace and veth is created here and removed again.

#include "BridgeTestSupport.h"
#include "bridge/SnifferModule.h"
#include "common/ServerAddresses.h"
#include "common/UdpSocket.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace tarn;
using namespace tarn::test;

#if defined(__SANITIZE_THREAD__)
// The test starts consolesim and ip (fork + exec) while capture threads run;
// the child only execs, which the thread sanitizer allows when told so.
extern "C" const char* __tsan_default_options() {
    return "die_after_fork=0";
}
#endif

namespace {

const QString kCaRelay = QStringLiteral("127.0.0.71");
const QString kS2Relay = QStringLiteral("127.0.0.72");
const QString kStranger = QStringLiteral("127.0.0.73");
const QString kConsoleMac = QStringLiteral("00:04:1f:12:ab:34");

bool Shell(const QStringList& command) {
    QProcess p;
    p.start(command.first(), command.mid(1));
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class NetnsBridge : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to create network namespaces";
        if (QStandardPaths::findExecutable("ip").isEmpty())
            GTEST_SKIP() << "the ip command (iproute2) is missing";
        try {
            PcapBackend();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "libpcap cannot be loaded: " << e.what();
        }
        const QString id = QString::number(getpid() % 100000);
        ns = "tarnbr" + id;
        bridgeIf = "tbb" + id;
        consoleIf = "tbc" + id;
        Shell({"ip", "netns", "del", ns}); // a leftover of an interrupted run
        created = Shell({"ip", "netns", "add", ns});
        ASSERT_TRUE(created) << "ip netns add failed";
        ASSERT_TRUE(Shell({"ip", "link", "add", bridgeIf, "type", "veth", "peer", "name", consoleIf,
                           "netns", ns}));
        ASSERT_TRUE(Shell({"ip", "-n", ns, "link", "set", consoleIf, "address", kConsoleMac}));
        // No IPv6 chatter on either end.
        for (const QStringList& c :
             {QStringList{"sysctl", "-qw", "net.ipv6.conf." + bridgeIf + ".disable_ipv6=1"},
              QStringList{"ip", "netns", "exec", ns, "sysctl", "-qw",
                          "net.ipv6.conf." + consoleIf + ".disable_ipv6=1"}})
            Shell(c);
        ASSERT_TRUE(Shell({"ip", "link", "set", bridgeIf, "up"}));
        ASSERT_TRUE(Shell({"ip", "-n", ns, "link", "set", consoleIf, "up"}));

        BridgeSettings().DataFolder = dir.path();
        ServerAddresses().CaServerIP = kCaRelay;
        ServerAddresses().S2ServerIP = kS2Relay;
        CaptureEnabled = true;
        module = std::make_unique<TDataModule2>();
        module->InitPs2Mac();
        module->ChangeAdapter(bridgeIf);
        ASSERT_TRUE(module->GameTraffic->Active()) << module->GameTraffic->Error().toStdString();
        ASSERT_TRUE(module->DHCP->Active()) << module->DHCP->Error().toStdString();
        ASSERT_TRUE(module->Arp->Active()) << module->Arp->Error().toStdString();
        ASSERT_TRUE(module->UDPRQs->Active()) << module->UDPRQs->Error().toStdString();

        QString error;
        ASSERT_TRUE(relay.bindAddress(kCaRelay, kCaGamePort, &error)) << error.toStdString();
        relay.setReceiver([this](const QByteArray& d, const QString&, quint16) {
            relayed.emplace_back(d.begin(), d.end());
        });
        ASSERT_TRUE(stranger.bindAddress(kStranger, kCaGamePort, &error)) << error.toStdString();
    }
    void TearDown() override {
        module.reset();
        if (created)
            Shell({"ip", "netns", "del", ns}); // removes both veth ends
    }

    // Starts consolesim in the namespace.
    std::unique_ptr<QProcess> Console(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        p->start("ip",
                 QStringList{"netns", "exec", ns, CONSOLESIM_PATH, consoleIf, kConsoleMac} + args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }
    // Runs consolesim to its end while the event loop keeps the bridge going;
    // returns its output lines.
    QStringList RunConsole(const QStringList& args) {
        auto p = Console(args);
        EXPECT_TRUE(WaitFor([&] { return p->state() == QProcess::NotRunning; }, 15000));
        return QString::fromLatin1(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    QString ns, bridgeIf, consoleIf;
    bool created = false;
    QTemporaryDir dir;
    std::unique_ptr<TDataModule2> module;
    UdpSocket relay, stranger;
    std::vector<Bytes> relayed;
};

QString Sent(const QStringList& lines) {
    for (const QString& l : lines)
        if (l.startsWith("tx "))
            return l.mid(3);
    return {};
}

} // namespace

TEST_F(NetnsBridge, DhcpArpGameFramesAndInjection) {
    // DHCP: a discover from a console prefix gets an offer and pairs it.
    const QStringList dhcp = RunConsole({"dhcp-discover", "--expect", "1", "--wait", "5000"});
    EXPECT_TRUE(dhcp.contains("dhcp type=2 yiaddr=10.253.171.52 chaddr=00041F-12AB34"))
        << dhcp.join('\n').toStdString();
    ASSERT_TRUE(WaitFor([&] { return module->Ps2MacList.contains("00041F-12AB34"); }));
    QFile list(dir.filePath("Ps2MacList.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), QByteArray("00041F-12AB34\r\n"));
    ASSERT_TRUE(module->GameTraffic->Active());

    // ARP for the gateway: answered, and forwarded to the relay.
    const QStringList arp = RunConsole({"arp", "10.253.0.1", "--expect", "1", "--wait", "5000"});
    EXPECT_TRUE(arp.contains("arp op=2 sender=10.253.0.1 at=00041F-040001"))
        << arp.join('\n').toStdString();
    ASSERT_TRUE(WaitFor([&] { return relayed.size() == 1; }));
    EXPECT_EQ(ToHex(relayed[0]).size(), ToHex(Bytes(42)).size());
    EXPECT_EQ(QByteArray::fromHex(Sent(arp).toLatin1()),
              QByteArray(reinterpret_cast<const char*>(relayed[0].data()), 42));

    // A game frame reaches the relay as the exact frame.
    const QStringList game =
        RunConsole({"game", "10.253.205.120", "0102030405060708090a", "--wait", "300"});
    ASSERT_TRUE(WaitFor([&] { return relayed.size() == 2; }));
    EXPECT_EQ(QByteArray::fromHex(Sent(game).toLatin1()),
              QByteArray(reinterpret_cast<const char*>(relayed[1].data()),
                         static_cast<qsizetype>(relayed[1].size())));
    EXPECT_EQ(relayed[1].size(), 52u);

    // A frame from the relay is injected and seen by the console; one from
    // another address is not.
    UdpFrameFields fromFar;
    fromFar.Dst = {0x00, 0x04, 0x1f, 0x12, 0xab, 0x34};
    fromFar.Src = {0x00, 0x04, 0x1f, 0x56, 0xcd, 0x78};
    fromFar.SrcIp = {10, 253, 205, 120};
    fromFar.DstIp = {10, 253, 171, 52};
    const Bytes strangerFrame = UdpFrame(fromFar, Hex("5757"));
    const Bytes relayFrame = UdpFrame(fromFar, Hex("a1a2a3a4"));
    auto listener = Console({"listen", "--expect", "1", "--wait", "8000"});
    ASSERT_TRUE(WaitFor([&] { return listener->canReadLine(); }));
    EXPECT_EQ(listener->readLine().trimmed(), "ready");
    const quint16 port = module->UdpGame->localPort();
    auto view = [](const Bytes& b) {
        return QByteArrayView(reinterpret_cast<const char*>(b.data()),
                              static_cast<qsizetype>(b.size()));
    };
    ASSERT_TRUE(stranger.sendTo("127.0.0.1", port, view(strangerFrame)));
    ASSERT_TRUE(relay.sendTo("127.0.0.1", port, view(relayFrame)));
    ASSERT_TRUE(WaitFor([&] { return listener->state() == QProcess::NotRunning; }, 15000));
    const QStringList seen =
        QString::fromLatin1(listener->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.first(),
              "rx " + QString::fromLatin1(
                          QByteArray(view(relayFrame).data(), view(relayFrame).size()).toHex()));
    EXPECT_EQ(module->BridgePacketsIn.load(), 1u);
}
