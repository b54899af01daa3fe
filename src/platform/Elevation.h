#pragma once
// Starting a program with administrator rights (the user is asked by the
// system's authentication agent).

#include <QString>
#include <QStringList>

namespace tarn::platform {

// Starts program with args as root through pkexec, without waiting for it.
// Returns whether pkexec was started; whether the user agreed is not known.
bool RunElevated(const QString& program, const QStringList& args);

} // namespace tarn::platform
