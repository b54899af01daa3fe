#include "lobby/Dispatcher.h"

#include "common/AnsiCodec.h"
#include "common/NetText.h"
#include "lobby/LobbyOperations.h"
#include "lobby/LobbySession.h"
#include "lobby/UserTable.h"

#include <QDateTime>
#include <QLocale>

namespace tarn {
namespace {

constexpr char16_t kChat = 0x01, kUserState = 0x02, kUserBatch = 0x03, kExpired = 0x05,
                   kNotification = 0x06, kReauth = 0x07, kKeepAliveAnswer = 0x08, kPrivate = 0x09,
                   kGameRoom = 0x0A, kCommand = 0x0B, kGameOfUser = 0x0C, kTick = 0x0D,
                   kVersion = 0x11, kInvitation = 0x13, kAddress = 0x14, kJoined = 0x15;

bool hasHistory(int room) {
    return room == 1 || room == 2 || room == 3 || room == 5;
}

} // namespace

QString LobbyField(const QString& text, QChar sep, int n) {
    if (n < 0)
        return {};
    qsizetype start = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype at = text.indexOf(sep, start);
        if (at < 0)
            return {};
        start = at + 1;
    }
    const qsizetype end = text.indexOf(sep, start);
    if (end < 0)
        return {};
    return text.mid(start, end - start);
}

QString ViaAnsi(const QString& text) {
    return StringFromAnsi(AnsiFromString(text));
}

QString ChatTimeText(const QDateTime& time) {
    // The long time format without a time-zone name, as a clock shows it.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return QLocale::system().toString(time.time(), format.trimmed());
}

void Dispatcher::Dispatch(const QString& T, const QByteArray& raw, bool encrypted) {
    if (T.isEmpty())
        return;
    const char16_t code = T.at(0).unicode();
    const QChar sub = T.size() >= 2 ? T.at(1) : QChar();
    const QString P = T.size() >= 3 ? T.mid(2) : QString();

    // The first message after login or after a lost connection ends the
    // overlay and (re)joins the shown room.
    if (ops_.IsStatusVisible()) {
        ops_.HideStatusAndGate();
        s_.DataToSend(s_.RoomJoinMessage());
    }

    if (code > 0x15)
        return;
    switch (code) {
    case kChat:
        chatLine(sub.unicode(), P);
        break;
    case kUserState:
        userState(sub.unicode(), P);
        break;
    case kUserBatch:
        userBatch(raw);
        break;
    case kExpired:
        if (s_.ReloginPending) {
            s_.logout();
            ops_.SetLoginResponse(QStringLiteral("Session expiry re-login require"));
            s_.ReloginPending = false;
        }
        break;
    case kNotification:
        ops_.RemoteNotification(QStringLiteral("TARN"), P);
        break;
    case kReauth:
        if (s_.ReloginAttempts >= 3)
            break;
        s_.ReloginPending = true;
        s_.DataToSend(QStringLiteral("\x05\x01`W;") + s_.CurrentUser + QLatin1Char(';') +
                      s_.LoginInfo.Ssid + QLatin1Char(';'));
        ++s_.ReloginAttempts;
        break;
    case kKeepAliveAnswer:
        s_.MissedKeepAlives = 0;
        if (ops_.IsStatusVisible())
            ops_.HideStatus();
        break;
    case kPrivate: {
        const QString fields = QChar(0x01) + ViaAnsi(P);
        const QString sender = LobbyField(fields, QChar(0x01), 1);
        const QString text = LobbyField(fields, QChar(0x01), 2);
        if (ops_.IsBlocked(sender))
            break;
        ops_.AddPM(sender, text);
        ops_.AddNotify(1, sender);
        break;
    }
    case kGameRoom:
        ops_.AddToRoomList(raw);
        break;
    case kCommand:
        if (encrypted)
            command(sub, P);
        break;
    case kGameOfUser:
        gameOfUser(P);
        break;
    case kTick:
        tickReplay(P);
        break;
    case kVersion:
        if (sub == QChar(0x01))
            ops_.ShowAutoUpdate(QStringLiteral(
                "A optional TARN update is availabe if you like to update to this new verison "
                "you can click the Update TARN button at the bottom. If you click it TARN would "
                "download new TARN installer program and would automatic launch it."));
        else
            ops_.AddToChatScreen(QStringLiteral("Your version of TARN is the most recent and no "
                                                "new update is available at the monent."));
        break;
    case kInvitation:
        if (sub == QLatin1Char('C')) {
            const QString fields = ViaAnsi(P);
            ops_.AddClanInv(LobbyField(fields, QLatin1Char(';'), 1),
                            LobbyField(fields, QLatin1Char(';'), 2));
        } else if (sub == QLatin1Char('F')) {
            ops_.AddFriendInv(P);
        }
        break;
    case kAddress:
        if (encrypted)
            serverAddress(sub, P);
        break;
    case kJoined: {
        const QString name = P.mid(2);
        if (sub == QLatin1Char('C'))
            ops_.AddToChatScreen(QStringLiteral("You are now part of clan ") + name +
                                 QStringLiteral("! To view more information about your clan "
                                                "click the community button in the top menu "
                                                "and click clan."));
        else if (sub == QLatin1Char('F'))
            ops_.AddToChatScreen(QStringLiteral("You are now friends with ") + name +
                                 QStringLiteral("! To view your friends list click community "
                                                "button in the top menu and click Friends."));
        break;
    }
    default: // 0, 4, 14, 15, 16 and 18 do nothing
        break;
    }
}

