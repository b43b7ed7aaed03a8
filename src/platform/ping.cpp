#include "platform/ping.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "platform/icmpecho.h"

namespace {

using Clock = std::chrono::steady_clock;

int WaitForReply(const IcmpSocket& socket, const in_addr& target, const IcmpProbe& probe, Clock::time_point deadline) {
    std::uint8_t packet[1500];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = recvfrom(socket.fd(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n > 0) {
            IcmpReply reply;
            if (from.sin_addr.s_addr == target.s_addr &&
                IcmpEcho_ParseReply(packet, static_cast<std::size_t>(n), socket.raw(), reply) &&
                IcmpEcho_Matches(reply, socket.raw(), probe))
                return 1;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return 0;
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0) return 0;
        const timespec wait{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
        pollfd p{socket.fd(), POLLIN, 0};
        if (ppoll(&p, 1, &wait, nullptr) < 0 && errno != EINTR) return 0;
    }
}

}  // namespace

int Platform_Ping(const char* address, int timeoutMs) {
    in_addr target{};
    if (!address || inet_pton(AF_INET, address, &target) != 1) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);

    const IcmpSocket socket;
    if (!socket.isOpen()) return -1;
    const IcmpProbe probe = IcmpEcho_NewProbes(1).front();
    const int error = IcmpEcho_Send(socket, target, probe);
    if (error == 0) return WaitForReply(socket, target, probe, deadline);
    return error == EPERM ? -1 : 0;  // a packet filter forbidding ICMP from this process gives no verdict
}
