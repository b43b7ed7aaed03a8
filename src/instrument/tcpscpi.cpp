#include "instrument/tcpscpi.h"

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
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ping.h"
#include "platform/text.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNotReachable = "Instrument not reachable.";
constexpr const char* kCreationError = "Socket creation error";
constexpr const char* kSetupError = "Socket setup error";
constexpr const char* kConnectError = "Socket connect error";
constexpr const char* kWriteTimeout = "Socket write timeout";
constexpr const char* kReadTimeout = "TCP read timeout";
constexpr const char* kConnectionLoss = "TCP connection loss";
constexpr const char* kCommandNotAcknowledged = "Command not acknowledged";
constexpr const char* kStateNotAcknowledged = "State not acknowledged";
constexpr const char* kShutdownError = "Socket shutdown error";
constexpr const char* kShutdownTimeout = "Shutdown confirm timeout";
constexpr const char* kCloseError = "Close socket error";

// A refused connect is tried again after this pause: an analyzer that is
// still starting opens its port late.
constexpr auto kConnectRetryPause = std::chrono::milliseconds(10);
// Draining before a new query stops after this many full receives, so that a
// peer that never stops talking cannot hold the query up.
constexpr int kDrainReceives = 100;

// Held around each connect call only: sessions of several threads never
// connect at the same moment.
std::mutex connectLock;

void SetError(ScpiSession& session, const char* text) { Text_Copy(session.lastError, text); }

Clock::time_point DeadlineFrom(Clock::time_point start, int timeoutMs) {
    return start + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
}

// Errors after which the same call may succeed later; every other error
// means the connection is gone.
bool IsTransient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ENOBUFS || error == ENOMEM;
}

// Blocks until fd reports one of events or the deadline passes; true when it reported.
bool WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        const timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        pollfd p{fd, events, 0};
        const int ready = ppoll(&p, 1, &wait, nullptr);
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// Waits after a transient error: for the socket where it can tell, else briefly.
void WaitAfter(int error, int fd, short events, Clock::time_point deadline) {
    if (error == ENOBUFS || error == ENOMEM)
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + std::chrono::milliseconds(1)));
    else
        WaitReady(fd, events, deadline);
}

void CloseQuietly(ScpiSession& session) {
    if (session.socket >= 0) close(session.socket);
    session.socket = -1;
    session.state = kScpiStateClosed;
}

// A non-blocking stream socket without Nagle's delay: a command line leaves at once.
int NewSocket(ScpiSession& session) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetError(session, kCreationError);
        return -1;
    }
    const int on = 1;
    const int flags = fcntl(fd, F_GETFL);
    if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0 || flags < 0 ||
        fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        SetError(session, kSetupError);
        close(fd);
        return -1;
    }
    return fd;
}

// One connect attempt, waiting for the handshake until the deadline.
bool TryConnect(int fd, const sockaddr_in& to, Clock::time_point deadline) {
    int result, error;
    {
        std::lock_guard<std::mutex> lock(connectLock);
        result = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        error = errno;
    }
    if (result == 0) return true;
    if (error != EINPROGRESS && error != EINTR) return false;
    if (!WaitReady(fd, POLLOUT, deadline)) return false;
    int soError = 0;
    socklen_t length = sizeof soError;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) == 0 && soError == 0;
}

// Discards whatever the socket holds: the late reply of an earlier query.
void Drain(ScpiSession& session) {
    if (session.socket < 0) return;
    for (int i = 0; i < kDrainReceives; ++i)
        if (recv(session.socket, session.rxBuffer, sizeof session.rxBuffer, MSG_DONTWAIT) <= 0) return;
}

void CompleteReply(ScpiSession& session, std::size_t lineLength, char* reply, std::size_t replySize) {
    if (reply && replySize > 0) {
        const std::size_t n = std::min(lineLength, replySize - 1);
        std::memcpy(reply, session.rxBuffer, n);
        reply[n] = '\0';
    }
    session.pendingQuery[0] = '\0';
    session.lastError[0] = '\0';
    session.rxCount = -1;
}

