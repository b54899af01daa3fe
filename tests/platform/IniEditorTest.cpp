#include "platform/IniEditor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using tarn::platform::ReadIniValue;
using tarn::platform::WriteIniValue;

namespace {

// The shape of an emulator ini: CR LF endings, "Key = Value" spacing,
// section names with "/", one section name the prefix of another.
const QByteArray kCrLfIni = "; generated file\r\n"
                            "[UI]\r\n"
                            "SettingsVersion = 1\r\n"
                            "\r\n"
                            "[DEV9/Eth]\r\n"
                            "EthEnable = false\r\n"
                            "EthApi = PCAP Switched\r\n"
                            "EthDevice = eth0\r\n"
                            "\r\n"
                            "[DEV9/Eth/Hosts]\r\n"
                            "Count = 0\r\n";

// LF endings, byte order mark, no spacing, no line ending at the end.
const QByteArray kLfIni = "\xEF\xBB\xBF[Folders]\n"
                          "Cheats=cheats\n"
                          "  Odd\t=\t v  \n"
                          "[Filenames]\n"
                          "BIOS=scph.bin";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct WriteCase {
    const char* what;
    QByteArray before;
    const char* section;
    const char* key;
    const char* value;
    QByteArray after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.what;
}

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyTheOneValue) {
    const WriteCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCSX2.ini"));
    writeAll(path, c.before);
    ASSERT_TRUE(WriteIniValue(path, QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                              QString::fromUtf8(c.value)));
    EXPECT_EQ(readAll(path), c.after);
    EXPECT_EQ(ReadIniValue(path, QString::fromUtf8(c.section), QString::fromUtf8(c.key)),
              QString::fromUtf8(c.value).trimmed());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    ::testing::Values(
        WriteCase{"replace, key in another case", kCrLfIni, "DEV9/Eth", "ethdevice", "enp3s0",
                  QByteArray(kCrLfIni).replace("EthDevice = eth0", "EthDevice = enp3s0")},
        WriteCase{"add key at the end of its section, before the blank line", kCrLfIni, "DEV9/Eth",
                  "InterceptDHCP", "true",
                  QByteArray(kCrLfIni).replace("EthDevice = eth0\r\n",
                                               "EthDevice = eth0\r\nInterceptDHCP = true\r\n")},
        WriteCase{"a section name is not matched by its prefix", kCrLfIni, "DEV9/Eth", "Count", "2",
                  QByteArray(kCrLfIni).replace("EthDevice = eth0\r\n",
                                               "EthDevice = eth0\r\nCount = 2\r\n")},
        WriteCase{"add section at the end", kCrLfIni, "EmuCore/Speedhacks", "EECycleRate", "3",
                  kCrLfIni + "[EmuCore/Speedhacks]\r\nEECycleRate=3\r\n"},
        WriteCase{"section names compare exactly", kCrLfIni, "dev9/eth", "EthApi", "TAP",
                  kCrLfIni + "[dev9/eth]\r\nEthApi=TAP\r\n"},
        WriteCase{"the unnamed section is the part before the first header", kCrLfIni, "",
                  "EnableSpeedHacks", "1",
                  QByteArray(kCrLfIni).replace("; generated file\r\n",
                                               "; generated file\r\nEnableSpeedHacks=1\r\n")},
        WriteCase{"value stored as given, no escaping", kCrLfIni, "UI", "Path", "C:\\a;b=\"c\"",
                  QByteArray(kCrLfIni).replace("SettingsVersion = 1\r\n",
                                               "SettingsVersion = 1\r\nPath = C:\\a;b=\"c\"\r\n")},
        WriteCase{"replace in the first section after the byte order mark", kLfIni, "Folders",
                  "Cheats", "mycheats",
                  QByteArray(kLfIni).replace("Cheats=cheats", "Cheats=mycheats")},
        WriteCase{"blanks around = are kept, the old value's are not", kLfIni, "Folders", "odd",
                  "w", QByteArray(kLfIni).replace("  Odd\t=\t v  \n", "  Odd\t=\t w\n")},
        WriteCase{"add key after a last line without line ending", kLfIni, "Filenames", "DEV9",
                  "CLR_DEV9.dll", kLfIni + "\nDEV9=CLR_DEV9.dll\n"},
        WriteCase{"add section to a file without line ending", kLfIni, "DEV9/Eth", "EthApi",
                  "Sockets", kLfIni + "\n[DEV9/Eth]\nEthApi=Sockets\n"},
        WriteCase{"same value leaves the file as it was", kCrLfIni, "UI", "SettingsVersion", "1",
                  kCrLfIni},
        WriteCase{"empty file", QByteArray(), "S", "k", "v", "[S]\nk=v\n"}),
    [](const auto& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(IniWrite, CreatesAMissingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.ini"));
    ASSERT_TRUE(WriteIniValue(path, QStringLiteral("EmuCore/CPU/Recompiler"),
                              QStringLiteral("vuOverflow"), QStringLiteral("1")));
    EXPECT_EQ(readAll(path), QByteArray("[EmuCore/CPU/Recompiler]\nvuOverflow=1\n"));
}

TEST(IniWrite, RefusesWhatWouldBreakTheFileAndLeavesItAlone) {
    struct Bad {
        const char* section;
        const char* key;
        const char* value;
    };
    const Bad cases[] = {
        {"DEV9/Eth", "EthApi", "a\r\n[Injected]"},
        {"DEV9/Eth", "EthApi", "a\nb"},
        {"DEV9]", "EthApi", "x"},
        {"DEV9\n", "EthApi", "x"},
        {"DEV9/Eth", "", "x"},
        {"DEV9/Eth", "Eth=Api", "x"},
        {"DEV9/Eth", "Eth\nApi", "x"},
        {"DEV9/Eth", "[Eth", "x"},
        {"DEV9/Eth", ";Eth", "x"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCSX2.ini"));
    writeAll(path, kCrLfIni);
    for (const Bad& c : cases) {
        EXPECT_FALSE(WriteIniValue(path, QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                   QString::fromUtf8(c.value)))
            << c.section << " " << c.key;
    }
    EXPECT_EQ(readAll(path), kCrLfIni);
    // A path that cannot be written reports failure.
    EXPECT_FALSE(WriteIniValue(dir.filePath(QStringLiteral("missing/PCSX2.ini")),
                               QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(
        WriteIniValue(dir.path(), QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
}

TEST(IniWrite, KeepsTheFilePermissions) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCSX2.ini"));
    writeAll(path, kCrLfIni);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(WriteIniValue(path, QStringLiteral("UI"), QStringLiteral("SettingsVersion"),
                              QStringLiteral("2")));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(IniRead, FindsValuesLikeTheProfileCalls) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PCSX2.ini"));
    writeAll(path, kCrLfIni + "[Quoted]\r\nName = \"  spaced  \"\r\nHalf = \"open\r\n"
                              "Dup = first\r\nDup = second\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"DEV9/Eth", "ETHAPI", "PCAP Switched"},
        {"DEV9/Eth/Hosts", "Count", "0"},
        {"DEV9/Eth", "Count", "default"},
        {"UI", "Missing", "default"},
        {"Nowhere", "EthApi", "default"},
        {"Quoted", "Name", "  spaced  "},
        {"Quoted", "Half", "\"open"},
        {"Quoted", "Dup", "first"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadIniValue(path, QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                               QStringLiteral("default")),
                  QString::fromUtf8(c.expected))
            << c.section << " " << c.key;
    }
    EXPECT_EQ(ReadIniValue(dir.filePath(QStringLiteral("none.ini")), QStringLiteral("UI"),
                           QStringLiteral("SettingsVersion"), QStringLiteral("d")),
              QStringLiteral("d"));
}

} // namespace
