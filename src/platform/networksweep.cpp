#include "platform/networksweep.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "platform/icmpecho.h"

namespace {

using Clock = std::chrono::steady_clock;

// A /24 sweep queues one echo per silent host until its address resolution
// fails (seconds later); the default send buffer holds only a few hundred of
// them, and a LAN full of hosts answers in one burst.
constexpr int kSocketBufferBytes = 1 << 20;
// How long to wait before sending again after the kernel ran out of buffers.
constexpr auto kNoBufferPause = std::chrono::milliseconds(1);
// Bounds one drain of the socket so that a flood of foreign ICMP cannot hold the loop.
constexpr int kMaxPacketsPerDrain = 4096;

void EnlargeBuffers(int fd) {
    const int bytes = kSocketBufferBytes;
    // The forced variants pass the system limit and need CAP_NET_ADMIN; the
    // plain ones are capped by net.core.[rw]mem_max.
    if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

timespec Remaining(Clock::time_point until, Clock::time_point now) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - now).count();
    if (left <= 0) return {0, 0};
    return {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
}

class Sweep {
public:
    Sweep(const std::vector<std::string>& addresses, const std::function<void(std::size_t, bool)>& finished)
        : finished_(finished), targets_(addresses.size()), done_(addresses.size(), false), remaining_(addresses.size()) {
        for (std::size_t i = 0; i < addresses.size(); ++i)
            if (inet_pton(AF_INET, addresses[i].c_str(), &targets_[i]) != 1) finish(i, false);
    }

    void run(int timeoutMs) {
        if (remaining_ == 0) return;
        const IcmpSocket socket;
        if (socket.isOpen()) {
            EnlargeBuffers(socket.fd());
            probes_ = IcmpEcho_NewProbes(targets_.size());
            exchange(socket, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0));
        }
        for (std::size_t i = 0; i < done_.size(); ++i) finish(i, false);
    }

private:
    enum class SendState { Sent, Full, NoBuffers };

    void finish(std::size_t i, bool answered) {
        if (done_[i]) return;
        done_[i] = true;
        --remaining_;
        finished_(i, answered);
    }

    // Sends the echoes from next_ on until all are out or the kernel wants a pause.
    SendState sendPending(const IcmpSocket& socket) {
        while (next_ < targets_.size()) {
            if (done_[next_]) {
                ++next_;
                continue;
            }
            const int error = IcmpEcho_Send(socket, targets_[next_], probes_[next_]);
            if (error == EINTR) continue;
            if (error == EAGAIN || error == EWOULDBLOCK) return SendState::Full;
            if (error == ENOBUFS) return SendState::NoBuffers;
            if (error != 0) finish(next_, false);  // no route, refused by a filter, ...: it cannot answer
            ++next_;
        }
        return SendState::Sent;
    }

    void drainReplies(const IcmpSocket& socket) {
        std::uint8_t packet[1500];
        for (int n = 0; n < kMaxPacketsPerDrain && remaining_ > 0; ++n) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t length = recvfrom(socket.fd(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (length < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;
                continue;  // EINTR, or a pending error of an earlier echo, reported once
            }
            IcmpReply reply;
            if (!IcmpEcho_ParseReply(packet, static_cast<std::size_t>(length), socket.raw(), reply)) continue;
            const std::size_t i = IcmpEcho_TokenIndex(reply);
            if (i < next_ && !done_[i] && from.sin_addr.s_addr == targets_[i].s_addr &&
                IcmpEcho_Matches(reply, socket.raw(), probes_[i]))
                finish(i, true);
        }
    }

    // Sending and receiving interleave, so that early replies never overflow
    // the receive buffer while the rest is still going out. Sending may stall
    // for at most the time-out; the replies get the time-out after the last echo.
    void exchange(const IcmpSocket& socket, std::chrono::milliseconds timeout) {
        const Clock::time_point sendDeadline = Clock::now() + timeout;
        Clock::time_point replyDeadline{};
        bool allSent = false;
        for (;;) {
            const SendState state = allSent ? SendState::Sent : sendPending(socket);
            drainReplies(socket);
            if (remaining_ == 0) return;
            const Clock::time_point now = Clock::now();
            if (state == SendState::Sent && !allSent) {
                allSent = true;
                replyDeadline = now + timeout;
            }
            if (!allSent && now >= sendDeadline) {
                for (std::size_t i = next_; i < targets_.size(); ++i) finish(i, false);
                next_ = targets_.size();
                allSent = true;
                replyDeadline = now + timeout;
                continue;
            }
            if (allSent && now >= replyDeadline) return;

            pollfd p{socket.fd(), POLLIN, 0};
            Clock::time_point until = allSent ? replyDeadline : sendDeadline;
            if (state == SendState::Full) p.events |= POLLOUT;
            if (state == SendState::NoBuffers && now + kNoBufferPause < until) until = now + kNoBufferPause;
            const timespec wait = Remaining(until, now);
            if (ppoll(&p, 1, &wait, nullptr) < 0 && errno != EINTR) return;
        }
    }

    const std::function<void(std::size_t, bool)>& finished_;
    std::vector<in_addr> targets_;
    std::vector<bool> done_;
    std::size_t remaining_;
    std::vector<IcmpProbe> probes_;
    std::size_t next_ = 0;  // the next echo to send
};

}  // namespace

void Network_Sweep(const std::vector<std::string>& addresses, int timeoutMs,
                   const std::function<void(std::size_t index, bool answered)>& finished) {
    Sweep sweep(addresses, finished);
    sweep.run(timeoutMs);
}
