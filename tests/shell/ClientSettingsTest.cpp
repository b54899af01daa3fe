#include "shell/ClientSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

using namespace tarn;

namespace {

using Image = std::array<std::uint8_t, ClientSettingsSize>;

// Writes a short string the way the file stores it: length byte, characters.
void put(Image& img, std::size_t offset, const QByteArray& text) {
    img[offset] = static_cast<std::uint8_t>(text.size());
    std::memcpy(img.data() + offset + 1, text.constData(), static_cast<std::size_t>(text.size()));
}

void putU16(Image& img, std::size_t offset, unsigned value) {
    img[offset] = static_cast<std::uint8_t>(value & 0xFF);
    img[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

QByteArray toBytes(const Image& img) {
    return QByteArray(reinterpret_cast<const char*>(img.data()),
                      static_cast<qsizetype>(img.size()));
}

QByteArray recordBytes() {
    const auto b = ClientSettings.bytes();
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(f.write(data), data.size());
}

// What the account window does at creation with the settings.
void startUp() {
    LoadClientSettings();
    if (!ClientSettingsExist())
        ApplyNewSettingsValues();
    ApplyChatTextDefaults();
    FillChatTextSettings();
}

class ClientSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClientSettingsForTest();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        QString name = QString::fromLatin1(info->test_suite_name()) + QLatin1Char('-') +
                       QString::fromLatin1(info->name());
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        useDataHome(qEnvironmentVariable("TARN_TEST_ROOT") + QStringLiteral("/") + name);
    }
    void TearDown() override { ResetClientSettingsForTest(); }

    void useDataHome(const QString& dir) {
        dataHome = dir;
        qputenv("XDG_DATA_HOME", dir.toUtf8());
    }
    QString folder() const { return dataHome + QStringLiteral("/TARN"); }
    QString file() const { return folder() + QStringLiteral("/ClientSettingsv92.bin"); }
    void prepareFile(const QByteArray& data) {
        ASSERT_TRUE(QDir().mkpath(folder()));
        writeFile(file(), data);
    }
    // The record after a load: DataFolder holds the data folder path, the
    // bytes after it keep what they held.
    void putDataFolder(Image& img) const { put(img, 225, folder().toLatin1()); }

    QString dataHome;
};

TEST_F(ClientSettingsTest, FirstStartWritesNewSettingsAtFirstSave) {
    EXPECT_FALSE(ClientSettingsExist()) << "nothing exists before a load";
    startUp();
    EXPECT_EQ(DataFolderPath, folder());
    EXPECT_TRUE(QFileInfo(folder() + QStringLiteral("/bugreports")).isDir());
    EXPECT_FALSE(ClientSettingsExist());
    EXPECT_FALSE(QFile::exists(file())) << "starting without a save must not create the file";
    EXPECT_EQ(ChatTextSettings.Size, 12);
    EXPECT_EQ(ChatTextSettings.Family, QStringLiteral("Arial"));
    EXPECT_EQ(ChatTextSettings.Color, QStringLiteral("White"));

    ASSERT_TRUE(SaveClientSettings());
    EXPECT_TRUE(ClientSettingsExist());

    Image expected{};
    put(expected, 154, "Transparent");
    putU16(expected, 168, 13);
    expected[171] = 1;
    expected[172] = 1;
    expected[224] = 1;
    putDataFolder(expected);
    putU16(expected, 466, 12);
    put(expected, 468, "White");
    put(expected, 484, "Arial");
    EXPECT_EQ(readFile(file()).toHex(), toBytes(expected).toHex());
}

TEST_F(ClientSettingsTest, LoadCopiesFilePrefixOverPreviousContent) {
    for (const int size : {0, 1, 300, 765, 766, 1000}) {
        SCOPED_TRACE(size);
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
        prepareFile(data);

        ResetClientSettingsForTest();
        std::fill(ClientSettings.bytes().begin(), ClientSettings.bytes().end(), 0xEE);
        LoadClientSettings();

        Image expected;
        expected.fill(0xEE);
        std::memcpy(expected.data(), data.constData(),
                    std::min<std::size_t>(static_cast<std::size_t>(size), expected.size()));
        putDataFolder(expected);
        EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
        EXPECT_TRUE(ClientSettingsExist());
        EXPECT_EQ(readFile(file()), data) << "loading never writes the file";
    }
}

TEST_F(ClientSettingsTest, ShortFileGetsChatDefaultsButNotNewSettings) {
    Image full{};
    put(full, 0, QByteArray(128, 'f'));
    put(full, 129, "player");
    putU16(full, 146, 1000);
    putU16(full, 148, 2000);
    putU16(full, 150, 3000);
    putU16(full, 152, 4000);
    put(full, 154, "Jet");
    putU16(full, 168, 5);
    full[170] = 2; // any non-zero byte reads true
    full[171] = 0;
    full[172] = 0;
    put(full, 173, "eth0");
    full[224] = 0;
    put(full, 225, QByteArray(120, 'x')); // only partly inside the file
    prepareFile(toBytes(full).left(300));

    startUp();

    EXPECT_EQ(ClientSettings.passwordHash(), QString(128, QLatin1Char('f')));
    EXPECT_EQ(ClientSettings.savedUsername(), QStringLiteral("player"));
    EXPECT_EQ(ClientSettings.nonGamePort(), 1000);
    EXPECT_EQ(ClientSettings.gameTrafficPort(), 2000);
    EXPECT_EQ(ClientSettings.portStartRange(), 3000);
    EXPECT_EQ(ClientSettings.portEndRange(), 4000);
    EXPECT_EQ(ClientSettings.styleName(), QStringLiteral("Jet"));
    EXPECT_EQ(ClientSettings.styleIndex(), 5);
    EXPECT_TRUE(ClientSettings.noSleep());
    EXPECT_FALSE(ClientSettings.showNotifications());
    EXPECT_FALSE(ClientSettings.pmFocus());
    EXPECT_EQ(ClientSettings.adapterName(), QStringLiteral("eth0"));
    EXPECT_FALSE(ClientSettings.spareFlag());
    EXPECT_EQ(ClientSettings.dataFolder(), folder());

    Image expected{};
    std::memcpy(expected.data(), full.data(), 300);
    putDataFolder(expected);
    putU16(expected, 466, 12);
    put(expected, 468, "White");
    put(expected, 484, "Arial");
    EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
    EXPECT_EQ(ChatTextSettings.Size, 12);
}

TEST_F(ClientSettingsTest, RoundTripKeepsEveryByteButDataFolder) {
    for (const int size : {766, 900}) {
        SCOPED_TRACE(size);
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 31 + 11) & 0xFF);
        Image original;
        std::memcpy(original.data(), data.constData(), original.size());
        // Short strings with stale bytes after their length, a colour so
        // that no chat default applies, an older, longer data folder.
        put(original, 154, "Jet");
        put(original, 468, "Red");
        put(original, 225, QByteArray(128, 'o'));
        std::memcpy(data.data(), original.data(), original.size());
        prepareFile(data);

