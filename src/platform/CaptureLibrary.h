#pragma once
// Presence of the packet-capture library, and how the user can install it.

#include <QString>
#include <QStringList>

namespace tarn::platform {

// True when libpcap (libpcap.so.1, else libpcap.so.0.8) can be loaded. The
// library is loaded only to find out and is released again.
bool CaptureLibraryLoadable();

// The distribution's command that installs the capture library, to be run as
// root: program first, then its arguments, e.g. {"apt-get", "install", "-y",
// "libpcap0.8"}; run it with RunElevated(cmd.first(), cmd.mid(1)). Empty when
// the distribution is unknown. The distribution is read from osReleasePath,
// by default /etc/os-release (else /usr/lib/os-release).
QStringList CaptureLibraryInstallCommand(const QString& osReleasePath = {});

// Web address of the capture library's project.
QString CaptureLibraryProjectUrl();

} // namespace tarn::platform
