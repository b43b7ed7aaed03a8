#include "simserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>

namespace {

constexpr std::size_t kMaxLineBytes = 65536;  // a longer line is not SCPI; it is discarded
constexpr double kIdlePollSeconds = 1.0;

volatile std::sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }

void InstallSignalHandlers() {
    struct sigaction sa{};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: poll() returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

class Clock {
public:
    double now() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

int PollTimeoutMs(double seconds) {
    if (seconds <= 0.0) return 0;
    return static_cast<int>(std::min(seconds, kIdlePollSeconds) * 1000.0) + 1;
}

struct PendingReply {
    double sendAt;
    std::string bytes;
};

// One accepted connection and what still has to leave on it.
struct Connection {
    int fd = -1;
    std::string input;
    bool discarding = false;  // inside an overlong line
    std::deque<PendingReply> queue;
    std::string output;
    double lastSendAt = 0.0;
    bool dropPending = false;  // abort once the queued replies are out
};

int OpenListener(const SimServerOptions& o, int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(o.port));
    if (inet_pton(AF_INET, o.address.c_str(), &a.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

void CloseConnection(Connection& c, bool abort) {
    if (c.fd < 0) return;
    if (abort) {
        // Linger 0: the peer sees a reset, as when an analyzer drops off the network.
        linger l{1, 0};
        setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    close(c.fd);
    c = Connection{};
}

// Moves the replies that are due into the output and sends what the socket takes.
bool Flush(Connection& c, double now) {
    while (!c.queue.empty() && c.queue.front().sendAt <= now) {
        c.output += c.queue.front().bytes;
        c.queue.pop_front();
    }
    while (!c.output.empty()) {
        const ssize_t n = send(c.fd, c.output.data(), c.output.size(), MSG_NOSIGNAL);
        if (n > 0) {
            c.output.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        return false;
    }
    return true;
}

class Server {
public:
    Server(SimAnalyzer& a, const SimServerOptions& o) : analyzer_(a), options_(o) {}

    int run() {
        int port = 0;
        listener_ = OpenListener(options_, port);
        if (listener_ < 0) {
            std::fprintf(stderr, "fieldtrace-analyzer-sim: cannot listen on %s:%d: %s\n", options_.address.c_str(),
                         options_.port, std::strerror(errno));
            return 1;
        }
        std::printf("fieldtrace-analyzer-sim: %s listening on %s:%d\n", analyzer_.family().modelName,
                    options_.address.c_str(), port);
        std::fflush(stdout);
        if (options_.verbose) {
            // Lets a log reader turn the times of the lines below into wall-clock times.
            timespec t{};
            clock_gettime(CLOCK_REALTIME, &t);
            std::fprintf(stderr, "[%9.3f] clock started at %.6f (Unix time)\n", clock_.now(),
                         static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9 - clock_.now());
        }
        while (!gStop && !expired()) {
            if (listener_ < 0) listenAgain(port);
            else if (conn_.fd < 0) acceptNext();
            else serve();
        }
        CloseConnection(conn_, false);
        if (listener_ >= 0) close(listener_);
        return 0;
    }

private:
    bool expired() const { return options_.exitAfterSeconds >= 0.0 && clock_.now() >= options_.exitAfterSeconds; }

    double untilExit() const {
        return options_.exitAfterSeconds >= 0.0 ? options_.exitAfterSeconds - clock_.now() : kIdlePollSeconds;
    }

    // Off the network after a drop: nothing listens until the time is over.
    void listenAgain(int port) {
        const double wait = std::min(downUntil_ - clock_.now(), untilExit());
        if (wait > 0.0) {
            poll(nullptr, 0, PollTimeoutMs(wait));
            return;
        }
        SimServerOptions o = options_;
        o.port = port;
        int unused = 0;
        listener_ = OpenListener(o, unused);
        if (listener_ >= 0) log("listening again");
        else downUntil_ = clock_.now() + 0.1;
    }

    // The connection breaks off, as when the analyzer drops off the network or loses power.
    void drop(const char* why) {
        log(why);
        CloseConnection(conn_, true);
        const double now = clock_.now();
        if (options_.dropResets) analyzer_.powerCycle(now);
        if (options_.dropDownSeconds > 0.0) {
            close(listener_);
            listener_ = -1;
            downUntil_ = now + options_.dropDownSeconds;
        }
    }

    void acceptNext() {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, PollTimeoutMs(untilExit())) <= 0 || !(p.revents & POLLIN)) return;
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        conn_ = Connection{};
        conn_.fd = fd;
        analyzer_.connectionOpened();
        log("connection opened");
    }

    void serve() {
        const double now = clock_.now();
        if (options_.dropAtSeconds >= 0.0 && !droppedAt_ && now >= options_.dropAtSeconds) {
            droppedAt_ = true;
            drop("connection dropped (time fault)");
            return;
        }
        if (!Flush(conn_, now)) {
            log("connection lost");
            CloseConnection(conn_, false);
            return;
        }
        if (conn_.dropPending && conn_.queue.empty() && conn_.output.empty()) {
            drop("connection dropped (exchange fault)");
            return;
        }
        double wait = untilExit();
        if (!conn_.queue.empty()) wait = std::min(wait, conn_.queue.front().sendAt - now);
        if (options_.dropAtSeconds >= 0.0 && !droppedAt_) wait = std::min(wait, options_.dropAtSeconds - now);
        pollfd p{conn_.fd, static_cast<short>(conn_.dropPending ? 0 : POLLIN), 0};
        if (!conn_.output.empty()) p.events |= POLLOUT;
        if (poll(&p, 1, PollTimeoutMs(wait)) <= 0) return;
        if (p.revents & POLLIN) receive();
        else if (p.revents & (POLLERR | POLLHUP)) CloseConnection(conn_, false);
    }

    void receive() {
        char buffer[4096];
        const ssize_t n = recv(conn_.fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            // The peer has finished sending: answer what is due, then close our side too.
            Flush(conn_, clock_.now());
            log("connection closed by peer");
            CloseConnection(conn_, false);
            return;
        }
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) CloseConnection(conn_, false);
            return;
        }
        for (ssize_t i = 0; i < n && conn_.fd >= 0 && !conn_.dropPending; ++i) {
            const char c = buffer[i];
            if (c == '\n') {
                if (!conn_.discarding) handleLine();
                conn_.input.clear();
                conn_.discarding = false;
            } else if (!conn_.discarding) {
                conn_.input.push_back(c);
                if (conn_.input.size() > kMaxLineBytes) {
                    log("overlong line discarded");
                    conn_.input.clear();
                    conn_.discarding = true;
                }
            }
        }
    }

    void handleLine() {
        std::string line = conn_.input;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const double now = clock_.now();
        SimExchange ex = analyzer_.exchange(line, now);
        if (options_.verbose) std::fprintf(stderr, "[%9.3f] < %s\n", now, line.c_str());
        if (ex.reply) {
            // Replies leave in the order of their queries, whatever their times.
            const double at = std::max(ex.sendAt, conn_.lastSendAt);
            conn_.lastSendAt = at;
            conn_.queue.push_back({at, *ex.reply + "\n"});
            if (options_.verbose) std::fprintf(stderr, "[%9.3f] > %s (at %.3f)\n", now, ex.reply->c_str(), at);
        }
        if (ex.dropConnection) conn_.dropPending = true;
    }

    void log(const char* what) const {
        if (options_.verbose) std::fprintf(stderr, "[%9.3f] %s\n", clock_.now(), what);
    }

    SimAnalyzer& analyzer_;
    SimServerOptions options_;
    Clock clock_;
    int listener_ = -1;
    Connection conn_;
    bool droppedAt_ = false;
    double downUntil_ = 0.0;
};

}  // namespace

int SimServer_Run(SimAnalyzer& analyzer, const SimServerOptions& options) {
    InstallSignalHandlers();
    Server server(analyzer, options);
    return server.run();
}
