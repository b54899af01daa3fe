#include "ServerApp.h"

#include "AccountService.h"
#include "Certificate.h"
#include "Database.h"
#include "Dns.h"
#include "Files.h"
#include "LobbyServer.h"
#include "Log.h"
#include "Relay.h"
#include "Sessions.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tarn::server {

namespace {

constexpr std::size_t kMaxBody = 64 * 1024;
constexpr std::size_t kMaxAdminConnections = 8;
constexpr std::size_t kMaxAdminLine = 4096;

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char b = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &b, 1);
}

int OpenUdp(std::uint32_t ip, int port, int rcvbuf, std::string* error) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::strerror(errno);
        return -1;
    }
    if (rcvbuf > 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &rcvbuf, sizeof rcvbuf);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(ip);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        *error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

void SendTo(int fd, const Endpoint& to, std::string_view bytes) {
    if (fd < 0)
        return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(to.port);
    a.sin_addr.s_addr = htonl(to.ip);
    ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a),
             sizeof a);
}

std::string ReadFile(const std::string& path, std::size_t cap) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string s(cap, '\0');
    in.read(s.data(), static_cast<std::streamsize>(cap));
    s.resize(static_cast<std::size_t>(in.gcount()));
    return s;
}

bool WriteFileAtomically(const std::string& path, const std::string& data) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

std::string CookieValue(const std::string& header, const std::string& name) {
    std::size_t pos = 0;
    while (pos < header.size()) {
        while (pos < header.size() && (header[pos] == ' ' || header[pos] == ';'))
            ++pos;
        const auto end = header.find(';', pos);
        const std::string part = header.substr(pos, end - pos);
        const auto eq = part.find('=');
        if (eq != std::string::npos && part.substr(0, eq) == name)
            return part.substr(eq + 1, 64);
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return {};
}

struct Sockets : Outbox {
    int lobby = -1, roomList = -1, object = -1, objectFixed = -1;
    void Send(Channel from, const Endpoint& to, std::string_view bytes) override {
        SendTo(from == Channel::Lobby      ? lobby
               : from == Channel::RoomList ? roomList
                                           : object,
               to, bytes);
    }
};

// The web servers' workers: a fixed number of threads and a bounded queue.
// When the queue is full the listener thread serves the connection itself,
// so it stops accepting until a worker is free and the kernel's backlog
// holds the rest: memory stays bounded under a flood of connections.
class BoundedPool : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t threads, std::size_t maxQueued) : maxQueued_(maxQueued) {
        for (std::size_t i = 0; i < threads; ++i)
            workers_.emplace_back([this] { Work(); });
    }
    void enqueue(std::function<void()> fn) override {
        {
            std::unique_lock lock(mutex_);
            if (!stopping_ && queue_.size() < maxQueued_) {
                queue_.push_back(std::move(fn));
                cv_.notify_one();
                return;
            }
        }
        fn();
    }
    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        for (std::thread& t : workers_)
            t.join();
    }

private:
    void Work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
            fn();
        }
    }

    std::size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;
};

struct AdminConnection {
    int fd = -1;
    std::string buffer;
};

void InstallRoutes(httplib::Server& web, AccountService& accounts, const char* scheme) {
    web.new_task_queue = [] { return new BoundedPool(8, 64); };
    web.set_payload_max_length(kMaxBody);
    web.set_read_timeout(10, 0);
    web.set_write_timeout(10, 0);
    // Idle keep-alive connections hold a worker; let them go soon.
    web.set_keep_alive_timeout(2);
    web.set_keep_alive_max_count(20);
    web.set_logger([scheme](const httplib::Request& req, const httplib::Response& res) {
        std::string target = req.path;
        if (auto it = req.params.find("scriptname"); it != req.params.end())
            target += "?scriptname=" + it->second.substr(0, 64);
        Log(std::string(scheme) + " " + req.remote_addr + " " + req.method + " " + target + " " +
            std::to_string(res.status));
    });
    auto handler = [&accounts](const httplib::Request& req, httplib::Response& res) {
        FormRequest f;
        if (auto it = req.params.find("scriptname"); it != req.params.end())
            f.script = it->second;
        for (const auto& [name, part] : req.files)
            f.fields.emplace(name, part.content);
        for (const auto& [name, value] : req.params)
            if (name != "scriptname")
                f.fields.emplace(name, value);
        f.cookieToken = CookieValue(req.get_header_value("Cookie"), kSessionCookie);
        FormReply r = accounts.Handle(f);
        res.status = r.status;
        if (!r.setCookie.empty())
            res.set_header("Set-Cookie", r.setCookie);
        res.set_content(r.body, "text/html; charset=utf-8");
    };
    for (const char* path : {"/accounts/?", "/forms/?"}) {
        web.Post(path, handler);
        web.Get(path, handler);
    }
}

