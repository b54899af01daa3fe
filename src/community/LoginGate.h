#pragma once
// The login gate: the sign-up/log-in panel that covers the main window's
// whole client area until a login succeeds. It owns the controls, the tab
// switching, the input checks, the login request to the account service and
// the handling of its reply, the password reset and the one-time loading
// steps of the first login. It reaches the session through the main window
// it sits in (TFormMain) and the LAN bridge, emulator and user list through
// the call-outs in Owners. Main thread only.

#include "lobby/AccountService.h"

#include <QFrame>
#include <QPointer>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;
class QVBoxLayout;

namespace tarn {

class TFormMain;
class THttpsModule;

// Operations of other parts that the login calls. Each is wired by the part
// that owns it; one that is not wired (its owner is still empty) is skipped.
struct TLoginOwners {
    // The paired console list (one MAC text a line), sent as "ConfigParms".
    std::function<QStringList()> Ps2MacList;
    // Select the capture adapter named in the settings.
    std::function<void(const QString& adapterName)> ChangeAdapter;
    // Select the PSP capture adapter named in the settings (its owner turns
    // the name into the position in the capture device list).
    std::function<void(const QString& pspAdapterName)> PSPAdapterChange;
    // The XLink Kai adapter import, when the settings name no adapter.
    std::function<void()> ImportKaiAdapter;
    // Enables the LAN bridge's 10-second timer.
    std::function<void()> EnableBridgeTimer;
    // Builds the two in-game welcome rooms with this room name and keeps
    // them for the LAN bridge.
    std::function<void(const QString& roomName)> StoreWelcomeRooms;
    // The block list and the VIP list as loaded at the first login.
    std::function<void(const QStringList& names)> SetBlockList;
    std::function<void(const QStringList& names)> SetVipList;
    // Records a user with a member group in the user table.
    std::function<void(const QString& name, const QString& gameName, QChar group)> AssignUser;
};

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
    // Fallback retries since the last logout (0 or 1).
    int FallbackRetries = 0;

    // The machine identifier, set by the account window when it is created.
    QString MachineId;
    TLoginOwners Owners;

    // NetHTTPClient1: the client of every account-service request; the
    // other windows post their forms through it too (PostAccountForm).
    TAccountHttpClient* NetHTTPClient1 = nullptr;

    // The input checks; true when the request may be sent.
    bool AccountSelfCheck();
    // Click and Enter on ButtonSubmit; also automatic login and the
    // fallback retry.
    void ButtonSubmitClick();
    // The login reply (any HTTP status) and a failed transfer.
    void NetHTTPRequest1RequestCompleted(const QByteArray& body);
    void NetHTTPRequest1RequestError(const TTransportError& error);
    // "Forgot Password?".
    void LabelPWResetClick();
    // At the first showing of the main window: fills the saved user name and
    // logs in by itself when a hash is saved.
    void AutomaticLogin();

    // True while a login request is under way.
    bool requestPending() const { return !request_.isNull(); }
    // The form of the last request sent (for the log and tests).
    const TFormFields& lastForm() const { return lastForm_; }
    const QUrl& lastRequestUrl() const { return lastUrl_; }
    int requestsSent() const { return requestsSent_; }

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
    void optionsRequested();       // the gear shape
    void passwordResetRequested(); // "Forgot Password?"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    TFormMain* mainWindow() const;
    QString webBaseURL() const;
    void setWebBaseURL(const QString& url);
    void loginSucceeded(const TLoginReply& reply);
    void firstLoginSteps();
    void showConnectionError();

    QPointer<TAccountRequest> request_;
    TFormFields lastForm_;
    QUrl lastUrl_;
    int requestsSent_ = 0;
    bool shownOnce_ = false;
    THttpsModule* ownHttps_ = nullptr;

    void buildLoginTab();
    void buildRegistryTab();
    void moveSharedControls(QWidget* tab);

    QVBoxLayout* loginSharedSlot_ = nullptr;
    QVBoxLayout* registrySharedSlot_ = nullptr;
    QVBoxLayout* loginButtonSlot_ = nullptr;
    QVBoxLayout* registryButtonSlot_ = nullptr;
};

} // namespace tarn
