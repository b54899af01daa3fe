#pragma once
// Ciphers that must match what the service and the other clients compute
// byte for byte:
//
// - LockBoxDigest, the pass-phrase digest ("LMD") with which the LockBox 2
//   components turn a pass phrase into a key;
// - LobbyCipher: AES-256-ECB under the digest of the login reply's key, with
//   the always-present final block and Base64 text; it encrypts the chat and
//   private-message datagrams;
// - LockBoxBlowfish: the component called Blowfish in LockBox 2.07/2.08, which
//   actually XORs every 8-byte block with a fixed pad derived from the key; it
//   encrypts the machine identifier;
// - MachineIdFromMacText and PasswordHash, the two texts sent at login.
//
// Framing of both string ciphers (block size bs = 16 or 8): all full blocks,
// then always one final block holding the r = length mod bs leftover bytes,
// zeros after them and r in its last byte.
//
// Objects of these classes are not shared between threads; each is used on
// the thread that owns it (the lobby cipher on the main thread).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace tarn {

// ---- The pass-phrase digest and its building blocks ----

// The 4-word mixer of the digest and of its helper cipher.
struct MixWords {
    std::uint32_t a, b, c, d;
    friend bool operator==(const MixWords&, const MixWords&) = default;
};
MixWords LockBoxMix(MixWords w);

// The first 256 bytes of the fractional part of pi, most significant first
// (the Blowfish P-array followed by the first 46 words of S-box 0): the
// digest's starting accumulator and the source of the Blowfish P-array.
const std::array<std::uint8_t, 256>& LockBoxPi256();

// The helper block cipher ("LBC", 16-byte blocks) in the 8-round form the
// digest uses. Round r uses the word pair subkeys[r].
using LbcSubkeys = std::array<std::array<std::uint32_t, 2>, 8>;
LbcSubkeys LbcKeySchedule(std::span<const std::uint8_t, 16> key);
void LbcEncryptBlock(const LbcSubkeys& subkeys, std::span<std::uint8_t, 16> block);

// The digest step by step, so that the intermediate values can be checked.
// Absorb the data, optionally AbsorbPadding() (Finish does it otherwise),
// then Finish once.
class LockBoxDigester {
public:
    LockBoxDigester();

    void Absorb(QByteArrayView data);
    // Absorbs 01 followed by zeros until the register block is full (1 to 8
    // bytes); returns how many bytes that took. Later calls do nothing.
    int AbsorbPadding();
    // Enciphers the accumulator under the register and returns its first n
    // bytes; n is limited to 0..256.
    QByteArray Finish(qsizetype n);

    const std::array<std::uint8_t, 16>& Register() const { return reg_; }
    const std::array<std::uint8_t, 256>& Accumulator() const { return acc_; }

private:
    void AbsorbByte(std::uint8_t x);

    std::array<std::uint8_t, 256> acc_;
    std::array<std::uint8_t, 16> reg_;
    std::size_t accPos_ = 0;
    std::size_t regPos_ = 0;
    int paddingBytes_ = 0; // 0 until the padding is absorbed
};

// LMD(data, n): the first n bytes (0..256) of the digest of data. The keys of
// LockBox's GenerateKey are LockBoxDigest(phrase, 32) for Rijndael-256 and
// LockBoxDigest(phrase, 16) for Blowfish.
QByteArray LockBoxDigest(QByteArrayView data, qsizetype n);

// ---- LbRijndael1: the lobby cipher ----

class LobbyCipher {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kKeySize = 32;

    // Starts with an all-zero key until GenerateKey is called.
    LobbyCipher();
    ~LobbyCipher();
    LobbyCipher(LobbyCipher&&) noexcept;
    LobbyCipher& operator=(LobbyCipher&&) noexcept;
    LobbyCipher(const LobbyCipher&) = delete;
    LobbyCipher& operator=(const LobbyCipher&) = delete;

    // Key = digest of the pass phrase's ANSI bytes, 32 bytes. The cipher
    // contexts are keyed here once, not per message.
    void GenerateKey(const QString& passPhrase);
    void GenerateKeyFromBytes(QByteArrayView passPhraseBytes);
    // Sets a raw 32-byte key; false (key unchanged) for any other size.
    bool SetKey(QByteArrayView key);
    QByteArray Key() const;

    // ANSI bytes of the text, framed and encrypted, as Base64.
    QString EncryptString(const QString& text);
    // nullopt when the text is not strict Base64, decodes to fewer than 16
    // bytes or to a partial block, or the final block's count exceeds 15.
    std::optional<QString> DecryptString(const QString& base64);

    // The same on raw bytes: framed ciphertext of (length div 16 + 1) blocks,
    // and back. EncryptBytes is empty only if the cipher library fails.
    QByteArray EncryptBytes(QByteArrayView plain);
    std::optional<QByteArray> DecryptBytes(QByteArrayView cipher);

private:
    struct Contexts;

    QByteArray key_;
    std::unique_ptr<Contexts> ctx_;
};

// ---- LbBlowfish1: the machine identifier's cipher ----

class LockBoxBlowfish {
public:
    static constexpr int kBlockSize = 8;
    static constexpr int kKeySize = 16;

    // Starts with an all-zero key until GenerateKey is called.
    LockBoxBlowfish();

    void GenerateKey(const QString& passPhrase);
    void GenerateKeyFromBytes(QByteArrayView passPhraseBytes);
    // Sets a raw 16-byte key; false (key unchanged) for any other size.
    bool SetKey(QByteArrayView key);
    QByteArray Key() const;
    // The 8 bytes every block is XORed with.
    QByteArray Pad() const;

    QString EncryptString(const QString& text) const;
    // Same checks as LobbyCipher::DecryptString with 8-byte blocks.
    std::optional<QString> DecryptString(const QString& base64) const;
    QByteArray EncryptBytes(QByteArrayView plain) const;
    std::optional<QByteArray> DecryptBytes(QByteArrayView cipher) const;

private:
    QByteArray key_;
    std::array<std::uint8_t, kBlockSize> pad_{};
};

// ---- Login texts ----

// The fixed pass phrase of the machine identifier's cipher (66 characters).
extern const char kMachineIdPassPhrase[];

// The machine identifier sent as "AuthCode": the adapter MAC text encrypted
// under kMachineIdPassPhrase, as Base64, percent-encoded (every character
// outside A-Z a-z 0-9 - . _ ~, upper-case hex).
QString MachineIdFromMacText(const QString& adapterMacText);

// Lower-case hex SHA-512 (128 characters) of the password's UTF-8 bytes
// followed by the salt "q~7".
QString PasswordHash(const QString& password);

} // namespace tarn
