#include "platform/NetworkAdapters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tarn::platform;

namespace {

using Mac = std::array<std::uint8_t, 6>;
constexpr Mac kZero{};
constexpr Mac kA{0x00, 0x04, 0x1f, 0xab, 0xcd, 0xef};
constexpr Mac kB{0x02, 0x42, 0xac, 0x11, 0x00, 0x02};
constexpr Mac kC{0xf0, 0xde, 0xf1, 0x00, 0x0a, 0x9b};
const QString kTextA = QStringLiteral("00:04:1F:AB:CD:EF\r\n");
const QString kTextB = QStringLiteral("02:42:AC:11:00:02\r\n");
const QString kTextC = QStringLiteral("F0:DE:F1:00:0A:9B\r\n");

NetworkAdapter adapter(const char* name, int index, Mac mac, bool device, bool loopback = false) {
    return NetworkAdapter{QString::fromLatin1(name), index, mac, loopback, device};
}

TEST(AdapterMacText, ChoosesAndOrdersTheAdapters) {
    struct Case {
        const char* what;
        std::vector<NetworkAdapter> adapters;
        QString expected;
    };
    const Case cases[] = {
        {"device-backed adapters only, in index order",
         {adapter("wlan0", 4, kC, true), adapter("lo", 1, kZero, false, true),
          adapter("docker0", 3, kB, false), adapter("eth0", 2, kA, true)},
         kTextA + kTextC},
        {"without device-backed adapters every non-loopback one",
         {adapter("lo", 1, kZero, false, true), adapter("veth1", 5, kB, false),
          adapter("tun0", 6, kZero, false), adapter("br0", 3, kC, false)},
         kTextC + kTextB},
        {"a device-backed adapter without address does not count",
         {adapter("can0", 2, kZero, true), adapter("veth1", 5, kB, false)},
         kTextB},
        {"only loopback", {adapter("lo", 1, kA, false, true)}, QString()},
        {"nothing", {}, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AdapterMacText(c.adapters), c.expected) << c.what;
}

class FakeSysNet : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void add(const char* name, const char* index, const char* address, const char* flags,
             bool device) {
        const QString d = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QDir().mkpath(d));
        write(d + "/ifindex", index);
        write(d + "/address", address);
        write(d + "/flags", flags);
        if (device) {
            ASSERT_TRUE(QDir().mkpath(d + "/device"));
        }
    }
    static void write(const QString& path, const char* text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QTemporaryDir dir;
};

TEST_F(FakeSysNet, ReadsTheAdaptersInIndexOrder) {
    add("lo", "1\n", "00:00:00:00:00:00\n", "0x9\n", false);
    add("enp4s0", "3\n", "f0:de:f1:00:0a:9b\n", "0x1003\n", true);
    add("enp3s0", "2\n", "00:04:1f:ab:cd:ef\n", "0x1003\n", true);
    add("wg0", "4\n", "\n", "0x91\n", false);
    add("ib0", "5\n", "80:00:00:48:fe:80:00:00:00:00:00:00:f4:52:14:03:00:7b:cb:a1\n", "0x1003\n",
        true);
    write(dir.filePath("bonding_masters"), "\n");       // a file beside the interface folders
    ASSERT_TRUE(QDir().mkpath(dir.filePath("broken"))); // no ifindex: not an interface

    const std::vector<NetworkAdapter> list = ListNetworkAdapters(dir.path());
    ASSERT_EQ(list.size(), 5u);
    const char* names[] = {"lo", "enp3s0", "enp4s0", "wg0", "ib0"};
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].name, QString::fromLatin1(names[i]));
        EXPECT_EQ(list[i].index, int(i + 1));
    }
    EXPECT_TRUE(list[0].loopback);
    EXPECT_FALSE(list[1].loopback);
    EXPECT_EQ(list[1].mac, kA);
    EXPECT_TRUE(list[1].hasDevice);
    EXPECT_FALSE(list[3].hasDevice);
    EXPECT_EQ(list[3].mac, kZero);
    EXPECT_EQ(list[4].mac, kZero); // not a 6-byte address
    EXPECT_EQ(AdapterMacText(list), kTextA + kTextC);
}

TEST_F(FakeSysNet, FallsBackToVirtualAdapters) {
    add("lo", "1\n", "00:00:00:00:00:00\n", "0x9\n", false);
    add("veth9", "9\n", "02:42:ac:11:00:02\n", "0x1003\n", false);
    add("eth0", "7\n", "f0:de:f1:00:0a:9b\n", "0x1003\n", false);
    EXPECT_EQ(AdapterMacText(ListNetworkAdapters(dir.path())), kTextC + kTextB);
    EXPECT_TRUE(ListNetworkAdapters(dir.filePath("missing")).empty());
}

TEST(AdapterMacText, OfThisMachineIsWellFormed) {
    const QString text = AdapterMacText();
    static const QRegularExpression line(QStringLiteral("^([0-9A-F]{2}:){5}[0-9A-F]{2}$"));
    ASSERT_TRUE(text.isEmpty() || text.endsWith(QStringLiteral("\r\n")));
    for (const QString& l : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
}

} // namespace
