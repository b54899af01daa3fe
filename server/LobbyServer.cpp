#include "LobbyServer.h"

#include "Log.h"
#include "common/AnsiCodec.h"
#include "common/ShortString.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace tarn::server {

namespace {

constexpr char16_t kEncrypted = 0x06;

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string CutUtf8(const QString& s, std::size_t bytes) {
    QByteArray u = s.toUtf8();
    // Cut at a character boundary.
    std::size_t n = std::min<std::size_t>(bytes, static_cast<std::size_t>(u.size()));
    while (n > 0 && n < static_cast<std::size_t>(u.size()) &&
           (static_cast<std::uint8_t>(u[static_cast<qsizetype>(n)]) & 0xC0) == 0x80)
        --n;
    return std::string(u.constData(), n);
}

void PutLE16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

// Control characters would act as separators of the client's fields.
QString Sanitised(QString s, qsizetype maxChars) {
    for (QChar& ch : s)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
            ch = u' ';
    if (s.size() > maxChars)
        s.truncate(maxChars);
    return s;
}

bool ValidRoom(int r) {
    return r == 1 || r == 2 || r == 3 || r == 5 || r == 4;
}

std::vector<std::string> SplitBar(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        auto p = s.find('|', start);
        out.push_back(s.substr(start, p - start));
        if (p == std::string::npos)
            break;
        start = p + 1;
    }
    return out;
}

std::string Ansi(const std::string& utf8) {
    QByteArray a = AnsiFromString(Q(utf8));
    return std::string(a.constData(), static_cast<std::size_t>(a.size()));
}

} // namespace

std::string RoomListDatagram(const HostedRoom& room) {
    std::string d = "\x0A\x01;";
    d += room.name.substr(0, 21);
    for (const std::string* f :
         {&room.players, &room.maxPlayers, &room.password, &room.weapons, &room.map}) {
        d += ';';
        d += *f;
    }
    d += ';';
    d += room.mapCodes;
    d += ';';
    return d;
}

std::vector<std::string> UserBatchDatagrams(const std::vector<BatchEntry>& users) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start < users.size(); start += 256) {
        const std::size_t n = std::min<std::size_t>(256, users.size() - start);
        std::string d;
        d.reserve(2 + n * 24);
        d.push_back('\x03');
        d.push_back(static_cast<char>(n - 1));
        for (std::size_t i = start; i < start + n; ++i) {
            const BatchEntry& u = users[i];
            PutLE16(d, u.room);
            PutLE16(d, u.group);
            d.push_back(static_cast<char>(u.rank));
            std::string tag = u.tag.substr(0, 3);
            tag.resize(3, '\0');
            std::string name = u.name.substr(0, 16);
            name.resize(16, '\0');
            d += tag;
            d += name;
        }
        out.push_back(std::move(d));
    }
    return out;
}

std::string ProfileRecord(const UserRow& user, const std::string& clanName) {
    std::string r(451, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(r.data());
    p[0] = static_cast<std::uint8_t>(user.rank);
    const auto pos = static_cast<std::uint16_t>(user.position);
    p[1] = pos & 0xFF;
    p[2] = pos >> 8;
    const auto rating = static_cast<std::uint32_t>(user.rating);
    for (int i = 0; i < 4; ++i)
        p[3 + i] = (rating >> (8 * i)) & 0xFF;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &user.lastLogin, 8);
    for (int i = 0; i < 8; ++i)
        p[7 + i] = (bits >> (8 * i)) & 0xFF;
    WriteShortString(p, 15, 255, Q(user.bio));
    WriteShortString(p, 271, 179, Q(clanName));
    return r;
}

struct LobbyServer::Client {
    LoginSession login;
    Endpoint ep;
    LobbyCipher cipher;
    int room = 4;
    QString game;
    bool chatBanned = false; // by the admin, until lifted
    Clock::time_point floodBanUntil{};
    Clock::time_point lastSeen{};
    double chatTokens = 5;
    Clock::time_point chatRefill{};
    double packetTokens = 100;
    Clock::time_point packetRefill{};
    bool vip = false;
    int rank = 0;
    std::string tag;
    std::deque<std::uint32_t> clanInvites;      // clan ids offered to this user
    std::deque<std::int64_t> friendInvitesFrom; // user ids that invited this user
    QString lastTickAnswer;
    QStringList adapters;

