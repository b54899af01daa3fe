#include "lobby/LobbyCipher.h"

#include "common/AnsiCodec.h"
#include "common/Base64.h"

#include <QUrl>
#include <QtGlobal>
#include <algorithm>
#include <climits>
#include <cstring>
#include <openssl/evp.h>

namespace tarn {
namespace {

std::uint32_t LoadLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint32_t LoadBE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

void StoreLE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

const std::uint8_t* Bytes(QByteArrayView v) {
    return reinterpret_cast<const std::uint8_t*>(v.data());
}

// Pi's fraction as 64 big-endian words: the 18 words of the Blowfish P-array,
// then the first 46 words of Blowfish S-box 0.
constexpr std::array<std::uint32_t, 64> kPiWords = {
    0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344, 0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89,
    0x452821E6, 0x38D01377, 0xBE5466CF, 0x34E90C6C, 0xC0AC29B7, 0xC97C50DD, 0x3F84D5B5, 0xB5470917,
    0x9216D5D9, 0x8979FB1B, 0xD1310BA6, 0x98DFB5AC, 0x2FFD72DB, 0xD01ADFB7, 0xB8E1AFED, 0x6A267E96,
    0xBA7C9045, 0xF12C7F99, 0x24A19947, 0xB3916CF7, 0x0801F2E2, 0x858EFC16, 0x636920D8, 0x71574E69,
    0xA458FEA3, 0xF4933D7E, 0x0D95748F, 0x728EB658, 0x718BCD58, 0x82154AEE, 0x7B54A41D, 0xC25A59B5,
    0x9C30D539, 0x2AF26013, 0xC5D1B023, 0x286085F0, 0xCA417918, 0xB8DB38EF, 0x8E79DCB0, 0x603A180E,
    0x6C9E0E8B, 0xB01E8A3E, 0xD71577C1, 0xBD314B27, 0x78AF2FDA, 0x55605C60, 0xE65525F3, 0xAA55AB94,
    0x57489862, 0x63E81440, 0x55CA396A, 0x2AAB10B6, 0xB4CC5C34, 0x1141E8CE, 0xA15486AF, 0x7C72E993,
};
constexpr std::size_t kBlowfishPWords = 18;

constexpr std::array<std::uint8_t, 256> MakePi256() {
    std::array<std::uint8_t, 256> out{};
    for (std::size_t i = 0; i < kPiWords.size(); ++i) {
        out[4 * i] = static_cast<std::uint8_t>(kPiWords[i] >> 24);
        out[4 * i + 1] = static_cast<std::uint8_t>(kPiWords[i] >> 16);
        out[4 * i + 2] = static_cast<std::uint8_t>(kPiWords[i] >> 8);
        out[4 * i + 3] = static_cast<std::uint8_t>(kPiWords[i]);
    }
    return out;
}
constexpr std::array<std::uint8_t, 256> kPi256 = MakePi256();

constexpr std::array<std::uint32_t, 4> kLbcSalt = {0x55555555, 0xAAAAAAAA, 0x33333333, 0xCCCCCCCC};

// Framed plaintext: the full blocks, then the final block with the leftover
// bytes, zero fill and the leftover count in its last byte.
QByteArray Frame(QByteArrayView plain, int bs) {
    const qsizetype full = plain.size() / bs * bs;
    const int rest = static_cast<int>(plain.size() - full);
    QByteArray out(full + bs, '\0');
    std::copy(plain.begin(), plain.end(), out.begin());
    out[out.size() - 1] = static_cast<char>(rest);
    return out;
}

// Drops the final block's fill; nullopt when its count cannot be right.
std::optional<QByteArray> Unframe(QByteArray decrypted, int bs) {
    const int rest = static_cast<std::uint8_t>(decrypted.back());
    if (rest > bs - 1)
        return std::nullopt;
    decrypted.truncate(decrypted.size() - bs + rest);
    return decrypted;
}

bool IsWholeBlocks(QByteArrayView cipher, int bs) {
    return cipher.size() >= bs && cipher.size() % bs == 0;
}

} // namespace

// ---- Digest ----

MixWords LockBoxMix(MixWords w) {
    auto& [a, b, c, d] = w;
    a += d, d += a, a ^= a >> 7;
    b += a, a += b, b ^= b << 13;
    c += b, b += c, c ^= c >> 17;
    d += c, c += d, d ^= d << 9;
    a += d, d += a, a ^= a >> 3;
    b += a, a += b, b ^= b << 7;
    c += b, b += c, c ^= d >> 15; // shifts d, not c: the digest is defined this way
    d += c, c += d, d ^= d << 11;
    return w;
}

const std::array<std::uint8_t, 256>& LockBoxPi256() {
    return kPi256;
}

LbcSubkeys LbcKeySchedule(std::span<const std::uint8_t, 16> key) {
    const std::uint32_t k[4] = {LoadLE32(&key[0]), LoadLE32(&key[4]), LoadLE32(&key[8]),
                                LoadLE32(&key[12])};
    LbcSubkeys out{};
    // Each salt group yields four round keys; 8 rounds need the first two groups.
    for (std::size_t g = 0; g < 2; ++g) {
        const std::uint32_t s = kLbcSalt[g];
        std::uint32_t A = k[0], B = s, C = k[1], D = s, E = k[2], F = s, G = k[3], H = s;
        for (int i = 0; i < 8; ++i) {
            A ^= B << 11, D += A, B += C;
            B ^= C >> 2, E += B, C += D;
            C ^= D << 8, F += C, D += E;
            D ^= E >> 16, G += D, E += F;
            E ^= F << 10, H += E, F += G;
            F ^= G >> 4, A += F, G += H;
            G ^= H << 8, B += G, H += A;
            H ^= A >> 9, C += H, A += B;
        }
        out[4 * g] = {A, B};
        out[4 * g + 1] = {C, D};
        out[4 * g + 2] = {E, F};
        out[4 * g + 3] = {G, H};
    }
    return out;
}

void LbcEncryptBlock(const LbcSubkeys& subkeys, std::span<std::uint8_t, 16> block) {
    std::uint32_t r0 = LoadLE32(&block[0]), r1 = LoadLE32(&block[4]);
    std::uint32_t l0 = LoadLE32(&block[8]), l1 = LoadLE32(&block[12]);
    for (const auto& sk : subkeys) {
        MixWords m = LockBoxMix({r0, sk[0], r1, sk[1]});
        m = LockBoxMix({m.c, m.d, m.a, m.b});
        const std::uint32_t t0 = l0 ^ m.a ^ m.b;
        const std::uint32_t t1 = l1 ^ m.c ^ m.d;
        l0 = r0, l1 = r1;
        r0 = t0, r1 = t1;
    }
    StoreLE32(&block[0], l0);
    StoreLE32(&block[4], l1);
    StoreLE32(&block[8], r0);
    StoreLE32(&block[12], r1);
}

LockBoxDigester::LockBoxDigester() : acc_(kPi256) {
    reg_.fill(0x55);
}

void LockBoxDigester::AbsorbByte(std::uint8_t x) {
    acc_[accPos_] ^= x;
    accPos_ = (accPos_ + 1) % acc_.size();
    reg_[regPos_] ^= x;
    // Only the first half of the register takes bytes; each full half mixes
    // the whole register.
    if (++regPos_ == 8) {
        const std::uint8_t* r = reg_.data();
        MixWords m{LoadLE32(r + 12), LoadLE32(r + 8), LoadLE32(r + 4), LoadLE32(r)};
        for (int i = 0; i < 4; ++i)
            m = LockBoxMix(m);
        StoreLE32(reg_.data(), m.a);
        StoreLE32(reg_.data() + 4, m.b);
        StoreLE32(reg_.data() + 8, m.c);
        StoreLE32(reg_.data() + 12, m.d);
        regPos_ = 0;
    }
}

void LockBoxDigester::Absorb(QByteArrayView data) {
    Q_ASSERT(paddingBytes_ == 0);
    if (paddingBytes_ != 0)
        return;
    for (const char ch : data)
        AbsorbByte(static_cast<std::uint8_t>(ch));
}

int LockBoxDigester::AbsorbPadding() {
    if (paddingBytes_ != 0)
        return paddingBytes_;
    std::uint8_t x = 0x01;
    do {
        AbsorbByte(x);
        x = 0;
        ++paddingBytes_;
    } while (regPos_ != 0);
    return paddingBytes_;
}

QByteArray LockBoxDigester::Finish(qsizetype n) {
    AbsorbPadding();
    const LbcSubkeys subkeys = LbcKeySchedule(reg_);
    std::array<std::uint8_t, 256> out = acc_;
    for (std::size_t i = 0; i < out.size(); i += 16)
        LbcEncryptBlock(subkeys, std::span<std::uint8_t, 16>(out.data() + i, 16));
    n = std::clamp<qsizetype>(n, 0, static_cast<qsizetype>(out.size()));
    return QByteArray(reinterpret_cast<const char*>(out.data()), n);
}

QByteArray LockBoxDigest(QByteArrayView data, qsizetype n) {
    LockBoxDigester digester;
    digester.Absorb(data);
    return digester.Finish(n);
}

// ---- LobbyCipher ----

struct LobbyCipher::Contexts {
    EVP_CIPHER_CTX* encrypt = EVP_CIPHER_CTX_new();
    EVP_CIPHER_CTX* decrypt = EVP_CIPHER_CTX_new();
    bool keyed = false;

