#pragma once
// TFormMain: the main window. Until a login succeeds the login gate covers
// its whole client area; afterwards it is the lobby. It composes its parts
// (login gate, status overlay, lobby views) and keeps the operations other
// windows call on it. Closing it ends the program.

#include "lobby/LobbyOperations.h"
#include "lobby/LobbySession.h"

#include <QColor>
#include <QMainWindow>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tarn {

class TLoginGate;

class TFormMain : public QMainWindow, public ILobbyOperations {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The application-wide error handler: one line "class message" in the
    // error log for an exception that escaped an event handler.
    void AppException(const QString& className, const QString& message) override;

    // ---- Lobby session (the logic lives in TLobbySession) ----
    TLobbySession* session() const { return Session; }
    // After an accepted login reply has been stored in LoginInfo: chooses
    // the server addresses, opens the lobby socket, starts the keep-alive.
    void LoggedIn();
    // Sends one lobby message; a send error is thrown as LobbyError.
    void DataToSend(const QString& SData);
    // "Logout" menu item and ButtonLogout: asks first.
    void MenuItemLogoutClick();
    void logout();
    bool IsLoggedIn() const;
    void setMissedKeepAlives(int count);

    TLoginGate* loginGate() const { return LoginGate; }

    // The hidden colour box whose colour fills the six accent shapes.
    void setComboColorBox1(const QColor& color);
    QColor comboColorBox1() const { return ComboColorBox1; }
    // The six shapes that carry the accent colour, in a fixed order.
    std::array<QWidget*, 6> accentShapes() const;

    // The status overlay over the whole window, with its busy indicator.
    void showStatus(const QString& text);
    void hideStatus();

    TLobbySession* Session = nullptr;
    // Session state the login code fills, kept by the session.
    QString& CurrentUser;
    TLogin& LoginInfo;
    LobbyCipher& LbRijndael1;
    QString& WebBaseURL;

    TLoginGate* LoginGate = nullptr;
    QFrame* RectangleStatus = nullptr;
    QLabel* Text1 = nullptr;
    QProgressBar* AniIndicator1 = nullptr;
    QPushButton* ButtonLogout = nullptr;
    QFrame* RectangleRoomList = nullptr;
    QFrame* RectangleProfile = nullptr;
    QFrame* RectangleEditYourProfile = nullptr;

    static QString connectingText() { return QStringLiteral("Connecting to TARN. Please wait."); }
    static QString reconnectingText() {
        return QStringLiteral("Lost connection to server. Reconnecting.");
    }

    // ---- ILobbyOperations: the window side of the session ----
    bool IsStatusVisible() override;
    void HideStatusAndGate() override;
    void HideStatus() override;
    void ShowLostConnection() override;
    void SetLoginResponse(const QString& text) override;
    void UncheckAutoLogin() override;
    void ShowGateAfterLogout() override;
    void ResetLoginRetry() override;
    void ResetStatusAfterLogout() override;
    void StoreServerTag(const QString& tag) override;
    void StoreFallbackWebIP(const QString& address) override;

    // How the window reaches the settings store (wired by start-up): the
    // lobby socket's local port and override address read at login, and the
    // two values lobby commands store and save.
    struct SettingsAccess {
        std::function<quint16()> nonGamePort;
        std::function<QString()> lobbyIPOverride;
        std::function<void(const QString&)> storeServerTag;
        std::function<void(const QString&)> storeFallbackWebIP;
    };
    SettingsAccess Settings;

    // How the window reaches the LAN bridge and the options dialog (wired by
    // start-up once they exist; unset = nothing to do).
    struct BridgeAccess {
        std::function<void(bool)> setCaptureEnabled;
        std::function<void()> closeCap;
        std::function<void()> changeAdapter; // selects the saved AdapterName again
        std::function<void(const QString&)> removePs2Mac;
        std::function<QString()> gameName;
        std::function<void()> deactivateUdpGame;
        std::function<void()> closeOptionsWindow;
    };
    BridgeAccess Bridge;

    void SetCaptureEnabled(bool enabled) override;
    void CloseCap() override;
    void ChangeAdapter() override;
    void RemovePs2Mac(const QString& macHex) override;
    QString GameStatsGameName() override;
    void DeactivateUdpGame() override;
    void CloseSessionWindows() override;

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor ComboColorBox1;
};

} // namespace tarn
