#include "lobby/LobbyCipher.h"
#include "common/AnsiCodec.h"
#include "common/Base64.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <openssl/evp.h>
#include <ostream>
#include <vector>

// Readable failure messages: texts as UTF-8, bytes as hex.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << "hex " << b.toHex().toStdString();
}

using namespace tarn;

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

// Cases produced by the reference build of the component library.
struct Vector {
    QString cipher;
    QByteArray passPhrase;
    QByteArray keyHex;
    std::optional<QByteArray> plain;
    QString base64;
};

std::vector<Vector> LoadVectors() {
    QFile file(QStringLiteral(TARN_TEST_DATA_DIR "/lockbox-vectors.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<Vector> out;
    for (const QJsonValue& v : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject o = v.toObject();
        Vector vec{o["cipher"].toString(),
                   QByteArray::fromHex(o["passphrase_hex"].toString().toLatin1()),
                   o["key_hex"].toString().toLatin1(),
                   std::nullopt,
                   {}};
        if (o.contains("plain_hex")) {
            vec.plain = QByteArray::fromHex(o["plain_hex"].toString().toLatin1());
            vec.base64 = o["cipher_base64"].toString();
        }
        out.push_back(vec);
    }
    return out;
}

// AES-256-ECB decryption of raw blocks with no framing, to look inside the
// ciphertext independently of the class under test.
QByteArray RawAesDecrypt(const QByteArray& key, const QByteArray& cipher) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    QByteArray out(cipher.size(), '\0');
    int len = 0;
    EVP_DecryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr,
                       reinterpret_cast<const unsigned char*>(key.constData()), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                      reinterpret_cast<const unsigned char*>(cipher.constData()),
                      static_cast<int>(cipher.size()));
    EVP_CIPHER_CTX_free(ctx);
    out.truncate(len);
    return out;
}

const QString kMachineIdPhrase = QString::fromLatin1(kMachineIdPassPhrase);

} // namespace

TEST(LockBoxVectors, GenerateKeyAndStringsMatchReference) {
    const std::vector<Vector> vectors = LoadVectors();
    ASSERT_FALSE(vectors.empty()) << "lockbox-vectors.json missing or unreadable";
    // One object per cipher, re-keyed for every case: re-keying must take effect.
    LobbyCipher rijndael;
    LockBoxBlowfish blowfish;
    for (const Vector& v : vectors) {
        SCOPED_TRACE((v.cipher + " phrase " + v.passPhrase.toHex() + " plain " +
                      v.plain.value_or("-").toHex())
                         .toStdString());
        const QString phrase = StringFromAnsi(v.passPhrase);
        const bool isRijndael = v.cipher == "rijndael256";
        ASSERT_TRUE(isRijndael || v.cipher == "blowfish");
        if (isRijndael) {
            rijndael.GenerateKey(phrase);
            EXPECT_EQ(rijndael.Key(), QByteArray::fromHex(v.keyHex));
        } else {
            blowfish.GenerateKey(phrase);
            EXPECT_EQ(blowfish.Key(), QByteArray::fromHex(v.keyHex));
        }
        if (!v.plain)
            continue;
        const QString plain = StringFromAnsi(*v.plain);
        const QString encrypted =
            isRijndael ? rijndael.EncryptString(plain) : blowfish.EncryptString(plain);
        EXPECT_EQ(encrypted, v.base64);
        const std::optional<QString> decrypted =
            isRijndael ? rijndael.DecryptString(v.base64) : blowfish.DecryptString(v.base64);
        ASSERT_TRUE(decrypted.has_value());
        EXPECT_EQ(AnsiFromString(*decrypted), *v.plain);
    }
}

TEST(LockBoxDigest, PiTableAndMixer) {
    const auto& pi = LockBoxPi256();
    const QByteArray bytes(reinterpret_cast<const char*>(pi.data()), 256);
    EXPECT_EQ(bytes.left(16), Hex("243f6a8885a308d313198a2e03707344"));
    // The P-array's last word, then the last S-box word used.
    EXPECT_EQ(bytes.mid(68, 4), Hex("8979fb1b"));
    EXPECT_EQ(bytes.mid(252, 4), Hex("7c72e993"));

    EXPECT_EQ(LockBoxMix({1, 2, 3, 4}), (MixWords{0x03f37dc9, 0xf96d90f7, 0xfcf0eb44, 0xc9e4e3bb}));
}

