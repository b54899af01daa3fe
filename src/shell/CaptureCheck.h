#pragma once
// The start-up check for the packet-capture library, which the LAN bridge
// cannot work without. When the library cannot be loaded the user is asked
// whether to install it now; every answer but closing the question ends the
// program after its message.

#include <QStringList>
#include <functional>

namespace tarn {

enum class StartDecision { Continue, Exit };

// What the check asks of the system; the defaults are the platform's.
struct CaptureCheckEnv {
    std::function<bool()> libraryLoadable;
    std::function<QStringList()> installCommand; // program first; empty when unknown
    std::function<bool(const QString&, const QStringList&)> runElevated;
};

CaptureCheckEnv DefaultCaptureCheckEnv();

StartDecision CheckCaptureLibrary(const CaptureCheckEnv& env = DefaultCaptureCheckEnv());

} // namespace tarn