void InstallFiles(httplib::Server& web, Database& db, const std::string& stateDir) {
    web.new_task_queue = [] { return new BoundedPool(8, 64); };
    web.set_payload_max_length(kMaxBody);
    web.set_read_timeout(10, 0);
    web.set_write_timeout(10, 0);
    // Idle keep-alive connections hold a worker; let them go soon.
    web.set_keep_alive_timeout(2);
    web.set_keep_alive_max_count(20);
    web.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        Log("http " + req.remote_addr + " " + req.method + " " + req.path.substr(0, 128) + " " +
            std::to_string(res.status));
    });
    web.Get("/update.txt", [stateDir](const httplib::Request&, httplib::Response& res) {
        res.set_content(ReadFile(stateDir + "/update.txt", kMaxBody), "text/plain");
    });
    web.Get("/TARN.exe", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(InstallerBody(), "application/octet-stream");
    });
    web.Get("/map_statistics.pack", [&db](const httplib::Request&, httplib::Response& res) {
        res.set_content(MapStatisticsPack(db.MapStats()), "application/octet-stream");
    });
    web.Get("/PCSX2/usbmaps.zip", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(UsbMapsZip(), "application/zip");
    });
    web.Get(R"(/(SOCOM3|SOCOMCA)/RUN/([A-Za-z0-9.]{1,16}))",
            [](const httplib::Request& req, httplib::Response& res) {
                const std::string body = MapPackFile(req.matches[1], req.matches[2]);
                if (body.empty()) {
                    res.status = 404;
                    res.set_content("Not found", "text/plain");
                    return;
                }
                res.set_content(body, "application/octet-stream");
            });
    auto page = [](const std::string& title, const std::string& text) {
        return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
               "</title></head><body><h1>" + title + "</h1><p>" + text + "</p></body></html>";
    };
    web.Get("/donate.php", [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page("Donate", "This private TARN server takes no donations."),
                        "text/html");
    });
    web.Get("/AdHocSetupGuide.php", [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page("PSP Ad-Hoc Setup Guide",
                             "Choose the wireless adapter your PSP reaches in the options "
                             "dialog, add the PSP's MAC address and press Apply/Save."),
                        "text/html");
    });
    web.Get("/", [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page("TARN", "A private TARN server."), "text/html");
    });
}

} // namespace

