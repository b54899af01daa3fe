#pragma once
// The client settings store: one 766-byte record of persistent settings,
// mirrored byte for byte by "ClientSettingsv92.bin" in the data folder. The
// record layout is the file format: no header, no version, no checksum.
//
// Everything here is used on the main thread only; no lock is taken.

#include "common/ShortString.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarn {

inline constexpr std::size_t ClientSettingsSize = 766;
inline constexpr const char* ClientSettingsFileName = "ClientSettingsv92.bin";

// Field kinds of the record. Every member is made of single bytes, so the
// record has no padding of the compiler's and its size and offsets are the
// file's. Integers are stored little-endian whatever the host is; a Boolean
// is one byte, any non-zero value reads as true and true is written as 1.
template <std::size_t Capacity> using ShortStringField = std::array<std::uint8_t, Capacity + 1>;
using U16Field = std::array<std::uint8_t, 2>;
using BoolField = std::uint8_t;

struct TClientSettings {
    ShortStringField<128> PasswordHash;      // 0
    ShortStringField<16> SavedUsername;      // 129
    U16Field NonGamePort;                    // 146
    U16Field GameTrafficPort;                // 148
    U16Field PortStartRange;                 // 150
    U16Field PortEndRange;                   // 152
    ShortStringField<12> StyleName;          // 154
    std::uint8_t Padding;                    // 167, alignment byte of the stored layout
    U16Field StyleIndex;                     // 168
    BoolField NoSleep;                       // 170
    BoolField ShowNotifications;             // 171
    BoolField PmFocus;                       // 172
    ShortStringField<50> AdapterName;        // 173
    BoolField SpareFlag;                     // 224
    ShortStringField<128> DataFolder;        // 225
    ShortStringField<15> LobbyIPOverride;    // 354
    ShortStringField<15> SavedFallbackWebIP; // 370
    std::array<std::uint8_t, 80> SpareArea;  // 386
    U16Field ChatFontSize;                   // 466
    ShortStringField<15> ChatFontColor;      // 468
    ShortStringField<15> ChatFontFamily;     // 484
    ShortStringField<50> PspAdapterName;     // 500
    BoolField MultiAdapterEnabled;           // 551
    std::uint8_t SpareByte;                  // 552
    std::array<ShortStringField<50>, 4> MultiAdapterNames; // 553
    ShortStringField<8> ServerTag;                         // 757

    // The record as raw bytes, in file order.
    std::span<std::uint8_t, ClientSettingsSize> bytes() {
        return std::span<std::uint8_t, ClientSettingsSize>(reinterpret_cast<std::uint8_t*>(this),
                                                           ClientSettingsSize);
    }
    std::span<const std::uint8_t, ClientSettingsSize> bytes() const {
        return std::span<const std::uint8_t, ClientSettingsSize>(
            reinterpret_cast<const std::uint8_t*>(this), ClientSettingsSize);
    }

    QString passwordHash() const { return ReadShortString(PasswordHash); }
    void setPasswordHash(const QString& v) { WriteShortString(PasswordHash, v); }
    QString savedUsername() const { return ReadShortString(SavedUsername); }
    void setSavedUsername(const QString& v) { WriteShortString(SavedUsername, v); }

    quint16 nonGamePort() const { return readU16(NonGamePort); }
    void setNonGamePort(quint16 v) { writeU16(NonGamePort, v); }
    quint16 gameTrafficPort() const { return readU16(GameTrafficPort); }
    void setGameTrafficPort(quint16 v) { writeU16(GameTrafficPort, v); }
    quint16 portStartRange() const { return readU16(PortStartRange); }
    void setPortStartRange(quint16 v) { writeU16(PortStartRange, v); }
    quint16 portEndRange() const { return readU16(PortEndRange); }
    void setPortEndRange(quint16 v) { writeU16(PortEndRange, v); }

    QString styleName() const { return ReadShortString(StyleName); }
    void setStyleName(const QString& v) { WriteShortString(StyleName, v); }
    quint16 styleIndex() const { return readU16(StyleIndex); }
    void setStyleIndex(quint16 v) { writeU16(StyleIndex, v); }

    bool noSleep() const { return NoSleep != 0; }
    void setNoSleep(bool v) { NoSleep = v ? 1 : 0; }
    bool showNotifications() const { return ShowNotifications != 0; }
    void setShowNotifications(bool v) { ShowNotifications = v ? 1 : 0; }
    bool pmFocus() const { return PmFocus != 0; }
    void setPmFocus(bool v) { PmFocus = v ? 1 : 0; }

    QString adapterName() const { return ReadShortString(AdapterName); }
    void setAdapterName(const QString& v) { WriteShortString(AdapterName, v); }
    bool spareFlag() const { return SpareFlag != 0; }
    void setSpareFlag(bool v) { SpareFlag = v ? 1 : 0; }
    QString dataFolder() const { return ReadShortString(DataFolder); }
    void setDataFolder(const QString& v) { WriteShortString(DataFolder, v); }
    QString lobbyIPOverride() const { return ReadShortString(LobbyIPOverride); }
    void setLobbyIPOverride(const QString& v) { WriteShortString(LobbyIPOverride, v); }
    QString savedFallbackWebIP() const { return ReadShortString(SavedFallbackWebIP); }
    void setSavedFallbackWebIP(const QString& v) { WriteShortString(SavedFallbackWebIP, v); }