    QString name() const { return Q(login.user); }
};

LobbyServer::LobbyServer(Database& db, SessionStore& sessions, const ServerConfig& config,
                         Outbox& out)
    : db_(db), sessions_(sessions), config_(config), out_(out) {}

LobbyServer::~LobbyServer() = default;

LobbyServer::Client* LobbyServer::FindByEndpoint(const Endpoint& ep) {
    auto it = clients_.find(ep);
    return it == clients_.end() ? nullptr : it->second.get();
}

LobbyServer::Client* LobbyServer::FindByName(const QString& name) {
    auto it = byName_.find(name.toLower());
    return it == byName_.end() ? nullptr : it->second;
}

LobbyServer::Client* LobbyServer::FindForObject(const Endpoint& from, bool viaFixedAddress) {
    if (Client* c = FindByEndpoint(from))
        return c;
    if (!viaFixedAddress || !from.loopback())
        return nullptr;
    // Sent to 127.0.0.1 from the same socket: the source address may be a
    // different loopback address than the one the lobby saw, the port is not.
    Client* found = nullptr;
    for (auto& [ep, c] : clients_) {
        if (ep.port == from.port && ep.loopback()) {
            if (found)
                return nullptr; // ambiguous
            found = c.get();
        }
    }
    return found;
}

QString LobbyServer::StateText(const Client& c) const {
    QString t;
    t += QChar(0x02);
    t += QChar(static_cast<char16_t>(c.room));
    t += QChar(static_cast<char16_t>(c.rank));
    t += QChar(c.vip ? u'v' : u'm');
    t += c.name();
    return t;
}

void LobbyServer::SendPlain(const Client& c, const QString& text) {
    const QByteArray u = text.toUtf8();
    out_.Send(Channel::Lobby, c.ep,
              std::string_view(u.constData(), static_cast<std::size_t>(u.size())));
}

void LobbyServer::SendEncrypted(Client& c, const QString& text) {
    QString t;
    t += QChar(kEncrypted);
    t += c.cipher.EncryptString(text);
    SendPlain(c, t);
}

void LobbyServer::BroadcastState(const Client& c) {
    const QString t = StateText(c);
    for (auto& [ep, other] : clients_)
        SendPlain(*other, t);
}

void LobbyServer::Bind(const LoginSession& login, const Endpoint& from, Clock::time_point now) {
    // One binding per user and per endpoint: a newer hello takes over.
    if (Client* old = FindByName(Q(login.user)); old && !(old->ep == from)) {
        byName_.erase(old->name().toLower());
        clients_.erase(old->ep);
    }
    if (Client* other = FindByEndpoint(from); other && other->login.userId != login.userId) {
        byName_.erase(other->name().toLower());
        clients_.erase(from);
    }
    Client* c = FindByEndpoint(from);
    if (!c) {
        if (clients_.size() >= kMaxClients) {
            Log("lobby full, hello from " + from.text() + " refused");
            return;
        }
        auto fresh = std::make_unique<Client>();
        c = fresh.get();
        clients_[from] = std::move(fresh);
        c->chatRefill = c->packetRefill = now;
    }
    c->login = login;
    c->ep = from;
    c->cipher.GenerateKey(Q(login.passphrase));
    c->lastSeen = now;
    if (auto row = db_.FindUserById(login.userId)) {
        c->vip = row->vip;
        c->rank = std::clamp(row->rank, 0, 16);
    }
    c->tag = db_.ClanTagOf(login.userId);
    byName_[c->name().toLower()] = c;
    Log("lobby hello " + login.user + " from " + from.text());
}

void LobbyServer::Drop(Client* c) {
    c->room = 4;
    const QString t = StateText(*c);
    const Endpoint ep = c->ep;
    byName_.erase(c->name().toLower());
    auto holder = std::move(clients_[ep]);
    clients_.erase(ep);
    for (auto& [e, other] : clients_)
        SendPlain(*other, t);
}

