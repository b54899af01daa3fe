// The bridge module: frame templates, the game filter, forwarding and
// injection, the console table, DHCP and ARP, the bridge timer.

#include "BridgeTestSupport.h"
#include "bridge/FrameTemplates.h"
#include "bridge/SnifferModule.h"
#include "common/NetText.h"
#include "common/ServerAddresses.h"
#include "common/UdpSocket.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;

namespace {

const QString kCaRelay = QStringLiteral("127.0.0.61");
const QString kS2Relay = QStringLiteral("127.0.0.62");
const QString kStranger = QStringLiteral("127.0.0.63");
const SNOOPMACADDRESS kConsoleA{0x00, 0x04, 0x1f, 0x12, 0xab, 0x34};
const SNOOPMACADDRESS kConsoleB{0x00, 0x04, 0x1f, 0x56, 0xcd, 0x78};

Bytes ToBytes(std::span<const std::uint8_t> s) {
    return Bytes(s.begin(), s.end());
}

Bytes DhcpRequest(std::uint8_t firstOptionValue, std::size_t length = 300) {
    Bytes p(length, 0);
    p[0] = 1, p[1] = 1, p[2] = 6;
    const Bytes xid = Hex("de ad be ef");
    std::copy(xid.begin(), xid.end(), p.begin() + 4);
    if (length >= 243) {
        const Bytes cookie = Hex("63 82 53 63 35 01");
        std::copy(cookie.begin(), cookie.end(), p.begin() + 236);
        p[242] = firstOptionValue;
    }
    return p;
}

Bytes DhcpFrame(const SNOOPMACADDRESS& mac, const Bytes& payload) {
    UdpFrameFields s;
    s.Src = mac;
    s.SrcIp = {0, 0, 0, 0};
    s.DstIp = {255, 255, 255, 255};
    s.SrcPort = 68;
    s.DstPort = 67;
    return UdpFrame(s, payload);
}

class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        BridgeSettings().DataFolder = dir.path();
        BridgeSettings().GameTrafficPort = 0;
        ServerAddresses().CaServerIP = kCaRelay;
        ServerAddresses().S2ServerIP = kS2Relay;
        CaptureEnabled = true;
        backend.Devices = {{"veth0", "Test adapter", true, 0x0000FFFFu}};
        module = std::make_unique<TDataModule2>(nullptr, &backend);
        module->Hooks.AddToMacListBox = [this](const QString& t) { listBox << t; };
        module->Hooks.DataToSend = [this](const QString& t) { lobby << t; };
        module->Hooks.AddChatOutputLine = [this](const QString& t) { chat << t; };
        module->Hooks.ChatOutputHolds = [this](const QString& t) { return chat.contains(t); };
        module->Hooks.AddToChatScreen = [this](const QString& t) { chat << t; };
    }
    void TearDown() override { module.reset(); }

    // Binds a relay at `address` on the CA port; received datagrams land in
    // `relayed`.
    UdpSocket& Relay(const QString& address, quint16 port = kCaGamePort) {
        auto s = std::make_unique<UdpSocket>();
        QString error;
        EXPECT_TRUE(s->bindAddress(address, port, &error)) << error.toStdString();
        s->setReceiver([this](const QByteArray& d, const QString&, quint16) {
            relayed.emplace_back(d.begin(), d.end());
        });
        relays.push_back(std::move(s));
        return *relays.back();
    }

    void Start(const QStringList& macs) {
        module->Ps2MacList = macs;
        module->InitPs2Mac();
        module->ChangeAdapter("veth0");
        ASSERT_TRUE(module->GameTraffic->Active());
        ASSERT_TRUE(module->DHCP->Active());
        ASSERT_TRUE(module->Arp->Active());
        ASSERT_TRUE(module->UDPRQs->Active());
    }
    std::shared_ptr<FakeCaptureSource> Source(TCustomSnoop* c) {
        return std::dynamic_pointer_cast<FakeCaptureSource>(c->Handle());
    }

    QTemporaryDir dir;
    FakeCaptureBackend backend;
    std::unique_ptr<TDataModule2> module;
    std::vector<std::unique_ptr<UdpSocket>> relays;
    std::vector<Bytes> relayed;
    QStringList listBox, lobby, chat;
};

} // namespace