    quint16 chatFontSize() const { return readU16(ChatFontSize); }
    void setChatFontSize(quint16 v) { writeU16(ChatFontSize, v); }
    QString chatFontColor() const { return ReadShortString(ChatFontColor); }
    void setChatFontColor(const QString& v) { WriteShortString(ChatFontColor, v); }
    QString chatFontFamily() const { return ReadShortString(ChatFontFamily); }
    void setChatFontFamily(const QString& v) { WriteShortString(ChatFontFamily, v); }

    QString pspAdapterName() const { return ReadShortString(PspAdapterName); }
    void setPspAdapterName(const QString& v) { WriteShortString(PspAdapterName, v); }
    bool multiAdapterEnabled() const { return MultiAdapterEnabled != 0; }
    void setMultiAdapterEnabled(bool v) { MultiAdapterEnabled = v ? 1 : 0; }
    // Slots 0 to 3; another slot reads as empty and is not written.
    QString multiAdapterName(std::size_t slot) const {
        return slot < MultiAdapterNames.size() ? ReadShortString(MultiAdapterNames[slot])
                                               : QString();
    }
    void setMultiAdapterName(std::size_t slot, const QString& v) {
        if (slot < MultiAdapterNames.size())
            WriteShortString(MultiAdapterNames[slot], v);
    }

    QString serverTag() const { return ReadShortString(ServerTag); }
    void setServerTag(const QString& v) { WriteShortString(ServerTag, v); }

private:
    static quint16 readU16(const U16Field& f) {
        return static_cast<quint16>(f[0] | (static_cast<unsigned>(f[1]) << 8));
    }
    static void writeU16(U16Field& f, quint16 v) {
        f[0] = static_cast<std::uint8_t>(v & 0xFF);
        f[1] = static_cast<std::uint8_t>(v >> 8);
    }
};

static_assert(sizeof(TClientSettings) == ClientSettingsSize);
static_assert(alignof(TClientSettings) == 1);
static_assert(offsetof(TClientSettings, PasswordHash) == 0);
static_assert(offsetof(TClientSettings, SavedUsername) == 129);
static_assert(offsetof(TClientSettings, NonGamePort) == 146);
static_assert(offsetof(TClientSettings, GameTrafficPort) == 148);
static_assert(offsetof(TClientSettings, PortStartRange) == 150);
static_assert(offsetof(TClientSettings, PortEndRange) == 152);
static_assert(offsetof(TClientSettings, StyleName) == 154);
static_assert(offsetof(TClientSettings, Padding) == 167);
static_assert(offsetof(TClientSettings, StyleIndex) == 168);
static_assert(offsetof(TClientSettings, NoSleep) == 170);
static_assert(offsetof(TClientSettings, ShowNotifications) == 171);
static_assert(offsetof(TClientSettings, PmFocus) == 172);
static_assert(offsetof(TClientSettings, AdapterName) == 173);
static_assert(offsetof(TClientSettings, SpareFlag) == 224);
static_assert(offsetof(TClientSettings, DataFolder) == 225);
static_assert(offsetof(TClientSettings, LobbyIPOverride) == 354);
static_assert(offsetof(TClientSettings, SavedFallbackWebIP) == 370);
static_assert(offsetof(TClientSettings, SpareArea) == 386);
static_assert(offsetof(TClientSettings, ChatFontSize) == 466);
static_assert(offsetof(TClientSettings, ChatFontColor) == 468);
static_assert(offsetof(TClientSettings, ChatFontFamily) == 484);
static_assert(offsetof(TClientSettings, PspAdapterName) == 500);
static_assert(offsetof(TClientSettings, MultiAdapterEnabled) == 551);
static_assert(offsetof(TClientSettings, SpareByte) == 552);
static_assert(offsetof(TClientSettings, MultiAdapterNames) == 553);
static_assert(sizeof(TClientSettings::MultiAdapterNames) == 204);
static_assert(offsetof(TClientSettings, ServerTag) == 757);

// Size, family and colour of chat and private message text, filled from the
// record's chat fields.
struct TChatTextSettings {
    quint16 Size = 0;
    QString Family;
    QString Color;
};

// The one settings record of the program; all zero until loaded.
extern TClientSettings ClientSettings;
// The data folder: local application data + "/TARN"; empty until loaded.
extern QString DataFolderPath;
extern TChatTextSettings ChatTextSettings;

// Computes DataFolderPath, creates it and its "bugreports" subfolder (errors
// ignored), copies the first min(766, file size) bytes of the settings file
// over the start of the record (bytes beyond keep their content; an
// unreadable file changes nothing) and sets DataFolder to DataFolderPath.
void LoadClientSettings();

// True if the settings file exists in DataFolderPath (false before a load).
bool ClientSettingsExist();

// The settings file's path; empty before a load.
QString ClientSettingsFilePath();

// Writes the whole record to the settings file, replacing it. The new file
// takes the old one's place only once it is written completely, so a failed
// save leaves the previous file as it was. Returns whether the save worked.
bool SaveClientSettings();

// Values of a first start without a settings file. Nothing is saved.
void ApplyNewSettingsValues();

// If ChatFontColor is empty: "White", 12, "Arial". Nothing is saved.
void ApplyChatTextDefaults();

// ChatTextSettings := ChatFontSize, ChatFontFamily, ChatFontColor.
void FillChatTextSettings();

// Back to the state before any load: record zero, DataFolderPath and
// ChatTextSettings empty. For tests that need independent starts.
void ResetClientSettingsForTest();

} // namespace tarn