void LobbyServer::OnLobby(const Endpoint& from, std::string_view data, Clock::time_point now) {
    if (data.empty() || data.size() > 4096)
        return;
    const QString text = QString::fromUtf8(data.data(), static_cast<qsizetype>(data.size()));
    if (text.isEmpty())
        return;
    const char16_t op = text[0].unicode();
    if (op == 0x05) {
        HandleHello(from, text, now);
        return;
    }
    Client* c = FindByEndpoint(from);
    if (!c)
        return; // only the bound address may speak for a session
    // Datagram budget: 100 burst, 50 per second.
    const double dt = std::chrono::duration<double>(now - c->packetRefill).count();
    c->packetRefill = now;
    c->packetTokens = std::min(100.0, c->packetTokens + dt * 50);
    if (c->packetTokens < 1)
        return;
    c->packetTokens -= 1;
    c->lastSeen = now;

    switch (op) {
    case kEncrypted:
        HandleEncrypted(*c, text, now);
        return;
    case 0x02:
        HandleRoomJoin(*c, text);
        return;
    case 0x08: {
        QString t;
        t += QChar(0x08);
        t += QChar(0x01);
        SendPlain(*c, t);
        return;
    }
    case 0x09:
        if (text.mid(1).compare(c->name(), Qt::CaseInsensitive) == 0) {
            Log("lobby logout " + c->login.user);
            sessions_.Remove(c->login.token);
            Drop(c);
        }
        return;
    case 0x0B:
        if (c->adapters.size() < 16)
            c->adapters << Sanitised(text.mid(1), 128);
        return;
    case 0x0C: {
        const QString game = Sanitised(text.mid(1), 64);
        if (game == c->game)
            return;
        c->game = game;
        QString t;
        t += QChar(0x0C);
        t += QChar(0x01);
        t += QChar(0x01);
        t += c->name();
        t += QChar(0x01);
        t += game;
        t += QChar(0x01);
        for (auto& [ep, other] : clients_)
            SendPlain(*other, t);
        return;
    }
    case 0x0D:
    case 0x0E:
        c->lastTickAnswer = Sanitised(text, 128);
        return;
    case 0x11: {
        QString t;
        t += QChar(0x11);
        t += QChar(text.mid(1) == Q(config_.latestVersion) ? 0x02 : 0x01);
        SendPlain(*c, t);
        return;
    }
    case 0x13:
        if (text.size() > 2 && text[1] == u'C')
            InviteToClan(*c, text.mid(2));
        return;
    case 0x14:
    case 0x15:
        HandleInvitationReply(*c, text, op == 0x14);
        return;
    default:
        return; // chat and private messages travel encrypted only
    }
}

void LobbyServer::HandleHello(const Endpoint& from, const QString& text, Clock::time_point now) {
    const QStringList f = text.split(u';');
    if (f.size() < 4)
        return;
    const QString user = f[1];
    const std::string token = f[2].toStdString();
    auto login = sessions_.Find(token);
    if (!login || user.compare(Q(login->user), Qt::CaseInsensitive) != 0) {
        // A bound client whose session is gone is told so; strangers get
        // nothing (no answers to spoofed sources).
        if (Client* c = FindByEndpoint(from)) {
            QString t;
            t += QChar(0x05);
            t += QChar(0x01);
            SendPlain(*c, t);
            if (!sessions_.Find(c->login.token)) {
                Log("lobby session of " + c->login.user + " expired");
                Drop(c);
            }
        }
        return;
    }
    Bind(*login, from, now);
    if (Client* c = FindByEndpoint(from)) {
        QString t;
        t += QChar(0x08);
        t += QChar(0x01);
        SendPlain(*c, t);
    }
}

