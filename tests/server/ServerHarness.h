#pragma once
// Runs tarn-server on a loopback address of its own and talks to it the way
// the client does: multipart forms over TLS, datagrams over UDP, commands on
// the admin socket.

#include <QProcess>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn::test {

class ServerProcess {
public:
    // address: a loopback address used by this test only.
    ServerProcess(std::string address, std::string stateDir, std::vector<std::string> extra = {});
    ~ServerProcess();

    bool Start(); // waits until the server reports it is ready
    int Stop();   // SIGTERM; the exit code, -1 when it did not end
    std::string Output();
    // Sends one admin command; the reply lines up to the one starting OK/ERR.
    std::vector<std::string> Admin(const std::string& line);

    std::string address;
    std::string stateDir;
    int webPort = 18443;
    int httpPort = 18080;
    int dnsPort = 15353;

private:
    std::vector<std::string> extra_;
    QProcess proc_;
    std::string output_;
};

struct Datagram {
    std::string data;
    std::uint32_t fromIp = 0;
    std::uint16_t fromPort = 0;
};

// A UDP socket on 127.0.0.1 with an ephemeral port.
class UdpPeer {
public:
    UdpPeer();
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    void Send(const std::string& address, int port, const std::string& bytes);
    // The next datagram within timeoutMs, or nullopt.
    std::optional<Datagram> Recv(int timeoutMs = 5000);
    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

struct WebReply {
    int status = 0;
    std::string body;
    std::string cookie; // "TARNSESSION=..." from Set-Cookie
};

using Fields = std::vector<std::pair<std::string, std::string>>;
WebReply PostMultipart(const ServerProcess& s, const std::string& path, const Fields& fields,
                       const std::string& cookie = {});
WebReply PostUrlEncoded(const ServerProcess& s, const std::string& path, const Fields& fields);
WebReply GetHttps(const ServerProcess& s, const std::string& path);
WebReply GetHttp(const ServerProcess& s, const std::string& path);

std::string Sha(const std::string& password); // the client's password hash

struct LoginResult {
    WebReply reply;
    std::vector<std::string> fields; // the reply split at ";"
    std::string token, key;
};
LoginResult Register(const ServerProcess& s, const std::string& user, const std::string& pw,
                     const std::string& email = {});
LoginResult LogIn(const ServerProcess& s, const std::string& user, const std::string& pw,
                  const std::string& version = "0.95f");

// Text helpers for lobby messages (UTF-8 on the wire).
std::string Utf8(const QString& s);
QString FromUtf8(const std::string& s);

} // namespace tarn::test