void Dispatcher::chatLine(int room, QString P) {
    if (P.isEmpty())
        return;
    P.replace(QStringLiteral("  "), QStringLiteral(" "));
    const qsizetype colon = P.indexOf(QLatin1Char(':'));
    const QString sender = colon < 0 ? QString() : P.left(colon);
    if (ops_.IsBlocked(sender))
        return;
    const QString last = ops_.LastChatLine();
    if (!last.isEmpty() && last.contains(P))
        return;
    const QString line = ChatTimeText(s_.LastReceived) + QLatin1Char(' ') + P;
    if (room == s_.MyChatRoom)
        ops_.AddToChatScreen(line);
    if (P.contains(QLatin1Char('@') + s_.CurrentUser + QLatin1Char(' ')))
        ops_.AddMention(P, room);
    if (hasHistory(room))
        ops_.AddToStringList(room, line);
}

void Dispatcher::userState(int room, const QString& P) {
    if (P.size() < 3)
        return;
    const auto rank = static_cast<std::uint8_t>(P.at(0).unicode() & 0xFF);
    const QChar group = P.at(1);
    const QString name = P.mid(2);
    if (s_.Users.UserUpdate(name, room, group, rank) && room != s_.MyChatRoom &&
        ops_.HasListItem(name))
        ops_.RemoveListItem(name);
    if (room == s_.MyChatRoom) {
        if (room == 4)
            ops_.RemoveListItem(name);
        else if (!ops_.HasListItem(name))
            ops_.AssignToList(name);
    }
    ops_.ChatCount();
}

void Dispatcher::userBatch(const QByteArray& raw) {
    for (const TUserBatchRecord& rec : ParseUserBatch(raw)) {
        const TUsers* u = s_.Users.UserUpdateNew(rec);
        if (!u)
            continue; // table full: further users are ignored
        if (u->Chatroom != s_.MyChatRoom && ops_.HasListItem(u->Username))
            ops_.RemoveListItem(u->Username);
    }
}

void Dispatcher::command(QChar sub, const QString& P) {
    switch (sub.unicode()) {
    case 0x01:
        ops_.SetCaptureEnabled(false);
        ops_.CloseCap();
        break;
    case 0x02:
        ops_.SetCaptureEnabled(true);
        ops_.ChangeAdapter();
        break;
    case 0x03:
        ops_.AddToChatScreen(QStringLiteral("Chat disable for 5 minutes due to spamming."));
        s_.ChatBanTime = s_.now();
        s_.ChatAllowed = false;
        break;
    case 0x04:
        s_.ChatAllowed = true;
        break;
    case 0x05:
        ops_.StoreServerTag(P.mid(2).left(8));
        break;
    case 0x06:
        ops_.RemovePs2Mac(P.right(12));
        break;
    case 0x07:
        for (const QString& entry : ops_.AdapterListEntries())
            s_.DataToSend(QChar(0x0B) + entry);
        break;
    case 0x08: {
        if (P.isEmpty())
            break;
        const QChar c = P.at(0);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        const int n = c.unicode() - '0';
        if (n < ops_.AdapterListEntries().size())
            ops_.UiChangeAdapterToSelect(n);
        break;
    }
    case 0x09:
        ops_.CloseCap();
        s_.CapturePaused = true;
        s_.CapturePauseTime = s_.now();
        ops_.SetCaptureEnabled(false);
        break;
    default:
        break;
    }
}

void Dispatcher::gameOfUser(const QString& P) {
    const QString fields = ViaAnsi(P);
    const QString name = LobbyField(fields, QChar(0x01), 1);
    const QString roomName = LobbyField(fields, QChar(0x01), 2);
    TUsers* u = s_.Users.find(name);
    if (!u || u->roomname == roomName)
        return;
    u->roomname = roomName;
    if (ops_.HasListItem(u->Username))
        ops_.UIGameUpdate(u->Username, roomName);
}

void Dispatcher::tickReplay(const QString& P) {
    if (P.size() < 2)
        return;
    const QChar t = P.at(1);
    for (int i = 0; i < 4; ++i) {
        if (t.unicode() == s_.TickState.ClientTicks[static_cast<std::size_t>(i)]) {
            s_.DataToSend(QChar(0x0D) + s_.TickState.ClientSent[static_cast<std::size_t>(i)]);
            return;
        }
    }
    s_.DataToSend(QString(QChar(0x0E)) + t);
}

void Dispatcher::serverAddress(QChar sub, const QString& P) {
    if (!IsValidIPv4(P))
        return;
    TServerAddresses& a = s_.Addresses();
    switch (sub.unicode()) {
    case 0x01:
        a.LobbyServerIP = P;
        break;
    case 0x02:
        a.S2ServerIP = P;
        break;
    case 0x03:
        a.CaServerIP = P;
        break;
    case 0x04:
        a.LobbyServerIP = P;
        a.S2ServerIP = P;
        a.CaServerIP = P;
        break;
    case 0x05:
        a.BackUpServerIP = P;
        ops_.StoreFallbackWebIP(P.left(15));
        break;
    case 0x06:
        s_.WebBaseURL = P;
        break;
    default:
        break;
    }
}

} // namespace tarn