void LobbyServer::HandleRoomJoin(Client& c, const QString& text) {
    if (text.size() < 2)
        return;
    const int room = text[1].unicode();
    if (!ValidRoom(room))
        return;
    c.room = room;
    BroadcastState(c);
    std::vector<BatchEntry> batch;
    batch.reserve(clients_.size());
    for (auto& [ep, other] : clients_) {
        BatchEntry e;
        e.room = static_cast<char16_t>(other->room);
        e.group = other->vip ? u'v' : u'm';
        e.rank = static_cast<std::uint8_t>(other->rank);
        e.tag = CutUtf8(Q(other->tag), 3);
        e.name = CutUtf8(other->name(), 16);
        batch.push_back(std::move(e));
    }
    for (const std::string& d : UserBatchDatagrams(batch))
        out_.Send(Channel::Lobby, c.ep, d);
}

void LobbyServer::HandleEncrypted(Client& c, const QString& text, Clock::time_point now) {
    auto plain = c.cipher.DecryptString(text.mid(1));
    if (!plain || plain->isEmpty())
        return;
    const char16_t op = plain->at(0).unicode();
    if (op == 0x01)
        HandleChat(c, *plain, now);
    else if (op == 0x04)
        HandlePrivate(c, *plain);
}

void LobbyServer::HandleChat(Client& c, const QString& text, Clock::time_point now) {
    if (text.size() < 3)
        return;
    const int room = text[1].unicode();
    if (room != 1 && room != 2 && room != 3 && room != 5)
        return;
    if (c.chatBanned || now < c.floodBanUntil)
        return;
    // Five lines at once, then one per second; more is spamming.
    const double dt = std::chrono::duration<double>(now - c.chatRefill).count();
    c.chatRefill = now;
    c.chatTokens = std::min(5.0, c.chatTokens + dt);
    if (c.chatTokens < 1) {
        c.floodBanUntil = now + std::chrono::minutes(5);
        QString t;
        t += QChar(0x0B);
        t += QChar(0x03);
        SendEncrypted(c, t);
        Log("chat flood by " + c.login.user + ", muted for 5 minutes");
        return;
    }
    c.chatTokens -= 1;
    const QString body = Sanitised(text.mid(2), kMaxChatChars).trimmed();
    if (body.isEmpty())
        return;
    QString line;
    line += QChar(0x01);
    line += QChar(static_cast<char16_t>(room));
    line += c.name() + QStringLiteral(": ") + body;
    for (auto& [ep, other] : clients_)
        if (other->room == room)
            SendEncrypted(*other, line);
}

void LobbyServer::HandlePrivate(Client& c, const QString& text) {
    // U+0004 ; sender ; recipient ; U+0001 text U+0001
    const QStringList f = text.split(u';');
    if (f.size() < 4)
        return;
    if (f[1].compare(c.name(), Qt::CaseInsensitive) != 0)
        return; // nobody writes in another's name
    Client* to = FindByName(f[2]);
    if (!to)
        return;
    const qsizetype start = text.indexOf(QChar(0x01));
    const qsizetype end = text.lastIndexOf(QChar(0x01));
    if (start < 0 || end <= start)
        return;
    const QString body = Sanitised(text.mid(start + 1, end - start - 1), 1024);
    QString t;
    t += QChar(0x09);
    t += QChar(0x01);
    t += c.name();
    t += QChar(0x01);
    t += body;
    t += QChar(0x01);
    SendEncrypted(*to, t);
}

void LobbyServer::InviteToClan(Client& inviter, const QString& name) {
    Client* to = FindByName(name);
    if (!to || to == &inviter)
        return;
    const auto clans = db_.ClansOf(inviter.login.userId);
    if (clans.empty())
        return;
    const std::uint32_t clanId = clans.front().clanId;
    if (std::find(to->clanInvites.begin(), to->clanInvites.end(), clanId) ==
        to->clanInvites.end()) {
        if (to->clanInvites.size() >= 16)
            to->clanInvites.pop_front();
        to->clanInvites.push_back(clanId);
    }
    QString t;
    t += QChar(0x13);
    t += u'C';
    t += u';';
    t += Q(db_.ClanName(clanId));
    t += u';';
    t += inviter.name();
    t += u';';
    SendPlain(*to, t);
}

