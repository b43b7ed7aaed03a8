#pragma once
// ICMP echo plumbing shared by the single reachability ping and the
// discovery sweep: the socket (unprivileged datagram ICMP where the system
// allows it, else raw), building an echo request and recognising a reply.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::size_t kIcmpTokenBytes = 8;

// What identifies one echo: a raw socket sees every ICMP packet of the host,
// including the echoes of other probes and other programs, so each echo
// carries its own identifier, sequence number and token.
struct IcmpProbe {
    std::uint16_t id = 0;
    std::uint16_t sequence = 0;
    std::uint8_t token[kIcmpTokenBytes] = {};
};

// An open ICMP socket (non-blocking, close-on-exec), closed with the object.
class IcmpSocket {
public:
    IcmpSocket();
    ~IcmpSocket();
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // A raw socket receives the IP header with every packet and keeps the
    // echo identifier we send; a datagram socket puts its own in.
    bool raw() const { return raw_; }

private:
    int fd_ = -1;
    bool raw_ = false;
};

// Probes for count echoes sent together: one identifier, consecutive
// sequence numbers (modulo 2^16, never reused by the next call for a long
// while) and a token of a stamp common to all followed by the probe's index,
// so that a reply leads straight to its probe (IcmpEcho_TokenIndex).
std::vector<IcmpProbe> IcmpEcho_NewProbes(std::size_t count);

// Sends one echo request for probe to target. Returns 0 when it was handed
// to the kernel, else the errno of the send.
int IcmpEcho_Send(const IcmpSocket& socket, const in_addr& target, const IcmpProbe& probe);

// The echo reply a received packet carries: false for anything else (other
// ICMP types, short or malformed packets). id is only meaningful on a raw socket.
struct IcmpReply {
    std::uint16_t id = 0;
    std::uint16_t sequence = 0;
    const std::uint8_t* token = nullptr;  // kIcmpTokenBytes bytes inside the packet
};
bool IcmpEcho_ParseReply(const std::uint8_t* packet, std::size_t length, bool raw, IcmpReply& reply);

// The probe index a reply's token carries (valid only once the reply matched
// the probe of that index).
std::uint32_t IcmpEcho_TokenIndex(const IcmpReply& reply);

// Whether reply answers probe on this kind of socket.
bool IcmpEcho_Matches(const IcmpReply& reply, bool raw, const IcmpProbe& probe);
