// bridge_bench: round trip of UDP 3658 game frames
//   console A -> bridge A -> relay -> bridge B -> console B -> and back
// next to the same probe over a direct veth pair. Needs root; creates and
// removes its own namespaces and veths. Prints one table.
//
// Consoles are raw packet sockets opened inside two namespaces (nsA, nsB);
// the bridges are two TDataModule2 in this process capturing the root-side
// veth ends; the relay is a learning switch on 127.0.0.91:30123 like the
// service's game relay (one datagram = one frame, learnt source MACs).
//
//   bridge_bench [--low-rate PPS] [--seconds S]

#include "bridge/SnifferModule.h"
#include "common/ServerAddresses.h"
#include "common/UdpSocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

using namespace tarn;
using Clock = std::chrono::steady_clock;

namespace {

const std::uint8_t kMacA[6] = {0x00, 0x04, 0x1f, 0x00, 0x00, 0x0a};
const std::uint8_t kMacB[6] = {0x00, 0x04, 0x1f, 0x00, 0x00, 0x0b};
const char* kRelayIp = "127.0.0.91";

bool Sh(const QStringList& c) {
    QProcess p;
    p.start(c.first(), c.mid(1));
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

// A raw packet socket on `ifname` inside namespace `ns` ("" = ours).
int RawSocket(const QString& ns, const QString& ifname) {
    int self = open("/proc/self/ns/net", O_RDONLY);
    if (!ns.isEmpty()) {
        int fd = open(("/run/netns/" + ns).toLocal8Bit().constData(), O_RDONLY);
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0)
            return -1;
        close(fd);
    }
    int s = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
    sockaddr_ll sll{};
    sll.sll_family = AF_PACKET;
    sll.sll_protocol = htons(ETH_P_ALL);
    sll.sll_ifindex = static_cast<int>(if_nametoindex(ifname.toLocal8Bit().constData()));
    if (s < 0 || sll.sll_ifindex == 0 ||
        bind(s, reinterpret_cast<sockaddr*>(&sll), sizeof sll) != 0)
        s = -1;
    int buf = 4 << 20;
    if (s >= 0) {
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
        setsockopt(s, SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf);
    }
    setns(self, CLONE_NEWNET);
    close(self);
    return s;
}

// A 3658 -> 3658 frame from `src` to `dst` carrying a sequence number and
// the send time.
std::vector<std::uint8_t> GameFrame(const std::uint8_t src[6], const std::uint8_t dst[6],
                                    std::uint8_t srcHost, std::uint8_t dstHost) {
    std::vector<std::uint8_t> f(42 + 64, 0);
    std::memcpy(f.data(), dst, 6);
    std::memcpy(f.data() + 6, src, 6);
    f[12] = 0x08;
    const std::uint8_t ip[20] = {0x45, 0, 0,  92,  0, 0,       0,  0,   64, 17,
                                 0,    0, 10, 253, 0, srcHost, 10, 253, 0,  dstHost};
    std::memcpy(f.data() + 14, ip, 20);
    const std::uint8_t udp[8] = {0x0e, 0x4a, 0x0e, 0x4a, 0, 72, 0, 0};
    std::memcpy(f.data() + 34, udp, 8);
    return f;
}

// Console B: answers every game frame with the same payload from B to A.
void Echo(int fd, const std::uint8_t self[6], const std::uint8_t peer[6], std::uint8_t selfHost,
          std::uint8_t peerHost, std::atomic<bool>& stop) {
    auto reply = GameFrame(self, peer, selfHost, peerHost);
    send(fd, reply.data(), reply.size(), 0); // lets the relay learn us
    std::uint8_t buf[2048];
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        sockaddr_ll from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 42 + 16 || from.sll_pkttype == PACKET_OUTGOING || buf[12] != 0x08 ||
            std::memcmp(buf, self, 6) != 0 || buf[36] != 0x0e || buf[37] != 0x4a)
            continue;
        std::memcpy(reply.data() + 42, buf + 42, 16);
        send(fd, reply.data(), reply.size(), 0);
    }
}

struct Result {
    std::size_t sent = 0, received = 0;
    double p50 = 0, p99 = 0; // microseconds
};

