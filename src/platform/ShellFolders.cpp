#include "ShellFolders.h"

#include <QDir>
#include <QFile>

namespace tarn::platform {
namespace {

QString envFolder(const char* name, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackUnderHome);
}

// The documents folder as xdg-user-dir reports it: XDG_DOCUMENTS_DIR from
// user-dirs.dirs in the configuration folder (a shell assignment such as
// XDG_DOCUMENTS_DIR="$HOME/Dokumente"), else the variable of that name, else
// ~/Documents. Read directly, so no helper program is started or waited for.
QString documentsFolder() {
    const QString home = QDir::homePath();
    QString dir;
    QFile file(envFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) +
               QStringLiteral("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
        for (const QByteArray& raw : lines) {
            const QByteArray line = raw.trimmed();
            if (!line.startsWith("XDG_DOCUMENTS_DIR="))
                continue;
            QString value = QString::fromUtf8(line.mid(int(sizeof("XDG_DOCUMENTS_DIR=")) - 1));
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
                value.endsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            if (value.startsWith(QStringLiteral("$HOME")))
                value = home + value.mid(5);
            dir = value;
        }
    }
    if (dir.isEmpty())
        dir = qEnvironmentVariable("XDG_DOCUMENTS_DIR");
    // A folder that is the home folder itself means "not set up".
    if (!dir.isEmpty() && QDir::isAbsolutePath(dir) &&
        QDir::cleanPath(dir) != QDir::cleanPath(home))
        return QDir::cleanPath(dir);
    return QDir::cleanPath(home + QStringLiteral("/Documents"));
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
