#include "platform/icmpecho.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kPaddingBytes = 24;

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

void PutU32(std::uint8_t* at, std::uint32_t v) {
    PutU16(at, static_cast<std::uint16_t>(v >> 16));
    PutU16(at + 2, static_cast<std::uint16_t>(v & 0xFFFF));
}

std::uint16_t GetU16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

}  // namespace

// The unprivileged datagram socket first; the raw socket needs CAP_NET_RAW.
IcmpSocket::IcmpSocket() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd_ >= 0) return;
    fd_ = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    raw_ = true;
}

IcmpSocket::~IcmpSocket() {
    if (fd_ >= 0) close(fd_);
}

std::vector<IcmpProbe> IcmpEcho_NewProbes(std::size_t count) {
    static std::atomic<std::uint32_t> counter{0};
    const std::uint32_t first = counter.fetch_add(static_cast<std::uint32_t>(count));
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint32_t stamp = static_cast<std::uint32_t>(now ^ (now >> 32)) ^ (pid << 16) ^ first;

    IcmpProbe base;
    base.id = static_cast<std::uint16_t>((pid ^ (first >> 16)) & 0xFFFF);
    PutU32(base.token, stamp);
    std::vector<IcmpProbe> probes(count, base);
    for (std::size_t i = 0; i < count; ++i) {
        probes[i].sequence = static_cast<std::uint16_t>((first + i) & 0xFFFF);
        PutU32(probes[i].token + 4, static_cast<std::uint32_t>(i));
    }
    return probes;
}

int IcmpEcho_Send(const IcmpSocket& socket, const in_addr& target, const IcmpProbe& probe) {
    std::uint8_t echo[kHeaderBytes + kIcmpTokenBytes + kPaddingBytes] = {};
    echo[0] = kEchoRequest;
    PutU16(echo + 4, probe.id);
    PutU16(echo + 6, probe.sequence);
    std::memcpy(echo + kHeaderBytes, probe.token, kIcmpTokenBytes);
    for (std::size_t i = kHeaderBytes + kIcmpTokenBytes; i < sizeof echo; ++i) echo[i] = static_cast<std::uint8_t>(i);
    PutU16(echo + 2, InternetChecksum(echo, sizeof echo));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    const ssize_t sent = sendto(socket.fd(), echo, sizeof echo, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == static_cast<ssize_t>(sizeof echo)) return 0;
    return sent < 0 ? errno : EMSGSIZE;  // a datagram is never sent in part
}

bool IcmpEcho_ParseReply(const std::uint8_t* packet, std::size_t length, bool raw, IcmpReply& reply) {
    if (raw) {
        if (length < 20) return false;
        const std::size_t ipHeader = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        if (ipHeader < 20 || length < ipHeader) return false;
        packet += ipHeader;
        length -= ipHeader;
    }
    if (length < kHeaderBytes + kIcmpTokenBytes) return false;
    if (packet[0] != kEchoReply || packet[1] != 0) return false;
    reply.id = GetU16(packet + 4);
    reply.sequence = GetU16(packet + 6);
    reply.token = packet + kHeaderBytes;
    return true;
}

std::uint32_t IcmpEcho_TokenIndex(const IcmpReply& reply) {
    const std::uint8_t* t = reply.token + 4;
    return static_cast<std::uint32_t>(GetU16(t)) << 16 | GetU16(t + 2);
}

bool IcmpEcho_Matches(const IcmpReply& reply, bool raw, const IcmpProbe& probe) {
    if (raw && reply.id != probe.id) return false;
    return reply.sequence == probe.sequence && std::memcmp(reply.token, probe.token, kIcmpTokenBytes) == 0;
}