// Console A: sends `pps` frames per second for `seconds` and times the
// answers.
Result Probe(int fd, const std::uint8_t self[6], const std::uint8_t peer[6], std::uint8_t selfHost,
             std::uint8_t peerHost, int pps, double seconds) {
    auto frame = GameFrame(self, peer, selfHost, peerHost);
    const std::size_t total = static_cast<std::size_t>(pps * seconds);
    std::vector<Clock::time_point> sentAt(total);
    std::vector<double> rtts;
    rtts.reserve(total);
    std::vector<bool> seen(total, false);
    std::uint8_t buf[2048];
    const auto start = Clock::now();
    const auto interval = std::chrono::nanoseconds(1000000000LL / pps);
    std::size_t next = 0;
    const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(seconds + 0.5));
    while (Clock::now() < end) {
        const auto now = Clock::now();
        while (next < total && start + interval * static_cast<long>(next) <= now) {
            std::uint64_t seq = next;
            std::memcpy(frame.data() + 42, &seq, 8);
            sentAt[next] = Clock::now();
            send(fd, frame.data(), frame.size(), 0);
            ++next;
        }
        const auto due = next < total ? start + interval * static_cast<long>(next) : end;
        const int waitMs = static_cast<int>(std::max<long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count()));
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0)
            continue;
        for (;;) {
            sockaddr_ll from{};
            socklen_t len = sizeof from;
            const ssize_t n = recvfrom(fd, buf, sizeof buf, MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0)
                break;
            if (n < 42 + 16 || from.sll_pkttype == PACKET_OUTGOING ||
                std::memcmp(buf, self, 6) != 0 || buf[36] != 0x0e)
                continue;
            std::uint64_t seq;
            std::memcpy(&seq, buf + 42, 8);
            if (seq >= next || seen[seq])
                continue;
            seen[seq] = true;
            rtts.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - sentAt[seq]).count());
        }
    }
    Result r;
    r.sent = next;
    r.received = rtts.size();
    std::sort(rtts.begin(), rtts.end());
    if (!rtts.empty()) {
        r.p50 = rtts[rtts.size() / 2];
        r.p99 = rtts[std::min(rtts.size() - 1, rtts.size() * 99 / 100)];
    }
    return r;
}

// A learning switch between the clients that send to it.
class TestRelay {
public:
    explicit TestRelay(const char* ip) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(kCaGamePort);
        inet_pton(AF_INET, ip, &a.sin_addr);
        int buf = 4 << 20;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
        ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        thread_ = std::thread([this] { Run(); });
    }
    ~TestRelay() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    bool ok() const { return ok_; }

private:
    void Run() {
        std::uint8_t buf[2048];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n =
                recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 14)
                continue;
            const auto key = [](const std::uint8_t* m) {
                std::uint64_t k = 0;
                std::memcpy(&k, m, 6);
                return k;
            };
            const auto fromKey = (std::uint64_t{from.sin_addr.s_addr} << 16) | from.sin_port;
            clients_[fromKey] = from;
            macs_[key(buf + 6)] = from;
            auto it = macs_.find(key(buf));
            if (it != macs_.end() && !(it->second.sin_port == from.sin_port &&
                                       it->second.sin_addr.s_addr == from.sin_addr.s_addr)) {
                sendto(fd_, buf, static_cast<size_t>(n), 0,
                       reinterpret_cast<sockaddr*>(&it->second), sizeof it->second);
                continue;
            }
            for (auto& [k, c] : clients_)
                if (k != fromKey)
                    sendto(fd_, buf, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&c),
                           sizeof c);
        }
    }
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::map<std::uint64_t, sockaddr_in> clients_;
    std::map<std::uint64_t, sockaddr_in> macs_;
};

