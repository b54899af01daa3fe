#include "CaptureCheck.h"

#include "gui/Dialogs.h"
#include "platform/CaptureLibrary.h"
#include "platform/Elevation.h"

#include <QString>

namespace tarn {

StartDecision CheckCaptureLibrary(bool libraryLoadable) {
    if (libraryLoadable)
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
        const QStringList command = platform::CaptureLibraryInstallCommand();
        if (!command.isEmpty()) {
            platform::RunElevated(command.first(), command.mid(1));
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