TEST(LockBoxDigest, IntermediateValuesForAbc) {
    LockBoxDigester d;
    d.Absorb("abc");
    EXPECT_EQ(d.AbsorbPadding(), 5);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(d.Register().data()), 16),
              Hex("81d420e0d774b18f67b85cb468f23c0c"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(d.Accumulator().data()), 16),
              Hex("455d098985a308d313198a2e03707344"));
    const LbcSubkeys sk = LbcKeySchedule(d.Register());
    EXPECT_EQ(sk[0], (std::array<std::uint32_t, 2>{0xd44ca5da, 0xf605cfac}));
    EXPECT_EQ(sk[7], (std::array<std::uint32_t, 2>{0x75b7c8a2, 0xe5177dd3}));
    const QByteArray full = Hex("2aa17baa76a4c4cd4b73a5f934b4cc1a6492b853fc94eb88eeb34e7ce128867b");
    EXPECT_EQ(d.Finish(32), full);
    // Shorter keys are prefixes of the longer ones.
    EXPECT_EQ(LockBoxDigest("abc", 16), full.left(16));
    EXPECT_EQ(LockBoxDigest("abc", 24), full.left(24));
}

TEST(LockBoxDigest, PaddingLengthAndOutputBounds) {
    // 01 00.. fills the 8-byte register block; a full block takes all 8 bytes.
    const struct {
        int length;
        int padding;
    } cases[] = {{0, 8}, {3, 5}, {7, 1}, {8, 8}, {15, 1}, {16, 8}};
    for (const auto& c : cases) {
        LockBoxDigester d;
        d.Absorb(QByteArray(c.length, 'x'));
        EXPECT_EQ(d.AbsorbPadding(), c.padding) << c.length;
    }
    EXPECT_EQ(LockBoxDigest("abc", 300).size(), 256);
    EXPECT_EQ(LockBoxDigest("abc", -1).size(), 0);
    // Bytes after the accumulator wraps still change the key.
    QByteArray longPhrase(300, 'p');
    const QByteArray key = LockBoxDigest(longPhrase, 32);
    longPhrase[299] = 'q';
    EXPECT_NE(LockBoxDigest(longPhrase, 32), key);
}

TEST(LockBoxBlowfish, PadsOfKnownKeys) {
    LockBoxBlowfish raw;
    ASSERT_TRUE(raw.SetKey(Hex("0123456789abcdeffedcba9876543210")));
    EXPECT_EQ(raw.Pad(), Hex("1a3b9668cba44c07"));
    EXPECT_FALSE(raw.SetKey(Hex("0123")));
    EXPECT_EQ(raw.Pad(), Hex("1a3b9668cba44c07"));

    const struct {
        QString phrase;
        const char* pad;
    } cases[] = {
        {QStringLiteral("secret"), "7dd85d09310ed5f7"},
        {QString(), "d74c6462883ffb0d"},
        {kMachineIdPhrase, "ab0f2d27a4bc3e52"},
    };
    for (const auto& c : cases) {
        LockBoxBlowfish bf;
        bf.GenerateKey(c.phrase);
        EXPECT_EQ(bf.Pad(), Hex(c.pad)) << c.phrase.toStdString();
        // The empty text is one all-zero block, so its ciphertext is the pad.
        EXPECT_EQ(Base64Decode(QStringView(bf.EncryptString(QString()))), bf.Pad());
    }
}

TEST(LobbyCipher, FinalBlockAndAnsiConversion) {
    LobbyCipher cipher;
    cipher.GenerateKey(QStringLiteral("secret"));

    // 16 bytes: two blocks, the last one holding only the count 0.
    const QString sixteen = QStringLiteral("0123456789abcdef");
    const QString b64 = cipher.EncryptString(sixteen);
    EXPECT_EQ(b64.size(), 44);
    QByteArray raw = RawAesDecrypt(cipher.Key(), *Base64Decode(QStringView(b64)));
    EXPECT_EQ(raw, sixteen.toLatin1() + QByteArray(16, '\0'));

    // 15 bytes: one block ending with the count 15.
    raw = RawAesDecrypt(cipher.Key(),
                        *Base64Decode(QStringView(cipher.EncryptString("0123456789abcde"))));
    EXPECT_EQ(raw, QByteArray("0123456789abcde\x0f", 16));

    // A character outside Windows-1252 is sent as "?"; the euro sign is 0x80.
    const QString text = QString::fromUtf16(u"x\u65E5\u20AC");
    EXPECT_EQ(cipher.EncryptString(text), cipher.EncryptString(QString::fromUtf16(u"x?\u20AC")));
    EXPECT_EQ(cipher.DecryptString(cipher.EncryptString(text)), QString::fromUtf16(u"x?\u20AC"));
    EXPECT_EQ(cipher.EncryptBytes("x?\x80"),
              *Base64Decode(QStringView(cipher.EncryptString(text))));

    // A moved cipher keeps its key; a raw key of the wrong size is refused.
    LobbyCipher moved = std::move(cipher);
    EXPECT_EQ(moved.EncryptString(sixteen), b64);
    EXPECT_FALSE(moved.SetKey(Hex("00")));
    EXPECT_EQ(moved.EncryptString(sixteen), b64);
}