// Runs the event loop (injection happens there, as in the client) while
// `work` runs on its own thread.
template <class F> auto WhileLooping(F work) {
    QEventLoop loop;
    decltype(work()) result{};
    std::thread t([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    t.join();
    return result;
}

struct PathResult {
    Result low;
    int maxRate = 0;
};

template <class ProbeFn> PathResult Measure(ProbeFn probe, int lowRate, double seconds) {
    PathResult r;
    r.low = WhileLooping([&] { return probe(lowRate, seconds); });
    for (int rate : {1000, 2000, 5000, 10000, 20000, 35000, 50000, 75000, 100000}) {
        const Result x = WhileLooping([&] { return probe(rate, 1.0); });
        if (x.received < x.sent)
            break;
        r.maxRate = rate;
    }
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int lowRate = 200;
    double seconds = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--low-rate"))
            lowRate = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[++i]);
    }
    if (geteuid() != 0) {
        std::fprintf(stderr, "bridge_bench needs root (network namespaces)\n");
        return 2;
    }
    const QString id = QString::number(getpid() % 100000);
    const QString nsA = "tbenchA" + id, nsB = "tbenchB" + id;
    const QString cA = "tcA" + id, bA = "tbA" + id, cB = "tcB" + id, bB = "tbB" + id;
    const QString dA = "tdA" + id, dB = "tdB" + id;
    auto cleanup = [&] {
        Sh({"ip", "netns", "del", nsA});
        Sh({"ip", "netns", "del", nsB});
    };
    bool ok =
        Sh({"ip", "netns", "add", nsA}) && Sh({"ip", "netns", "add", nsB}) &&
        Sh({"ip", "link", "add", bA, "type", "veth", "peer", "name", cA, "netns", nsA}) &&
        Sh({"ip", "link", "add", bB, "type", "veth", "peer", "name", cB, "netns", nsB}) &&
        Sh({"ip", "-n", nsA, "link", "add", dA, "type", "veth", "peer", "name", dB, "netns", nsB});
    for (const QString& i : {bA, bB}) {
        Sh({"sysctl", "-qw", "net.ipv6.conf." + i + ".disable_ipv6=1"});
        ok = ok && Sh({"ip", "link", "set", i, "up"});
    }
    for (const auto& [ns, i] : {std::pair{nsA, cA}, {nsB, cB}, {nsA, dA}, {nsB, dB}}) {
        Sh({"ip", "netns", "exec", ns, "sysctl", "-qw", "net.ipv6.conf." + i + ".disable_ipv6=1"});
        ok = ok && Sh({"ip", "-n", ns, "link", "set", i, "up"});
    }
    if (!ok) {
        std::fprintf(stderr, "could not create the namespaces and veths\n");
        cleanup();
        return 1;
    }

    int rc = 0;
    {
        QTemporaryDir dirA, dirB;
        TestRelay relay(kRelayIp);
        ServerAddresses().CaServerIP = kRelayIp;
        ServerAddresses().S2ServerIP = kRelayIp;
        CaptureEnabled = true;
        auto makeBridge = [&](const QTemporaryDir& dir, const QString& nic, const char* mac) {
            BridgeSettings().DataFolder = dir.path();
            auto m = std::make_unique<TDataModule2>();
            m->Ps2MacList = {QString::fromLatin1(mac)};
            m->InitPs2Mac();
            m->ChangeAdapter(nic);
            return m;
        };
        auto bridgeA = makeBridge(dirA, bA, "00041F-00000A");
        auto bridgeB = makeBridge(dirB, bB, "00041F-00000B");
        if (!relay.ok() || !bridgeA->GameTraffic->Active() || !bridgeB->GameTraffic->Active()) {
            std::fprintf(stderr, "bridge or relay did not start: %s %s\n",
                         qPrintable(bridgeA->GameTraffic->Error()),
                         qPrintable(bridgeB->GameTraffic->Error()));
            rc = 1;
        } else {
            const int sA = RawSocket(nsA, cA), sB = RawSocket(nsB, cB);
            const int sdA = RawSocket(nsA, dA), sdB = RawSocket(nsB, dB);
            auto run = [&](int probeFd, int echoFd) {
                std::atomic<bool> stop{false};
                std::thread echo([&] { Echo(echoFd, kMacB, kMacA, 11, 10, stop); });
                // Let the relay learn both sides before timing.
                WhileLooping([&] { return Probe(probeFd, kMacA, kMacB, 10, 11, 100, 0.2); });
                PathResult r = Measure(
                    [&](int pps, double s) { return Probe(probeFd, kMacA, kMacB, 10, 11, pps, s); },
                    lowRate, seconds);
                stop = true;
                echo.join();
                return r;
            };
            const PathResult bridged = run(sA, sB);
            const PathResult direct = run(sdA, sdB);
            std::printf("%-34s %10s %10s %10s %16s\n", "path", "frames", "p50 us", "p99 us",
                        "max loss-free pps");
            auto row = [&](const char* name, const PathResult& r) {
                std::printf("%-34s %5zu/%-5zu %10.0f %10.0f %16d\n", name, r.low.received,
                            r.low.sent, r.low.p50, r.low.p99, r.maxRate);
            };
            row("console A-bridge-relay-bridge-B", bridged);
            row("direct veth A-B", direct);
            std::printf("(low rate %d pps for %.0f s; max rate: highest of 1k..100k pps with no "
                        "loss over 1 s)\n",
                        lowRate, seconds);
            std::printf("bridge A: %s  bridge B: %s\n", qPrintable(bridgeA->PackStats()),
                        qPrintable(bridgeB->PackStats()));
            for (int fd : {sA, sB, sdA, sdB})
                if (fd >= 0)
                    close(fd);
        }
    }
    cleanup();
    return rc;
}