void LobbyServer::InviteFriend(Client& inviter, const QString& name) {
    Client* to = FindByName(name);
    if (!to || to == &inviter)
        return;
    auto& list = to->friendInvitesFrom;
    if (std::find(list.begin(), list.end(), inviter.login.userId) == list.end()) {
        if (list.size() >= 16)
            list.pop_front();
        list.push_back(inviter.login.userId);
    }
    QString t;
    t += QChar(0x13);
    t += u'F';
    t += inviter.name();
    SendPlain(*to, t);
}

void LobbyServer::HandleInvitationReply(Client& c, const QString& text, bool accept) {
    // U+0014/U+0015, kind, then the notification's text: kind again and the name.
    if (text.size() < 4 || text[2] != text[1])
        return;
    const QString name = text.mid(3);
    auto joined = [&](Client& who, char16_t kind, const QString& what) {
        QString t;
        t += QChar(0x15);
        t += QChar(kind);
        t += QChar(kind);
        t += u';';
        t += what;
        SendPlain(who, t);
    };
    if (text[1] == u'C') {
        auto clan = db_.FindClan(name.toStdString());
        if (!clan)
            return;
        auto it = std::find(c.clanInvites.begin(), c.clanInvites.end(), clan->first);
        if (it == c.clanInvites.end())
            return;
        c.clanInvites.erase(it);
        if (accept && db_.JoinClan(clan->first, c.login.userId)) {
            c.tag = db_.ClanTagOf(c.login.userId);
            joined(c, u'C', Q(db_.ClanName(clan->first)));
        }
    } else if (text[1] == u'F') {
        auto inviter = db_.FindUser(name.toStdString());
        if (!inviter)
            return;
        auto it = std::find(c.friendInvitesFrom.begin(), c.friendInvitesFrom.end(), inviter->id);
        if (it == c.friendInvitesFrom.end())
            return;
        c.friendInvitesFrom.erase(it);
        if (accept && db_.AddFriends(c.login.userId, inviter->id)) {
            joined(c, u'F', Q(inviter->name));
            if (Client* other = FindByName(Q(inviter->name)))
                joined(*other, u'F', c.name());
        }
    }
}

void LobbyServer::OnRoomList(const Endpoint& from, std::string_view data) {
    if (data.size() != 1 || data[0] != '\x0A')
        return;
    if (!FindByEndpoint(from))
        return; // no answers to addresses without a session
    for (const HostedRoom& r : rooms_)
        out_.Send(Channel::RoomList, from, RoomListDatagram(r));
}