TEST(FrameTemplates, ByteForByte) {
    EXPECT_EQ(ToHex(ToBytes(LanQueryHeader)),
              ToHex(Hex("ff ff ff ff ff ff 00 04 1f 04 00 01 08 00 45 00 00 32 ef b0 00 00 40 11 "
                        "75 10 0a fd 00 01 0a fd ff ff 0e 4a 0e 4a 00 1e 00 00")));
    EXPECT_EQ(ToHex(ToBytes(S2LanQuery)),
              ToHex(Hex("00 00 0a 00 00 00 00 00 00 00 00 00 02 1a 0a fd 00 01 4a 0e 00 00")));
    EXPECT_EQ(ToHex(ToBytes(CaLanQuery)),
              ToHex(Cat({Hex("c3 81 9c 00 00 19 9a 00 01 80 94 00 7c 50 00 00 01 00 00 00 01 00 "
                             "00 00 46 00 0b 02 04 00 00 00 0a fd 00 01 00 00 00 00 4a 0e 00 00 "
                             "00 00 00 00 01"),
                         Zeros(111)})));
    EXPECT_EQ(ToHex(ToBytes(GatewayArpReply)),
              ToHex(Hex("ff ff ff ff ff ff 00 04 1f 04 00 01 08 06 00 01 08 00 06 04 00 02 00 04 "
                        "1f 04 00 01 0a fd 00 01 ff ff ff ff ff ff 0a fd ff ff")));
}

namespace {
Bytes GoldenDhcpReply(const std::string& mac, const std::string& xid, const std::string& yours,
                      const std::string& type) {
    return Cat({Hex(mac), Hex("ff ff ff ff ff ff 08 00"),
                Hex("45 00 01 4a b4 ce 00 00 80 11 c4 2b c0 a8 00 01 ff ff ff ff"),
                Hex("00 43 00 44 01 36 00 00"), Hex("02 01 06 00"), Hex(xid),
                Hex("00 00 00 00 00 00 00 00"), Hex(yours), Zeros(8), Hex(mac), Zeros(10),
                Zeros(64), Zeros(128), Hex("63 82 53 63"), Hex("35 01"), Hex(type),
                Hex("36 04 c0 a8 00 01 01 04 ff ff 00 00 03 04 c0 a8 00 01 06 04 c0 a8 00 01"),
                Hex("3a 04 ff ff ff ff 3b 04 ff ff ff ff 33 04 ff ff ff ff 2e 01 04"),
                Hex("0f 0b 54 41 52 4e 2d 44 48 43 50 31 00 ff 00 00")});
}
} // namespace

TEST(FrameTemplates, DhcpReplyTemplateAndItsHeaderChecksum) {
    const auto reply = BuildDhcpReplyTemplate();
    EXPECT_EQ(ToHex(ToBytes(reply)),
              ToHex(GoldenDhcpReply("00 00 00 00 00 00", "00 00 00 00", "00 00 00 00", "00")));
    IP_HDR ip;
    std::memcpy(&ip, reply.data() + 14, sizeof ip);
    EXPECT_EQ(IPChecksum(ip), 0xc42b);
}

TEST_F(Bridge, GameFilterTexts) {
    const QString head = "src 10.253 and dst 10.253 and src port 3658 and dst port 3658 and (";
    struct Case {
        const char* name;
        QStringList macs;
        QString filter;
    } cases[] = {
        {"no console", {}, "ether src FFFEFF1a1a1a"},
        {"only an empty line", {""}, "ether src FFFEFF1a1a1a"},
        {"one console", {"00041F-12AB34"}, head + "ether src 00041F12AB34)"},
        {"two consoles",
         {"00041F-12AB34", "00041F-56CD78"},
         head + "ether src 00041F12AB34 or ether src 00041F56CD78)"},
        {"line without dash", {"00041F12AB34"}, head + "ether src 00041F12AB34)"},
        {"empty line between",
         {"00041F-12AB34", "", "00041F-56CD78"},
         head + "ether src 00041F12AB34 or ether src 00041F56CD78)"},
    };
    module->ChangeAdapter("veth0");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        module->Ps2MacList = c.macs;
        module->RecompileFilter();
        EXPECT_EQ(module->GameTraffic->Filter(), c.filter);
        ASSERT_TRUE(module->GameTraffic->Active());
        EXPECT_EQ(Source(module->GameTraffic)->filter(), c.filter);
    }
}

