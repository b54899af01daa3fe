// Formats and rules of the reference service, in-process.
#include "AccountService.h"
#include "Config.h"
#include "Dns.h"
#include "Files.h"
#include "LobbyServer.h"
#include "Relay.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <vector>

using namespace tarn::server;

namespace {

std::string Hex(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size())).toHex().toStdString();
}

TEST(ServerFormats, MapStatisticsPackIsByteExact) {
    const std::vector<MapStatRow> rows = {{"Frostfire", 65, 45, "1/2/2026"},
                                          {std::string(130, 'm'), 1, 0x01020304, ""}};
    const std::string pack = MapStatisticsPack(rows);
    const std::string first = "02000000"
                              "09" +
                              Hex("Frostfire") +
                              "41"
                              "2d000000"
                              "08" +
                              Hex("1/2/2026");
    EXPECT_EQ(Hex(pack.substr(0, first.size() / 2)), first);
    // 130 needs two 7-bit groups: 0x82 0x01.
    const std::string second = Hex(pack.substr(first.size() / 2));
    EXPECT_EQ(second.substr(0, 4), "8201");
    EXPECT_EQ(second.substr(4 + 260), "01"
                                      "04030201"
                                      "00");
    EXPECT_EQ(Hex(MapStatisticsPack({})), "00000000");
}

TEST(ServerFormats, UserBatchRecordsAre24Bytes) {
    std::vector<BatchEntry> users = {{3, u'v', 7, "ABCD", "alice"}};
    auto d = UserBatchDatagrams(users);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(Hex(d[0]), "0300"
                         "0300"
                         "7600"
                         "07" +
                             Hex("ABC") + Hex("alice") + std::string(22, '0'));
    // 300 users need two datagrams: 256 and 44 records.
    users.assign(300, BatchEntry{4, u'm', 0, "", "u"});
    d = UserBatchDatagrams(users);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].size(), 2u + 256 * 24);
    EXPECT_EQ(static_cast<std::uint8_t>(d[0][1]), 255);
    EXPECT_EQ(d[1].size(), 2u + 44 * 24);
    EXPECT_EQ(d[1][1], 43);
    EXPECT_TRUE(UserBatchDatagrams({}).empty());
}

TEST(ServerFormats, RoomListDatagramCutsTheNameTo21) {
    HostedRoom r{std::string(30, 'n'), "1", "8", "pw", "All", "Blizzard", "\x01\x02"};
    EXPECT_EQ(RoomListDatagram(r),
              "\x0A\x01;" + std::string(21, 'n') + ";1;8;pw;All;Blizzard;\x01\x02;");
}

TEST(ServerFormats, ProfileRecordLayout) {
    UserRow u;
    u.rank = 5;
    u.position = 0x0102;
    u.rating = -2;
    u.lastLogin = 1.5;
    u.bio = "hello";
    const std::string p = ProfileRecord(u, "Owls");
    ASSERT_EQ(p.size(), 451u);
    EXPECT_EQ(Hex(p.substr(0, 15)), "05"
                                    "0201"
                                    "feffffff"
                                    "000000000000f83f");
    EXPECT_EQ(p.substr(15, 6), "\x05hello");
    EXPECT_EQ(p.substr(271, 5), "\x04Owls");
}

TEST(ServerFormats, StoredZipHoldsTheUsbMapFiles) {
    const std::string& zip = UsbMapsZip();
    EXPECT_EQ(zip.substr(0, 4), "PK\x03\x04");
    EXPECT_NE(zip.find("usbmaps.ima"), std::string::npos);
    EXPECT_NE(zip.find("USBqemu-wheel-0.8.1.dll"), std::string::npos);
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
    for (const char* f : kRunFileNames) {
        EXPECT_FALSE(MapPackFile("SOCOM3", f).empty()) << f;
        EXPECT_NE(MapPackFile("SOCOM3", f), MapPackFile("SOCOMCA", f)) << f;
    }
    EXPECT_TRUE(MapPackFile("SOCOM3", "../etc").empty());
    EXPECT_TRUE(MapPackFile("SOCOM2", kRunFileNames[0]).empty());
}