void LobbyServer::OnObject(const Endpoint& from, std::string_view data, bool viaFixedAddress,
                           Clock::time_point now) {
    if (data.empty() || data.size() > 2048)
        return;
    Client* c = FindForObject(from, viaFixedAddress);
    if (!c)
        return;
    c->lastSeen = now;
    const auto* b = reinterpret_cast<const std::uint8_t*>(data.data());
    const std::size_t n = data.size();
    auto tokenAt = [&](std::size_t off) -> std::string {
        if (n <= off)
            return {};
        const std::size_t cap = std::min<std::size_t>(40, n - off - 1);
        const std::size_t len = std::min<std::size_t>(b[off], cap);
        return std::string(data.substr(off + 1, len));
    };
    switch (b[0]) {
    case 0x01: { // profile
        const std::string name(data.substr(1, 16));
        auto user = db_.FindUser(name);
        if (!user)
            return;
        std::string clan;
        if (auto clans = db_.ClansOf(user->id); !clans.empty())
            clan = db_.ClanName(clans.front().clanId);
        std::string answer("\x01\x00", 2);
        answer += ProfileRecord(*user, clan);
        out_.Send(Channel::Object, from, answer);
        return;
    }
    case 0x02: { // profile edit
        if (n < 298 || tokenAt(1) != c->login.token)
            return;
        const QString bio = ReadShortString(b, 42, 255);
        db_.SetBio(c->login.userId, Sanitised(bio, 255).toStdString());
        return;
    }
    case 0x05: { // my clans
        if (n < 3 || b[1] != 0x09)
            return;
        const std::string token = tokenAt(2);
        if (token.empty() || c->login.token.rfind(token, 0) != 0 || token.size() < 16)
            return;
        std::string answer(74, '\0');
        answer[0] = 0x05;
        answer[1] = 0x09;
        for (const ClanMembership& m : db_.ClansOf(c->login.userId)) {
            if (m.game < 0 || m.game > 5)
                continue;
            const std::size_t off = 2 + static_cast<std::size_t>(m.game) * 12;
            answer[off] = 1;
            for (int i = 0; i < 4; ++i)
                answer[off + 4 + static_cast<std::size_t>(i)] =
                    static_cast<char>((m.clanId >> (8 * i)) & 0xFF);
            answer[off + 8] = m.leader ? 1 : 0;
        }
        out_.Send(Channel::Object, from, answer);
        return;
    }
    case 0x12: // friend invitation
        InviteFriend(*c, QString::fromUtf8(data.data() + 1, static_cast<qsizetype>(n - 1)));
        return;
    case 0x08: // clan invitation
        InviteToClan(*c, QString::fromUtf8(data.data() + 1, static_cast<qsizetype>(n - 1)));
        return;
    case 0x20: { // clan creation: TClanCreate
        if (n < 1 + 283)
            return;
        const QString name = Sanitised(ReadShortString(b + 1, 0, 20), 20).trimmed();
        const QString tag = Sanitised(ReadShortString(b + 1, 21, 3), 3).trimmed();
        const int game = b[1 + 281];
        if (name.isEmpty() || tag.isEmpty() || game > 5)
            return;
        if (db_.CreateClan(name.toStdString(), tag.toStdString(), c->login.userId, game))
            c->tag = db_.ClanTagOf(c->login.userId);
        return;
    }
    default:
        return; // clan pages and the rest need no answer
    }
}

void LobbyServer::Tick(Clock::time_point now) {
    const auto idle = std::chrono::seconds(config_.sessionIdleSeconds);
    std::vector<Client*> stale;
    for (auto& [ep, c] : clients_)
        if (now - c->lastSeen > idle)
            stale.push_back(c.get());
    for (Client* c : stale) {
        Log("lobby session of " + c->login.user + " timed out");
        Drop(c);
    }
}

