// Program entry: capture library check, application object, the creation
// steps, the message loop and shutdown.

#include "CaptureCheck.h"
#include "StartUp.h"
#include "SystemCriticalU.h"
#include "TarnApplication.h"
#include "account.h"
#include "community/mainUI.h"
#include "gui/Registry.h"

int main(int argc, char** argv) {
    using namespace tarn;

    TarnApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARN"));
    QApplication::setApplicationDisplayName(QStringLiteral("TARN"));
    // Closing the main window ends the program, whichever secondary
    // windows are still open.
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    if (CheckCaptureLibrary() == StartDecision::Exit)
        return exitCode;

    {
        TStartUp startUp;
        startUp.CreateForms();
        if (!ApplicationTerminateRequested()) {
            TFormMain* main = Globals().FormMain;
            QObject::connect(main, &TFormMain::closing, &app, &QCoreApplication::quit);
            main->show();
            exitCode = app.exec();
        }
    }
    // The settings are not written here: every change was saved when made.
    SystemCritical().setIsCritical(false);
    return exitCode;
}
