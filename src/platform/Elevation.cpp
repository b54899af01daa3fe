#include "platform/Elevation.h"

#include <QProcess>

namespace tarn::platform {

bool RunElevated(const QString& program, const QStringList& args) {
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(QStringLiteral("pkexec"), QStringList{program} + args);
}

} // namespace tarn::platform
