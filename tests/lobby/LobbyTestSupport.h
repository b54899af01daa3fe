#pragma once
// Helpers of the lobby tests: a recording fake of the window operations, a
// peer socket that plays a server on a loopback address, a DNS responder on
// an unprivileged loopback port, and a settable clock.

#include "common/UdpSocket.h"
#include "lobby/DnsLookup.h"
#include "lobby/Endpoints.h"
#include "lobby/LobbyOperations.h"
#include "lobby/LobbySession.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

#include <arpa/inet.h>
#include <atomic>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <ostream>

// Readable failure messages for Qt strings and bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << "hex:" << b.toHex().toStdString();
}
QT_END_NAMESPACE

namespace tarn::testing {

inline QString ctl(int code) {
    return QString(QChar(static_cast<char16_t>(code)));
}

// Records every call as "Name" or "Name:arg|arg".
class RecordingOps : public ILobbyOperations {
public:
    QStringList calls;
    bool statusVisible = false;
    QSet<QString> blocked;
    QSet<QString> listItems;
    QString lastChatLine;
    QStringList adapters;
    QString gameName;

    QStringList named(const QString& name) const {
        QStringList out;
        for (const QString& c : calls)
            if (c == name || c.startsWith(name + QLatin1Char(':')))
                out << c;
        return out;
    }
    void rec(const QString& name, const QStringList& args = {}) {
        calls << (args.isEmpty() ? name : name + QLatin1Char(':') + args.join(QLatin1Char('|')));
    }

    void AppException(const QString& c, const QString& m) override { rec("AppException", {c, m}); }
    void AddToChatScreen(const QString& l) override { rec("AddToChatScreen", {l}); }
    QString LastChatLine() override { return lastChatLine; }
    void AddToStringList(int room, const QString& l) override {
        rec("AddToStringList", {QString::number(room), l});
    }
    void AddMention(const QString& l, int room) override {
        rec("AddMention", {l, QString::number(room)});
    }
    bool IsBlocked(const QString& n) override { return blocked.contains(n); }
    bool HasListItem(const QString& n) override { return listItems.contains(n); }
    void AssignToList(const QString& n) override {
        listItems.insert(n);
        rec("AssignToList", {n});
    }
    void RemoveListItem(const QString& n) override {
        listItems.remove(n);
        rec("RemoveListItem", {n});
    }
    void ChatCount() override { rec("ChatCount"); }
    void UIGameUpdate(const QString& n, const QString& r) override { rec("UIGameUpdate", {n, r}); }
    void RemoteNotification(const QString& t, const QString& x) override {
        rec("RemoteNotification", {t, x});
    }
    void AddNotify(int k, const QString& n) override { rec("AddNotify", {QString::number(k), n}); }
    void AddClanInv(const QString& c, const QString& u) override { rec("AddClanInv", {c, u}); }
    void AddFriendInv(const QString& u) override { rec("AddFriendInv", {u}); }
    void AddPM(const QString& s, const QString& t) override { rec("AddPM", {s, t}); }
    void AddToRoomList(const QByteArray& raw) override {
        rec("AddToRoomList", {QString::fromLatin1(raw.toHex())});
    }
    void ShowAutoUpdate(const QString& t) override { rec("ShowAutoUpdate", {t}); }
    void NewObjectServerData(const QByteArray& raw) override {
        rec("NewObjectServerData", {QString::fromLatin1(raw.toHex())});
    }
    void SetCaptureEnabled(bool e) override { rec("SetCaptureEnabled", {e ? "1" : "0"}); }
    void CloseCap() override { rec("CloseCap"); }
    void ChangeAdapter() override { rec("ChangeAdapter"); }
    void RemovePs2Mac(const QString& m) override { rec("RemovePs2Mac", {m}); }
    QStringList AdapterListEntries() override { return adapters; }
    void UiChangeAdapterToSelect(int i) override {
        rec("UiChangeAdapterToSelect", {QString::number(i)});
    }
    QString GameStatsGameName() override { return gameName; }
    void DeactivateUdpGame() override { rec("DeactivateUdpGame"); }
    void StoreServerTag(const QString& t) override { rec("StoreServerTag", {t}); }
    void StoreFallbackWebIP(const QString& a) override { rec("StoreFallbackWebIP", {a}); }
    bool IsStatusVisible() override { return statusVisible; }
    void HideStatusAndGate() override {
        statusVisible = false;
        rec("HideStatusAndGate");
    }
    void HideStatus() override {
        statusVisible = false;
        rec("HideStatus");
    }
    void ShowLostConnection() override {
        statusVisible = true;
        rec("ShowLostConnection");
    }
    void SetLoginResponse(const QString& t) override { rec("SetLoginResponse", {t}); }
    void UncheckAutoLogin() override { rec("UncheckAutoLogin"); }
    void ShowGateAfterLogout() override {
        statusVisible = true;
        rec("ShowGateAfterLogout");
    }
    void ResetLoginRetry() override { rec("ResetLoginRetry"); }
    void MarkUsersOffline() override { rec("MarkUsersOffline"); }
    void ResetChatArea() override { rec("ResetChatArea"); }
    void CloseSessionWindows() override { rec("CloseSessionWindows"); }
    void ClearRoomHistories() override { rec("ClearRoomHistories"); }
    void RebuildRoomViews() override { rec("RebuildRoomViews"); }
    void ResetStatusAfterLogout() override { rec("ResetStatusAfterLogout"); }
};

struct Datagram {
    QByteArray bytes;
    QString peer;
    quint16 port = 0;
};

// A socket on one loopback address that records what it receives.
class Peer {
public:
    Peer(const QString& address, quint16 port) {
        socket.setReceiver([this](const QByteArray& d, const QString& p, quint16 pp) {
            received.push_back({d, p, pp});
        });
        QString error;
        bound = socket.bindAddress(address, port, &error);
        if (!bound)
            qInfo("peer %s:%u not bound: %s", qPrintable(address), port, qPrintable(error));
    }
    // Waits (event loop, bounded) until `n` datagrams have arrived.
    bool waitFor(std::size_t n, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return received.size() >= n; }, timeoutMs);
    }
    bool send(const QString& to, quint16 port, const QByteArray& bytes) {
        return socket.sendTo(to, port, bytes);
    }
    QByteArrayList texts() const {
        QByteArrayList out;
        for (const Datagram& d : received)
            out << d.bytes;
        return out;
    }

    UdpSocket socket;
    bool bound = false;
    std::vector<Datagram> received;
};

