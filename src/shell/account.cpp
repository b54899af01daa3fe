#include "account.h"

#include "ClientSettings.h"
#include "Styles.h"
#include "SystemCriticalU.h"
#include "community/LoginGate.h"
#include "community/mainUI.h"
#include "gui/Registry.h"
#include "platform/NetworkAdapters.h"
#include "platform/SingleInstance.h"

#include <QCloseEvent>

namespace tarn {

QString& MachineId() {
    static QString id;
    return id;
}

QString& CurrentStyleName() {
    static QString name;
    return name;
}

bool& ApplicationTerminateRequested() {
    static bool requested = false;
    return requested;
}

TForm1::TForm1(QWidget* parent)
    : TarnWindow(QStringLiteral("Form1"), QStringLiteral("Sign up/Log in"), parent) {
    Timer1.setObjectName(QStringLiteral("Timer1"));
}

void TForm1::FormCreate() {
    // 1. Single-instance guard: a second instance ends without being used.
    if (!platform::IsFirstInstance())
        ApplicationTerminateRequested() = true;

    // 2-3. Machine identifier from the adapter MAC text.
    LbBlowfish1.GenerateKey(QString::fromLatin1(kMachineIdPassPhrase));
    MachineId() = MachineIdFromMacText(platform::AdapterMacText());

    // 4. Settings, with the values of a first start when there is no file.
    LoadClientSettings();
    if (!ClientSettingsExist())
        ApplyNewSettingsValues();

    // 5. Automatic login is possible when a password hash is saved.
    if (TFormMain* main = Globals().FormMain) {
        main->LoginGate->UseSavedHash = !ClientSettings.passwordHash().isEmpty();
        main->LoginGate->MachineId = MachineId(); // sent as "AuthCode"
    }

    // 6-7. Chat text settings.
    ApplyChatTextDefaults();
    FillChatTextSettings();

    // 8. Style of the settings.
    ChangeSTyle(ClientSettings.styleName());

    // 9. Keep-awake state.
    SystemCritical().setIsCritical(ClientSettings.noSleep());
}

void TForm1::ChangeSTyle(const QString& name) {
    styles::ApplyApplicationStyle(name); // no matching resource: the style stays
    GetThemeColor(name);
    CurrentStyleName() = name;
}

void TForm1::GetThemeColor(const QString& name) {
    if (TFormMain* main = Globals().FormMain)
        main->setComboColorBox1(QColor::fromRgba(styles::AccentColor(name)));
}

QString TForm1::SHA512(const QString& toHash) {
    return PasswordHash(toHash);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing the account window ends the program through the main window.
    event->accept();
    if (TFormMain* main = Globals().FormMain)
        main->close();
}

} // namespace tarn