TEST_F(Bridge, PackStatsRightAfterStartAndPcapVersion) {
    EXPECT_EQ(module->PackStats(), "Packets In: 0Packets Out: 0");
    EXPECT_EQ(module->PcapVer(), "fake capture 1.0");
    EXPECT_EQ(module->objectName(), "DataModule2");
    EXPECT_FALSE(module->BridgeTimer->isActive());
    EXPECT_EQ(module->BridgeTimer->interval(), 10000);
}

TEST_F(Bridge, ChangeAdapterSettingsAndCaptureSwitch) {
    CaptureEnabled = false;
    module->ChangeAdapter("veth0");
    EXPECT_FALSE(module->GameTraffic->Active());
    EXPECT_TRUE(backend.opened().empty());
    CaptureEnabled = true;
    Start({"00041F-12AB34"});
    // GameTraffic was opened by the recompiled filter: the second Open only
    // notes that it runs.
    EXPECT_EQ(module->GameTraffic->Error(), "Snoop Error: Already open");
    for (const auto& o : backend.opened()) {
        SCOPED_TRACE(o.Source->filter().toStdString());
        EXPECT_TRUE(o.Options.Immediate);
        EXPECT_TRUE(o.Options.InboundOnly);
    }
    EXPECT_EQ(backend.opened().front().Options.ReadTimeOut, 1);
    EXPECT_EQ(backend.opened().back().Options.ReadTimeOut, 100);
    EXPECT_EQ(Source(module->DHCP)->filter(), "net 0.0.0.0");
    EXPECT_EQ(Source(module->Arp)->filter(), "arp and src 10.253 and dst 10.253");
    module->CloseCap();
    EXPECT_FALSE(module->GameTraffic->Active() || module->UDPRQs->Active() ||
                 module->DHCP->Active() || module->Arp->Active());
}

TEST_F(Bridge, ConsoleFrameIsForwardedWholeWithoutPadding) {
    Relay(kCaRelay);
    Start({"00041F-12AB34"});
    const Bytes frame = UdpFrame({}, Hex("01 02 03 04 05 06 07 08 09 0a"));
    ASSERT_EQ(frame.size(), 52u);
    Bytes padded = frame;
    padded.resize(60, 0xee); // Ethernet padding as the wire carries it
    Source(module->GameTraffic)->push(padded);
    ASSERT_TRUE(WaitFor([&] { return relayed.size() == 1; }));
    EXPECT_EQ(ToHex(relayed[0]), ToHex(frame));
    EXPECT_EQ(module->Consoles()->Slots[0].PacketCount.load(), 1u);
    EXPECT_EQ(module->PackStats(), "Packets In: 0Packets Out: 1");
}

TEST_F(Bridge, FrameGoesToTheRelayOfItsConsoleOrOfSlotZero) {
    Relay(kCaRelay);
    Relay(kS2Relay, kS2GamePort);
    Start({"00041F-12AB34", "00041F-56CD78"});
    auto table = module->Consoles();
    ASSERT_EQ(table->Slots.size(), 3u);
    // The second console was learned at 10.253.205.120 on the S2 relay.
    const std::uint8_t ipB[4] = {10, 253, 205, 120};
    std::uint32_t wireB;
    std::memcpy(&wireB, ipB, 4);
    table->Slots[1].Ps2Ip = wireB;
    table->Slots[1].setRelay(kS2Relay, kS2GamePort);
    UdpFrameFields b;
    b.Src = kConsoleB;
    b.SrcIp = {10, 253, 205, 120};
    UdpFrameFields unknown;
    unknown.SrcIp = {10, 253, 9, 9};
    Source(module->GameTraffic)->push(UdpFrame(b, Hex("bb")));
    Source(module->GameTraffic)->push(UdpFrame(unknown, Hex("aa")));
    ASSERT_TRUE(WaitFor([&] { return relayed.size() == 2; }));
    EXPECT_EQ(table->Slots[1].PacketCount.load(), 1u);
    EXPECT_EQ(table->Slots[0].PacketCount.load(), 1u);
    EXPECT_EQ(module->BridgePacketsOut.load(), 2u);
}