std::vector<std::string> LobbyServer::Admin(const std::string& line, Clock::time_point now) {
    (void)now;
    std::string cmd = line, rest;
    if (auto sp = line.find(' '); sp != std::string::npos) {
        cmd = line.substr(0, sp);
        rest = line.substr(sp + 1);
    }
    auto arg = [&](std::string& s) {
        auto sp = s.find(' ');
        std::string a = s.substr(0, sp);
        s = sp == std::string::npos ? std::string() : s.substr(sp + 1);
        return a;
    };
    auto err = [](const std::string& e) { return std::vector<std::string>{"ERR " + e}; };
    const std::vector<std::string> ok{"OK"};
    auto encryptedTo = [&](const std::string& user,
                           const QString& text) -> std::vector<std::string> {
        Client* c = FindByName(Q(user));
        if (!c)
            return err("no lobby session for " + user);
        SendEncrypted(*c, text);
        return {"OK"};
    };
    auto code = [](char16_t a, char16_t b) {
        QString t;
        t += QChar(a);
        t += QChar(b);
        return t;
    };

    if (cmd == "help")
        return {"OK notify chatban chatunban capture address reauth expire servertag removemac "
                "adapters tick room-add room-del vip ban rank mapstat clan-create sessions"};
    if (cmd == "notify") {
        const std::string who = arg(rest);
        if (who.empty() || rest.empty())
            return err("usage: notify USER|* TEXT");
        // A plain datagram that starts with U+0006 reads as an encrypted one
        // to the client, so notifications always travel encrypted.
        QString t = code(0x06, 0x01) + Q(rest);
        if (who == "*") {
            for (auto& [ep, c] : clients_)
                SendEncrypted(*c, t);
            return ok;
        }
        Client* c = FindByName(Q(who));
        if (!c)
            return err("no lobby session for " + who);
        SendEncrypted(*c, t);
        return ok;
    }
    if (cmd == "chatban" || cmd == "chatunban") {
        const std::string who = arg(rest);
        Client* c = FindByName(Q(who));
        if (!c)
            return err("no lobby session for " + who);
        c->chatBanned = cmd == "chatban";
        if (!c->chatBanned)
            c->floodBanUntil = {};
        SendEncrypted(*c, code(0x0B, c->chatBanned ? 0x03 : 0x04));
        return ok;
    }
    if (cmd == "capture") {
        const std::string who = arg(rest);
        const std::string mode = arg(rest);
        const char16_t sub = mode == "off" ? 1 : mode == "on" ? 2 : mode == "pause" ? 9 : 0;
        if (!sub)
            return err("usage: capture USER off|on|pause");
        return encryptedTo(who, code(0x0B, sub));
    }
    if (cmd == "address") {
        const std::string who = arg(rest);
        const std::string sub = arg(rest);
        const std::string ip = arg(rest);
        if (sub.size() != 1 || sub[0] < '1' || sub[0] > '6' || !ParseIPv4(ip, nullptr))
            return err("usage: address USER 1..6 IPv4");
        return encryptedTo(who, code(0x14, static_cast<char16_t>(sub[0] - '0')) + Q(ip));
    }
    if (cmd == "reauth" || cmd == "expire") {
        // The client honours "session expired" (5) only while it waits for
        // the answer to a re-authentication (7). Expiring therefore voids
        // the token and asks for re-authentication; the hello with the void
        // token is answered with 5 and the session ends.
        const std::string who = arg(rest);
        Client* c = FindByName(Q(who));
        if (!c)
            return err("no lobby session for " + who);
        if (cmd == "expire")
            sessions_.Remove(c->login.token);
        SendPlain(*c, code(0x07, 0x01));
        return ok;
    }
    if (cmd == "servertag") {
        const std::string who = arg(rest);
        if (rest.empty() || rest.size() > 8)
            return err("usage: servertag USER TAG (up to 8 characters)");
        return encryptedTo(who, code(0x0B, 0x05) + QStringLiteral("  ") + Q(rest));
    }
    if (cmd == "removemac") {
        const std::string who = arg(rest);
        if (rest.size() != 12)
            return err("usage: removemac USER HEX12");
        return encryptedTo(who, code(0x0B, 0x06) + Q(rest));
    }
    if (cmd == "adapters") {
        const std::string who = arg(rest);
        Client* c = FindByName(Q(who));
        if (!c)
            return err("no lobby session for " + who);
        std::vector<std::string> lines;
        for (const QString& a : c->adapters)
            lines.push_back("adapter " + a.toStdString());
        c->adapters.clear();
        SendEncrypted(*c, code(0x0B, 0x07));
        lines.push_back("OK");
        return lines;
    }
    if (cmd == "tick") {
        const std::string who = arg(rest);
        const std::string n = arg(rest);
        Client* c = FindByName(Q(who));
        if (!c)
            return err("no lobby session for " + who);
        const int t = std::atoi(n.c_str());
        if (n.empty() || t < 0 || t > 255)
            return err("usage: tick USER 0..255");
        std::vector<std::string> lines;
        if (!c->lastTickAnswer.isEmpty())
            lines.push_back("last-answer " +
                            QString::number(c->lastTickAnswer[0].unicode()).toStdString());
        QString msg = code(0x0D, 0x01);
        msg += QChar(0x01);
        msg += QChar(static_cast<char16_t>(t));
        SendPlain(*c, msg);
        lines.push_back("OK");
        return lines;
    }
    if (cmd == "room-add") {
        auto f = SplitBar(rest);
        if (f.size() != 7 || f[0].empty())
            return err("usage: room-add NAME|PLAYERS|MAX|PASSWORD|WEAPONS|MAP|CODES");
        HostedRoom r;
        r.name = Ansi(f[0]).substr(0, 21);
        r.players = Ansi(f[1]);
        r.maxPlayers = Ansi(f[2]);
        r.password = Ansi(f[3]);
        r.weapons = Ansi(f[4]);
        r.map = Ansi(f[5]);
        for (const std::string* s : {&r.players, &r.maxPlayers, &r.password, &r.weapons, &r.map})
            if (s->find(';') != std::string::npos || s->size() > 64)
                return err("fields may not hold ';' and are up to 64 characters");
        if (r.name.find(';') != std::string::npos)
            return err("the name may not hold ';'");
        const std::string& hex = f[6];
        if (hex.size() % 2 || hex.size() > 128)
            return err("CODES must be hex bytes");
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            char* end = nullptr;
            const std::string byte = hex.substr(i, 2);
            const long v = std::strtol(byte.c_str(), &end, 16);
            if (*end || v == 0 || v == ';')
                return err("map codes 00 and 3B cannot be sent");
            r.mapCodes.push_back(static_cast<char>(v));
        }
        auto same = std::find_if(rooms_.begin(), rooms_.end(),
                                 [&](const HostedRoom& x) { return x.name == r.name; });
        if (same != rooms_.end())
            *same = r;
        else if (rooms_.size() >= kMaxRooms)
            return err("too many rooms");
        else
            rooms_.push_back(r);
        return ok;
    }
    if (cmd == "room-del") {
        const std::string name = Ansi(rest).substr(0, 21);
        const auto before = rooms_.size();
        std::erase_if(rooms_, [&](const HostedRoom& x) { return x.name == name; });
        return before == rooms_.size() ? err("no such room") : ok;
    }
    if (cmd == "vip" || cmd == "ban") {
        const std::string who = arg(rest);
        const std::string onoff = arg(rest);
        if (onoff != "on" && onoff != "off")
            return err("usage: " + cmd + " USER on|off");
        if (!db_.SetFlag(who, cmd == "vip" ? "vip" : "banned", onoff == "on"))
            return err("no such user");
        if (Client* c = FindByName(Q(who)); c && cmd == "vip") {
            c->vip = onoff == "on";
            BroadcastState(*c);
        }
        return ok;
    }
    if (cmd == "rank") {
        const std::string who = arg(rest);
        const int r = std::atoi(rest.c_str());
        if (rest.empty() || r < 0 || r > 16)
            return err("usage: rank USER 0..16");
        if (!db_.SetFlag(who, "rank", r))
            return err("no such user");
        if (Client* c = FindByName(Q(who))) {
            c->rank = r;
            BroadcastState(*c);
        }
        return ok;
    }
    if (cmd == "mapstat") {
        auto f = SplitBar(rest);
        if (f.size() != 4 || f[0].empty())
            return err("usage: mapstat NAME|FREQ|MINUTES|LAST");
        MapStatRow row{f[0], std::atoi(f[1].c_str()), std::atoi(f[2].c_str()), f[3]};
        if (row.freq < 0 || row.freq > 255 || row.minutes < 0)
            return err("FREQ is 0..255, MINUTES not negative");
        return db_.SetMapStat(row) ? ok : err("database error");
    }
    if (cmd == "clan-create") {
        auto f = SplitBar(rest);
        if (f.size() != 4 || f[0].empty() || f[0].size() > 20 || f[1].empty() || f[1].size() > 3)
            return err("usage: clan-create NAME|TAG|LEADER|GAME");
        auto leader = db_.FindUser(f[2]);
        const int game = std::atoi(f[3].c_str());
        if (!leader || game < 0 || game > 5)
            return err("unknown leader or game");
        const auto id = db_.CreateClan(f[0], f[1], leader->id, game);
        if (!id)
            return err("clan name or tag taken, or the leader has a clan of that game");
        if (Client* c = FindByName(Q(leader->name)))
            c->tag = db_.ClanTagOf(leader->id);
        return {"OK " + std::to_string(id)};
    }
    if (cmd == "sessions") {
        std::vector<std::string> lines;
        for (auto& [ep, c] : clients_)
            lines.push_back("session " + c->login.user + " " + ep.text() + " room " +
                            std::to_string(c->room) + " game " + c->game.toStdString());
        lines.push_back("OK " + std::to_string(clients_.size()));
        return lines;
    }
    return err("unknown command (try help)");
}

} // namespace tarn::server
