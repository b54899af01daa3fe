// Capture engine: header parsing on captured bytes, component properties and
// states, delivery threads, and the real library through .pcap files.

#include "BridgeTestSupport.h"
#include "bridge/Pcap.h"
#include "bridge/Snoop.h"
#include "bridge/uCapTime.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tarn;
using namespace tarn::test;

namespace {

struct TwoAdapters : FakeCaptureBackend {
    TwoAdapters() {
        Devices = {{QStringLiteral("veth0"), QStringLiteral("First adapter"), true, 0x0000FFFFu},
                   {QStringLiteral("eth1"), QStringLiteral("Second adapter"), false, 0}};
    }
};

struct Delivered {
    std::atomic<int> count{0};
    std::atomic<bool> onMainThread{true};
    UDP_HDR udp{};
    int length = -1;
    Bytes payload;
};

} // namespace

TEST(CaptureHeaders, FramesThatQualifyAndFramesThatAreDropped) {
    const Bytes payload = Hex("01 02 03 04 05 06 07 08 09 0a");
    UdpFrameFields fields;
    const Bytes good = UdpFrame(fields, payload);
    Bytes notUdp = good;
    notUdp[23] = 6; // TCP
    Bytes notIp = good;
    notIp[12] = 0x86, notIp[13] = 0xdd; // IPv6
    UdpFrameFields longer = fields;
    longer.UdpLengthDelta = 1; // Length names one byte more than was captured
    UdpFrameFields tiny = fields;
    tiny.UdpLengthDelta = -11; // Length 7: shorter than the header itself
    const Bytes cut(good.begin(), good.begin() + 41);

    struct Case {
        const char* name;
        Bytes frame;
        bool ip, udp, data;
        std::size_t length;
    } cases[] = {
        {"udp", good, true, true, true, 10},
        {"tcp", notUdp, true, false, false, 0},
        {"ipv6", notIp, false, false, false, 0},
        {"length beyond capture", UdpFrame(longer, payload), true, true, false, 0},
        {"length below header", UdpFrame(tiny, payload), true, true, false, 0},
        {"41 bytes", cut, true, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ETHERNET_HDR eth;
        IP_HDR ip;
        UDP_HDR udp;
        std::span<const std::uint8_t> data;
        ASSERT_TRUE(ReadEthernetHeader(c.frame, eth));
        EXPECT_EQ(GetIPHeader(c.frame, eth, ip), c.ip);
        const bool gotUdp = c.ip && GetUDPHeader(c.frame, ip, udp);
        EXPECT_EQ(gotUdp, c.udp);
        const bool gotData = gotUdp && GetUDPData(c.frame, udp, data);
        EXPECT_EQ(gotData, c.data);
        if (gotData) {
            EXPECT_EQ(data.size(), c.length);
            EXPECT_EQ(data.data(), c.frame.data() + 42);
        }
    }
}

TEST(CaptureHeaders, IpOptionsAreNotConsideredAndArpNeedsAllBytes) {
    // IHL 6: the UDP header is still read 20 bytes after the IPv4 header.
    Bytes frame = UdpFrame({}, Hex("aa bb cc dd"));
    frame[14] = 0x46;
    ETHERNET_HDR eth;
    IP_HDR ip;
    UDP_HDR udp;
    std::span<const std::uint8_t> data;
    ASSERT_TRUE(ReadEthernetHeader(frame, eth) && GetIPHeader(frame, eth, ip) &&
                GetUDPHeader(frame, ip, udp) && GetUDPData(frame, udp, data));
    EXPECT_EQ(NetToHost16(udp.Source), 3658);
    EXPECT_EQ(data.data(), frame.data() + 42);

    const Bytes arp = ArpFrame({0, 4, 0x1f, 1, 2, 3}, 1, {10, 253, 1, 2}, {10, 253, 0, 1});
    ARP_HDR a;
    ASSERT_TRUE(ReadEthernetHeader(arp, eth));
    EXPECT_TRUE(GetARPHeader(arp, eth, a));
    EXPECT_EQ(NetToHost16(a.Operation), 1);
    EXPECT_FALSE(GetARPHeader(std::span(arp).first(41), eth, a));
    EXPECT_FALSE(GetIPHeader(arp, eth, ip));
}

TEST(CaptureComponents, DefaultsAndAdapterSelection) {
    TwoAdapters backend;
    CurrentAdapter.clear();
    TSnoopUDPData udp(nullptr, &backend);
    TSnoopARP arp(nullptr, &backend);
    EXPECT_EQ(udp.Filter(), "udp");
    EXPECT_EQ(arp.Filter(), "arp");
    EXPECT_EQ(udp.AdapterIndex(), -1);
    EXPECT_TRUE(udp.ThreadSafe());
    EXPECT_EQ(udp.SnapLen(), 1600);
    EXPECT_EQ(udp.Flags(), 1);
    EXPECT_EQ(udp.ReadTimeOut(), 100);
    EXPECT_FALSE(udp.Active());
    EXPECT_EQ(udp.AdapterNames(), QStringList({"veth0", "eth1"}));
    EXPECT_EQ(udp.AdapterDescriptions(), QStringList({"First adapter", "Second adapter"}));

    udp.setAdapterIndex(1);
    EXPECT_EQ(udp.AdapterName(), "eth1");
    EXPECT_EQ(udp.AdapterDescription(), "Second adapter");
    EXPECT_EQ(CurrentAdapter, "eth1");
    // Out of range: index -1, the name emptied, CurrentAdapter kept.
    udp.setAdapterIndex(7);
    EXPECT_EQ(udp.AdapterIndex(), -1);
    EXPECT_EQ(udp.AdapterName(), "");
    EXPECT_EQ(CurrentAdapter, "eth1");
    // By name or description: CurrentAdapter untouched.
    arp.setAdapterName("veth0");
    EXPECT_EQ(arp.AdapterIndex(), 0);
    EXPECT_EQ(arp.AdapterDescription(), "First adapter");
    EXPECT_EQ(CurrentAdapter, "eth1");
    arp.setAdapterDescription("nope");
    EXPECT_EQ(arp.AdapterIndex(), -1);
    EXPECT_EQ(arp.AdapterName(), "");
    // The same index twice leaves CurrentAdapter as it was.
    udp.setAdapterIndex(0);
    CurrentAdapter = "eth1";
    udp.setAdapterIndex(0);
    EXPECT_EQ(CurrentAdapter, "eth1");
}

TEST(CaptureComponents, OpenAndCloseErrors) {
    struct Case {
        const char* name;
        QString adapter;
        bool openFails, filterFails;
        QString error;
        bool active;
    } cases[] = {
        {"unknown adapter", "wlan9", false, false, "Snoop Error: Invalid AdapterName", false},
        {"open fails", "veth0", true, false, "fake: veth0: Operation not permitted", false},
        {"filter fails", "veth0", false, true, "fake: syntax error in filter expression", false},
        {"opens", "veth0", false, false, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TwoAdapters backend;
        backend.OpenFails = c.openFails;
        backend.FilterFails = c.filterFails;
        TSnoopUDPData s(nullptr, &backend);
        CurrentAdapter = c.adapter;
        s.Open();
        EXPECT_EQ(s.Error(), c.error);
        EXPECT_EQ(s.Active(), c.active);
        if (c.active) {
            const auto opened = backend.opened();
            ASSERT_EQ(opened.size(), 1u);
            const auto& o = opened[0];
            EXPECT_EQ(o.Options.SnapLen, 1600);
            EXPECT_TRUE(o.Options.Promiscuous);
            EXPECT_TRUE(o.Options.Immediate);
            EXPECT_TRUE(o.Options.InboundOnly);
            EXPECT_EQ(o.Source->filter(), "udp");
            s.Open();
            EXPECT_EQ(s.Error(), "Snoop Error: Already open");
            EXPECT_TRUE(s.Active());
            s.Close();
            EXPECT_FALSE(s.Active());
        }
    }
    // Close of an inactive component does nothing and sets no error.
    TwoAdapters backend;
    TSnoopUDPData idle(nullptr, &backend);
    idle.Close();
    EXPECT_EQ(idle.Error(), "");
}

TEST(CaptureComponents, EnumerationFailureIsShownAndLeavesListsEmpty) {
    FakeCaptureBackend backend;
    backend.EnumerationFails = true;
    QStringList shown;
    SetCaptureMessageHandler([&](const QString& t) { shown << t; });
    TSnoopARP s(nullptr, &backend);
    SetCaptureMessageHandler(nullptr);
    EXPECT_EQ(shown, QStringList{"fake: no capture rights"});
    EXPECT_TRUE(s.AdapterNames().isEmpty());
}

TEST(CaptureComponents, DeliveryThreadsAndReadErrors) {
    for (bool threadSafe : {true, false}) {
        SCOPED_TRACE(threadSafe ? "thread-safe" : "capture thread");
        TwoAdapters backend;
        TSnoopUDPData s(nullptr, &backend);
        s.setThreadSafe(threadSafe);
        Delivered got;
        const auto mainThread = std::this_thread::get_id();
        s.OnCaptureUDPData = [&](TCustomSnoop* sender, const pcap_pkthdr*, ETHERNET_HDR*, IP_HDR*,
                                 UDP_HDR* udp, const std::uint8_t* data, int length) {
            EXPECT_EQ(sender, &s);
            got.onMainThread = std::this_thread::get_id() == mainThread;
            got.udp = *udp;
            got.length = length;
            got.payload.assign(data, data + length);
            got.count++;
        };
        CurrentAdapter = "veth0";
        s.Open();
        ASSERT_TRUE(s.Active());
        auto src = backend.last("veth0");
        Bytes arp = ArpFrame({0, 4, 0x1f, 1, 2, 3}, 1, {10, 253, 1, 2}, {10, 253, 0, 1});
        src->push(arp); // not UDP: no event
        src->push(UdpFrame({}, Hex("de ad be ef")));
        ASSERT_TRUE(WaitFor([&] { return got.count.load() == 1; }));
        EXPECT_EQ(got.onMainThread.load(), threadSafe);
        EXPECT_EQ(got.length, 4);
        EXPECT_EQ(got.payload, Hex("de ad be ef"));
        EXPECT_EQ(src->pending(), 0u);

        src->failNextRead();
        ASSERT_TRUE(WaitFor([&] { return !s.Active(); }));
        EXPECT_EQ(s.Error(), "Snoop Error: pcap_next_ex return -1");
        // It can be opened again after the error.
        s.Open();
        EXPECT_TRUE(s.Active());
    }
}

TEST(CaptureComponents, CloseWhileAFrameWaitsForTheMainThread) {
    TwoAdapters backend;
    TSnoopUDPData s(nullptr, &backend);
    std::atomic<int> calls{0};
    s.OnCaptureUDPData = [&](TCustomSnoop*, const pcap_pkthdr*, ETHERNET_HDR*, IP_HDR*, UDP_HDR*,
                             const std::uint8_t*, int) { calls++; };
    CurrentAdapter = "veth0";
    s.Open();
    auto src = backend.last("veth0");
    src->push(UdpFrame({}, Hex("01")));
    // Without processing events the capture thread is blocked on the main
    // thread; Close must still return and the delivery is dropped.
    QDeadlineTimer deadline(5000);
    while (src->pending() != 0 && !deadline.hasExpired())
        std::this_thread::yield();
    ASSERT_EQ(src->pending(), 0u);
    s.Close();
    EXPECT_FALSE(s.Active());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.load(), 0);
}

TEST(CaptureComponents, CapTimeProperties) {
    TwoAdapters backend;
    QStringList shown;
    SetCaptureMessageHandler([&](const QString& t) { shown << t; });
    TCapTime c(nullptr, &backend);
    EXPECT_EQ(c.CapLen(), 1514);
    EXPECT_EQ(c.AdapterIndex(), 0);
    EXPECT_TRUE(c.promoucous());
    EXPECT_EQ(c.TimeOut(), 0);
    c.setCapLen(2000);
    EXPECT_EQ(c.CapLen(), 2000);
    EXPECT_EQ(shown, QStringList{"Value needs be between 0 and 1514"});
    c.setCapLen(1514);
    EXPECT_EQ(shown.size(), 1);
    SetCaptureMessageHandler(nullptr);

    PromiscuousMode = true;
    TCapTime other(nullptr, &backend);
    other.setPromoucous(false);
    EXPECT_FALSE(PromiscuousMode);

    c.setAdapterIndex(2);
    c.setActive(true);
    EXPECT_FALSE(c.active());
    EXPECT_EQ(c.Error(), "Invalid Adapter Index");

    c.setAdapterIndex(1);
    c.setThreadSafe(false);
    std::atomic<int> size{-1};
    c.OnCaptureData = [&](TCapBase*, const pcap_pkthdr*, PPAcketData, int n) { size = n; };
    c.setActive(true);
    ASSERT_TRUE(c.active());
    EXPECT_FALSE(backend.opened().back().Options.Promiscuous);
    c.setActive(true);
    EXPECT_EQ(c.Error(), "Error: Already open");
    EXPECT_TRUE(c.active());
    // A wire length above the captured length is handed on as the captured
    // length, so a handler never reads past the buffer.
    backend.last("eth1")->push(Hex("01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f"), 1500);
    ASSERT_TRUE(WaitFor([&] { return size.load() >= 0; }));
    EXPECT_EQ(size.load(), 15);
    backend.last("eth1")->failNextRead();
    ASSERT_TRUE(WaitFor([&] { return !c.active(); }));
    EXPECT_EQ(c.Error(), "CapTime Error: pcap_next_ex return -1");
}

// ---- the real library -------------------------------------------------------

namespace {

// A classic .pcap file (microsecond, Ethernet) of the given frames; each
// frame may be stored shorter than its wire length.
QByteArray PcapFile(const std::vector<std::pair<Bytes, std::uint32_t>>& frames) {
    QByteArray f;
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f += char(v >> (8 * i));
    };
    auto u16 = [&](std::uint16_t v) { f += char(v), f += char(v >> 8); };
    u32(0xa1b2c3d4), u16(2), u16(4), u32(0), u32(0), u32(65535), u32(1);
    std::uint32_t t = 0;
    for (const auto& [bytes, wire] : frames) {
        u32(1700000000), u32(t++), u32(static_cast<std::uint32_t>(bytes.size())),
            u32(wire ? wire : static_cast<std::uint32_t>(bytes.size()));
        f.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    }
    return f;
}

// Opens .pcap files as if they were devices.
class FileBackend : public ICaptureBackend {
public:
    QString path;
    bool devices(std::vector<TCaptureDevice>& out, QString&) override {
        out = {{QStringLiteral("file"), QStringLiteral("capture file"), false, 0}};
        return true;
    }
    std::shared_ptr<ICaptureSource> open(const QString&, const TOpenOptions&,
                                         QString& error) override {
        return OpenPcapFile(path, error);
    }
    QString version() const override { return PcapBackend().version(); }
};

} // namespace

