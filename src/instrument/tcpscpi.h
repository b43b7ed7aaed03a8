#pragma once
// One SCPI-over-TCP connection to one analyzer: command lines out, reply lines
// in. Every operation returns true or false and leaves a text in lastError
// that the user interface shows word for word. Every wait is bounded by the
// session's time-out and blocks in poll() for the time that is left.
#include <cstddef>
#include <cstdint>

constexpr int kScpiStateClosed = 0;
constexpr int kScpiStateConnected = 1;
constexpr int kScpiStateClosing = -1;       // shutdown still to be sent
constexpr int kScpiStateShutdownSent = -2;  // waiting for the peer to close

constexpr int kScpiRxBufferBytes = 10000;

// A session belongs to one thread at a time; it has no lock of its own. It
// owns its socket: it cannot be copied, and destroying a session that is
// still open closes the socket without a word (owners disconnect explicitly).
struct ScpiSession {
    std::int32_t state = kScpiStateClosed;
    int socket = -1;                 // valid while state is not closed
    char address[20] = {};           // dotted IPv4
    std::int32_t port = 0;
    std::int32_t timeoutMs = 0;      // ping, connect, write, read and shutdown confirmation
    char lastError[100] = {};        // empty after a successful write, read or close
    char pendingQuery[100] = {};     // the query whose reply timed out last
    std::int32_t rxCount = -1;       // bytes of the current reply so far; -1 after a complete reply
    char rxBuffer[kScpiRxBufferBytes] = {};

    ScpiSession() = default;
    ScpiSession(const ScpiSession&) = delete;
    ScpiSession& operator=(const ScpiSession&) = delete;
    ~ScpiSession();
};

// Process-wide set-up of the transport (the connect lock). Returns true.
bool TcpScpi_Init();
void TcpScpi_Close();

// Sets address, port and time-out, forgets the last error and connects. A
// socket the session still holds is closed first.
bool TcpScpi_Open(ScpiSession& session, const char* address, int port, int timeoutMs);
// Connects with the address, port and time-out already set; true at once when
// already connected. The host must answer a ping first; where this process
// may not send ICMP, the connect time-out alone decides.
bool TcpScpi_Connect(ScpiSession& session);
// Shuts the connection down, waits for the peer to close, closes the socket.
// Always ends closed; returns true.
bool TcpScpi_Disconnect(ScpiSession& session);

// Sends command plus a line feed.
bool TcpScpi_Write(ScpiSession& session, const char* command);
// Sends query and returns its reply line without the line feed, cut to
// replySize - 1 bytes. A query that timed out is remembered: asking it again
// sends nothing and keeps waiting for its late reply; any other query first
// discards whatever the socket holds.
bool TcpScpi_Query(ScpiSession& session, const char* query, char* reply, std::size_t replySize);

// One step of a setup table. verify false: "<header> <value>;*OPC?" must be
// answered "1". verify true: "<header>?" must be answered with expected (or
// with value when expected is null or empty), as text, or when numeric as the
// same number as value. On success increments counter; on failure copies a
// text into error and leaves counter as it was.
bool TcpScpi_SetAndConfirm(ScpiSession& session, bool verify, int& counter, const char* header, const char* value,
                           const char* expected, bool numeric, char* error, std::size_t errorSize);

template <std::size_t N>
inline bool TcpScpi_SetAndConfirm(ScpiSession& session, bool verify, int& counter, const char* header,
                                  const char* value, const char* expected, bool numeric, char (&error)[N]) {
    return TcpScpi_SetAndConfirm(session, verify, counter, header, value, expected, numeric, error, N);
}
