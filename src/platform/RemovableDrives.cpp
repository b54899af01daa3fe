#include "platform/RemovableDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tarn::platform {
namespace {

// The mount table is small; a runaway file must not be read whole.
constexpr qint64 kMaxMountTable = 4 * 1024 * 1024;

QByteArray readSmallFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

// Name of the disk that holds the block device `name` (sdb1 -> sdb, sdb -> sdb).
QString diskOf(const QString& sysRoot, const QString& name) {
    const QString entry = sysRoot + QStringLiteral("/class/block/") + name;
    if (!QFileInfo::exists(entry + QStringLiteral("/partition")))
        return name;
    // The partition's folder lies inside its disk's folder.
    const QString real = QFileInfo(entry).canonicalFilePath();
    if (real.isEmpty())
        return name;
    return QFileInfo(QFileInfo(real).path()).fileName();
}

bool isRemovable(const QString& sysRoot, const QString& disk) {
    const QByteArray flag =
        readSmallFile(sysRoot + QStringLiteral("/block/") + disk + QStringLiteral("/removable"), 16)
            .trimmed();
    return flag == "1";
}

} // namespace

QString DecodeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' &&
            field[i + 3] <= '7') {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(c);
        }
    }
    return QFile::decodeName(out);
}

QStringList RemovableDriveRoots(const QString& procRoot, const QString& sysRoot) {
    QStringList roots;
    const QByteArray table =
        readSmallFile(procRoot + QStringLiteral("/self/mounts"), kMaxMountTable);
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const QString device = DecodeMountField(fields[0]);
        if (!device.startsWith(QStringLiteral("/dev/")))
            continue; // proc, tmpfs, network shares, ...
        // /dev/disk/by-uuid/... and /dev/mapper/... are links to the kernel's name.
        const QString real = QFileInfo(device).canonicalFilePath();
        const QString kernelName = QFileInfo(real.isEmpty() ? device : real).fileName();
        if (kernelName.isEmpty() || !isRemovable(sysRoot, diskOf(sysRoot, kernelName)))
            continue;
        const QString root = DecodeMountField(fields[1]);
        if (!root.isEmpty() && !roots.contains(root))
            roots << root;
    }
    return roots;
}

} // namespace tarn::platform
