#include "lobby/LobbySession.h"

#include "common/AnsiCodec.h"
#include "common/Base64.h"
#include "common/ErrorLog.h"
#include "common/NetText.h"
#include "lobby/Dispatcher.h"
#include "lobby/DnsLookup.h"
#include "lobby/Endpoints.h"
#include "lobby/LobbyOperations.h"

namespace tarn {
namespace {

constexpr int kDnsWaitMs = 5000;
const QString kSocketError = QStringLiteral("ESocketError");

} // namespace

TLobbySession::TLobbySession(ILobbyOperations& ops, QObject* parent) : QObject(parent), ops_(ops) {
    NgtServer.setObjectName(QStringLiteral("NgtServer"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kKeepAliveIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &TLobbySession::Timer1Timer);
    NgtServer.setReceiver([this](const QByteArray& data, const QString& peer, quint16 port) {
        NgtServerUDPRead(data, peer, port);
    });
    WebBaseURL = Endpoints().webBaseUrl();
}

TLobbySession::~TLobbySession() {
    Timer1.stop();
    NgtServer.close();
}

// ---- Channel ----

void TLobbySession::DataToSend(const QString& SData) {
    if (SData.isEmpty())
        return;
    QByteArray bytes;
    const char16_t code = SData.at(0).unicode();
    if (code == 0x01 || code == 0x04) {
        const QByteArray cipher = LbRijndael1.EncryptBytes(AnsiFromString(SData));
        if (cipher.isEmpty())
            throw LobbyError(QStringLiteral("ECipherError"), QStringLiteral("Encryption failed"));
        bytes = QByteArray(1, '\x06') + Base64Encode(cipher).toLatin1();
    } else {
        bytes = SData.toUtf8();
    }
    SendRaw(Addresses().LobbyServerIP, kLobbyPort, bytes);
}

void TLobbySession::SendRaw(const QString& address, quint16 port, const QByteArray& bytes) {
    QString error;
    if (!NgtServer.sendTo(address, port, bytes, &error))
        throw LobbyError(kSocketError, error);
}

void TLobbySession::NgtServerUDPRead(const QByteArray& data, const QString& peerIP,
                                     quint16 peerPort) {
    // One datagram at a time; whatever goes wrong ends this datagram only.
    try {
        if (!IsLoggedIn)
            return;
        QString T = QString::fromUtf8(data);
        if (!T.isEmpty() && T.at(0) == QChar(0x12)) {
            const QDateTime replyTime = now();
            if (peerPort == kS2RelayPort)
                ops_.AddToChatScreen(QStringLiteral("Your ping with game server #1 ") +
                                     QString::number(S2PingTime.msecsTo(replyTime)));
            else
                ops_.AddToChatScreen(QStringLiteral("Your ping with game server #2 ") +
                                     QString::number(CaPingTime.msecsTo(replyTime)));
            return;
        }
        if (peerIP != Addresses().LobbyServerIP)
            return;
        bool encrypted = false;
        QByteArray messageBytes = data;
        if (!T.isEmpty() && T.at(0) == QChar(0x06)) {
            std::optional<QByteArray> plain;
            if (const std::optional<QByteArray> cipher = Base64Decode(QStringView(T).mid(1)))
                plain = LbRijndael1.DecryptBytes(*cipher);
            if (plain) {
                messageBytes = *plain;
                T = StringFromAnsi(*plain);
                encrypted = true;
                ReloginAttempts = 0;
            } else if (peerPort != ObjectServerPort) {
                return;
            }
            // The object server's answers are raw bytes that may start with
            // the encrypted mark by chance; they are never dropped for that.
        }
        LastReceived = now();
        if (peerPort == ObjectServerPort) {
            ops_.NewObjectServerData(data);
            return;
        }
        dispatch(T, messageBytes, encrypted);
    } catch (...) {
        // Dropped silently; the channel keeps receiving.
    }
}

bool TLobbySession::LoggedIn() {
    QString address;
    if (!LobbyIPOverride.isEmpty()) {
        address = LobbyIPOverride;
        UsingIPOverride = true;
    } else {
        UsingIPOverride = false;
        try {
            DNSLookUP(address);
        } catch (const LobbyError& e) {
            ErrorLog().append(e.className() + e.message());
            address.clear();
        }
    }
    TServerAddresses& a = Addresses();
    a.LobbyServerIP = address;
    a.S2ServerIP = address;
    a.CaServerIP = address;
    if (IsValidIPv4(LoginInfo.S2Ip))
        a.S2ServerIP = LoginInfo.S2Ip;
    if (IsValidIPv4(LoginInfo.CaIp))
        a.CaServerIP = LoginInfo.CaIp;
    if (IsValidIPv4(LoginInfo.NgtIp))
        a.LobbyServerIP = LoginInfo.NgtIp;
    a.BackUpServerIP = IsValidIPv4(LoginInfo.BackUpIp) ? LoginInfo.BackUpIp : QString();
    a.PspServerIP = a.S2ServerIP;

    QString error;
    if (!NgtServer.bind(NonGamePort, &error)) {
        ops_.AppException(kSocketError, error);
        return false;
    }
    Timer1.start();
    IsLoggedIn = true;
    return true;
}

void TLobbySession::DNSLookUP(QString& address) {
    if (DnsOverride) {
        DnsOverride(address);
        return;
    }
    const TEndpoints& e = Endpoints();
    const DnsResult r = ResolveARecord(e.DnsServer, e.DnsPort, e.LobbyHost, kDnsWaitMs);
    if (r.status != DnsResult::Answered)
        throw LobbyError(QStringLiteral("EDNSResolverError"), r.error);
    if (r.address)
        address = *r.address;
}

void TLobbySession::dispatch(const QString& text, const QByteArray& raw, bool encrypted) {
    Dispatcher(*this, ops_).Dispatch(text, raw, encrypted);
}

QString TLobbySession::HelloMessage() const {
    return QChar(0x05) + QLatin1Char(';') + CurrentUser + QLatin1Char(';') + LoginInfo.Ssid +
           QLatin1Char(';');
}

QString TLobbySession::RoomJoinMessage(bool withName) const {
    QString text = QString(QChar(0x02)) + QChar(static_cast<char16_t>(MyChatRoom));
    if (withName)
        text += CurrentUser;
    return text;
}

// ---- Keep-alive and logout ----

void TLobbySession::Timer1Timer() {
    if (CapturePaused && CapturePauseTime.secsTo(now()) >= 30) {
        CapturePaused = false;
        ops_.SetCaptureEnabled(true);
        ops_.ChangeAdapter();
    }
    if (!IsLoggedIn)
        return;

    // A failed send is logged once per tick and the tick's other sends are
    // skipped; the counting goes on, so that a server that cannot be reached
    // at all still ends the session on schedule.
    bool sendFailed = false;
    auto send = [&](const QString& text) {
        if (sendFailed)
            return;
        try {
            DataToSend(text);
        } catch (const LobbyError& e) {
            sendFailed = true;
            ops_.AppException(e.className(), e.message());
        }
    };

    const QString game = ops_.GameStatsGameName();
    if (!game.isEmpty())
        send(QChar(0x0C) + game);
    send(QChar(0x08) + CurrentUser);
    ++MissedKeepAlives;
    if (MissedKeepAlives > 3) {
        send(HelloMessage());
        send(RoomJoinMessage(false));
    }
    if (MissedKeepAlives > 4 && UsingIPOverride && !DnsFallbackDone) {
        // Tried once per run, whatever the outcome.
        DnsFallbackDone = true;
        QString address;
        try {
            DNSLookUP(address);
        } catch (const LobbyError& e) {
            ops_.AppException(e.className(), e.message());
        }
        Addresses().LobbyServerIP = address;
    }
    if (MissedKeepAlives > 5 && !ops_.IsStatusVisible())
        ops_.ShowLostConnection();
    if (MissedKeepAlives == 7) {
        logout();
        ops_.SetLoginResponse(QStringLiteral("Session expiry re-login require"));
    }
}

void TLobbySession::sendBestEffort(const QString& text) {
    try {
        DataToSend(text);
    } catch (const LobbyError&) {
    }
}

void TLobbySession::logout() {
    // 1. Tell the server; best effort, the local state is cleared anyway.
    try {
        DataToSend(QChar(0x09) + CurrentUser);
    } catch (const LobbyError& e) {
        ops_.AppException(e.className(), e.message());
    }
    // 2.
    IsLoggedIn = false;
    ReloginPending = false;
    ops_.UncheckAutoLogin();
    CurrentUser.clear();
    // 3.
    ops_.DeactivateUdpGame();
    Timer1.stop();
    NgtServer.close();
    // 4. - 9.
    ops_.ShowGateAfterLogout();
    ops_.ResetLoginRetry();
    Users.MarkAllOffline();
    ops_.MarkUsersOffline();
    ops_.ResetChatArea();
    ops_.CloseSessionWindows();
    ops_.ClearRoomHistories();
    // 10. The room switch to General Chat; its room join cannot leave the
    // closed socket and is dropped.
    MyChatRoom = 3;
    ops_.RebuildRoomViews();
    sendBestEffort(RoomJoinMessage());
    // 11.
    ops_.ResetStatusAfterLogout();
}

} // namespace tarn
