// Recognising echo replies: a raw socket hands over every ICMP packet of the
// host with its IP header, a datagram socket only its own replies.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/icmpecho.h"

namespace {

std::vector<std::uint8_t> Reply(const IcmpProbe& p, std::uint8_t type = 0, std::size_t ipHeader = 0) {
    std::vector<std::uint8_t> packet(ipHeader, 0);
    if (ipHeader) packet[0] = static_cast<std::uint8_t>(0x40 | ipHeader / 4);
    const std::uint8_t icmp[8] = {type, 0, 0, 0, static_cast<std::uint8_t>(p.id >> 8), static_cast<std::uint8_t>(p.id),
                                  static_cast<std::uint8_t>(p.sequence >> 8), static_cast<std::uint8_t>(p.sequence)};
    packet.insert(packet.end(), icmp, icmp + 8);
    packet.insert(packet.end(), p.token, p.token + kIcmpTokenBytes);
    packet.resize(packet.size() + 24, 0x55);
    return packet;
}

bool Answers(const std::vector<std::uint8_t>& packet, bool raw, const IcmpProbe& probe) {
    IcmpReply reply;
    return IcmpEcho_ParseReply(packet.data(), packet.size(), raw, reply) && IcmpEcho_Matches(reply, raw, probe);
}

}  // namespace

TEST(IcmpEcho, ProbesOfOneSweepAreDistinctAndCarryTheirIndex) {
    const std::vector<IcmpProbe> probes = IcmpEcho_NewProbes(300);
    const std::vector<IcmpProbe> next = IcmpEcho_NewProbes(1);
    for (std::size_t i = 0; i < probes.size(); ++i) {
        IcmpReply reply;
        const auto packet = Reply(probes[i]);
        ASSERT_TRUE(IcmpEcho_ParseReply(packet.data(), packet.size(), false, reply));
        EXPECT_EQ(IcmpEcho_TokenIndex(reply), i);
        EXPECT_EQ(probes[i].sequence, static_cast<std::uint16_t>(probes[0].sequence + i));
        if (i > 0) {
            EXPECT_FALSE(Answers(packet, false, probes[i - 1]));
        } else {  // the next sweep's probe 0 never takes this sweep's reply of index 0
            EXPECT_FALSE(Answers(packet, true, next[0]));
        }
    }
}

TEST(IcmpEcho, RepliesAreMatchedOnBothSocketKinds) {
    const IcmpProbe probe = IcmpEcho_NewProbes(1).front();
    IcmpProbe otherId = probe, otherSequence = probe, otherToken = probe;
    otherId.id ^= 1;
    otherSequence.sequence ^= 1;
    otherToken.token[2] ^= 1;

    EXPECT_TRUE(Answers(Reply(probe), false, probe));
    EXPECT_TRUE(Answers(Reply(probe, 0, 20), true, probe));
    EXPECT_TRUE(Answers(Reply(probe, 0, 24), true, probe));  // IP options
    // The kernel puts its own identifier into a datagram socket's echoes.
    EXPECT_TRUE(Answers(Reply(otherId), false, probe));
    EXPECT_FALSE(Answers(Reply(otherId, 0, 20), true, probe));
    for (bool raw : {false, true}) {
        const std::size_t ip = raw ? 20 : 0;
        EXPECT_FALSE(Answers(Reply(otherSequence, 0, ip), raw, probe)) << raw;
        EXPECT_FALSE(Answers(Reply(otherToken, 0, ip), raw, probe)) << raw;
        EXPECT_FALSE(Answers(Reply(probe, 8, ip), raw, probe)) << raw;  // a raw socket sees the requests too
        EXPECT_FALSE(Answers(Reply(probe, 3, ip), raw, probe)) << raw;  // unreachable
    }
}

TEST(IcmpEcho, ShortOrMalformedPacketsAreNoReply) {
    const IcmpProbe probe = IcmpEcho_NewProbes(1).front();
    const auto whole = Reply(probe, 0, 20);
    for (std::size_t length : {0, 1, 19, 20, 27, 35}) {
        IcmpReply reply;
        EXPECT_FALSE(IcmpEcho_ParseReply(whole.data(), length, true, reply)) << length;
    }
    auto badHeader = whole;
    badHeader[0] = 0x44;  // header length 16 bytes: below the minimum
    IcmpReply reply;
    EXPECT_FALSE(IcmpEcho_ParseReply(badHeader.data(), badHeader.size(), true, reply));
    badHeader[0] = 0x4F;  // 60 bytes: longer than the packet's ICMP part allows
    EXPECT_FALSE(IcmpEcho_ParseReply(badHeader.data(), 50, true, reply));
}
