#pragma once
// ILobbyOperations: what the lobby session and its dispatcher need from the
// windows. The session calls these; the main window implements them and
// forwards to the window that owns each concern. Every operation has an empty
// default so that an owner that does not exist yet simply does nothing, and
// so that a test fake records only what it cares about. Main thread only.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarn {

struct TUserBatchRecord;

class ILobbyOperations {
public:
    virtual ~ILobbyOperations() = default;

    // The application-wide error handler (one "class message" line in the log).
    virtual void AppException(const QString& className, const QString& message) {
        (void)className;
        (void)message;
    }

    // ---- Chat (chat window) ----
    // Appends one line to the chat text (no room history).
    virtual void AddToChatScreen(const QString& line) { (void)line; }
    // The last chat line with text when the chat shows more than one line,
    // empty otherwise (the chat area always ends with an empty line).
    virtual QString LastChatLine() { return {}; }
    // Appends a line to the history of room 1, 2, 3 or 5.
    virtual void AddToStringList(int room, const QString& line) {
        (void)room;
        (void)line;
    }
    virtual void AddMention(const QString& line, int room) {
        (void)line;
        (void)room;
    }

    // ---- User list and notifications ----
    virtual bool IsBlocked(const QString& name) {
        (void)name;
        return false;
    }
    virtual bool HasListItem(const QString& name) {
        (void)name;
        return false;
    }
    virtual void AssignToList(const QString& name) { (void)name; }
    virtual void RemoveListItem(const QString& name) { (void)name; }
    virtual void ChatCount() {}
    virtual void UIGameUpdate(const QString& name, const QString& roomName) {
        (void)name;
        (void)roomName;
    }
    virtual void RemoteNotification(const QString& title, const QString& text) {
        (void)title;
        (void)text;
    }
    virtual void AddNotify(int kind, const QString& name) {
        (void)kind;
        (void)name;
    }
    virtual void AddClanInv(const QString& clan, const QString& user) {
        (void)clan;
        (void)user;
    }
    virtual void AddFriendInv(const QString& user) { (void)user; }

    // ---- Private messages, game rooms, auto-update ----
    virtual void AddPM(const QString& sender, const QString& text) {
        (void)sender;
        (void)text;
    }
    virtual void AddToRoomList(const QByteArray& raw) { (void)raw; }
    virtual void ShowAutoUpdate(const QString& labelText) { (void)labelText; }
    // Raw datagram from the object server (source port 40000).
    virtual void NewObjectServerData(const QByteArray& raw) { (void)raw; }

    // ---- LAN bridge and options dialog ----
    virtual void SetCaptureEnabled(bool enabled) { (void)enabled; }
    virtual void CloseCap() {}
    // Selects the saved capture adapter again (ChangeAdapter with AdapterName).
    virtual void ChangeAdapter() {}
    virtual void RemovePs2Mac(const QString& macHex) { (void)macHex; }
    // The entries of the options dialog's adapter list, in order.
    virtual QStringList AdapterListEntries() { return {}; }
    virtual void UiChangeAdapterToSelect(int index) { (void)index; }
    // The game room the console is in, empty when none.
    virtual QString GameStatsGameName() { return {}; }
    // Deactivates the LAN bridge's relay socket.
    virtual void DeactivateUdpGame() {}

    // ---- Settings (each stores the value and saves the settings file) ----
    virtual void StoreServerTag(const QString& tag) { (void)tag; }
    virtual void StoreFallbackWebIP(const QString& address) { (void)address; }

    // ---- Status overlay and login gate ----
    virtual bool IsStatusVisible() { return false; }
    // Hides the overlay, stops its busy indicator and hides the login gate.
    virtual void HideStatusAndGate() {}
    // Hides the overlay and stops its busy indicator.
    virtual void HideStatus() {}
    // The overlay with its busy indicator, the lost-connection text and the
    // Logout button.
    virtual void ShowLostConnection() {}
    // Text of the login gate's LabelHttpResponse.
    virtual void SetLoginResponse(const QString& text) { (void)text; }

    // ---- Logout, in the order the session calls them ----
    virtual void UncheckAutoLogin() {}
    // Overlay and login gate shown; Text1 and ButtonLogout hidden; busy
    // indicator stopped; ButtonSubmit enabled; LabelHttpResponse emptied.
    virtual void ShowGateAfterLogout() {}
    // Clears UseSavedHash and the login's fallback-retry count.
    virtual void ResetLoginRetry() {}
    // Every user offline, room 4 (the entries stay).
    virtual void MarkUsersOffline() {}
    // PM input line emptied, "General Chat" selected, chat area cleared.
    virtual void ResetChatArea() {}
    // TPMForm.LogOut; closes the PM, clan, ladder, block list, friends and
    // options windows.
    virtual void CloseSessionWindows() {}
    virtual void ClearRoomHistories() {}
    // The room switch: chat area and user list rebuilt for MyChatRoom.
    virtual void RebuildRoomViews() {}
    // Text1 back to the connecting text; RectangleLogInStatus hidden and
    // AniIndicatorLogin stopped.
    virtual void ResetStatusAfterLogout() {}
};

} // namespace tarn
