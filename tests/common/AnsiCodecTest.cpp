#include "common/AnsiCodec.h"
#include "common/ShortString.h"

#include <gtest/gtest.h>

#include <array>

using namespace tarn;

TEST(AnsiCodec, EncodesWindows1252AndReplacesTheRest) {
    struct Case {
        const char16_t* text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {u"abc", QByteArray("abc")},
        {u"Grüße", QByteArray("Gr\xFC\xDF"
                              "e")},
        {u"€‚ƒŸ", QByteArray("\x80\x82\x83\x9F")},
        {u"Ā日", QByteArray("??")},
        {u"\U0001F600x", QByteArray("?x")}, // a surrogate pair is one character
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnsiFromString(QString::fromUtf16(c.text)), c.bytes)
            << c.bytes.toHex().constData();
}

TEST(AnsiCodec, EveryByteRoundTrips) {
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    const QString text = StringFromAnsi(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.at(0x80), QChar(0x20AC));
    EXPECT_EQ(AnsiFromString(text), all);
}

TEST(ShortString, ReadCutsDamagedLengthToCapacity) {
    std::array<std::uint8_t, 6> field{200, 'a', 'b', 'c', 'd', 'e'};
    EXPECT_EQ(ReadShortString(field), QStringLiteral("abcde"));
    field[0] = 2;
    EXPECT_EQ(ReadShortString(field), QStringLiteral("ab"));
}

TEST(ShortString, WriteCutsToCapacityAndKeepsStaleBytes) {
    std::array<std::uint8_t, 6> field{};
    WriteShortString(field, QStringLiteral("abcdefgh"));
    EXPECT_EQ(field, (std::array<std::uint8_t, 6>{5, 'a', 'b', 'c', 'd', 'e'}));
    WriteShortString(field, QStringLiteral("xy"));
    EXPECT_EQ(field, (std::array<std::uint8_t, 6>{2, 'x', 'y', 'c', 'd', 'e'}));
    EXPECT_EQ(ReadShortString(field), QStringLiteral("xy"));
}