TEST_F(Bridge, RelayFramesAreInjectedOnlyFromTheTwoRelays) {
    Start({"00041F-12AB34"});
    const Bytes frame = UdpFrame({}, Hex("0102"));
    const QByteArray datagram(reinterpret_cast<const char*>(frame.data()),
                              static_cast<qsizetype>(frame.size()));
    struct Case {
        const char* name;
        QString from;
        QByteArray data;
        bool injected;
    } cases[] = {
        {"CA relay", kCaRelay, datagram, true},
        {"S2 relay while the slot names CA", kS2Relay, datagram, true},
        {"stranger", kStranger, datagram, false},
        {"longest frame", kCaRelay, QByteArray(1515, 'x'), true},
        {"longer than a frame", kCaRelay, QByteArray(1516, 'x'), false},
    };
    auto gt = Source(module->GameTraffic);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = gt->sent().size();
        module->UdpGameUDPRead(c.data, c.from, kCaGamePort);
        ASSERT_EQ(gt->sent().size(), before + (c.injected ? 1 : 0));
        if (c.injected) {
            EXPECT_EQ(gt->sent().back(), Bytes(c.data.begin(), c.data.end()));
        }
    }
    EXPECT_EQ(module->BridgePacketsIn.load(), 3u);
    // A failed send is not counted.
    gt->setSendFails(true);
    module->UdpGameUDPRead(datagram, kCaRelay, kCaGamePort);
    EXPECT_EQ(module->BridgePacketsIn.load(), 3u);
    gt->setSendFails(false);

    // Through the real socket: the relay's datagram arrives on the main
    // thread and is injected; a stranger's is not.
    UdpSocket& relay = Relay(kCaRelay);
    UdpSocket& stranger = Relay(kStranger);
    const quint16 port = module->UdpGame->localPort();
    ASSERT_TRUE(stranger.sendTo("127.0.0.1", port, datagram));
    ASSERT_TRUE(relay.sendTo("127.0.0.1", port, datagram));
    ASSERT_TRUE(WaitFor([&] { return module->BridgePacketsIn.load() == 4; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(module->BridgePacketsIn.load(), 4u);
}

TEST_F(Bridge, TableRebuildKeepsLearnedDataOfKeptConsoles) {
    module->Ps2MacList = {"00041F-12AB34"};
    module->InitPs2Mac();
    auto first = module->Consoles();
    EXPECT_EQ(first->Slots.size(), 2u);
    EXPECT_EQ(first->Slots[0].GameServerIp(), kCaRelay);
    EXPECT_EQ(first->Slots[0].GamePort(), kCaGamePort);
    EXPECT_EQ(first->Slots[0].PS2MAC, kConsoleA);
    first->Slots[0].setRelay(kS2Relay, kS2GamePort);
    first->Slots[0].PacketCount = 7;
    first->Slots[0].ArpCount = 3;
    first->Slots[0].Ps2Ip = 0x1234;
    first->Slots[0].Game = "RANKED";

    ASSERT_TRUE(module->AddPs2Mac("00041F-56CD78"));
    EXPECT_FALSE(module->AddPs2Mac("00041f-56cd78")); // case is ignored
    auto second = module->Consoles();
    ASSERT_EQ(second->Slots.size(), 3u);
    EXPECT_EQ(second->Slots[0].GameServerIp(), kS2Relay);
    EXPECT_EQ(second->Slots[0].GamePort(), kS2GamePort);
    EXPECT_EQ(second->Slots[0].PacketCount.load(), 7u);
    EXPECT_EQ(second->Slots[0].ArpCount.load(), 3u);
    EXPECT_EQ(second->Slots[0].Ps2Ip.load(), 0x1234u);
    EXPECT_EQ(second->Slots[0].Game, "RANKED");
    EXPECT_EQ(second->Slots[1].GameServerIp(), kCaRelay);
    EXPECT_EQ(second->Slots[1].PacketCount.load(), 0u);
    // The old table stays whole for a reader that still holds it.
    EXPECT_EQ(first->Slots.size(), 2u);
    EXPECT_EQ(module->Ps2MacStrings(), QStringList({"00041F-12AB34", "00041F-56CD78"}));

    // Removed and added again: neither counters nor relay survive.
    ASSERT_TRUE(module->RemovePs2Mac("00041f-12ab34"));
    EXPECT_FALSE(module->RemovePs2Mac("00041F-12AB34"));
    ASSERT_TRUE(module->AddPs2Mac("00041F-12AB34"));
    auto third = module->Consoles();
    EXPECT_EQ(module->Ps2MacSlot(kConsoleA), 1);
    EXPECT_EQ(third->Slots[1].PacketCount.load(), 0u);
    EXPECT_EQ(third->Slots[1].GameServerIp(), kCaRelay);
    EXPECT_EQ(third->Slots[1].GamePort(), kCaGamePort);

    QFile file(dir.filePath("Ps2MacList.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("00041F-56CD78\r\n00041F-12AB34\r\n"));
    file.close();
    // A new module loads the list from the file.
    module.reset();
    module = std::make_unique<TDataModule2>(nullptr, &backend);
    EXPECT_EQ(module->Ps2MacList, QStringList({"00041F-56CD78", "00041F-12AB34"}));
}

TEST_F(Bridge, DhcpOffersAcksAndPairsPrefixConsoles) {
    Start({});
    auto dhcp = Source(module->DHCP);
    dhcp->push(DhcpFrame(kConsoleA, DhcpRequest(1)));
    ASSERT_TRUE(WaitFor([&] { return module->DhcpLog.size() == 1; }));
    ASSERT_EQ(dhcp->sent().size(), 1u);
    EXPECT_EQ(ToHex(dhcp->sent()[0]),
              ToHex(GoldenDhcpReply("00 04 1f 12 ab 34", "de ad be ef", "0a fd ab 34", "02")));
    EXPECT_EQ(module->DhcpLog.at(0), "Dhcp Assigned To 00041F-12AB34 IP Assign 10.253.171.52");
    EXPECT_EQ(module->Ps2MacList, QStringList{"00041F-12AB34"});
    EXPECT_EQ(listBox, QStringList{"00041F-12AB34"});
    EXPECT_EQ(Source(module->GameTraffic)->filter(),
              "src 10.253 and dst 10.253 and src port 3658 and dst port 3658 and (ether src "
              "00041F12AB34)");

    // A request (first option 3) gets an acknowledgement with the same
    // address; the console is not added twice.
    dhcp->push(DhcpFrame(kConsoleA, DhcpRequest(3)));
    ASSERT_TRUE(WaitFor([&] { return module->DhcpLog.size() == 2; }));
    ASSERT_EQ(dhcp->sent().size(), 2u);
    EXPECT_EQ(dhcp->sent()[1][kDhcpMessageType], 0x05);
    EXPECT_EQ(ToBytes(std::span(dhcp->sent()[1]).subspan(kDhcpYourAddress, 4)), Hex("0a fd ab 34"));
    EXPECT_EQ(module->Ps2MacList.size(), 1);
    EXPECT_EQ(listBox.size(), 1);
}

TEST_F(Bridge, DhcpEligibilityAndShortRequests) {
    const SNOOPMACADDRESS pairedOther{0x02, 0x11, 0x22, 0x33, 0xab, 0x34};
    const SNOOPMACADDRESS stranger{0x02, 0x99, 0x88, 0x77, 0x66, 0x55};
    const SNOOPMACADDRESS sameTail{0x00, 0x13, 0x15, 0x00, 0xab, 0x34};
    Start({"021122-33AB34"});
    auto dhcp = Source(module->DHCP);
    struct Case {
        const char* name;
        SNOOPMACADDRESS mac;
        Bytes payload;
        bool answered;
        QString log;
    } cases[] = {
        {"unknown prefix, not paired", stranger, DhcpRequest(1), false,
         "IP Not Assign To 029988-776655"},
        {"paired, unknown prefix", pairedOther, DhcpRequest(1), true,
         "Dhcp Assigned To 021122-33AB34 IP Assign 10.253.171.52"},
        {"other console prefix, same last bytes", sameTail, DhcpRequest(3), true,
         "Dhcp Assigned To 001315-00AB34 IP Assign 10.253.171.52"},
        {"242 payload bytes", kConsoleB, DhcpRequest(1, 242), false, ""},
        {"8 payload bytes", kConsoleB, DhcpRequest(1, 8), false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto sentBefore = dhcp->sent().size();
        const auto logBefore = module->DhcpLog.size();
        dhcp->push(DhcpFrame(c.mac, c.payload));
        if (c.log.isEmpty()) {
            // Nothing to wait for: push a marker request behind it.
            dhcp->push(DhcpFrame(stranger, DhcpRequest(1)));
            ASSERT_TRUE(WaitFor([&] { return module->DhcpLog.size() == logBefore + 1; }));
            EXPECT_EQ(module->DhcpLog.last(), "IP Not Assign To 029988-776655");
            EXPECT_EQ(dhcp->sent().size(), sentBefore);
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return module->DhcpLog.size() == logBefore + 1; }));
        EXPECT_EQ(module->DhcpLog.last(), c.log);
        ASSERT_EQ(dhcp->sent().size(), sentBefore + (c.answered ? 1 : 0));
        if (c.answered) {
            EXPECT_EQ(ToBytes(std::span(dhcp->sent().back()).subspan(kDhcpYourAddress, 4)),
                      Hex("0a fd ab 34"));
        }
    }
    EXPECT_EQ(module->Ps2MacList, QStringList({"021122-33AB34", "001315-00AB34"}));
}

TEST_F(Bridge, ArpGatewayReplyAndForwarding) {
    Relay(kCaRelay);
    Start({"00041F-12AB34"});
    auto arp = Source(module->Arp);
    auto rq = Source(module->UDPRQs);
    const Bytes forGateway = ArpFrame(kConsoleA, 1, {10, 253, 171, 52}, {10, 253, 0, 1});
    const Bytes forNeighbour = ArpFrame(kConsoleA, 1, {10, 253, 171, 52}, {10, 253, 5, 6});
    const Bytes reply = ArpFrame(kConsoleA, 2, {10, 253, 171, 52}, {10, 253, 5, 6});
    const Bytes unpaired = ArpFrame(kConsoleB, 1, {10, 253, 205, 120}, {10, 253, 0, 1});
    Bytes padded = forNeighbour;
    padded.resize(60, 0); // the relay gets the 42 bytes without padding
    for (const Bytes& f : {forGateway, padded, reply, unpaired})
        arp->push(f);
    ASSERT_TRUE(WaitFor([&] { return relayed.size() == 3; }));
    EXPECT_EQ(relayed[0], forGateway);
    EXPECT_EQ(relayed[1], forNeighbour);
    EXPECT_EQ(relayed[2], reply);
    ASSERT_TRUE(WaitFor([&] { return arp->pending() == 0; }));
    ASSERT_EQ(rq->sent().size(), 1u);
    EXPECT_EQ(rq->sent()[0], ToBytes(GatewayArpReply));
    EXPECT_EQ(module->Consoles()->Slots[0].ArpCount.load(), 3u);
    EXPECT_EQ(module->BridgePacketsOut.load(), 0u);
}

TEST_F(Bridge, TimerAgesTheGameNameAndBroadcastsLobbyQueries) {
    Start({});
    module->GameStats.GameName = "RANKED GAME";
    module->GameNameAge = 0;
    for (int tick = 1; tick <= 7; ++tick)
        module->Timer1Timer(module->BridgeTimer);
    EXPECT_EQ(lobby, QStringList{QString(QChar(0x000C))});
    EXPECT_TRUE(module->GameStats.GameName.isEmpty());

    const auto sent = Source(module->UDPRQs)->sent();
    ASSERT_EQ(sent.size(), 7u * 6u);
    EXPECT_EQ(sent[0], Cat({ToBytes(LanQueryHeader), ToBytes(S2LanQuery)}));
    const char* patched[] = {"7c 50", "24 4e", "2e 4e", "38 4e", "16 52"};
    for (int i = 0; i < 5; ++i) {
        Bytes expect = Cat({ToBytes(LanQueryHeader), ToBytes(CaLanQuery)});
        const Bytes p = Hex(patched[i]);
        expect[54] = p[0], expect[55] = p[1];
        EXPECT_EQ(sent[1 + i], expect) << i;
    }
}

TEST_F(Bridge, TimerReopensStoppedCapturesAndReportsMissingAdapters) {
    Start({});
    Source(module->Arp)->failNextRead();
    ASSERT_TRUE(WaitFor([&] { return !module->Arp->Active(); }));
    module->Timer1Timer(module->BridgeTimer);
    EXPECT_TRUE(module->Arp->Active());

    // No adapter chosen, and the options dialog cannot choose one either.
    int prompts = 0;
    module->Hooks.UiChangeAdapterToSelect = [&] { ++prompts; };
    module->ChangeAdapter("no-such-nic");
    module->Timer1Timer(module->BridgeTimer);
    module->Timer1Timer(module->BridgeTimer);
    EXPECT_EQ(prompts, 1);
    ASSERT_EQ(chat.size(), 5);
    EXPECT_EQ(chat[0], "");
    EXPECT_EQ(chat[1], "You do not have your Network adapter selected. Go to Options then Client "
                       "Settings and select your Ethernet adapter.");
    EXPECT_EQ(chat[2], " ");
    EXPECT_TRUE(chat[3].endsWith("\"/setup pcsx2\" this would fetch the addapter you have set in "
                                 "dev9 configuration."));
}

TEST(BridgeNoDriver, TimerAdvisesStartingTheCaptureDriverOnce) {
    FakeCaptureBackend backend; // no devices at all
    TDataModule2 module(nullptr, &backend);
    QStringList chat;
    module.Hooks.AddChatOutputLine = [&](const QString& t) { chat << t; };
    module.Hooks.ChatOutputHolds = [&](const QString& t) { return chat.contains(t); };
    module.Timer1Timer(module.BridgeTimer);
    module.Timer1Timer(module.BridgeTimer);
    ASSERT_EQ(chat.size(), 2);
    EXPECT_TRUE(chat[0].startsWith("It appears the Npf driver is not running."));
    EXPECT_TRUE(chat[0].endsWith("If so type in without quotes \"/start npf\""));
    EXPECT_EQ(chat[1], "");
}

TEST_F(Bridge, SnifferStateLines) {
    Start({});
    module->Arp->Close();
    module->SnifferState();
    EXPECT_EQ(chat, QStringList({"Arp Not Active", "Dhcp active!!!!!!", "Game Sniffer active!!!!!!",
                                 "Game Fetcher active!!!!!!", ""}));
}

// Run under the thread sanitizer: the main thread rebuilds the console table
// and rewrites slots while the capture thread forwards frames from it.
TEST_F(Bridge, TableRebuildWhileFramesFlow) {
    Relay(kCaRelay);
    Relay(kS2Relay, kS2GamePort);
    Start({"00041F-12AB34", "00041F-56CD78"});
    auto gt = Source(module->GameTraffic);
    const Bytes frame = UdpFrame({}, Hex("01 02 03 04"));
    constexpr std::uint32_t kFrames = 2000;
    const QDeadlineTimer deadline(20000);
    std::thread feeder([&] {
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            while (gt->pending() > 64 && !deadline.hasExpired())
                std::this_thread::yield();
            gt->push(frame);
        }
    });
    // Rebuild and rewrite slots until every frame has been forwarded.
    for (int i = 0; module->BridgePacketsOut.load() < kFrames && !deadline.hasExpired(); ++i) {
        module->Ps2MacList = (i % 2)
                                 ? QStringList{"00041F-12AB34", "00041F-56CD78"}
                                 : QStringList{"00041F-56CD78", "00041F-12AB34", "02AA00-000001"};
        module->InitPs2Mac();
        auto t = module->Consoles();
        t->Slots[0].setRelay(i % 3 ? kCaRelay : kS2Relay, i % 3 ? kCaGamePort : kS2GamePort);
        std::uint32_t ip;
        const std::uint8_t b[4] = {10, 253, 171, 52};
        std::memcpy(&ip, b, 4);
        t->Slots[static_cast<std::size_t>(i % 2)].Ps2Ip = ip;
        QCoreApplication::processEvents();
    }
    feeder.join();
    EXPECT_EQ(module->BridgePacketsOut.load(), kFrames);
}
