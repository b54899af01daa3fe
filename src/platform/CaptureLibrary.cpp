#include "platform/CaptureLibrary.h"

#include <QFile>

#include <dlfcn.h>

namespace tarn::platform {
namespace {

// ID and ID_LIKE of an os-release file: shell-style KEY=value lines, values
// optionally quoted.
QStringList distributionIds(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList ids;
    QStringList likes;
    // os-release files are a few hundred bytes; read no more than a page.
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq);
        QByteArray value = line.mid(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        const QString text = QString::fromUtf8(value).toLower();
        if (key == "ID")
            ids = QStringList{text};
        else if (key == "ID_LIKE")
            likes = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return ids + likes;
}

struct Installer {
    const char* id;
    QStringList command;
};

} // namespace

bool CaptureLibraryLoadable() {
    for (const char* name : {"libpcap.so.1", "libpcap.so.0.8"}) {
        if (void* handle = ::dlopen(name, RTLD_LAZY | RTLD_LOCAL)) {
            ::dlclose(handle);
            return true;
        }
    }
    return false;
}

QStringList CaptureLibraryInstallCommand(const QString& osReleasePath) {
    QStringList ids;
    if (osReleasePath.isEmpty()) {
        ids = distributionIds(QStringLiteral("/etc/os-release"));
        if (ids.isEmpty())
            ids = distributionIds(QStringLiteral("/usr/lib/os-release"));
    } else {
        ids = distributionIds(osReleasePath);
    }
    static const Installer installers[] = {
        {"debian", {"apt-get", "install", "-y", "libpcap0.8"}},
        {"ubuntu", {"apt-get", "install", "-y", "libpcap0.8"}},
        {"fedora", {"dnf", "install", "-y", "libpcap"}},
        {"rhel", {"dnf", "install", "-y", "libpcap"}},
        {"arch", {"pacman", "-S", "--noconfirm", "libpcap"}},
    };
    // ID first, then ID_LIKE from the closest relative on.
    for (const QString& id : ids) {
        for (const Installer& installer : installers) {
            if (id == QLatin1String(installer.id))
                return installer.command;
        }
    }
    return {};
}

QString CaptureLibraryProjectUrl() {
    return QStringLiteral("https://www.tcpdump.org/");
}

} // namespace tarn::platform