        ResetClientSettingsForTest();
        startUp();
        ASSERT_TRUE(SaveClientSettings());

        Image expected = original;
        putDataFolder(expected);
        EXPECT_EQ(readFile(file()).toHex(), toBytes(expected).toHex());
    }
}

TEST_F(ClientSettingsTest, TextAccessorsCutEncodeAndKeepStaleBytes) {
    struct Case {
        std::size_t offset;
        std::size_t capacity;
        QString (TClientSettings::*get)() const;
        void (TClientSettings::*set)(const QString&);
    };
    const Case cases[] = {
        {0, 128, &TClientSettings::passwordHash, &TClientSettings::setPasswordHash},
        {129, 16, &TClientSettings::savedUsername, &TClientSettings::setSavedUsername},
        {154, 12, &TClientSettings::styleName, &TClientSettings::setStyleName},
        {173, 50, &TClientSettings::adapterName, &TClientSettings::setAdapterName},
        {225, 128, &TClientSettings::dataFolder, &TClientSettings::setDataFolder},
        {354, 15, &TClientSettings::lobbyIPOverride, &TClientSettings::setLobbyIPOverride},
        {370, 15, &TClientSettings::savedFallbackWebIP, &TClientSettings::setSavedFallbackWebIP},
        {468, 15, &TClientSettings::chatFontColor, &TClientSettings::setChatFontColor},
        {484, 15, &TClientSettings::chatFontFamily, &TClientSettings::setChatFontFamily},
        {500, 50, &TClientSettings::pspAdapterName, &TClientSettings::setPspAdapterName},
        {757, 8, &TClientSettings::serverTag, &TClientSettings::setServerTag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        ResetClientSettingsForTest();
        QByteArray longText;
        for (std::size_t i = 0; i < c.capacity + 4; ++i)
            longText.append(static_cast<char>('A' + i % 26));
        (ClientSettings.*c.set)(QString::fromLatin1(longText));

        Image expected{};
        put(expected, c.offset, longText.left(static_cast<qsizetype>(c.capacity)));
        EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
        EXPECT_EQ((ClientSettings.*c.get)(), QString::fromLatin1(longText.left(c.capacity)));

        // A shorter value keeps the rest of the longer one after it; characters
        // outside the code page become '?'.
        (ClientSettings.*c.set)(QStringLiteral("é€日"));
        expected[c.offset] = 3;
        expected[c.offset + 1] = 0xE9;
        expected[c.offset + 2] = 0x80;
        expected[c.offset + 3] = '?';
        EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
        EXPECT_EQ((ClientSettings.*c.get)(), QStringLiteral("é€?"));

        // A damaged length byte reads as the capacity.
        ClientSettings.bytes()[c.offset] = 255;
        EXPECT_EQ((ClientSettings.*c.get)().size(), static_cast<qsizetype>(c.capacity));
    }
}

TEST_F(ClientSettingsTest, NumberAndSwitchAccessorsUseTheirBytes) {
    struct U16Case {
        std::size_t offset;
        quint16 (TClientSettings::*get)() const;
        void (TClientSettings::*set)(quint16);
    };
    const U16Case numbers[] = {
        {146, &TClientSettings::nonGamePort, &TClientSettings::setNonGamePort},
        {148, &TClientSettings::gameTrafficPort, &TClientSettings::setGameTrafficPort},
        {150, &TClientSettings::portStartRange, &TClientSettings::setPortStartRange},
        {152, &TClientSettings::portEndRange, &TClientSettings::setPortEndRange},
        {168, &TClientSettings::styleIndex, &TClientSettings::setStyleIndex},
        {466, &TClientSettings::chatFontSize, &TClientSettings::setChatFontSize},
    };
    for (const U16Case& c : numbers) {
        SCOPED_TRACE(c.offset);
        ResetClientSettingsForTest();
        (ClientSettings.*c.set)(0xBEEF);
        Image expected{};
        putU16(expected, c.offset, 0xBEEF);
        EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
        EXPECT_EQ((ClientSettings.*c.get)(), 0xBEEF);
    }

    struct BoolCase {
        std::size_t offset;
        bool (TClientSettings::*get)() const;
        void (TClientSettings::*set)(bool);
    };
    const BoolCase switches[] = {
        {170, &TClientSettings::noSleep, &TClientSettings::setNoSleep},
        {171, &TClientSettings::showNotifications, &TClientSettings::setShowNotifications},
        {172, &TClientSettings::pmFocus, &TClientSettings::setPmFocus},
        {224, &TClientSettings::spareFlag, &TClientSettings::setSpareFlag},
        {551, &TClientSettings::multiAdapterEnabled, &TClientSettings::setMultiAdapterEnabled},
    };
    for (const BoolCase& c : switches) {
        SCOPED_TRACE(c.offset);
        ResetClientSettingsForTest();
        (ClientSettings.*c.set)(true);
        Image expected{};
        expected[c.offset] = 1;
        EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
        ClientSettings.bytes()[c.offset] = 0x80;
        EXPECT_TRUE((ClientSettings.*c.get)());
        (ClientSettings.*c.set)(false);
        EXPECT_EQ(ClientSettings.bytes()[c.offset], 0);
        EXPECT_FALSE((ClientSettings.*c.get)());
    }
}

TEST_F(ClientSettingsTest, MultiAdapterSlots) {
    for (std::size_t slot = 0; slot < 4; ++slot)
        ClientSettings.setMultiAdapterName(slot, QStringLiteral("if%1").arg(slot));
    ClientSettings.setMultiAdapterName(4, QStringLiteral("ignored"));
    Image expected{};
    for (std::size_t slot = 0; slot < 4; ++slot)
        put(expected, 553 + 51 * slot, QByteArray("if") + QByteArray::number(slot));
    EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
    EXPECT_EQ(ClientSettings.multiAdapterName(3), QStringLiteral("if3"));
    EXPECT_TRUE(ClientSettings.multiAdapterName(4).isEmpty());
}

TEST_F(ClientSettingsTest, DataFolderIsCutAndEncodedButPathKeptWhole) {
    struct Case {
        QString subfolder;
        QString expectedTail; // of the DataFolder field, after the test's own root
    };
    const QString longName = QString(70, QLatin1Char('l'));
    const Case cases[] = {
        {longName + QLatin1Char('/') + longName, QString()},
        {QStringLiteral("daten 日本 é"), QStringLiteral("daten ?? é/TARN")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subfolder.toStdString());
        ResetClientSettingsForTest();
        useDataHome(qEnvironmentVariable("TARN_TEST_ROOT") + QStringLiteral("/") + c.subfolder);
        LoadClientSettings();

        const QString path = dataHome + QStringLiteral("/TARN");
        EXPECT_EQ(DataFolderPath, path);
        EXPECT_TRUE(QFileInfo(path + QStringLiteral("/bugreports")).isDir());
        if (c.expectedTail.isEmpty()) {
            ASSERT_GT(path.size(), 128);
            EXPECT_EQ(ClientSettings.dataFolder(), path.left(128));
        } else {
            EXPECT_EQ(ClientSettings.dataFolder(), qEnvironmentVariable("TARN_TEST_ROOT") +
                                                       QStringLiteral("/") + c.expectedTail);
        }
    }
}

// A file that exists but cannot be read leaves the record as it was: all zero
// but DataFolder and the chat defaults; the new-settings values stay off
// because the file exists.
void expectUnreadableFileStart(const QString& folder) {
    startUp();
    EXPECT_TRUE(ClientSettingsExist());
    Image expected{};
    put(expected, 225, folder.toLatin1());
    putU16(expected, 466, 12);
    put(expected, 468, "White");
    put(expected, 484, "Arial");
    EXPECT_EQ(recordBytes().toHex(), toBytes(expected).toHex());
}

TEST_F(ClientSettingsTest, FileNameTakenByFolderReadsAsUnreadable) {
    ASSERT_TRUE(QDir().mkpath(file()));
    expectUnreadableFileStart(folder());
}

TEST_F(ClientSettingsTest, FileWithoutReadPermissionChangesNothing) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files regardless of their permissions";
    prepareFile(QByteArray(766, '\x01'));
    ASSERT_TRUE(QFile::setPermissions(file(), QFileDevice::Permissions()));
    expectUnreadableFileStart(folder());
}