int RunServer(const ServerConfig& config) {
    std::uint32_t address = 0, objectAddress = 0;
    ParseIPv4(config.address, &address);
    ParseIPv4(config.objectAddress, &objectAddress);
    const std::string& dir = config.stateDir;
    ::mkdir(dir.c_str(), 0700);

    Database db;
    std::string error;
    if (!db.Open(dir + "/tarn.db", &error)) {
        Log("cannot open the database: " + error);
        return 1;
    }
    if (!EnsureSelfSignedCertificate(dir + "/cert.pem", dir + "/key.pem", config.address, &error)) {
        Log("certificate: " + error);
        return 1;
    }
    struct stat st {};
    if (::stat((dir + "/update.txt").c_str(), &st) != 0)
        WriteFileAtomically(dir + "/update.txt", DefaultUpdateText());

    SessionStore sessions;
    AccountService accounts(db, sessions, config);
    Sockets sockets;
    LobbyServer lobby(db, sessions, config, sockets);
    Relay relays[3];
    const int relayPorts[3] = {30122, 30123, 30322};
    int relayFds[3] = {-1, -1, -1};

    auto openOrFail = [&](int port, int buf, const char* what) {
        int fd = OpenUdp(address, port, buf, &error);
        if (fd < 0)
            Log(std::string("cannot bind ") + what + " " + config.address + ":" +
                std::to_string(port) + ": " + error);
        return fd;
    };
    sockets.lobby = openOrFail(30022, 1 << 20, "lobby");
    sockets.roomList = openOrFail(3758, 0, "room list");
    sockets.object = openOrFail(40000, 0, "object server");
    for (int i = 0; i < 3; ++i)
        relayFds[i] = openOrFail(relayPorts[i], 4 << 20, "relay");
    if (sockets.lobby < 0 || sockets.roomList < 0 || sockets.object < 0 || relayFds[0] < 0 ||
        relayFds[1] < 0 || relayFds[2] < 0)
        return 1;
    if (objectAddress != address) {
        sockets.objectFixed = OpenUdp(objectAddress, 40000, 0, &error);
        if (sockets.objectFixed < 0)
            Log("object-server requests to " + config.objectAddress +
                ":40000 are not served: " + error);
    }
    int dnsFd = OpenUdp(address, config.dnsPort, 0, &error);
    if (dnsFd < 0)
        Log("DNS responder off (" + config.address + ":" + std::to_string(config.dnsPort) +
            "): " + error);

    // Admin channel.
    const std::string adminPath = dir + "/admin.sock";
    int adminFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        if (adminPath.size() >= sizeof a.sun_path) {
            Log("state folder path too long for the admin socket");
            return 1;
        }
        std::strcpy(a.sun_path, adminPath.c_str());
        ::unlink(adminPath.c_str());
        if (adminFd < 0 || ::bind(adminFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(adminFd, 4) != 0) {
            Log("cannot open the admin socket " + adminPath + ": " + std::strerror(errno));
            return 1;
        }
        ::chmod(adminPath.c_str(), 0600);
    }

    // Web servers.
    httplib::SSLServer https((dir + "/cert.pem").c_str(), (dir + "/key.pem").c_str());
    httplib::Server http;
    if (!https.is_valid()) {
        Log("the TLS server cannot use the certificate in " + dir);
        return 1;
    }
    InstallRoutes(https, accounts, "https");
    InstallFiles(http, db, dir);
    if (!https.bind_to_port(config.address.c_str(), config.webPort) ||
        !http.bind_to_port(config.address.c_str(), config.httpPort)) {
        Log("cannot bind the web ports " + std::to_string(config.webPort) + "/" +
            std::to_string(config.httpPort) + " on " + config.address);
        return 1;
    }

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::thread httpsThread([&] { https.listen_after_bind(); });
    std::thread httpThread([&] { http.listen_after_bind(); });

    // stop() only reaches a server that is already listening.
    for (int i = 0; i < 500 && !(https.is_running() && http.is_running()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    if (!config.writeEndpoints.empty()) {
        std::ostringstream e;
        e << "WebHost=" << config.address << ":" << config.webPort << "\n"
          << "MainWebHost=" << config.address << ":" << config.httpPort << "\n"
          << "LobbyHost=" << config.lobbyHost
          << "\n"
          // The client's table takes "host:port" for a DNS server off port 53.
          << "DnsServer=" << config.address
          << (config.dnsPort == 53 ? std::string() : ":" + std::to_string(config.dnsPort)) << "\n"
          << "SupportEmail=support@tarn.test\n"
          << "UsbMapsMd5=" << Md5Hex(UsbMapsZip()) << "\n";
        if (!WriteFileAtomically(config.writeEndpoints, e.str()))
            Log("cannot write " + config.writeEndpoints);
    }
    Log("ready on " + config.address + " (https " + std::to_string(config.webPort) + ", http " +
        std::to_string(config.httpPort) + ", admin " + adminPath + ")");

    std::vector<AdminConnection> admins;
    std::vector<char> buf(65536);
    auto last = LobbyServer::Clock::now();
    auto lastExpire = last;
    bool running = true;
    while (running) {
        std::vector<pollfd> fds;
        enum Kind {
            kSignal,
            kLobby,
            kRoomList,
            kObject,
            kObjectFixed,
            kRelay0,
            kRelay1,
            kRelay2,
            kDns,
            kAdminListen
        };
        const int base[] = {
            g_signalPipe[0], sockets.lobby, sockets.roomList, sockets.object, sockets.objectFixed,
            relayFds[0],     relayFds[1],   relayFds[2],      dnsFd,          adminFd};
        for (int fd : base)
            fds.push_back({fd, POLLIN, 0});
        for (const AdminConnection& c : admins)
            fds.push_back({c.fd, POLLIN, 0});
        const int n = ::poll(fds.data(), fds.size(), 500);
        const auto now = LobbyServer::Clock::now();
        if (n < 0 && errno != EINTR)
            break;
        auto drain = [&](int fd, auto&& onDatagram) {
            // At most 512 datagrams per wake-up so no service starves the rest.
            for (int k = 0; k < 512; ++k) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t got = ::recvfrom(fd, buf.data(), buf.size(), MSG_DONTWAIT | MSG_TRUNC,
                                               reinterpret_cast<sockaddr*>(&from), &len);
                if (got < 0)
                    return;
                if (static_cast<std::size_t>(got) > 8192)
                    continue; // oversized datagrams are dropped
                const Endpoint ep{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
                onDatagram(ep, std::string_view(buf.data(), static_cast<std::size_t>(got)));
            }
        };
        if (n > 0) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLERR | POLLHUP)) || fds[i].fd < 0)
                    continue;
                const int fd = fds[i].fd;
                switch (i) {
                case kSignal:
                    running = false;
                    break;
                case kLobby:
                    drain(fd,
                          [&](const Endpoint& e, std::string_view d) { lobby.OnLobby(e, d, now); });
                    break;
                case kRoomList:
                    drain(fd,
                          [&](const Endpoint& e, std::string_view d) { lobby.OnRoomList(e, d); });
                    break;
                case kObject:
                case kObjectFixed:
                    drain(fd,
                          [&, fixed = i == kObjectFixed](const Endpoint& e, std::string_view d) {
                              lobby.OnObject(e, d, fixed, now);
                          });
                    break;
                case kRelay0:
                case kRelay1:
                case kRelay2: {
                    Relay& relay = relays[i - kRelay0];
                    auto send = [fd](const Endpoint& to, std::string_view b) { SendTo(fd, to, b); };
                    drain(fd, [&](const Endpoint& e, std::string_view d) {
                        relay.OnDatagram(e, d, now, send);
                    });
                    break;
                }
                case kDns:
                    drain(fd, [&](const Endpoint& e, std::string_view d) {
                        if (auto a = DnsAnswer(d, config.lobbyHost, address))
                            SendTo(fd, e, *a);
                    });
                    break;
                case kAdminListen:
                    for (;;) {
                        int c = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                        if (c < 0)
                            break;
                        if (admins.size() >= kMaxAdminConnections) {
                            ::close(c);
                            continue;
                        }
                        admins.push_back({c, {}});
                    }
                    break;
                default: {
                    AdminConnection& c = admins[i - kAdminListen - 1];
                    char tmp[4096];
                    const ssize_t got = ::read(c.fd, tmp, sizeof tmp);
                    if (got <= 0) {
                        ::close(c.fd);
                        c.fd = -1;
                        break;
                    }
                    c.buffer.append(tmp, static_cast<std::size_t>(got));
                    std::size_t nl;
                    while ((nl = c.buffer.find('\n')) != std::string::npos) {
                        std::string line = c.buffer.substr(0, nl);
                        c.buffer.erase(0, nl + 1);
                        if (!line.empty() && line.back() == '\r')
                            line.pop_back();
                        if (line.empty())
                            continue;
                        Log("admin " + line.substr(0, 200));
                        std::string reply;
                        for (const std::string& r : lobby.Admin(line, now))
                            reply += r + "\n";
                        [[maybe_unused]] auto w =
                            ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                    }
                    if (c.buffer.size() > kMaxAdminLine) {
                        ::close(c.fd);
                        c.fd = -1;
                    }
                }
                }
            }
            std::erase_if(admins, [](const AdminConnection& c) { return c.fd < 0; });
        }
        if (now - last >= std::chrono::seconds(1)) {
            last = now;
            lobby.Tick(now);
        }
        if (now - lastExpire >= std::chrono::seconds(10)) {
            lastExpire = now;
            for (Relay& r : relays)
                r.Expire(now);
        }
    }

    Log("stopping");
    https.stop();
    http.stop();
    httpsThread.join();
    httpThread.join();
    for (const AdminConnection& c : admins)
        ::close(c.fd);
    for (int fd : {sockets.lobby, sockets.roomList, sockets.object, sockets.objectFixed,
                   relayFds[0], relayFds[1], relayFds[2], dnsFd, adminFd})
        if (fd >= 0)
            ::close(fd);
    ::unlink(adminPath.c_str());
    db.Close();
    Log("stopped");
    return 0;
}

} // namespace tarn::server