    ~Contexts() {
        EVP_CIPHER_CTX_free(encrypt);
        EVP_CIPHER_CTX_free(decrypt);
    }

    // Whole blocks in place; ECB keeps no state between calls.
    bool Run(EVP_CIPHER_CTX* ctx, QByteArray& data) const {
        if (!keyed || data.size() > INT_MAX)
            return false;
        auto* p = reinterpret_cast<unsigned char*>(data.data());
        int outLen = 0;
        return EVP_CipherUpdate(ctx, p, &outLen, p, static_cast<int>(data.size())) == 1 &&
               outLen == data.size();
    }
};

LobbyCipher::LobbyCipher() : ctx_(std::make_unique<Contexts>()) {
    SetKey(QByteArray(kKeySize, '\0'));
}

LobbyCipher::~LobbyCipher() = default;
LobbyCipher::LobbyCipher(LobbyCipher&&) noexcept = default;
LobbyCipher& LobbyCipher::operator=(LobbyCipher&&) noexcept = default;

bool LobbyCipher::SetKey(QByteArrayView key) {
    if (key.size() != kKeySize)
        return false;
    key_ = key.toByteArray();
    if (!ctx_)
        ctx_ = std::make_unique<Contexts>();
    const auto* k = reinterpret_cast<const unsigned char*>(key_.constData());
    ctx_->keyed = ctx_->encrypt && ctx_->decrypt &&
                  EVP_EncryptInit_ex(ctx_->encrypt, EVP_aes_256_ecb(), nullptr, k, nullptr) == 1 &&
                  EVP_DecryptInit_ex(ctx_->decrypt, EVP_aes_256_ecb(), nullptr, k, nullptr) == 1 &&
                  EVP_CIPHER_CTX_set_padding(ctx_->encrypt, 0) == 1 &&
                  EVP_CIPHER_CTX_set_padding(ctx_->decrypt, 0) == 1;
    return true;
}

void LobbyCipher::GenerateKey(const QString& passPhrase) {
    GenerateKeyFromBytes(AnsiFromString(passPhrase));
}

void LobbyCipher::GenerateKeyFromBytes(QByteArrayView passPhraseBytes) {
    SetKey(LockBoxDigest(passPhraseBytes, kKeySize));
}

QByteArray LobbyCipher::Key() const {
    return key_;
}

QByteArray LobbyCipher::EncryptBytes(QByteArrayView plain) {
    QByteArray data = Frame(plain, kBlockSize);
    if (!ctx_ || !ctx_->Run(ctx_->encrypt, data))
        return {};
    return data;
}

std::optional<QByteArray> LobbyCipher::DecryptBytes(QByteArrayView cipher) {
    if (!IsWholeBlocks(cipher, kBlockSize))
        return std::nullopt;
    QByteArray data = cipher.toByteArray();
    if (!ctx_ || !ctx_->Run(ctx_->decrypt, data))
        return std::nullopt;
    return Unframe(std::move(data), kBlockSize);
}

QString LobbyCipher::EncryptString(const QString& text) {
    return Base64Encode(EncryptBytes(AnsiFromString(text)));
}

std::optional<QString> LobbyCipher::DecryptString(const QString& base64) {
    const std::optional<QByteArray> cipher = Base64Decode(QStringView(base64));
    if (!cipher)
        return std::nullopt;
    const std::optional<QByteArray> plain = DecryptBytes(*cipher);
    if (!plain)
        return std::nullopt;
    return StringFromAnsi(*plain);
}

// ---- LockBoxBlowfish ----

LockBoxBlowfish::LockBoxBlowfish() {
    SetKey(QByteArray(kKeySize, '\0'));
}

// The block routine of this Blowfish applies every round's F-function to a
// copy of the input, so the rounds cancel and a block is only XORed with the
// XOR of the even and of the odd P-array entries. The key schedule runs
// through that same routine; what remains of it is computed here.
bool LockBoxBlowfish::SetKey(QByteArrayView key) {
    if (key.size() != kKeySize)
        return false;
    key_ = key.toByteArray();
    const std::uint8_t* k = Bytes(key_);
    std::array<std::uint32_t, kBlowfishPWords> p{};
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = kPiWords[i] ^ LoadBE32(k + 4 * (i % 4));
    auto evenXor = [&p] {
        std::uint32_t x = 0;
        for (std::size_t i = 0; i < p.size(); i += 2)
            x ^= p[i];
        return x;
    };
    auto oddXor = [&p] {
        std::uint32_t x = 0;
        for (std::size_t i = 1; i < p.size(); i += 2)
            x ^= p[i];
        return x;
    };
    std::uint32_t left = 0, right = 0;
    for (std::size_t i = 0; i < p.size(); i += 2) {
        left ^= evenXor();
        right ^= oddXor();
        p[i] = left;
        p[i + 1] = right;
    }
    // The halves are little-endian words; block byte 0 is the low byte of the left half.
    StoreLE32(pad_.data(), evenXor());
    StoreLE32(pad_.data() + 4, oddXor());
    return true;
}

void LockBoxBlowfish::GenerateKey(const QString& passPhrase) {
    GenerateKeyFromBytes(AnsiFromString(passPhrase));
}

void LockBoxBlowfish::GenerateKeyFromBytes(QByteArrayView passPhraseBytes) {
    SetKey(LockBoxDigest(passPhraseBytes, kKeySize));
}

QByteArray LockBoxBlowfish::Key() const {
    return key_;
}

QByteArray LockBoxBlowfish::Pad() const {
    return QByteArray(reinterpret_cast<const char*>(pad_.data()), kBlockSize);
}

QByteArray LockBoxBlowfish::EncryptBytes(QByteArrayView plain) const {
    QByteArray data = Frame(plain, kBlockSize);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(data[i] ^ pad_[i % kBlockSize]);
    return data;
}

std::optional<QByteArray> LockBoxBlowfish::DecryptBytes(QByteArrayView cipher) const {
    if (!IsWholeBlocks(cipher, kBlockSize))
        return std::nullopt;
    QByteArray data = cipher.toByteArray();
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(data[i] ^ pad_[i % kBlockSize]);
    return Unframe(std::move(data), kBlockSize);
}

QString LockBoxBlowfish::EncryptString(const QString& text) const {
    return Base64Encode(EncryptBytes(AnsiFromString(text)));
}

std::optional<QString> LockBoxBlowfish::DecryptString(const QString& base64) const {
    const std::optional<QByteArray> cipher = Base64Decode(QStringView(base64));
    if (!cipher)
        return std::nullopt;
    const std::optional<QByteArray> plain = DecryptBytes(*cipher);
    if (!plain)
        return std::nullopt;
    return StringFromAnsi(*plain);
}

// ---- Login texts ----

const char kMachineIdPassPhrase[] =
    "Tq4mWx7e-Kb2NcRzPuHaLs(Yo#DgFjVn#EiMwQyBt*Zr(XkCaSe5hplomGUdIvrTwb";

QString MachineIdFromMacText(const QString& adapterMacText) {
    static const LockBoxBlowfish cipher = [] {
        LockBoxBlowfish c;
        c.GenerateKeyFromBytes(
            QByteArrayView(kMachineIdPassPhrase, std::strlen(kMachineIdPassPhrase)));
        return c;
    }();
    // Base64 is ASCII, so its UTF-8 form is the text itself; QUrl leaves exactly
    // the unreserved characters alone and writes upper-case hex.
    return QString::fromLatin1(QUrl::toPercentEncoding(cipher.EncryptString(adapterMacText)));
}

QString PasswordHash(const QString& password) {
    const QByteArray data = password.toUtf8() + QByteArrayLiteral("q~7");
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.constData(), static_cast<std::size_t>(data.size()), digest, &size,
                   EVP_sha512(), nullptr) != 1)
        return {};
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(size)).toHex());
}

} // namespace tarn