TEST(CaptureLibrary, FixtureFileThroughTheRealLibrary) {
    try {
        PcapBackend();
    } catch (const std::exception& e) {
        GTEST_SKIP() << "libpcap cannot be loaded: " << e.what();
    }
    EXPECT_TRUE(PcapBackend().version().contains("libpcap"));

    const Bytes good = UdpFrame({}, Hex("11 22 33"));
    UdpFrameFields longer;
    longer.UdpLengthDelta = 100;
    const Bytes arp = ArpFrame({0, 4, 0x1f, 1, 2, 3}, 1, {10, 253, 1, 2}, {10, 253, 0, 1});
    Bytes truncated = good;
    truncated.resize(38); // IPv4 header but half a UDP header captured
    QTemporaryDir dir;
    FileBackend backend;
    backend.path = dir.filePath("fixture.pcap");
    QFile file(backend.path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(PcapFile({{good, 0}, {arp, 0}, {UdpFrame(longer, Hex("44")), 0}, {truncated, 45}}));
    file.close();

    TSnoopUDPData s(nullptr, &backend);
    std::vector<Bytes> payloads;
    s.OnCaptureUDPData = [&](TCustomSnoop*, const pcap_pkthdr*, ETHERNET_HDR*, IP_HDR*, UDP_HDR*,
                             const std::uint8_t* d, int n) { payloads.emplace_back(d, d + n); };
    CurrentAdapter = "file";
    s.Open();
    ASSERT_TRUE(s.Active()) << s.Error().toStdString();
    // The file ends: the thread leaves its loop and the component closes.
    ASSERT_TRUE(WaitFor([&] { return !s.Active(); }));
    EXPECT_EQ(s.Error(), "");
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads[0], Hex("11 22 33"));

    // A filter that does not compile leaves the component inactive with the
    // library's text.
    s.setFilter("no such filter words");
    s.Open();
    EXPECT_FALSE(s.Active());
    EXPECT_FALSE(s.Error().isEmpty());
}
