#pragma once
// Command-line settings of tarn-server.

#include <cstdint>
#include <optional>
#include <string>

namespace tarn::server {

struct ServerConfig {
    std::string address = "127.0.0.1"; // every UDP service and both web servers bind here
    int webPort = 8443;                // HTTPS account service
    int httpPort = 8080;               // plain-HTTP main web host
    int dnsPort = 53;
    std::string objectAddress = "127.0.0.1"; // the client's fixed object-server address
    std::string stateDir;
    std::string lobbyHost = "lobby.tarn.test";
    std::string requiredVersion = "0.95f";
    std::string latestVersion; // newest client; empty = the required version
    std::string backupAddress; // BackUpIp of the login reply; empty = address
    std::string writeEndpoints;
    int pbkdf2Iterations = 100000;
    int sessionIdleSeconds = 120;
    bool help = false;
};

// nullopt and an error text for unknown flags or bad values.
std::optional<ServerConfig> ParseArgs(int argc, char** argv, std::string* error);

// The --help text: every flag and every admin command.
std::string HelpText();

bool ParseIPv4(const std::string& text, std::uint32_t* hostOrder);

} // namespace tarn::server