TEST(ServerDns, MalformedQueriesGetNoAnswer) {
    const std::string head("\x00\x01\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12);
    const std::string cases[] = {
        "",
        head.substr(0, 11),
        head,                             // no question
        head + std::string("\x05lob", 4), // label runs off the end
        head + std::string("\x40", 1) + std::string(64, 'a') + std::string("\0\0\1\0\1", 5),
        head + std::string("\xc0\x0c\x00\x01\x00\x01", 6), // compression in a query
        head + std::string("\x01"
                           "a\x00\x00\x01",
                           5), // class missing
    };
    for (const std::string& q : cases)
        EXPECT_FALSE(DnsAnswer(q, "lobby", 0x7f000001)) << Hex(q);
    // A response is not answered either.
    std::string resp = head + std::string("\x05lobby\x00\x00\x01\x00\x01", 11);
    resp[2] = '\x81';
    EXPECT_FALSE(DnsAnswer(resp, "lobby", 1));
    // AAAA for the lobby host: NOERROR without answers.
    auto aaaa = DnsAnswer(head + std::string("\x05lobby\x00\x00\x1c\x00\x01", 11), "lobby", 1);
    ASSERT_TRUE(aaaa);
    EXPECT_EQ((*aaaa)[3], 0);
    EXPECT_EQ((*aaaa)[7], 0);
}

struct Sent {
    Endpoint to;
    std::string data;
};

TEST(ServerRelay, LearnsForgetsAndStaysBounded) {
    Relay relay;
    std::vector<Sent> sent;
    auto send = [&](const Endpoint& to, std::string_view b) {
        sent.push_back({to, std::string(b)});
    };
    auto mac = [](int n) { return std::string("\x02\x00\x00\x00\x00", 5) + char(n); };
    auto frame = [](const std::string& dst, const std::string& src) {
        return dst + src + std::string("\x08\x00payload", 9);
    };
    const Endpoint a{0x7f000001, 1000}, b{0x7f000001, 1001};
    auto t0 = Relay::Clock::now();
    relay.OnDatagram(a, frame(std::string(6, '\xff'), mac(1)), t0, send);
    relay.OnDatagram(b, frame(mac(1), mac(2)), t0, send);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, a);
    // A frame for a MAC learnt on the sender itself goes nowhere.
    relay.OnDatagram(b, frame(mac(2), mac(2)), t0, send);
    EXPECT_EQ(sent.size(), 1u);
    // A group source MAC is not learnt.
    relay.OnDatagram(a, frame(mac(9), std::string("\x01\x00\x5e\x00\x00\x01", 6)), t0, send);
    EXPECT_EQ(relay.MacCount(), 2u);
    // Idle clients and their MACs are forgotten.
    relay.Expire(t0 + Relay::kIdle + std::chrono::seconds(1));
    EXPECT_EQ(relay.ClientCount(), 0u);
    EXPECT_EQ(relay.MacCount(), 0u);
    // The client table is capped.
    for (std::uint32_t i = 0; i < Relay::kMaxClients + 10; ++i)
        relay.OnDatagram({0x0a000000 + i, 5}, frame(mac(1), mac(3)), t0, [](auto&, auto) {});
    EXPECT_EQ(relay.ClientCount(), Relay::kMaxClients);
}

TEST(ServerConfig, FlagsAreCheckedAndDocumented) {
    struct Case {
        std::vector<const char*> args;
        bool ok;
    };
    const Case cases[] = {
        {{"--state", "/tmp/x"}, true},
        {{"--state=/tmp/x", "--address", "127.0.0.5", "--web-port", "1"}, true},
        {{"--address", "127.0.0.5"}, false},                  // no state
        {{"--state", "/x", "--address", "localhost"}, false}, // not IPv4
        {{"--state", "/x", "--web-port", "70000"}, false},
        {{"--state", "/x", "--http-port"}, false},
        {{"--state", "/x", "--required-version", "a;b"}, false},
        {{"--state", "/x", "--bogus"}, false},
        {{"--help"}, true},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("tarn-server")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        std::string error;
        auto cfg = ParseArgs(static_cast<int>(argv.size()), argv.data(), &error);
        EXPECT_EQ(cfg.has_value(), c.ok) << c.args.front() << " " << error;
    }
    const std::string help = HelpText();
    for (const char* word :
         {"--address",    "--web-port",         "--http-port",       "--dns-port",   "--state",
          "--lobby-host", "--required-version", "--write-endpoints", "--help",       "notify",
          "chatban",      "chatunban",          "capture",           "address USER", "reauth",
          "expire",       "servertag",          "room-add",          "vip",          "sessions"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(ServerAccounts, UserNameAndHashRules) {
    for (const char* good : {"a", "Abc_09", "abcdefghijklmnop"})
        EXPECT_TRUE(ValidUserName(good)) << good;
    for (const char* bad : {"", "abcdefghijklmnopq", "a b", "a;b", "\xc3\xa9", "a-b"})
        EXPECT_FALSE(ValidUserName(bad)) << bad;
    EXPECT_TRUE(ValidPasswordHash(std::string(128, 'a')));
    EXPECT_FALSE(ValidPasswordHash(std::string(127, 'a')));
    EXPECT_FALSE(ValidPasswordHash(std::string(128, 'g')));
}

} // namespace
