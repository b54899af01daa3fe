#include "ServerHarness.h"

#include "lobby/LobbyCipher.h"

#include <httplib.h>

#include <QDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace tarn::test {

ServerProcess::ServerProcess(std::string a, std::string dir, std::vector<std::string> extra)
    : address(std::move(a)), stateDir(std::move(dir)), extra_(std::move(extra)) {
    proc_.setProcessChannelMode(QProcess::MergedChannels);
}

ServerProcess::~ServerProcess() {
    if (proc_.state() != QProcess::NotRunning)
        Stop();
}

bool ServerProcess::Start() {
    output_.clear();
    QStringList args{"--address", QString::fromStdString(address), "--web-port",
                     QString::number(webPort), "--http-port", QString::number(httpPort),
                     "--dns-port", QString::number(dnsPort), "--state",
                     QString::fromStdString(stateDir), "--pbkdf2-iterations", "2000",
                     // Leave 127.0.0.1:40000 to whoever else needs it.
                     "--object-address", QString::fromStdString(address)};
    for (const std::string& e : extra_)
        args << QString::fromStdString(e);
    proc_.start(QStringLiteral(TARN_SERVER_BIN), args);
    if (!proc_.waitForStarted(10000))
        return false;
    for (int i = 0; i < 200; ++i) {
        if (output_.find("ready on") != std::string::npos)
            return true;
        if (!proc_.waitForReadyRead(30000))
            break;
        output_ += proc_.readAll().toStdString();
    }
    return output_.find("ready on") != std::string::npos;
}

int ServerProcess::Stop() {
    if (proc_.state() == QProcess::NotRunning)
        return proc_.exitCode();
    proc_.terminate();
    if (!proc_.waitForFinished(20000)) {
        proc_.kill();
        proc_.waitForFinished(5000);
        return -1;
    }
    output_ += proc_.readAll().toStdString();
    return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
}

std::string ServerProcess::Output() {
    output_ += proc_.readAll().toStdString();
    return output_;
}

std::vector<std::string> ServerProcess::Admin(const std::string& line) {
    std::vector<std::string> lines;
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string path = stateDir + "/admin.sock";
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return {"ERR connect"};
    }
    const std::string msg = line + "\n";
    ::send(fd, msg.data(), msg.size(), MSG_NOSIGNAL);
    std::string buf;
    for (int i = 0; i < 100; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        char tmp[4096];
        const ssize_t n = ::read(fd, tmp, sizeof tmp);
        if (n <= 0)
            break;
        buf.append(tmp, static_cast<std::size_t>(n));
        bool done = false;
        std::size_t nl;
        while ((nl = buf.find('\n')) != std::string::npos) {
            lines.push_back(buf.substr(0, nl));
            buf.erase(0, nl + 1);
            if (lines.back().rfind("OK", 0) == 0 || lines.back().rfind("ERR", 0) == 0)
                done = true;
        }
        if (done)
            break;
    }
    ::close(fd);
    return lines;
}

UdpPeer::UdpPeer() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
}

UdpPeer::~UdpPeer() {
    ::close(fd_);
}

void UdpPeer::Send(const std::string& address, int port, const std::string& bytes) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

std::optional<Datagram> UdpPeer::Recv(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return std::nullopt;
    char buf[9000];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return std::nullopt;
    return Datagram{std::string(buf, static_cast<std::size_t>(n)), ntohl(from.sin_addr.s_addr),
                    ntohs(from.sin_port)};
}

namespace {

WebReply FromResult(const httplib::Result& r) {
    WebReply w;
    if (!r)
        return w;
    w.status = r->status;
    w.body = r->body;
    const std::string c = r->get_header_value("Set-Cookie");
    w.cookie = c.substr(0, c.find(';'));
    return w;
}

std::unique_ptr<httplib::SSLClient> Tls(const ServerProcess& s) {
    auto c = std::make_unique<httplib::SSLClient>(s.address, s.webPort);
    c->enable_server_certificate_verification(false);
    c->set_connection_timeout(10);
    c->set_read_timeout(30);
    return c;
}

} // namespace

WebReply PostMultipart(const ServerProcess& s, const std::string& path, const Fields& fields,
                       const std::string& cookie) {
    auto c = Tls(s);
    httplib::MultipartFormDataItems items;
    for (const auto& [n, v] : fields)
        items.push_back({n, v, "", ""});
    httplib::Headers h;
    if (!cookie.empty())
        h.emplace("Cookie", cookie);
    return FromResult(c->Post(path.c_str(), h, items));
}

WebReply PostUrlEncoded(const ServerProcess& s, const std::string& path, const Fields& fields) {
    auto c = Tls(s);
    httplib::Params p;
    for (const auto& [n, v] : fields)
        p.emplace(n, v);
    return FromResult(c->Post(path.c_str(), p));
}

WebReply GetHttps(const ServerProcess& s, const std::string& path) {
    auto c = Tls(s);
    return FromResult(c->Get(path.c_str()));
}

WebReply GetHttp(const ServerProcess& s, const std::string& path) {
    httplib::Client c(s.address, s.httpPort);
    c.set_connection_timeout(10);
    return FromResult(c.Get(path.c_str()));
}

std::string Sha(const std::string& pw) {
    return tarn::PasswordHash(QString::fromStdString(pw)).toStdString();
}

namespace {

LoginResult Parse(WebReply w) {
    LoginResult r;
    r.reply = std::move(w);
    std::size_t start = 0;
    const std::string& b = r.reply.body;
    for (;;) {
        const auto p = b.find(';', start);
        r.fields.push_back(b.substr(start, p - start));
        if (p == std::string::npos)
            break;
        start = p + 1;
    }
    auto value = [&](std::size_t i) {
        if (i >= r.fields.size())
            return std::string();
        const auto c = r.fields[i].find(':');
        return c == std::string::npos ? std::string() : r.fields[i].substr(c + 1);
    };
    r.token = value(1);
    r.key = value(2);
    return r;
}

} // namespace

LoginResult Register(const ServerProcess& s, const std::string& user, const std::string& pw,
                     const std::string& email) {
    return Parse(PostMultipart(s, "/accounts/?scriptname=auth.php",
                               {{"account", user},
                                {"version", "0.95f"},
                                {"platformVer", " "},
                                {"uport", ""},
                                {"ConfigParms", ""},
                                {"AuthCode", "abc%2B"},
                                {"Password", Sha(pw)},
                                {"Password2", Sha(pw)},
                                {"email", email},
                                {"email2", email},
                                {"registry", "true"}}));
}

LoginResult LogIn(const ServerProcess& s, const std::string& user, const std::string& pw,
                  const std::string& version) {
    return Parse(PostMultipart(s, "/accounts/?scriptname=auth.php",
                               {{"account", user},
                                {"version", version},
                                {"platformVer", " "},
                                {"uport", ""},
                                {"ConfigParms", "001122334455\r\n"},
                                {"AuthCode", "abc%2B"},
                                {"Password", Sha(pw)},
                                {"registry", "false"}}));
}

std::string Utf8(const QString& s) {
    return s.toUtf8().toStdString();
}
QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace tarn::test
