#pragma once
// The login gate: the sign-up/log-in panel that covers the main window's
// whole client area until a login succeeds. This part owns the controls,
// their texts and limits, the tab switching and the gate's flags; the
// account-service requests are wired to ButtonSubmit by the login code.

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;
class QVBoxLayout;

namespace tarn {

class TLoginGate : public QFrame {
    Q_OBJECT
public:
    explicit TLoginGate(QWidget* parent = nullptr);

    // Controls, named as the rest of the program refers to them.
    QFrame* PanelLoginGate = nullptr;
    QTabWidget* TabControlLoginGate = nullptr;
    QWidget* TabItem1 = nullptr; // "Login"
    QWidget* TabItem2 = nullptr; // "Registry"
    QLineEdit* EditUsername = nullptr;
    QLineEdit* EditPassword = nullptr;
    QLineEdit* EditPasswordAgain = nullptr;
    QLineEdit* EditEmail = nullptr;
    QLineEdit* EditEmailAgain = nullptr;
    QCheckBox* CheckBoxAutoLogin = nullptr;
    QLabel* LabelPWReset = nullptr;
    QPushButton* ButtonSubmit = nullptr;
    QLabel* LabelHttpResponse = nullptr;
    QFrame* RectangleLogInStatus = nullptr;
    QLabel* TextLGStatus = nullptr;
    QProgressBar* AniIndicatorLogin = nullptr;
    QToolButton* RadiantX2 = nullptr;
    QLabel* LabelVersion = nullptr;
    QToolButton* RadiantGear1 = nullptr;

    // Flags of the gate.
    bool Registering = false;
    bool UseSavedHash = false;
    bool LoginAborted = false;
    bool FirstLoginDone = false;

    // True when the "Registry" tab is the active one.
    bool registryTabActive() const;

    void TabControlLoginGateChange();
    void TabItem1Click();
    void TabItem2Click();
    // Ends a request's visible state: clears UseSavedHash, hides the status
    // overlay and stops its indicator.
    void LoginGateFinish();
    // The red cross on the status overlay: aborts the request under way.
    void RadiantX2Click();

    // Shows or hides the "request under way" overlay with its indicator.
    void setRequestShown(bool shown);

signals:
    void optionsRequested();      // the gear shape
    void passwordResetRequested(); // "Forgot Password?"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLoginTab();
    void buildRegistryTab();
    void moveSharedControls(QWidget* tab);

    QVBoxLayout* loginSharedSlot_ = nullptr;
    QVBoxLayout* registrySharedSlot_ = nullptr;
    QVBoxLayout* loginButtonSlot_ = nullptr;
    QVBoxLayout* registryButtonSlot_ = nullptr;
};

} // namespace tarn
