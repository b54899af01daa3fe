#pragma once
// TForm1, the account window. It is created second at start-up and never
// shown; it exists for what its creation does (single-instance guard,
// machine identifier, settings load and defaults, chat text settings, style,
// keep-awake state) and for the theme and hash operations it offers.

#include "gui/TarnWindow.h"
#include "lobby/LobbyCipher.h"

#include <QTimer>

namespace tarn {

class TForm1 : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    // The creation steps, in order. Run by start-up right after construction.
    void FormCreate();

    // Applies a style and its accent colour; an unknown name keeps the
    // current style but still sets the accent (the default one).
    void ChangeSTyle(const QString& name);
    // Sets the main window's accent colour box to the colour of `name`
    // (names compare exactly, case included).
    void GetThemeColor(const QString& name);
    // The salted password hash sent to the account service.
    static QString SHA512(const QString& toHash);

    QTimer Timer1;               // disabled; does nothing
    LockBoxBlowfish LbBlowfish1; // keyed at creation for the machine identifier

protected:
    void closeEvent(QCloseEvent* event) override;
};

// The machine identifier sent at login; fixed for the run once TForm1 is created.
QString& MachineId();
// The name of the style last applied by ChangeSTyle; empty until then.
QString& CurrentStyleName();
// Set by the single-instance guard when another instance runs: start-up
// then skips the message loop and the program ends without being used.
bool& ApplicationTerminateRequested();

} // namespace tarn
