#include "SpecialFolders.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace tarn::platform {
namespace {

QString envFolder(const char* name, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackUnderHome);
}

QString documentsFolder() {
    // xdg-user-dir knows a renamed or translated documents folder.
    QProcess proc;
    proc.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("DOCUMENTS")});
    if (proc.waitForFinished(2000) && proc.exitStatus() == QProcess::NormalExit &&
        proc.exitCode() == 0) {
        const QString dir = QString::fromLocal8Bit(proc.readAllStandardOutput()).trimmed();
        if (!dir.isEmpty() && QDir::isAbsolutePath(dir) && dir != QDir::homePath())
            return QDir::cleanPath(dir);
    }
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/Documents"));
}

QString libraryFolder() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib64", "/usr/lib"}) {
        if (QDir(QString::fromLatin1(dir)).exists())
            return QString::fromLatin1(dir);
    }
    return QStringLiteral("/usr/lib");
}

} // namespace

QString GetSpecialFolder(int csidl) {
    switch (csidl) {
    case CSIDL_PERSONAL:
        return documentsFolder();
    case CSIDL_APPDATA:
        return envFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
    case CSIDL_LOCAL_APPDATA:
        return envFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    case CSIDL_SYSTEM:
        return libraryFolder();
    case CSIDL_PROGRAM_FILES:
        return QStringLiteral("/usr");
    default:
        return {};
    }
}

} // namespace tarn::platform