// Answers A queries for any name on its own thread: with `answer` as the A
// record, or with no answer record when `answer` is empty. Counts queries.
class DnsResponder {
public:
    DnsResponder(const QString& address, quint16 port, const QString& answer) : answer_(answer) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
        ok = ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
        if (ok)
            thread_ = std::thread([this] { run(); });
    }
    ~DnsResponder() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    int queries() const { return queries_.load(); }
    bool ok = false;

private:
    void run() {
        char buf[512];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n =
                ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 12)
                continue;
            ++queries_;
            QByteArray reply(buf, static_cast<qsizetype>(n));
            reply[2] = static_cast<char>(0x81); // response, recursion desired
            reply[3] = static_cast<char>(0x80); // recursion available
            if (!answer_.isEmpty()) {
                reply[7] = 1; // one answer
                const QByteArray rr = QByteArray::fromHex("c00c000100010000003c0004");
                reply += rr;
                in_addr a{};
                inet_pton(AF_INET, answer_.toLatin1().constData(), &a);
                reply.append(reinterpret_cast<const char*>(&a), 4);
            }
            ::sendto(fd_, reply.constData(), static_cast<size_t>(reply.size()), 0,
                     reinterpret_cast<sockaddr*>(&from), len);
        }
    }

    QString answer_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

// Writes Endpoints.txt into the test's data folder and loads it, so that no
// test ever asks a DNS server outside loopback.
inline void UseTestEndpoints(const QString& dnsServer,
                             const QString& lobbyHost = "lobby.tarn.test") {
    const QString dir = qEnvironmentVariable("TARN_TEST_ROOT") + QStringLiteral("/data/TARN");
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("/Endpoints.txt"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(("DnsServer=" + dnsServer + "\nLobbyHost=" + lobbyHost + "\n").toUtf8());
        f.close();
    }
    LoadEndpoints(dir);
}

// A logged-in session whose lobby server is a peer socket on `host`:30022,
// with a settable clock and the DNS server on `host`:5353.
struct Lobby {
    explicit Lobby(const QString& lobbyHost, bool login = true) : host(lobbyHost), session(ops) {
        UseTestEndpoints(host + QStringLiteral(":5353"));
        session.Clock = [this] { return clock; };
        session.CurrentUser = QStringLiteral("Alice");
        session.LoginInfo.Ssid = QStringLiteral("tok");
        session.LoginInfo.Key = QStringLiteral("lobby-key");
        session.LbRijndael1.GenerateKey(session.LoginInfo.Key);
        peerCipher.GenerateKey(session.LoginInfo.Key);
        session.LobbyIPOverride = host;
        server = std::make_unique<Peer>(host, 30022);
        if (login)
            session.LoggedIn();
    }
    // The encrypted datagram of `text`, as the server would send it.
    QByteArray encrypted(const QString& text) {
        return QByteArray(1, '\x06') + peerCipher.EncryptString(text).toLatin1();
    }
    // Hands a datagram from the lobby server to the receive handler.
    void inbound(const QByteArray& bytes, quint16 port = 30022) {
        session.NgtServerUDPRead(bytes, host, port);
    }
    void inboundText(const QString& text) { inbound(text.toUtf8()); }
    void inboundEncrypted(const QString& text) { inbound(encrypted(text)); }
    // Drains the datagrams the client sent to the server so far: waits for
    // `n` of them and returns them all.
    QByteArrayList sent(std::size_t n) {
        server->waitFor(n);
        QByteArrayList out = server->texts();
        server->received.clear();
        return out;
    }

    QString host;
    RecordingOps ops;
    TLobbySession session;
    LobbyCipher peerCipher;
    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0));
    std::unique_ptr<Peer> server;
};

} // namespace tarn::testing
