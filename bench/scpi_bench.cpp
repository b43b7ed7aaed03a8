// fieldtrace-scpi-bench: round-trip times of SCPI queries through a session on
// loopback (median, 99th percentile, slowest, stalls of 20 ms or more such as
// Nagle's algorithm with delayed acknowledgements would cause), and the CPU
// time a session spends waiting for replies that never come.
//
// usage: fieldtrace-scpi-bench [--count N] [--peer A.B.C.D:PORT --query TEXT]
//                              [--waits N] [--wait-ms MS]
// Without --peer the queries go to an echo peer inside this program.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/tcpscpi.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long count = 10000;
    std::string peerAddress;
    int peerPort = 0;
    std::string query = "MEAS:LEV?";
    int waits = 10;
    int waitMs = 400;
};

// A peer on 127.0.0.1 with an ephemeral port that serves one connection:
// answers every line at once (echo) or never (silent).
class LoopbackPeer {
public:
    explicit LoopbackPeer(bool answer) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
            std::perror("fieldtrace-scpi-bench: peer");
            std::exit(1);
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, answer] { Serve(answer); });
    }
    ~LoopbackPeer() {
        thread_.join();
        close(listener_);
    }
    int port() const { return port_; }

private:
    void Serve(bool answer) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return;  // the session never came
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::string pending;
        char chunk[4096];
        for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;) {
            if (!answer) continue;
            pending.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t lf; (lf = pending.find('\n')) != std::string::npos;) {
                const std::string reply = "-47.25\n";
                if (send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
                pending.erase(0, lf + 1);
            }
        }
        close(fd);  // the session's shutdown ends the loop; closing confirms it
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Percentile(const std::vector<double>& sorted, double p) {
    const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

bool RoundTrips(const Options& o) {
    std::unique_ptr<LoopbackPeer> echo;
    if (o.peerAddress.empty()) echo = std::make_unique<LoopbackPeer>(true);
    const std::string address = echo ? "127.0.0.1" : o.peerAddress;
    const int port = echo ? echo->port() : o.peerPort;
    const std::string query = echo ? "MEAS:LEV?" : o.query;
    const char* peerName = echo ? "the in-process echo peer" : "the peer";

    ScpiSession session;
    bool ok = TcpScpi_Open(session, address.c_str(), port, 2000);
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(o.count));
    char reply[kScpiRxBufferBytes];
    for (long i = 0; ok && i < o.count; ++i) {
        const auto start = Clock::now();
        ok = TcpScpi_Query(session, query.c_str(), reply, sizeof reply);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    if (!ok) std::fprintf(stderr, "fieldtrace-scpi-bench: %s:%d: %s\n", address.c_str(), port, session.lastError);
    TcpScpi_Disconnect(session);
    echo.reset();
    if (!ok || micros.empty()) return false;

    std::sort(micros.begin(), micros.end());
    const long stalls = std::count_if(micros.begin(), micros.end(), [](double us) { return us >= 20000.0; });
    std::printf("round trip: %ld queries \"%s\" to %s (%s:%d)\n", o.count, query.c_str(),
                peerName, address.c_str(), port);
    std::printf("  median %.1f us, 99th percentile %.1f us, slowest %.1f us, %ld of 20 ms or more\n",
                Percentile(micros, 0.5), Percentile(micros, 0.99), micros.back(), stalls);
    return true;
}

bool IdleWaits(const Options& o) {
    LoopbackPeer silent(false);
    ScpiSession session;
    if (!TcpScpi_Open(session, "127.0.0.1", silent.port(), o.waitMs)) {
        std::fprintf(stderr, "fieldtrace-scpi-bench: %s\n", session.lastError);
        return false;
    }
    char reply[100];
    const double cpuStart = ThreadCpuMs();
    const auto start = Clock::now();
    int timedOut = 0;
    for (int i = 0; i < o.waits; ++i)
        if (!TcpScpi_Query(session, "MEAS:LEV?", reply, sizeof reply) && !std::strcmp(session.lastError, "TCP read timeout"))
            ++timedOut;
    const double cpu = ThreadCpuMs() - cpuStart;
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    session.timeoutMs = 2000;
    TcpScpi_Disconnect(session);
    std::printf("waiting: %d queries without reply, %d timed out after %d ms each\n", o.waits, timedOut, o.waitMs);
    std::printf("  %.0f ms waited, %.3f ms CPU in total (%.4f%% of the time)\n", wall, cpu, 100.0 * cpu / wall);
    return timedOut == o.waits;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--count" && value) {
            o.count = std::atol(argv[++i]);
        } else if (a == "--peer" && value) {
            const std::string target = argv[++i];
            const auto colon = target.find(':');
            if (colon == std::string::npos) return false;
            o.peerAddress = target.substr(0, colon);
            o.peerPort = std::atoi(target.c_str() + colon + 1);
        } else if (a == "--query" && value) {
            o.query = argv[++i];
        } else if (a == "--waits" && value) {
            o.waits = std::atoi(argv[++i]);
        } else if (a == "--wait-ms" && value) {
            o.waitMs = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    // Benchmarks stay on loopback.
    in_addr peer{};
    if (!o.peerAddress.empty() &&
        (inet_pton(AF_INET, o.peerAddress.c_str(), &peer) != 1 || (ntohl(peer.s_addr) >> 24) != 127))
        return false;
    return o.count > 0 && o.waits >= 0 && o.waitMs > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: fieldtrace-scpi-bench [--count N] [--peer 127.x.y.z:PORT --query TEXT] [--waits N] "
                     "[--wait-ms MS]\n");
        return 2;
    }
    TcpScpi_Init();
    const bool ok = RoundTrips(o) && IdleWaits(o);
    TcpScpi_Close();
    return ok ? 0 : 1;
}
