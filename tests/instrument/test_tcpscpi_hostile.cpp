// A peer that misbehaves: replies far beyond the receive buffer, endless
// streams, binary and NUL bytes, silence. The session must stay within its
// buffer, keep its time-outs and not burn CPU while it waits.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <string>

#include "instrument/tcpscpi.h"
#include "test_tcpscpi_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

constexpr int kPatientMs = 3000;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Sends bytes until the session goes away (or 10 s pass).
void Flood(PeerLink& link, char byte) {
    const std::string chunk(65536, byte);
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end && link.Send(chunk)) {
    }
}

}  // namespace

// Megabytes without a line feed: the first 10000 bytes are kept, the rest is
// read and thrown away, and without a line feed the query times out. When the
// line feed finally comes, the reply is the kept part.
TEST(TcpScpiHostile, MegabytesWithoutLineFeedTimeOutWithinTheBuffer) {
    Signal timedOut;
    ScriptedPeer peer([&](PeerLink& link) {
        if (!link.ReadLine()) return;
        link.Send(std::string(4 << 20, 'x'));
        timedOut.Wait();
        link.Send("\n");
        if (link.ReadLine()) link.Send("b\n");
        link.WaitForEndOfStream();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), 300)) << session.lastError;
    std::string reply(20000, '\0');
    EXPECT_FALSE(TcpScpi_Query(session, "TRAC:DATA?", reply.data(), reply.size()));
    EXPECT_STREQ(session.lastError, "TCP read timeout");
    EXPECT_STREQ(session.pendingQuery, "TRAC:DATA?");
    EXPECT_EQ(session.rxCount, kScpiRxBufferBytes);
    timedOut.Raise();

    session.timeoutMs = kPatientMs;
    ASSERT_TRUE(TcpScpi_Query(session, "TRAC:DATA?", reply.data(), reply.size())) << session.lastError;
    EXPECT_EQ(std::strlen(reply.c_str()), static_cast<std::size_t>(kScpiRxBufferBytes));
    EXPECT_EQ(reply.find_first_not_of('x'), static_cast<std::size_t>(kScpiRxBufferBytes));
    // Nothing of the flood is left over for the next query.
    char small[10];
    ASSERT_TRUE(TcpScpi_Query(session, "B?", small, sizeof small)) << session.lastError;
    EXPECT_STREQ(small, "b");
    TcpScpi_Disconnect(session);
    EXPECT_EQ(peer.Finish(), (Lines{"TRAC:DATA?", "B?"}));
}

TEST(TcpScpiHostile, OversizedLineIsCutToReplySize) {
    ScriptedPeer peer([](PeerLink& link) {
        if (link.ReadLine()) link.Send(std::string(3 << 20, 'y') + "\n");
        if (link.ReadLine()) link.Send("b\n");
        link.WaitForEndOfStream();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    std::string reply(kScpiRxBufferBytes, '\0');
    ASSERT_TRUE(TcpScpi_Query(session, "TRAC?", reply.data(), reply.size())) << session.lastError;
    EXPECT_EQ(std::strlen(reply.c_str()), static_cast<std::size_t>(kScpiRxBufferBytes - 1));
    char small[10];
    ASSERT_TRUE(TcpScpi_Query(session, "B?", small, sizeof small)) << session.lastError;
    EXPECT_STREQ(small, "b");
    TcpScpi_Disconnect(session);
}

TEST(TcpScpiHostile, BinaryAndNulBytesArriveUnchanged) {
    const std::string bytes("\x00\x01\xff\x80\x7f" "abc\r", 9);
    ScriptedPeer peer([&](PeerLink& link) {
        if (link.ReadLine()) link.Send(bytes + "\n");
        link.WaitForEndOfStream();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    char reply[32];
    std::memset(reply, 'z', sizeof reply);
    ASSERT_TRUE(TcpScpi_Query(session, "TRAC:BIN?", reply, sizeof reply)) << session.lastError;
    EXPECT_EQ(std::string(reply, bytes.size()), bytes);
    EXPECT_EQ(reply[bytes.size()], '\0');
    EXPECT_EQ(reply[bytes.size() + 1], 'z');
    TcpScpi_Disconnect(session);
}

// A reply line is taken at its line feed; bytes behind it in the same segment
// were never asked for and do not become the next reply.
TEST(TcpScpiHostile, BytesAfterTheLineFeedAreNotTheNextReply) {
    ScriptedPeer peer([](PeerLink& link) {
        if (link.ReadLine()) link.Send("first\nunsolicited");
        if (link.ReadLine()) link.Send("second\n");
        link.WaitForEndOfStream();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    char reply[50];
    ASSERT_TRUE(TcpScpi_Query(session, "A?", reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "first");
    ASSERT_TRUE(TcpScpi_Query(session, "B?", reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "second");
    TcpScpi_Disconnect(session);
}

// A peer that never stops talking can hold neither a query nor the close
// beyond the time-out.
TEST(TcpScpiHostile, EndlessStreamCannotHoldTheSession) {
    ScriptedPeer peer([](PeerLink& link) {
        if (link.ReadLine()) Flood(link, 'z');
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), 200)) << session.lastError;
    char reply[100];
    auto start = Clock::now();
    EXPECT_FALSE(TcpScpi_Query(session, "A?", reply, sizeof reply));
    EXPECT_STREQ(session.lastError, "TCP read timeout");
    EXPECT_EQ(session.rxCount, kScpiRxBufferBytes);
    EXPECT_LT(MillisecondsSince(start), 200.0 + 2000.0);

    start = Clock::now();
    EXPECT_TRUE(TcpScpi_Disconnect(session));
    EXPECT_STREQ(session.lastError, "Shutdown confirm timeout");
    EXPECT_EQ(session.state, kScpiStateClosed);
    EXPECT_LT(MillisecondsSince(start), 200.0 + 2000.0);
    peer.Finish();
}

// Waiting blocks in poll(): a spinning wait would cost about as much CPU as
// the time it waits. Each row waits a few hundred milliseconds.
TEST(TcpScpiHostile, WaitingCostsNoCpu) {
    struct Row {
        const char* name;
        std::string sendFirst;  // what the peer sends after the first line, then it stays silent
        bool disconnect;        // wait for the close instead of a reply
    };
    const Row rows[] = {
        {"no reply", "", false},
        {"half a reply", "12.5", false},
        {"full buffer without line feed", std::string(3 * kScpiRxBufferBytes, 'q'), false},
        {"peer never closes", "", true},
    };
    for (const Row& row : rows) {
        Signal done;
        ScriptedPeer peer([&](PeerLink& link) {
            if (!row.disconnect && link.ReadLine() && !row.sendFirst.empty()) link.Send(row.sendFirst);
            done.Wait();
        });
        ScpiSession session;
        ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), 150)) << session.lastError;
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        if (row.disconnect) {
            TcpScpi_Disconnect(session);
            EXPECT_STREQ(session.lastError, "Shutdown confirm timeout") << row.name;
        } else {
            char reply[100];
            for (int i = 0; i < 3; ++i) EXPECT_FALSE(TcpScpi_Query(session, "MEAS?", reply, sizeof reply)) << row.name;
            EXPECT_STREQ(session.lastError, "TCP read timeout") << row.name;
        }
        const double cpu = ThreadCpuMs() - cpuStart;
        const double wall = MillisecondsSince(start);
        EXPECT_LT(cpu, 0.25 * wall) << row.name << ": " << cpu << " ms CPU in " << wall << " ms";
        done.Raise();
        TcpScpi_Disconnect(session);
    }
}
