#include "common/NetText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace tarn;

namespace {

IP_HDR HeaderFromHex(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    IP_HDR h{};
    EXPECT_EQ(bytes.size(), qsizetype(sizeof h));
    std::memcpy(&h, bytes.constData(), sizeof h);
    return h;
}

} // namespace

TEST(MacText, WrittenFormsReadBackToTheSameBytes) {
    const SNOOPMACADDRESS mac{0x00, 0x04, 0x1F, 0x12, 0xAB, 0x34};
    EXPECT_EQ(MacToStr(mac), QStringLiteral("00041F-12AB34"));
    for (const char* text : {"00041F-12AB34", "00:04:1F:12:AB:34", "00041F12AB34", "00041f-12ab34",
                             "00-04-1F-12-AB-34", "00041F-12AB34FFFF", "00--04::1F-:12AB34"}) {
        bool complete = false;
        EXPECT_EQ(StrToMac(QString::fromLatin1(text), &complete), mac) << text;
        EXPECT_TRUE(complete) << text;
    }
    // Every byte value survives text and back, in every position.
    for (int v = 0; v < 256; ++v) {
        SNOOPMACADDRESS m;
        for (std::size_t i = 0; i < m.size(); ++i)
            m[i] = static_cast<std::uint8_t>(v + 37 * i);
        ASSERT_EQ(StrToMac(MacToStr(m)), m) << MacToStr(m).toStdString();
    }
}

TEST(MacText, IncompleteTextGivesZeroBytesFromTheFirstBadPair) {
    struct Case {
        const char* text;
        SNOOPMACADDRESS mac;
    };
    const Case cases[] = {
        {"", {}},
        {"0", {}},
        {"0004", {0x00, 0x04, 0, 0, 0, 0}},
        {"00041F-12AB3", {0x00, 0x04, 0x1F, 0x12, 0xAB, 0}}, // last pair has one digit
        {"00041G-12AB34", {0x00, 0x04, 0, 0, 0, 0}},         // G is no digit: reading stops
        {"00 04 1F 12 AB 34", {0x00, 0, 0, 0, 0, 0}},        // blanks are not separators
        {"-00041F12AB34", {}},
    };
    for (const Case& c : cases) {
        bool complete = true;
        EXPECT_EQ(StrToMac(QString::fromLatin1(c.text), &complete), c.mac) << c.text;
        EXPECT_FALSE(complete) << c.text;
    }
}

TEST(MacText, NormalisationOfTheOptionsDialog) {
    struct Case {
        const char* text;
        const char* normal;
    };
    const Case cases[] = {
        {"AA:BB:CC:DD:EE:FF", "AABBCC-DDEEFF"},
        {"AABBCC-DDEEFF", "AABBCC-DDEEFF"},
        {"AABBCCDDEEFF", "AABBCC-DDEEFF"},
        {"AA-BB-CC-DD-EE-FF", "AABBCC-DDEEFF"},
        {"aa:bb:cc:dd:ee:ff", "AABBCC-DDEEFF"},         // upper-cased first
        {"0000000-000000", "000000-000000"},            // thirteen digits: first twelve
        {"AABBCCDDEEFF0011", "AABBCC-DDEEFF"},          // stops after the twelfth digit
        {"ffffff-ffffff", "FFFFFF-FFFFFF"},             // broadcast is the caller's to refuse
        {"xAA.BB.CC.DD.EEFF", "AABBCC-DDEEFF"},         // other characters are skipped
        {"AA:BB:CC:DD:EE", ""},                         // ten digits
        {"", ""},                                       //
        {"GHIJKLMNOPQRSTUVWXYZ", ""},                   // no hexadecimal digit
        {"AA::BB::CC::DD::EE:FF", ""},                  // only 17 characters are looked at
        {"AA:BB:CC:DD:EE:FFAA:BB:CC", "AABBCC-DDEEFF"}, // long text: first 17 characters
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormaliseMacText(QString::fromLatin1(c.text)), QString::fromLatin1(c.normal))
            << c.text;
}

TEST(IPv4Text, StrToIPFollowsTheShiftFormula) {
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"1.0.253.10", 0x0100FD0Au}, // the wire address 10.253.0.1 read as a native integer
        {"10.253.255.255", 0x0AFDFFFFu},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"1.2.3.4 and more", 0x01020304u},
        {"1.2", 0x01020000u},    // missing numbers count as 0
        {"1..2.3", 0x01000203u}, // a number without digits counts as 0
        {"", 0u},
        {"abc", 0u},
        {"300.0.0.1", 0x2C000001u},                  // 300 << 24 keeps the low 32 bits
        {"0.0.1.256", 0x00000200u},                  // 256 adds into the next byte
        {"99999999999999999999.1.1.1", 0xFF010101u}, // long digit runs wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrToIP(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(IPv4Text, ValidDottedAddress) {
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"10.0.0.1", true},         {"0.0.0.0", true},
        {"255.255.255.255", true},  {"192.168.001.010", true},
        {"10.0.0", false},          {"10.0.0.1.5", false},
        {"10.0.0.256", false},      {"1000.0.0.1", false},
        {"0255.0.0.1", false},      {"a.b.c.d", false},
        {"1.2.3.4 ", false},        {" 1.2.3.4", false},
        {".1.2.3.4", false},        {"1.2.3.4.", false},
        {"1..3.4", false},          {"", false},
        {"lobby.tarn.test", false}, {"+1.2.3.4", false},
        {"1.2.3.-4", false},        {"1.2.3.4/24", false},
        {"1.2.3.4:94", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidIPv4(QString::fromLatin1(c.text)), c.valid) << c.text;
    // Digits outside ASCII are no decimal digits here.
    EXPECT_FALSE(IsValidIPv4(QString::fromUtf16(u"1.2.3.\u0664")));
}

TEST(IPv4Checksum, KnownHeadersIgnoringTheirOwnChecksumField) {
    const struct {
        const char* hex;
        std::uint16_t checksum;
    } headers[] = {
        {"450000730000400040110000c0a80001c0a800c7", 0xB861},
        {"4500003044224000800600008c7c19acae241e2b", 0x442E},
    };
    for (const auto& c : headers) {
        IP_HDR h = HeaderFromHex(c.hex);
        EXPECT_EQ(IPChecksum(h), c.checksum) << c.hex;
        // Whatever the field holds, it is left out of the sum.
        h.Checksum = HostToNet16(c.checksum);
        EXPECT_EQ(IPChecksum(h), c.checksum) << c.hex;
        h.Checksum = 0xFFFF;
        EXPECT_EQ(IPChecksum(h), c.checksum) << c.hex;
    }
    // The stored form: wire bytes b8 61 at offset 10.
    IP_HDR h = HeaderFromHex("450000730000400040110000c0a80001c0a800c7");
    h.Checksum = HostToNet16(IPChecksum(h));
    std::array<std::uint8_t, 20> bytes;
    std::memcpy(bytes.data(), &h, bytes.size());
    EXPECT_EQ(bytes[10], 0xB8);
    EXPECT_EQ(bytes[11], 0x61);
}
