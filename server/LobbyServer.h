#pragma once
// The lobby server (UDP 30022), the room list (UDP 3758) and the object
// server's answers (UDP 40000), with the admin commands that steer clients.
// Lives on the UDP loop thread; the database and the session store it uses
// are thread-safe.

#include "Config.h"
#include "Database.h"
#include "Endpoint.h"
#include "Sessions.h"
#include "lobby/LobbyCipher.h"

#include <QString>

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::server {

enum class Channel { Lobby, RoomList, Object };

class Outbox {
public:
    virtual ~Outbox() = default;
    virtual void Send(Channel from, const Endpoint& to, std::string_view bytes) = 0;
};

struct HostedRoom {
    std::string name; // ANSI bytes
    std::string players, maxPlayers, password, weapons, map;
    std::string mapCodes; // one byte per map
};

// The game-room datagram (operation 10) of one hosted room.
std::string RoomListDatagram(const HostedRoom& room);

struct BatchEntry {
    char16_t room = 4;
    char16_t group = u'm';
    std::uint8_t rank = 0;
    std::string tag;  // UTF-8, cut to 3 bytes
    std::string name; // UTF-8, cut to 16 bytes
};
// User batches (operation 3): 256 records per datagram at most.
std::vector<std::string> UserBatchDatagrams(const std::vector<BatchEntry>& users);

// TProfile, 451 bytes.
std::string ProfileRecord(const UserRow& user, const std::string& clanName);

class LobbyServer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kMaxClients = 1024;
    static constexpr std::size_t kMaxRooms = 200;
    static constexpr int kMaxChatChars = 512;

    LobbyServer(Database& db, SessionStore& sessions, const ServerConfig& config, Outbox& out);
    ~LobbyServer();

    void OnLobby(const Endpoint& from, std::string_view data, Clock::time_point now);
    void OnRoomList(const Endpoint& from, std::string_view data);
    // viaFixedAddress: the request reached the client's fixed object-server
    // address rather than the service address.
    void OnObject(const Endpoint& from, std::string_view data, bool viaFixedAddress,
                  Clock::time_point now);
    // Drops sessions idle for longer than the configured time.
    void Tick(Clock::time_point now);

    // One admin command line; the reply lines (the last starts OK or ERR).
    std::vector<std::string> Admin(const std::string& line, Clock::time_point now);

    std::size_t ClientCount() const { return clients_.size(); }

private:
    struct Client;

    Client* FindByEndpoint(const Endpoint& ep);
    Client* FindByName(const QString& name);
    Client* FindForObject(const Endpoint& from, bool viaFixedAddress);
    void Bind(const LoginSession& login, const Endpoint& from, Clock::time_point now);
    void Drop(Client* c);
    void HandleHello(const Endpoint& from, const QString& text, Clock::time_point now);
    void HandleEncrypted(Client& c, const QString& text, Clock::time_point now);
    void HandleChat(Client& c, const QString& text, Clock::time_point now);
    void HandlePrivate(Client& c, const QString& text);
    void HandleRoomJoin(Client& c, const QString& text);
    void HandleInvitationReply(Client& c, const QString& text, bool accept);
    void InviteToClan(Client& inviter, const QString& name);
    void InviteFriend(Client& inviter, const QString& name);

    void SendPlain(const Client& c, const QString& text);
    void SendEncrypted(Client& c, const QString& text);
    void BroadcastState(const Client& c);
    QString StateText(const Client& c) const;

    Database& db_;
    SessionStore& sessions_;
    const ServerConfig& config_;
    Outbox& out_;
    std::map<Endpoint, std::unique_ptr<Client>> clients_;
    std::map<QString, Client*> byName_; // lower-case name
    std::vector<HostedRoom> rooms_;
};

} // namespace tarn::server