TEST_F(ClientSettingsTest, SaveReportsFailureAndLeavesNoFile) {
    struct Case {
        const char* what;
        bool load;
        void (*spoil)(const QString& folder, const QString& file);
    };
    const Case cases[] = {
        {"not loaded yet", false, [](const QString&, const QString&) {}},
        {"data folder missing", true,
         [](const QString& folder, const QString&) { QDir(folder).removeRecursively(); }},
        {"file name taken by a folder", true,
         [](const QString&, const QString& file) { QDir().mkpath(file); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetClientSettingsForTest();
        QDir(folder()).removeRecursively();
        if (c.load)
            startUp();
        c.spoil(folder(), file());
        EXPECT_FALSE(SaveClientSettings());
        EXPECT_FALSE(QFileInfo(file()).isFile());
        const QStringList left =
            QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& entry : left)
            EXPECT_TRUE(entry == QStringLiteral("bugreports") ||
                        entry == QStringLiteral("ClientSettingsv92.bin"))
                << "left behind: " << entry.toStdString();
    }
}

TEST_F(ClientSettingsTest, SaveIntoReadOnlyFolderKeepsThePreviousFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into folders regardless of their permissions";
    const QByteArray previous(766, '\x22');
    prepareFile(previous);
    startUp();
    ClientSettings.setSavedUsername(QStringLiteral("someone"));
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    ASSERT_TRUE(QFile::setPermissions(folder(), readOnly));
    const bool saved = SaveClientSettings();
    QFile::setPermissions(folder(), readOnly | QFileDevice::WriteOwner);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(file()), previous);
}

TEST_F(ClientSettingsTest, SaveCutShortKeepsThePreviousFile) {
    const QByteArray previous(766, '\x11');
    prepareFile(previous);
    startUp();
    ClientSettings.setSavedUsername(QStringLiteral("someone"));

    // Files may grow to 100 bytes only: the write fails part-way, as on a
    // full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = SaveClientSettings();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(readFile(file()), previous);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("ClientSettingsv92.bin")});

    ASSERT_TRUE(SaveClientSettings());
    EXPECT_EQ(readFile(file()), recordBytes());
}

} // namespace
