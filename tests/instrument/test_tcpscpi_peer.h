#pragma once
// A scripted SCPI peer for the session tests: a TCP server thread on
// 127.0.0.1 with an ephemeral port that accepts one connection and runs a
// script on it. Every wait of the peer is bounded, so a failing test ends
// instead of hanging.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A listening TCP socket on 127.0.0.1 with an ephemeral port; -1 when none.
inline int LoopbackListener(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

// A one-shot flag one thread raises and another waits for.
class Signal {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        cv_.notify_all();
    }
    bool Wait(int timeoutMs = 5000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return raised_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool raised_ = false;
};

// The peer's end of the accepted connection, as the script sees it.
class PeerLink {
public:
    explicit PeerLink(int fd) : fd_(fd) {
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~PeerLink() { Close(); }

    // The next line without its line feed; nothing on end of stream or time-out.
    std::optional<std::string> ReadLine(int timeoutMs = 5000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (auto lf = buffer_.find('\n'); lf != std::string::npos) {
                std::string line = buffer_.substr(0, lf);
                buffer_.erase(0, lf + 1);
                lines.push_back(line);
                return line;
            }
            if (!Receive(deadline)) return std::nullopt;
        }
    }
    // True when the other side has shut down or closed its sending direction.
    bool WaitForEndOfStream(int timeoutMs = 5000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Receive(deadline)) {
        }
        return eof_;
    }
    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    // Sends the pieces as separate TCP segments, with a pause between them.
    bool SendInPieces(const std::vector<std::string>& pieces, int pauseMs = 30) {
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            if (!Send(pieces[i])) return false;
        }
        return true;
    }
    // Aborts the connection: the session sees a reset instead of an orderly close.
    void Reset() {
        const linger abortive{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        Close();
    }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    std::vector<std::string> lines;  // every line read so far

private:
    bool Receive(std::chrono::steady_clock::time_point deadline) {
        if (fd_ < 0 || eof_) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char chunk[65536];
        const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    int fd_;
    std::string buffer_;
    bool eof_ = false;
};

class ScriptedPeer {
public:
    using Script = std::function<void(PeerLink&)>;

    explicit ScriptedPeer(Script script) {
        listener_ = LoopbackListener(port_);
        if (listener_ < 0) return;
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) return;
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            accepted_.Raise();
            if (fd < 0) return;
            PeerLink link(fd);
            script(link);
            lines_ = link.lines;
        });
    }
    ~ScriptedPeer() {
        Finish();
        if (listener_ >= 0) close(listener_);
    }

    int port() const { return port_; }
    // Waits for the script to end; the lines the peer read, in order.
    const std::vector<std::string>& Finish() {
        if (thread_.joinable()) thread_.join();
        return lines_;
    }
    // Connections waiting in the listener's queue that the script never took.
    int UnacceptedConnections() {
        accepted_.Wait();
        int count = 0;
        for (pollfd p{listener_, POLLIN, 0}; poll(&p, 1, 0) > 0; ++count) close(accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
        return count;
    }

private:
    int listener_ = -1;
    int port_ = 0;
    Signal accepted_;
    std::thread thread_;
    std::vector<std::string> lines_;
};

// A script that answers every line through answer (no value: stays silent)
// until the session closes its side.
inline ScriptedPeer::Script Responder(std::function<std::optional<std::string>(const std::string&)> answer) {
    return [answer = std::move(answer)](PeerLink& link) {
        while (auto line = link.ReadLine()) {
            if (auto reply = answer(*line)) link.Send(*reply + "\n");
        }
    };
}

// A loopback TCP port with no listener (bound briefly by the test, then released).
inline int UnusedLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    close(fd);
    return ntohs(a.sin_port);
}

// Blocks until the session's socket has something to read (a late reply, a reset).
inline bool WaitReadable(int fd, int timeoutMs = 5000) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}