// Ciphertexts the lobby must drop, for both ciphers.
template <typename Cipher> void ExpectMalformedRejected(int bs) {
    Cipher cipher;
    cipher.GenerateKey(QStringLiteral("secret"));
    const QString good = cipher.EncryptString(QStringLiteral("hello world"));
    const QByteArray goodBytes = *Base64Decode(QStringView(good));
    ASSERT_EQ(cipher.DecryptString(good), QStringLiteral("hello world"));

    // A single block whose last byte, once decrypted, is `count`.
    auto withCount = [&cipher, bs](int count) {
        QByteArray block(bs, 'a');
        block[bs - 1] = static_cast<char>(count);
        return Base64Encode(cipher.EncryptBytes(block).left(bs));
    };
    Cipher other;
    other.GenerateKey(QStringLiteral("other"));

    QString badChar = good;
    badChar[2] = '-';
    QString nonAscii = good;
    nonAscii[2] = QChar(0x00E9);
    const struct {
        const char* name;
        QString input;
    } cases[] = {
        {"empty", QString()},
        {"url-safe character", badChar},
        {"non-ASCII character", nonAscii},
        {"CR LF appended", good + "\r\n"},
        {"line break inside", good.left(4) + "\n" + good.mid(4)},
        {"blank inside", good.left(4) + " " + good.mid(4)},
        {"length not a multiple of 4", good.chopped(1)},
        {"padding before the end", Base64Encode("A") + good},
        {"shorter than a block", Base64Encode(goodBytes.left(bs - 1))},
        {"partial block after whole ones", Base64Encode(goodBytes + "abcd")},
        {"count equal to the block size", withCount(bs)},
        {"count 255", withCount(255)},
        {"wrong key", other.EncryptString(QStringLiteral("hello"))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cipher.DecryptString(c.input), std::nullopt) << c.name;
    EXPECT_EQ(cipher.DecryptBytes(goodBytes.left(bs - 1)), std::nullopt);
    // The largest valid count keeps all but the last byte of the block.
    EXPECT_EQ(cipher.DecryptString(withCount(bs - 1)), QString(bs - 1, 'a'));
}

TEST(LobbyCipher, DecryptRejectsMalformedInput) {
    ExpectMalformedRejected<LobbyCipher>(LobbyCipher::kBlockSize);
}

TEST(LockBoxBlowfish, DecryptRejectsMalformedInput) {
    ExpectMalformedRejected<LockBoxBlowfish>(LockBoxBlowfish::kBlockSize);
}

TEST(Base64, StrictDecoding) {
    const struct {
        const char* text;
        std::optional<QByteArray> bytes;
    } cases[] = {
        {"", QByteArray()},          {"QQ==", QByteArray("A")},  {"QUI=", QByteArray("AB")},
        {"QUJD", QByteArray("ABC")}, {"+/+/", Hex("fbffbf")},    {"QQ=", std::nullopt},
        {"Q===", std::nullopt},      {"QQ=A", std::nullopt},     {"=QQQ", std::nullopt},
        {"QQ==QUJD", std::nullopt},  {"QUI=QUJD", std::nullopt}, {"QU-_", std::nullopt},
        {"QU\tD", std::nullopt},     {"QUJD\n", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Decode(QByteArrayView(c.text)), c.bytes) << c.text;
        EXPECT_EQ(Base64Decode(QStringView(QString::fromLatin1(c.text))), c.bytes) << c.text;
    }
    EXPECT_EQ(Base64Encode(QByteArray(100, 'x')).size(), 136); // no line breaks
}

TEST(LoginTexts, PasswordHash) {
    const struct {
        QString password;
        const char* hash;
    } cases[] = {
        {QStringLiteral("secret"),
         "56abdc0ba23c909e005d48afd6619a65066432b47e6840ebbe19a87a8bbe7aff"
         "2ad2dd425d78f1989bf1bc411281a8c3fd5aa2c8f053c5e40ffb78bf6b26efa3"},
        {QString::fromUtf16(u"Gr\u00FC\u00DFe\u20AC"),
         "efe7ca2ba1b48aea091891a4fdfea76db24bbc13de3da11cb843f787e8473f09"
         "6736bef4e7e4f0d311d767e043ea85e16fe42af5180e1e847caa14c6a341a0e5"},
        {QString(), "4a796d0e6409c69df59a99ddbc72f82dd52af9100e9445877e498b8e5a263c6f"
                    "ceba1d5dd927d0ed5126ecbfed085019f53be2596ede99c2df051286c23da57d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PasswordHash(c.password), QString::fromLatin1(c.hash))
            << c.password.toStdString();
}

TEST(LoginTexts, MachineIdFromMacText) {
    const struct {
        QString macText;
        const char* id;
    } cases[] = {
        {QString(), "qw8tJ6S8PlI%3D"},
        {QStringLiteral("00:1A:2B:3C:4D:5E\r\n08:00:27:F1:E2:D3\r\n"),
         "mz8XFuWGDBCRPG4dkPgEZ%2B4CJxechg5ikT0aHeKNBBeZNWkUqbY%2BVA%3D%3D"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MachineIdFromMacText(c.macText), QString::fromLatin1(c.id));
    EXPECT_EQ(kMachineIdPhrase.size(), 66);
}
