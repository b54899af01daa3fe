#include "shell/ClientSettings.h"

#include "platform/ShellFolders.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tarn {

static_assert(std::is_trivially_copyable_v<TClientSettings>);
static_assert(std::is_standard_layout_v<TClientSettings>);

TClientSettings ClientSettings{};
QString DataFolderPath;
TChatTextSettings ChatTextSettings;

namespace {

void createFolderIfMissing(const QString& path) {
    if (!QDir(path).exists())
        QDir().mkpath(path); // a failure shows later as files that are not found
}

} // namespace

QString ClientSettingsFilePath() {
    if (DataFolderPath.isEmpty())
        return {};
    return DataFolderPath + QLatin1Char('/') + QLatin1String(ClientSettingsFileName);
}

void LoadClientSettings() {
    DataFolderPath =
        platform::GetSpecialFolder(platform::CSIDL_LOCAL_APPDATA) + QStringLiteral("/TARN");
    createFolderIfMissing(DataFolderPath);
    createFolderIfMissing(DataFolderPath + QStringLiteral("/bugreports"));

    const QString path = ClientSettingsFilePath();
    if (QFile::exists(path)) {
        // Only the record's size is ever read: a longer file's excess is
        // ignored, and a huge file costs no memory.
        QFile file(path);
        QByteArray data;
        if (file.open(QIODevice::ReadOnly)) {
            data = file.read(static_cast<qint64>(ClientSettingsSize));
            if (file.error() != QFileDevice::NoError)
                data.clear(); // a read error leaves the record as it was
        }
        const std::size_t count =
            std::min(ClientSettingsSize, static_cast<std::size_t>(data.size()));
        if (count > 0)
            std::memcpy(ClientSettings.bytes().data(), data.constData(), count);
    }

    ClientSettings.setDataFolder(DataFolderPath);
}

bool ClientSettingsExist() {
    const QString path = ClientSettingsFilePath();
    return !path.isEmpty() && QFile::exists(path);
}

bool SaveClientSettings() {
    const QString path = ClientSettingsFilePath();
    if (path.isEmpty())
        return false;
    // QSaveFile writes a temporary file beside the target and renames it over
    // the target on commit; on any failure the temporary file is removed.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto record = ClientSettings.bytes();
    const qint64 size = static_cast<qint64>(record.size());
    // An uncommitted QSaveFile discards its temporary file. The explicit flush
    // matters: commit() alone lets a short write of the buffered data pass
    // and would put a truncated file in place.
    if (file.write(reinterpret_cast<const char*>(record.data()), size) != size || !file.flush())
        return false;
    return file.commit();
}

void ApplyNewSettingsValues() {
    ClientSettings.setShowNotifications(true);
    ClientSettings.setSpareFlag(true);
    ClientSettings.setAdapterName(QString());
    ClientSettings.setPmFocus(true);
    ClientSettings.setGameTrafficPort(0);
    ClientSettings.setNonGamePort(0);
    ClientSettings.setStyleIndex(13);
    ClientSettings.setStyleName(QStringLiteral("Transparent"));
}

void ApplyChatTextDefaults() {
    if (!ClientSettings.chatFontColor().isEmpty())
        return;
    ClientSettings.setChatFontColor(QStringLiteral("White"));
    ClientSettings.setChatFontSize(12);
    ClientSettings.setChatFontFamily(QStringLiteral("Arial"));
}

void FillChatTextSettings() {
    ChatTextSettings.Size = ClientSettings.chatFontSize();
    ChatTextSettings.Family = ClientSettings.chatFontFamily();
    ChatTextSettings.Color = ClientSettings.chatFontColor();
}

void ResetClientSettingsForTest() {
    ClientSettings = TClientSettings{};
    DataFolderPath.clear();
    ChatTextSettings = TChatTextSettings{};
}

} // namespace tarn
