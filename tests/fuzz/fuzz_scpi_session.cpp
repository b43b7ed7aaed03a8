// The SCPI session reading replies: the input is what the analyzer sends,
// written into one end of a socket pair whose other end the session holds.
// Queries, set-and-confirm steps and the close run until the bytes are used up.
#include <sys/socket.h>

#include "fuzz_common.h"
#include "instrument/tcpscpi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 100000) return 0;  // stays within the socket pair's buffer
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) std::abort();
    const int bufferBytes = 1 << 20;
    ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof bufferBytes);
    ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(pair[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) std::abort();
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(pair[1], SHUT_WR);  // the analyzer has said everything

    ScpiSession session;
    session.socket = pair[0];
    session.state = kScpiStateConnected;
    session.port = 5025;
    session.timeoutMs = 1;
    std::snprintf(session.address, sizeof session.address, "%s", "127.0.0.1");

    char reply[200];
    char error[200];
    int counter = 0;
    for (int round = 0; round < 40 && session.state == kScpiStateConnected; ++round) {
        bool ok = false;
        switch (round % 4) {
        case 0: ok = TcpScpi_Query(session, "*IDN?", reply, sizeof reply); break;
        case 1: ok = TcpScpi_Query(session, "CALC:DTV:RES? BBV", reply, 8); break;  // a reply cut short
        case 2: ok = TcpScpi_SetAndConfirm(session, false, counter, "FREQ", "474e6", nullptr, true, error); break;
        case 3: ok = TcpScpi_SetAndConfirm(session, true, counter, "INP", "RF1", "RF", false, error); break;
        }
        if (!ok && session.lastError[0] == '\0') std::abort();  // every failure says why
    }
    TcpScpi_Disconnect(session);
    ::close(pair[1]);
    return 0;
}
