#include "CaptureCheck.h"

#include "gui/Dialogs.h"
#include "platform/CaptureLibrary.h"
#include "platform/Elevation.h"

#include <QString>

namespace tarn {

CaptureCheckEnv DefaultCaptureCheckEnv() {
    CaptureCheckEnv env;
    env.libraryLoadable = [] { return platform::CaptureLibraryLoadable(); };
    env.installCommand = [] { return platform::CaptureLibraryInstallCommand(); };
    env.runElevated = [](const QString& program, const QStringList& args) {
        return platform::RunElevated(program, args);
    };
    return env;
}

StartDecision CheckCaptureLibrary(const CaptureCheckEnv& env) {
    if (env.libraryLoadable())
        return StartDecision::Continue;

    const gui::Answer answer = gui::AskYesNo(
        QStringLiteral("Winpcap does not appear to be install do you want to install it now? "
                       "Winpcap is require for TARN to function."),
        QMessageBox::Critical);
    switch (answer) {
    case gui::Answer::Yes: {
        // The distribution's package installer stands in for the bundled
        // installer: it is started elevated, and the user restarts TARN
        // once it has finished.
        const QStringList command = env.installCommand();
        if (!command.isEmpty()) {
            env.runElevated(command.first(), command.mid(1)); // a failed start still exits
            gui::ShowMessage(QStringLiteral("Tarn is exiting. After you finish Winpcap "
                                            "installation you can start Tarn again and it "
                                            "should work!"));
        } else {
            gui::ShowMessage(
                QStringLiteral("Unable to locate WinPcap installer you can download it at ") +
                platform::CaptureLibraryProjectUrl());
        }
        return StartDecision::Exit;
    }
    case gui::Answer::No:
        gui::ShowMessage(QStringLiteral("You must install Winpcap, or NPcap in winpcap "
                                        "compatibility mode for TARN to be able to function. "));
        return StartDecision::Exit;
    case gui::Answer::Closed:
        break;
    }
    return StartDecision::Continue;
}

} // namespace tarn
