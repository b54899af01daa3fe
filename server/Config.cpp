#include "Config.h"

#include <arpa/inet.h>
#include <cstdlib>

namespace tarn::server {

bool ParseIPv4(const std::string& text, std::uint32_t* hostOrder) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    if (hostOrder)
        *hostOrder = ntohl(a.s_addr);
    return true;
}

namespace {

bool ParsePort(const std::string& s, int* out) {
    if (s.empty() || s.size() > 5)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    int v = std::atoi(s.c_str());
    if (v < 1 || v > 65535)
        return false;
    *out = v;
    return true;
}

} // namespace

std::optional<ServerConfig> ParseArgs(int argc, char** argv, std::string* error) {
    ServerConfig c;
    auto fail = [&](const std::string& e) -> std::optional<ServerConfig> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        const auto eq = a.find('=');
        bool hasInline = a.rfind("--", 0) == 0 && eq != std::string::npos;
        if (hasInline) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        auto next = [&](std::string* out) {
            if (hasInline) {
                *out = value;
                return true;
            }
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--address" || a == "--object-address" || a == "--backup-address") {
            if (!next(&v) || !ParseIPv4(v, nullptr))
                return fail(a + " needs a dotted IPv4 address");
            (a == "--address"          ? c.address
             : a == "--object-address" ? c.objectAddress
                                       : c.backupAddress) = v;
        } else if (a == "--web-port" || a == "--http-port" || a == "--dns-port") {
            int p = 0;
            if (!next(&v) || !ParsePort(v, &p))
                return fail(a + " needs a port number 1..65535");
            (a == "--web-port" ? c.webPort : a == "--http-port" ? c.httpPort : c.dnsPort) = p;
        } else if (a == "--state") {
            if (!next(&c.stateDir) || c.stateDir.empty())
                return fail("--state needs a folder");
        } else if (a == "--lobby-host") {
            if (!next(&c.lobbyHost) || c.lobbyHost.empty() || c.lobbyHost.size() > 253)
                return fail("--lobby-host needs a host name");
        } else if (a == "--required-version" || a == "--latest-version") {
            if (!next(&v) || v.empty() || v.size() > 32 || v.find(';') != std::string::npos)
                return fail(a + " needs a version text");
            (a == "--required-version" ? c.requiredVersion : c.latestVersion) = v;
        } else if (a == "--write-endpoints") {
            if (!next(&c.writeEndpoints) || c.writeEndpoints.empty())
                return fail("--write-endpoints needs a file name");
        } else if (a == "--pbkdf2-iterations" || a == "--session-idle") {
            if (!next(&v))
                return fail(a + " needs a number");
            int n = std::atoi(v.c_str());
            if (n < 1 || n > 10000000)
                return fail(a + " out of range");
            (a == "--pbkdf2-iterations" ? c.pbkdf2Iterations : c.sessionIdleSeconds) = n;
        } else {
            return fail("unknown argument: " + a);
        }
    }
    if (!c.help && c.stateDir.empty())
        return fail("--state DIR is required");
    if (c.latestVersion.empty())
        c.latestVersion = c.requiredVersion;
    if (c.backupAddress.empty())
        c.backupAddress = c.address;
    return c;
}

std::string HelpText() {
    return R"(Usage: tarn-server --state DIR [options]

The reference TARN service in one process: HTTPS account service, plain-HTTP
main web host, lobby server (UDP 30022), room list (UDP 3758), object-server
answers (UDP 40000), game relays (UDP 30122, 30123), PSP relay (UDP 30322)
and a DNS responder for the lobby host.

Options:
  --address A            IPv4 address every service binds to (default 127.0.0.1)
  --web-port P           HTTPS port of the account service on A (default 8443)
  --http-port Q          plain-HTTP port of the main web host on A (default 8080)
  --dns-port N           UDP port of the DNS responder on A (default 53; needs
                         root below 1024; a failed bind is logged, not fatal)
  --object-address O     address the client sends object-server requests to
                         (default 127.0.0.1; also bound when it differs from A;
                         a failed bind is logged, not fatal)
  --state DIR            state folder: tarn.db (SQLite), cert.pem, key.pem,
                         admin.sock, update.txt (required)
  --lobby-host NAME      host name the DNS responder answers (default lobby.tarn.test)
  --required-version V   client version allowed to log in (default 0.95f)
  --latest-version V     newest client version for the update check (default:
                         the required version)
  --backup-address B     BackUpIp of the login reply (default A)
  --write-endpoints FILE write the client's Endpoints.txt for this instance
  --pbkdf2-iterations N  PBKDF2 rounds for newly stored passwords (default 100000)
  --session-idle S       seconds without a datagram before a lobby session is
                         dropped (default 120)
  --help                 this text

Admin channel: connect to the Unix stream socket DIR/admin.sock and send one
command per line; each command is answered by one line starting "OK" or
"ERR" (the "sessions" command sends one line per session before "OK").
  notify USER|* TEXT           notification (operation 6) to a user or everyone
  chatban USER                 chat ban (command 3)
  chatunban USER               lift the chat ban (command 4)
  capture USER off|on|pause    capture switch (commands 1, 2, 9)
  address USER SUB IP          server address change, SUB 1..6 (operation 20)
  reauth USER                  ask for re-authentication (operation 7)
  expire USER                  void the session's token and ask for
                               re-authentication; the client's answer is met
                               with "session expired" (operation 5)
  servertag USER TAG           set the ServerTag (command 5, up to 8 characters)
  removemac USER HEX12         remove a paired console (command 6)
  adapters USER                ask for the adapter list (command 7)
  tick USER N                  tick request (operation 13) with tick number N
  room-add NAME|PLAYERS|MAX|PASSWORD|WEAPONS|MAP|CODES
                               add or replace a hosted game room; CODES are the
                               map codes as hex bytes (e.g. 0105), no 00 or 3B
  room-del NAME                remove a hosted game room
  vip USER on|off              mark a user VIP (viplist.php, member group "v")
  ban USER on|off              refuse logins of an account
  rank USER N                  rank image index 0..16
  mapstat NAME|FREQ|MINUTES|LAST
                               add or replace a row of /map_statistics.pack
  clan-create NAME|TAG|LEADER|GAME
                               create a clan led by LEADER (game index 0..5)
  sessions                     list the lobby sessions
  help                         list the commands
)";
}

} // namespace tarn::server
