#include "shell/GameTables.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <set>
#include <vector>

using namespace tarn;

namespace {

const QString kUnlisted = QStringLiteral("Unlisted");

// SHA-256 over "key=name\n" for all 256 keys: guards every name, blank and
// misspelling of a table against accidental edits.
QByteArray TableDigest(QString (*lookup)(std::uint8_t)) {
    QByteArray text;
    for (int k = 0; k < 256; ++k)
        text +=
            QByteArray::number(k) + '=' + lookup(static_cast<std::uint8_t>(k)).toLatin1() + '\n';
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}

std::set<int> ListedKeys(QString (*lookup)(std::uint8_t)) {
    std::set<int> keys;
    for (int k = 0; k < 256; ++k)
        if (lookup(static_cast<std::uint8_t>(k)) != kUnlisted)
            keys.insert(k);
    return keys;
}

} // namespace

TEST(GameTables, MapNamesAreKeptExactly) {
    struct Case {
        QString (*lookup)(std::uint8_t);
        int key;
        const char* name;
    };
    const Case cases[] = {
        {GetS3MapName, 11, "SUMMIT SUP. SM."},
        {GetS3MapName, 14, "SUMMIT EXTRATION"},
        {GetS3MapName, 42, "THRESHOLD EXT. SM"},
        {GetS3MapName, 92, " WINTERBLADE"},
        {GetS3MapName, 94, " REPROSAL"},
        {GetS3MapName, 129, "DELIL'S ROAD CONTROL"},
        {GetS3MapName, 213, "CROSSROAD SUP .SM."},
        {GetS3MapName, 239, "CHOKEHOLD  BRICKWORKS"},
        {GetS3MapName, 244, "SHEOHERD RUINS"},
        {GetS3MapName, 247, "KINGFISHER BUNKER"},
        {GetS3MapName, 0, "Unlisted"},
        {GetS3MapName, 10, "Unlisted"},
        {GetS3MapName, 127, "Unlisted"},
        {GetS3MapName, 248, "Unlisted"},
        {GetS3MapName, 255, "Unlisted"},
        {GetS2MapName, 1, "Blizzard"},
        {GetS2MapName, 28, "Desert Glorty"},
        {GetS2MapName, 34, "TheRuins Night"},
        {GetS2MapName, 183, "Doomsday Delivery"},
        {GetS2MapName, 0, "Unlisted"},
        {GetS2MapName, 3, "Unlisted"},
        {GetS2MapName, 184, "Unlisted"},
        {GetS2MapName, 255, "Unlisted"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.lookup(static_cast<std::uint8_t>(c.key)), QString::fromLatin1(c.name)) << c.key;

    EXPECT_EQ(TableDigest(GetS3MapName),
              "d3fb95dcb8daef18062f44cdadf7df6523f5d7113088a2b3e49f29ac3736b36f");
    EXPECT_EQ(TableDigest(GetS2MapName),
              "79a98b0fb98a94cfcf29cb286751181fd9930e58cf413b1f5c5d4fa8966e14e6");
}

TEST(GameTables, RowsAndGaps) {
    const std::set<int> s3 = ListedKeys(GetS3MapName);
    EXPECT_EQ(s3.size(), 215u);
    std::set<int> gaps;
    for (int k = 11; k <= 247; ++k)
        if (!s3.count(k))
            gaps.insert(k);
    EXPECT_EQ(*s3.begin(), 11);
    EXPECT_EQ(*s3.rbegin(), 247);
    EXPECT_EQ(gaps, (std::set<int>{127, 155, 176, 181, 186, 193, 195, 196, 197, 198, 199,
                                   204, 205, 206, 207, 209, 211, 217, 218, 219, 226, 228}));

    const std::set<int> s2 = ListedKeys(GetS2MapName);
    EXPECT_EQ(s2.size(), 45u);
    EXPECT_EQ(*s2.begin(), 1);
    EXPECT_EQ(*s2.rbegin(), 183);
}

TEST(GameTables, RoomNumberText) {
    for (int k = 0; k < 256; ++k) {
        const QString expected = (k >= 1 && k <= 31) ? QString::number(k) : QStringLiteral("00");
        EXPECT_EQ(GetRoomNumberText(static_cast<std::uint8_t>(k)), expected) << k;
    }
    EXPECT_EQ(GetRoomNumberText(7), QStringLiteral("7"));
}

TEST(GameTables, PacketNameReadsUpToTheNulWithinThirtyThreeBytes) {
    const QString previous = QStringLiteral("RANKED GAME");
    const std::vector<std::uint8_t> nul{0};
    const std::string letters32(32, 'N');
    const std::string letters33(33, 'N');
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes; // exactly what was received, nothing after it
        QString name;
    };
    auto bytesOf = [](const std::string& s, bool withNul) {
        std::vector<std::uint8_t> v(s.begin(), s.end());
        if (withNul)
            v.push_back(0);
        return v;
    };
    std::vector<std::uint8_t> latin = {'C', 'a', 'f', 0xE9, 0, 'x'};
    const Case cases[] = {
        {"32 letters and a 0", bytesOf(letters32, true), QString::fromLatin1(letters32.c_str())},
        {"33 letters then a 0", bytesOf(letters33, true), previous},
        {"0 at once", nul, QString()},
        {"ANSI bytes", latin, QString::fromUtf16(u"Caf\u00E9")},
        {"ends without a 0", bytesOf("SHORT", false), previous},
        {"nothing received", {}, previous},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetPacketName(c.bytes, previous), c.name) << c.what;

    // Pointer form with the bytes actually available.
    const std::vector<std::uint8_t> name = bytesOf("LAN GAME", true);
    EXPECT_EQ(GetPacketName(name.data(), name.size(), previous), QStringLiteral("LAN GAME"));
    EXPECT_EQ(GetPacketName(name.data(), 3, previous), previous);
    EXPECT_EQ(GetPacketName(nullptr, 40, previous), previous);
}

TEST(GameTables, MapLinesPickTheTableByGameName) {
    struct Case {
        const char* game;
        std::vector<std::uint8_t> run;
        QStringList lines;
    };
    const Case cases[] = {
        {"CA: night ops",
         {11, 92, 239},
         {"SUMMIT SUP. SM.", " WINTERBLADE", "CHOKEHOLD  BRICKWORKS"}},
        {"clan S3: scrim", {28, 127}, {"SIPHON EXTRACTION", "Unlisted"}},
        {"S2 public", {28, 11, 3}, {"Desert Glorty", "Death Trap", "Unlisted"}},
        {"ca: lower case", {28}, {"Desert Glorty"}}, // the test is case-sensitive
        {"CA: stops", {11, 0, 12}, {"SUMMIT SUP. SM."}},
        {"CA: starts with 0", {0, 11, 12}, {}},
        {"empty run", {}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MapLines(QString::fromLatin1(c.game), c.run), c.lines) << c.game;

    EXPECT_EQ(MapLines(QStringLiteral("S3: x"), QByteArray("\x0b\x0c", 2)),
              (QStringList{"SUMMIT SUP. SM.", "SUMMIT DEM. SM."}));
}
