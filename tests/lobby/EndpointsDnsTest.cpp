#include "LobbyTestSupport.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace tarn;
using namespace tarn::testing;

namespace {

TEST(Endpoints, FileOverridesKnownKeysAndIgnoresTheRest) {
    TEndpoints t;
    EXPECT_EQ(t.DnsServer, QStringLiteral("8.8.8.8"));
    EXPECT_EQ(t.DnsPort, 53);
    EXPECT_EQ(t.webBaseUrl(), QStringLiteral("https://") + t.WebHost);
    ApplyEndpointsText(t, QStringLiteral("WebHost=127.0.0.1:8443\r\n"
                                         "# a comment line\n"
                                         "MainWebHost = 127.0.0.1:8080 \n"
                                         "LobbyHost=lobby.example\n"
                                         "Unknown=1\n"
                                         "no equals sign\n"
                                         "=orphan value\n"
                                         "SupportEmail=\n"
                                         "UsbMapsMd5=5C2F\n"
                                         "DnsServer=127.3.0.9:5353\n"));
    EXPECT_EQ(t.webBaseUrl(), QStringLiteral("https://127.0.0.1:8443"));
    EXPECT_EQ(t.mainWebUrl(), QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_EQ(t.LobbyHost, QStringLiteral("lobby.example"));
    EXPECT_EQ(t.SupportEmail, TEndpoints().SupportEmail); // empty value ignored
    EXPECT_EQ(t.UsbMapsMd5, QStringLiteral("5C2F"));
    EXPECT_EQ(t.DnsServer, QStringLiteral("127.3.0.9"));
    EXPECT_EQ(t.DnsPort, 5353);
    EXPECT_EQ(TEndpoints::fallbackWebUrl("10.0.0.1"), QStringLiteral("https://10.0.0.1:94"));
}

TEST(Endpoints, DnsServerForms) {
    const struct {
        const char* value;
        const char* host;
        int port;
    } cases[] = {
        {"127.3.0.7", "127.3.0.7", 53}, {"127.3.0.7:1053", "127.3.0.7", 1053},
        {"127.3.0.7:0", "8.8.8.8", 53}, {"127.3.0.7:70000", "8.8.8.8", 53},
        {"127.3.0.7:x", "8.8.8.8", 53}, {":53", "8.8.8.8", 53},
        {"a:b:53", "8.8.8.8", 53},
    };
    for (const auto& c : cases) {
        TEndpoints t;
        ApplyEndpointsText(t, QStringLiteral("DnsServer=") + QString::fromLatin1(c.value));
        EXPECT_EQ(t.DnsServer, QString::fromLatin1(c.host)) << c.value;
        EXPECT_EQ(t.DnsPort, c.port) << c.value;
    }
}

TEST(Endpoints, LoadReadsTheDataFolderFile) {
    const QString dir = qEnvironmentVariable("TARN_TEST_ROOT") + QStringLiteral("/endpoints");
    EXPECT_FALSE(LoadEndpoints(dir)); // missing file: defaults stay
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("/Endpoints.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("SupportEmail=help@example.test\n");
    f.close();
    EXPECT_TRUE(LoadEndpoints(dir));
    EXPECT_EQ(Endpoints().SupportEmail, QStringLiteral("help@example.test"));
    Endpoints() = TEndpoints();
}

TEST(DnsCodec, QueryBytes) {
    EXPECT_EQ(EncodeDnsQuery(0x1234, QStringLiteral("lobby.tarn.test")).toHex(),
              QByteArray("123401000001000000000000"
                         "056c6f626279047461726e0474657374000001"
                         "0001"));
    EXPECT_EQ(EncodeDnsQuery(1, QStringLiteral("a.")), EncodeDnsQuery(1, QStringLiteral("a")));
    for (const QString& bad :
         {QString(), QStringLiteral("a..b"), QStringLiteral("."),
          QString(64, QLatin1Char('x')) + QStringLiteral(".test"), QString(254, QLatin1Char('x'))})
        EXPECT_TRUE(EncodeDnsQuery(1, bad).isEmpty()) << bad.toStdString();
}

TEST(DnsCodec, FirstARecordWins) {
    const QByteArray header = QByteArray::fromHex("abcd81800001000300000000");
    const QByteArray question = QByteArray::fromHex("01610000010001");
    // CNAME (type 5), then two A records.
    const QByteArray cname = QByteArray::fromHex("c00c0005000100000e100002c00c");
    const QByteArray a1 = QByteArray::fromHex("c00c000100010000003c00040a000001");
    const QByteArray a2 = QByteArray::fromHex("c00c000100010000003c00040a000002");
    const QByteArray reply = header + question + cname + a1 + a2;
    DnsAnswer r = ParseDnsResponse(reply, 0xabcd);
    EXPECT_TRUE(r.valid);
    ASSERT_TRUE(r.address.has_value());
    EXPECT_EQ(*r.address, QStringLiteral("10.0.0.1"));

    EXPECT_FALSE(ParseDnsResponse(reply, 0xabce).valid); // other id
    QByteArray query = reply;
    query[2] = 0x01; // not a response
    EXPECT_FALSE(ParseDnsResponse(query, 0xabcd).valid);

    // An answer without A record is valid but has no address.
    QByteArray noA = QByteArray::fromHex("abcd81830001000000000000") + question;
    r = ParseDnsResponse(noA, 0xabcd);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.rcode, 3);
    EXPECT_FALSE(r.address.has_value());

    // Every truncation is read without fault; the address exists exactly
    // when the first A record is whole.
    const qsizetype firstAEnd = header.size() + question.size() + cname.size() + a1.size();
    for (qsizetype n = 0; n < reply.size(); ++n) {
        const DnsAnswer t = ParseDnsResponse(reply.left(n), 0xabcd);
        EXPECT_EQ(t.address.has_value(), n >= firstAEnd) << n;
    }
}

TEST(DnsCodec, HostileAnswersAreReadWithinBounds) {
    QRandomGenerator rng(7);
    const QByteArray header = QByteArray::fromHex("000181800001000100000000");
    for (int i = 0; i < 5000; ++i) {
        QByteArray b = header;
        const int n = static_cast<int>(rng.bounded(80));
        for (int j = 0; j < n; ++j)
            b.append(static_cast<char>(rng.bounded(256)));
        // Counts up to 65535 must not make the walk run away.
        b[4] = static_cast<char>(rng.bounded(256));
        b[7] = static_cast<char>(rng.bounded(256));
        const DnsAnswer r = ParseDnsResponse(b, 1);
        if (r.address) {
            EXPECT_EQ(r.address->count(QLatin1Char('.')), 3);
        }
    }
}

TEST(DnsResolver, AsksTheGivenServerAndTakesItsAnswer) {
    DnsResponder dns(QStringLiteral("127.3.0.31"), 5353, QStringLiteral("127.3.0.77"));
    ASSERT_TRUE(dns.ok);
    DnsResult r = ResolveARecord("127.3.0.31", 5353, "lobby.tarn.test", 5000);
    ASSERT_EQ(r.status, DnsResult::Answered) << r.error.toStdString();
    EXPECT_EQ(r.address.value_or(QString()), QStringLiteral("127.3.0.77"));
    EXPECT_EQ(dns.queries(), 1);

    DnsResponder empty(QStringLiteral("127.3.0.32"), 5353, QString());
    ASSERT_TRUE(empty.ok);
    r = ResolveARecord("127.3.0.32", 5353, "lobby.tarn.test", 5000);
    EXPECT_EQ(r.status, DnsResult::Answered);
    EXPECT_FALSE(r.address.has_value());

    r = ResolveARecord("not-an-address", 53, "lobby.tarn.test", 5000);
    EXPECT_EQ(r.status, DnsResult::Failed);
    EXPECT_FALSE(r.error.isEmpty());
}

TEST(DnsResolver, GivesUpAfterTheWait) {
    // A bound socket that never answers.
    Peer silent(QStringLiteral("127.3.0.33"), 5353);
    ASSERT_TRUE(silent.bound);
    const DnsResult r = ResolveARecord("127.3.0.33", 5353, "lobby.tarn.test", 200);
    EXPECT_EQ(r.status, DnsResult::TimedOut);
}

} // namespace
