#pragma once
// TLobbySession: the client's one channel to the lobby server and the state
// of a lobby session, free of window code.
//
// - NgtServer, the UDP socket, bound by LoggedIn and deactivated by logout;
// - DataToSend: framing (U+0001 and U+0004 encrypted as U+0006 + Base64,
//   everything else plain UTF-8) to LobbyServerIP port 30022;
// - NgtServerUDPRead: ping replies, the peer address check, decryption, the
//   object-server port and the hand-over to the dispatcher;
// - LoggedIn and DNSLookUP: the choice of the server addresses;
// - Timer1Timer: the 10 s keep-alive tick; logout.
//
// Windows are reached through ILobbyOperations. Time comes from `Clock` so
// that the keep-alive and the ping times can be driven by tests. Main thread
// only.

#include "common/ServerAddresses.h"
#include "common/UdpSocket.h"
#include "lobby/LobbyCipher.h"
#include "lobby/LoginInfo.h"
#include "lobby/UserTable.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>

namespace tarn {

class ILobbyOperations;

// An error of the channel that reaches the caller: a failed send, a failed
// DNS lookup. `className` is what the error log shows before the message.
class LobbyError : public std::runtime_error {
public:
    LobbyError(const QString& className, const QString& message)
        : std::runtime_error(message.toStdString()), className_(className), message_(message) {}
    const QString& className() const { return className_; }
    const QString& message() const { return message_; }

private:
    QString className_;
    QString message_;
};

// The tick replay table. Nothing fills ClientTicks or ClientSent; they stay
// zero and empty, so every tick request is answered with U+000E.
struct TState {
    std::array<std::uint8_t, 4> ClientTicks{};
    std::array<QString, 4> ClientSent;
    std::uint8_t ClientCurrentTick = 1;
    std::uint8_t ClientPackCount = 0;
    std::uint8_t LastTickFromServer = 0;
};

class TLobbySession : public QObject {
    Q_OBJECT
public:
    static constexpr int kKeepAliveIntervalMs = 10000;

    explicit TLobbySession(ILobbyOperations& ops, QObject* parent = nullptr);
    ~TLobbySession() override;

    // ---- Session state ----
    QString CurrentUser;
    TLogin LoginInfo;
    LobbyCipher LbRijndael1;
    QString WebBaseURL;
    bool UsingIPOverride = false;
    bool DnsFallbackDone = false;
    bool IsLoggedIn = false;
    QDateTime LastReceived;
    int MissedKeepAlives = 0;
    int ReloginAttempts = 0;
    bool ReloginPending = false;
    int MyChatRoom = 3;
    bool ChatAllowed = true;
    QDateTime ChatBanTime;
    bool CapturePaused = false;
    QDateTime CapturePauseTime;
    TState TickState;
    // When the relays were last pinged (set by the chat's ping command).
    QDateTime S2PingTime;
    QDateTime CaPingTime;
    TUserTable Users;

    // Settings read at LoggedIn: the local port (0 = any) and the override
    // address of the lobby server (empty = ask DNS).
    quint16 NonGamePort = 0;
    QString LobbyIPOverride;

    UdpSocket NgtServer;
    QTimer Timer1;

    // Local time; tests replace it.
    std::function<QDateTime()> Clock;
    QDateTime now() const { return Clock ? Clock() : QDateTime::currentDateTime(); }

    TServerAddresses& Addresses() const { return ServerAddresses(); }

    // ---- Channel ----
    // Sends one message to LobbyServerIP:30022; throws LobbyError on failure.
    void DataToSend(const QString& SData);
    // A raw datagram from NgtServer to any destination (room-list request,
    // relay pings, object-server requests); throws LobbyError on failure.
    void SendRaw(const QString& address, quint16 port, const QByteArray& bytes);
    // The socket's receive handler; swallows every error of one datagram.
    void NgtServerUDPRead(const QByteArray& data, const QString& peerIP, quint16 peerPort);
    // Chooses the addresses, binds NgtServer, starts Timer1, sets IsLoggedIn.
    // False when the socket could not be bound (the error is logged).
    bool LoggedIn();
    // Asks the endpoint table's DNS server for the lobby host; leaves
    // `address` unchanged without an A record; throws LobbyError when no
    // answer came.
    void DNSLookUP(QString& address);

    // ---- Outbound texts composed here ----
    // Hello / re-authentication: U+0005 ";" CurrentUser ";" Ssid ";".
    QString HelloMessage() const;
    // Room join: U+0002, the room character of MyChatRoom and, unless the
    // keep-alive re-joins, CurrentUser.
    QString RoomJoinMessage(bool withName = true) const;

    // ---- Keep-alive and logout ----
    void Timer1Timer();
    void logout();

    // Overrides the DNS lookup (tests); unset = the real query.
    std::function<void(QString&)> DnsOverride;

    ILobbyOperations& operations() const { return ops_; }

private:
    void dispatch(const QString& text, const QByteArray& raw, bool encrypted);
    void sendBestEffort(const QString& text);

    ILobbyOperations& ops_;
};

} // namespace tarn