// Reads until the line feed of the reply. The line is what precedes the first
// line feed; anything after it in the same segment is unsolicited and dropped.
// A line longer than the receive buffer keeps its first kScpiRxBufferBytes
// bytes; the rest is read and discarded up to its line feed, so that a hostile
// peer can neither overflow the buffer nor leave its excess for the next query.
bool ReadReply(ScpiSession& session, const char* query, char* reply, std::size_t replySize) {
    if (session.socket < 0) {
        SetError(session, kConnectionLoss);
        return false;
    }
    const auto deadline = DeadlineFrom(Clock::now(), session.timeoutMs);
    char overflow[16384];
    for (;;) {
        if (Clock::now() >= deadline) {
            SetError(session, kReadTimeout);
            // Callers may re-ask the pending query by passing the field itself.
            if (query != session.pendingQuery) Text_Copy(session.pendingQuery, query);
            return false;
        }
        const bool full = session.rxCount >= kScpiRxBufferBytes;
        char* into = full ? overflow : session.rxBuffer + session.rxCount;
        const std::size_t room = full ? sizeof overflow : static_cast<std::size_t>(kScpiRxBufferBytes - session.rxCount);
        const ssize_t n = recv(session.socket, into, room, MSG_DONTWAIT);
        if (n > 0) {
            const void* lineFeed = std::memchr(into, '\n', static_cast<std::size_t>(n));
            if (lineFeed) {
                const std::size_t length = full ? kScpiRxBufferBytes
                                                : static_cast<std::size_t>(session.rxCount) +
                                                      static_cast<std::size_t>(static_cast<const char*>(lineFeed) - into);
                CompleteReply(session, length, reply, replySize);
                return true;
            }
            if (!full) session.rxCount += static_cast<std::int32_t>(n);
            continue;
        }
        // An orderly close by the peer is a lost connection as well: no reply can come.
        const int error = n == 0 ? ECONNRESET : errno;
        if (!IsTransient(error)) {
            SetError(session, kConnectionLoss);
            return false;
        }
        WaitAfter(error, session.socket, POLLIN, deadline);
    }
}

// After our shutdown: discards what still comes until the peer closes too.
bool AwaitPeerClose(ScpiSession& session) {
    const auto deadline = DeadlineFrom(Clock::now(), session.timeoutMs);
    for (;;) {
        const ssize_t n = recv(session.socket, session.rxBuffer, sizeof session.rxBuffer, MSG_DONTWAIT);
        const int error = n < 0 ? errno : 0;
        if (n == 0) return true;
        if (n < 0 && !IsTransient(error)) return true;  // reset: the peer is gone as well
        if (Clock::now() >= deadline) return false;
        if (n < 0) WaitAfter(error, session.socket, POLLIN, deadline);
    }
}

}  // namespace

ScpiSession::~ScpiSession() {
    if (socket >= 0) close(socket);
}

bool TcpScpi_Init() {
    // Sockets need no start-up here; the connect lock exists from program start.
    return true;
}

void TcpScpi_Close() {}

bool TcpScpi_Open(ScpiSession& session, const char* address, int port, int timeoutMs) {
    CloseQuietly(session);  // reopening must not leak the old connection
    Text_Copy(session.address, address ? address : "");
    session.port = port;
    session.timeoutMs = timeoutMs;
    session.lastError[0] = '\0';
    return TcpScpi_Connect(session) && session.state == kScpiStateConnected;
}

bool TcpScpi_Connect(ScpiSession& session) {
    if (session.state == kScpiStateConnected) return true;
    CloseQuietly(session);  // a close that was cut short

    sockaddr_in to{};
    to.sin_family = AF_INET;
    // Dotted IPv4 only: a host name or a malformed address cannot be reached.
    if (inet_pton(AF_INET, session.address, &to.sin_addr) != 1) {
        SetError(session, kNotReachable);
        return false;
    }
    if (session.port < 1 || session.port > 65535) {
        SetError(session, kConnectError);
        return false;
    }
    to.sin_port = htons(static_cast<std::uint16_t>(session.port));
    // -1: this process may not ping; the connect time-out decides instead.
    if (Platform_Ping(session.address, session.timeoutMs) == 0) {
        SetError(session, kNotReachable);
        return false;
    }

    const auto deadline = DeadlineFrom(Clock::now(), session.timeoutMs);
    for (;;) {
        const int fd = NewSocket(session);
        if (fd < 0) return false;
        if (TryConnect(fd, to, deadline)) {
            session.socket = fd;
            session.state = kScpiStateConnected;
            session.lastError[0] = '\0';
            session.pendingQuery[0] = '\0';
            session.rxCount = -1;
            return true;
        }
        close(fd);
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + kConnectRetryPause));
        if (Clock::now() >= deadline) break;
    }
    SetError(session, kConnectError);
    return false;
}

