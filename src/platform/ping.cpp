#include "platform/ping.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kTokenBytes = 8;

// Every echo carries its own identifier, sequence number and token: raw
// sockets see every ICMP packet of the host, including the echoes of the
// discovery's other probe threads.
struct Probe {
    std::uint16_t id;
    std::uint16_t sequence;
    std::uint8_t token[kTokenBytes];
};

Probe NewProbe() {
    static std::atomic<std::uint32_t> counter{0};
    const std::uint32_t n = counter.fetch_add(1);
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    Probe p;
    p.id = static_cast<std::uint16_t>((pid ^ (n >> 16)) & 0xFFFF);
    p.sequence = static_cast<std::uint16_t>(n & 0xFFFF);
    const std::uint64_t stamp = static_cast<std::uint64_t>(Clock::now().time_since_epoch().count()) ^ (std::uint64_t{pid} << 32) ^ n;
    std::memcpy(p.token, &stamp, kTokenBytes);
    return p;
}

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length & 1) sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

void PutU16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v >> 8);
    at[1] = static_cast<std::uint8_t>(v & 0xFF);
}

std::uint16_t GetU16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

// The unprivileged datagram socket first; the raw socket needs CAP_NET_RAW.
int OpenIcmpSocket(bool& raw) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    raw = false;
    if (fd >= 0) return fd;
    fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    raw = true;
    return fd;
}

// Whether a received packet is the reply to this probe. A raw socket hands
// over the IP header as well, and its echo id is ours; a datagram socket
// gets the ICMP message alone and the kernel has put its own id in.
bool IsReplyTo(const std::uint8_t* packet, std::size_t length, bool raw, const Probe& probe) {
    if (raw) {
        if (length < 20) return false;
        const std::size_t ipHeader = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        if (ipHeader < 20 || length < ipHeader) return false;
        packet += ipHeader;
        length -= ipHeader;
    }
    if (length < kHeaderBytes + kTokenBytes) return false;
    if (packet[0] != kEchoReply || packet[1] != 0) return false;
    if (raw && GetU16(packet + 4) != probe.id) return false;
    return GetU16(packet + 6) == probe.sequence && std::memcmp(packet + kHeaderBytes, probe.token, kTokenBytes) == 0;
}

int WaitForReply(int fd, bool raw, const in_addr& target, const Probe& probe, Clock::time_point deadline) {
    std::uint8_t packet[1500];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = recvfrom(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n > 0) {
            if (from.sin_addr.s_addr == target.s_addr && IsReplyTo(packet, static_cast<std::size_t>(n), raw, probe)) return 1;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return 0;
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0) return 0;
        const timespec wait{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
        pollfd p{fd, POLLIN, 0};
        if (ppoll(&p, 1, &wait, nullptr) < 0 && errno != EINTR) return 0;
    }
}

}  // namespace

int Platform_Ping(const char* address, int timeoutMs) {
    in_addr target{};
    if (!address || inet_pton(AF_INET, address, &target) != 1) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);

    bool raw = false;
    const int fd = OpenIcmpSocket(raw);
    if (fd < 0) return -1;

    const Probe probe = NewProbe();
    std::uint8_t echo[kHeaderBytes + kTokenBytes + 24] = {};
    echo[0] = kEchoRequest;
    PutU16(echo + 4, probe.id);
    PutU16(echo + 6, probe.sequence);
    std::memcpy(echo + kHeaderBytes, probe.token, kTokenBytes);
    for (std::size_t i = kHeaderBytes + kTokenBytes; i < sizeof echo; ++i) echo[i] = static_cast<std::uint8_t>(i);
    PutU16(echo + 2, InternetChecksum(echo, sizeof echo));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    int result = 0;
    if (sendto(fd, echo, sizeof echo, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) == static_cast<ssize_t>(sizeof echo))
        result = WaitForReply(fd, raw, target, probe, deadline);
    else if (errno == EPERM)
        result = -1;  // a packet filter forbids ICMP from this process: no verdict
    close(fd);
    return result;
}
