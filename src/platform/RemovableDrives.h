#pragma once
// Mounted filesystems that live on removable disks (USB flash drives, card
// readers): the counterpart of the removable logical drives of Windows.

#include <QString>
#include <QStringList>

namespace tarn::platform {

// Mount roots, in the order of the mount table, of every mounted filesystem
// whose block device (a partition resolved to its disk) is marked removable.
// procRoot and sysRoot are the roots of the proc and sys filesystems.
QStringList RemovableDriveRoots(const QString& procRoot = QStringLiteral("/proc"),
                                const QString& sysRoot = QStringLiteral("/sys"));

// A mount table field with its octal escapes (\040 for a blank, ...) decoded.
QString DecodeMountField(const QByteArray& field);

} // namespace tarn::platform