bool TcpScpi_Disconnect(ScpiSession& session) {
    if (session.state == kScpiStateClosed) {
        CloseQuietly(session);
        return true;
    }
    bool failed = false;
    if (session.state == kScpiStateConnected) session.state = kScpiStateClosing;
    if (session.state == kScpiStateClosing) {
        if (shutdown(session.socket, SHUT_WR) == 0) {
            session.state = kScpiStateShutdownSent;
        } else {
            SetError(session, kShutdownError);
            failed = true;
        }
    }
    if (session.state == kScpiStateShutdownSent && !AwaitPeerClose(session)) {
        SetError(session, kShutdownTimeout);
        failed = true;
    }
    // A failure of the steps before stays in lastError; the socket is closed in any case.
    if (close(session.socket) != 0)
        SetError(session, kCloseError);
    else if (!failed)
        session.lastError[0] = '\0';
    session.socket = -1;
    session.state = kScpiStateClosed;
    return true;
}

bool TcpScpi_Write(ScpiSession& session, const char* command) {
    std::string line = command ? command : "";
    line += '\n';
    const auto deadline = DeadlineFrom(Clock::now(), session.timeoutMs);
    std::size_t sent = 0;
    for (;;) {
        // The time-out is tested first: a time-out of 0 fails every write.
        if (Clock::now() >= deadline) {
            SetError(session, kWriteTimeout);
            return false;
        }
        if (session.socket < 0) {
            SetError(session, kConnectionLoss);
            return false;
        }
        const ssize_t n = send(session.socket, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            if (sent == line.size()) {
                session.lastError[0] = '\0';
                return true;
            }
            continue;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (!IsTransient(error)) {
            SetError(session, kConnectionLoss);
            return false;
        }
        WaitAfter(error, session.socket, POLLOUT, deadline);
    }
}

bool TcpScpi_Query(ScpiSession& session, const char* query, char* reply, std::size_t replySize) {
    if (!query) query = "";
    // An empty pendingQuery never matches: an empty query is sent like any other.
    const bool resuming = session.pendingQuery[0] != '\0' && session.rxCount >= 0 &&
                          std::strncmp(query, session.pendingQuery, sizeof session.pendingQuery) == 0 &&
                          std::strlen(query) < sizeof session.pendingQuery;
    if (!resuming) {
        Drain(session);
        session.rxCount = 0;
        session.rxBuffer[0] = '\0';
        if (!TcpScpi_Write(session, query)) return false;
    }
    return ReadReply(session, query, reply, replySize);
}

bool TcpScpi_SetAndConfirm(ScpiSession& session, bool verify, int& counter, const char* header, const char* value,
                           const char* expected, bool numeric, char* error, std::size_t errorSize) {
    const std::string h = header ? header : "";
    const char* v = value ? value : "";
    const std::string query = verify ? h + "?" : h + " " + v + ";*OPC?";
    char reply[500];
    if (!TcpScpi_Query(session, query.c_str(), reply, sizeof reply)) {
        Text_CopyN(error, errorSize, session.lastError);
        return false;
    }
    bool confirmed;
    if (!verify) {
        confirmed = std::strcmp(reply, "1") == 0;
    } else if (numeric) {
        // Both must be numbers: a non-numeric reply never confirms a value.
        double got = 0.0, want = 0.0;
        confirmed = Text_ParseDouble(reply, got) && Text_ParseDouble(v, want) && got == want;
    } else {
        confirmed = std::strcmp(reply, expected && *expected ? expected : v) == 0;
    }
    if (!confirmed) {
        Text_CopyN(error, errorSize, verify ? kStateNotAcknowledged : kCommandNotAcknowledged);
        return false;
    }
    ++counter;
    return true;
}
