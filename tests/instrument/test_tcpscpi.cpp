#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>

#include "instrument/tcpscpi.h"
#include "platform/text.h"
#include "test_tcpscpi_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

constexpr int kPatientMs = 3000;  // for exchanges that must succeed
constexpr int kShortMs = 150;     // for exchanges that must time out

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

TEST(TcpScpi, ReplySplitOverSeveralSegmentsIsAssembled) {
    ScriptedPeer peer([](PeerLink& link) {
        if (link.ReadLine()) link.SendInPieces({"Korv", "ane,ETL,1", "00123", "4,3.20\n"});
        link.WaitForEndOfStream();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    EXPECT_EQ(session.state, kScpiStateConnected);
    char reply[100];
    ASSERT_TRUE(TcpScpi_Query(session, "*IDN?", reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "Korvane,ETL,1001234,3.20");
    EXPECT_STREQ(session.lastError, "");
    EXPECT_EQ(session.rxCount, -1);
    EXPECT_TRUE(TcpScpi_Disconnect(session));
    EXPECT_EQ(peer.Finish(), Lines{"*IDN?"});
}

// The analyzer answers after the time-out; asking the same query again must
// collect that reply (and the part that came before the time-out) without
// sending the query a second time.
TEST(TcpScpi, TimedOutQueryAskedAgainGetsLateReplyWithoutResending) {
    Signal timedOut;
    ScriptedPeer peer([&](PeerLink& link) {
        if (!link.ReadLine()) return;
        link.Send("-4");
        timedOut.Wait();
        link.Send("7.5\n");
        link.ReadLine();  // the next line the session sends
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kShortMs)) << session.lastError;
    char reply[100] = "untouched";
    EXPECT_FALSE(TcpScpi_Query(session, "CALC:MARK:FUNC:POW:RES?", reply, sizeof reply));
    EXPECT_STREQ(session.lastError, "TCP read timeout");
    EXPECT_STREQ(session.pendingQuery, "CALC:MARK:FUNC:POW:RES?");
    EXPECT_EQ(session.state, kScpiStateConnected);  // a time-out does not close the session
    timedOut.Raise();

    session.timeoutMs = kPatientMs;
    // Re-asked the way a measurement step does it: by the pending query itself.
    ASSERT_TRUE(TcpScpi_Query(session, session.pendingQuery, reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "-47.5");
    EXPECT_STREQ(session.pendingQuery, "");
    EXPECT_STREQ(session.lastError, "");
    ASSERT_TRUE(TcpScpi_Write(session, "END"));
    EXPECT_EQ(peer.Finish(), (Lines{"CALC:MARK:FUNC:POW:RES?", "END"}));
}

TEST(TcpScpi, DifferentQueryDrainsLateReply) {
    Signal askedTooLate, lateReplySent;
    ScriptedPeer peer([&](PeerLink& link) {
        if (!link.ReadLine()) return;
        askedTooLate.Wait();
        link.Send("late-a\n");
        lateReplySent.Raise();
        if (link.ReadLine()) link.Send("b-reply\n");
        link.WaitForEndOfStream();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kShortMs)) << session.lastError;
    char reply[100];
    EXPECT_FALSE(TcpScpi_Query(session, "A?", reply, sizeof reply));
    EXPECT_STREQ(session.pendingQuery, "A?");
    askedTooLate.Raise();
    ASSERT_TRUE(lateReplySent.Wait());
    ASSERT_TRUE(WaitReadable(session.socket));  // the late reply has arrived

    session.timeoutMs = kPatientMs;
    ASSERT_TRUE(TcpScpi_Query(session, "B?", reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "b-reply");
    EXPECT_STREQ(session.pendingQuery, "");
    TcpScpi_Disconnect(session);
    EXPECT_EQ(peer.Finish(), (Lines{"A?", "B?"}));
}

TEST(TcpScpi, LongReplyIsCutToReplySizeWithoutError) {
    struct Row {
        std::size_t replySize;
        const char* expected;
    };
    const Row rows[] = {{1, ""}, {2, "0"}, {5, "0123"}, {10, "012345678"}, {11, "0123456789"}, {12, "0123456789"},
                        {500, "0123456789"}};
    ScriptedPeer peer(Responder([](const std::string&) { return std::string("0123456789"); }));
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    for (const Row& row : rows) {
        char reply[600];
        std::memset(reply, 'z', sizeof reply);
        ASSERT_TRUE(TcpScpi_Query(session, "TRAC?", reply, row.replySize)) << row.replySize << " " << session.lastError;
        EXPECT_STREQ(reply, row.expected) << "replySize " << row.replySize;
        EXPECT_EQ(reply[row.replySize], 'z') << "written past replySize " << row.replySize;
    }
    TcpScpi_Disconnect(session);
}

// An empty reply line is a reply; an empty query is sent like any other and
// does not match the empty pendingQuery of a fresh session.
TEST(TcpScpi, EmptyQueryIsSentAndEmptyReplyIsAReply) {
    ScriptedPeer peer(Responder([](const std::string& line) { return line.empty() ? std::string() : line; }));
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    char reply[20] = "untouched";
    ASSERT_TRUE(TcpScpi_Query(session, "", reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "");
    TcpScpi_Disconnect(session);
    EXPECT_EQ(peer.Finish(), Lines{""});
}

TEST(TcpScpi, PeerThatNeverClosesAfterShutdownTimesOutAndSessionClosesAnyway) {
    Signal testDone;
    ScriptedPeer peer([&](PeerLink& link) {
        link.WaitForEndOfStream();
        testDone.Wait();  // keeps the connection open past the session's time-out
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kShortMs)) << session.lastError;
    const auto start = Clock::now();
    EXPECT_TRUE(TcpScpi_Disconnect(session));
    EXPECT_GE(MillisecondsSince(start), kShortMs - 1);
    EXPECT_STREQ(session.lastError, "Shutdown confirm timeout");
    EXPECT_EQ(session.state, kScpiStateClosed);
    EXPECT_EQ(session.socket, -1);
    testDone.Raise();
}

TEST(TcpScpi, DisconnectFromPeerThatClosesLeavesNoError) {
    ScriptedPeer peer([](PeerLink& link) { link.WaitForEndOfStream(); });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    Text_Copy(session.lastError, "TCP read timeout");  // left from an earlier exchange
    EXPECT_TRUE(TcpScpi_Disconnect(session));
    EXPECT_STREQ(session.lastError, "");
    EXPECT_EQ(session.state, kScpiStateClosed);
    EXPECT_EQ(session.socket, -1);
    // Closing a closed session changes nothing.
    EXPECT_TRUE(TcpScpi_Disconnect(session));
    EXPECT_EQ(session.state, kScpiStateClosed);
}

TEST(TcpScpi, ConnectionResetIsConnectionLossForQueryAndWrite) {
    ScriptedPeer peer([](PeerLink& link) {
        if (link.ReadLine()) link.Reset();
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    char reply[100];
    const auto start = Clock::now();
    EXPECT_FALSE(TcpScpi_Query(session, "*IDN?", reply, sizeof reply));
    EXPECT_STREQ(session.lastError, "TCP connection loss");
    EXPECT_LT(MillisecondsSince(start), kPatientMs);  // at once, not after the time-out
    EXPECT_EQ(session.state, kScpiStateConnected);    // the caller decides to reconnect
    EXPECT_FALSE(TcpScpi_Write(session, "*CLS"));
    EXPECT_STREQ(session.lastError, "TCP connection loss");
    peer.Finish();
}

// A peer that closes in an orderly way can never answer either: the query
// fails at once instead of waiting out its time-out.
TEST(TcpScpi, OrderlyCloseByPeerIsConnectionLoss) {
    ScriptedPeer peer([](PeerLink& link) { link.ReadLine(); });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    char reply[100];
    const auto start = Clock::now();
    EXPECT_FALSE(TcpScpi_Query(session, "*IDN?", reply, sizeof reply));
    EXPECT_STREQ(session.lastError, "TCP connection loss");
    EXPECT_LT(MillisecondsSince(start), kPatientMs);
    peer.Finish();
}

TEST(TcpScpi, ReconnectAfterLossClearsPendingQuery) {
    ScriptedPeer first([](PeerLink& link) { link.WaitForEndOfStream(); });  // never answers
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", first.port(), kShortMs)) << session.lastError;
    char reply[100];
    EXPECT_FALSE(TcpScpi_Query(session, "A?", reply, sizeof reply));
    EXPECT_STREQ(session.pendingQuery, "A?");
    TcpScpi_Disconnect(session);
    first.Finish();

    ScriptedPeer second(Responder([](const std::string& line) { return line + "-ok"; }));
    session.port = second.port();
    session.timeoutMs = kPatientMs;
    ASSERT_TRUE(TcpScpi_Connect(session)) << session.lastError;
    EXPECT_STREQ(session.pendingQuery, "");
    EXPECT_EQ(session.rxCount, -1);
    ASSERT_TRUE(TcpScpi_Query(session, "A?", reply, sizeof reply)) << session.lastError;
    EXPECT_STREQ(reply, "A?-ok");
    TcpScpi_Disconnect(session);
}

TEST(TcpScpi, ConnectToPortNobodyListensOnFailsWithinTimeout) {
    const int port = UnusedLoopbackPort();
    ScpiSession session;
    const auto start = Clock::now();
    EXPECT_FALSE(TcpScpi_Open(session, "127.0.0.1", port, 300));
    const double elapsed = MillisecondsSince(start);
    EXPECT_STREQ(session.lastError, "Socket connect error");
    EXPECT_EQ(session.state, kScpiStateClosed);
    EXPECT_EQ(session.socket, -1);
    // Refused attempts are repeated until the time-out (an analyzer may still be
    // starting), and not beyond it.
    EXPECT_GE(elapsed, 299.0);
    EXPECT_LT(elapsed, 300.0 + 2000.0);
}

// A listener that starts while the session is still trying is reached.
TEST(TcpScpi, ConnectRetriesUntilThePortOpens) {
    const int port = UnusedLoopbackPort();
    std::thread late([port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd, 1) == 0) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 3000) > 0) close(accept(fd, nullptr, nullptr));
        }
        close(fd);
    });
    ScpiSession session;
    EXPECT_TRUE(TcpScpi_Open(session, "127.0.0.1", port, 3000)) << session.lastError;
    late.join();
}

TEST(TcpScpi, ConnectingAConnectedSessionDoesNotTouchTheSocket) {
    ScriptedPeer peer([](PeerLink& link) { link.WaitForEndOfStream(); });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    const int fd = session.socket;
    Text_Copy(session.lastError, "TCP read timeout");
    Text_Copy(session.pendingQuery, "A?");
    session.rxCount = 3;
    EXPECT_TRUE(TcpScpi_Connect(session));
    EXPECT_EQ(session.socket, fd);
    EXPECT_STREQ(session.lastError, "TCP read timeout");
    EXPECT_STREQ(session.pendingQuery, "A?");
    EXPECT_EQ(session.rxCount, 3);
    EXPECT_EQ(peer.UnacceptedConnections(), 0);
    TcpScpi_Disconnect(session);
}

// Opening a session that is still connected closes the old connection first.
TEST(TcpScpi, ReopeningClosesTheOldConnection) {
    Signal reopened;
    bool oldConnectionEnded = false;
    ScriptedPeer peer([&](PeerLink& link) {
        reopened.Wait();
        oldConnectionEnded = link.WaitForEndOfStream(kPatientMs);
    });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    reopened.Raise();
    peer.Finish();
    EXPECT_TRUE(oldConnectionEnded);
    EXPECT_EQ(peer.UnacceptedConnections(), 1);  // the new connection
    TcpScpi_Disconnect(session);
}

TEST(TcpScpi, WriteWithZeroTimeoutFailsAndSendsNothing) {
    ScriptedPeer peer([](PeerLink& link) { link.ReadLine(); });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    session.timeoutMs = 0;
    EXPECT_FALSE(TcpScpi_Write(session, "*RST"));
    EXPECT_STREQ(session.lastError, "Socket write timeout");
    session.timeoutMs = kPatientMs;
    ASSERT_TRUE(TcpScpi_Write(session, "*CLS")) << session.lastError;
    EXPECT_STREQ(session.lastError, "");
    EXPECT_EQ(peer.Finish(), Lines{"*CLS"});
    TcpScpi_Disconnect(session);
}

// A command longer than any buffer still leaves as one whole line.
TEST(TcpScpi, LongCommandIsSentWhole) {
    const std::string command = "SYST:TEXT '" + std::string(5000, 'x') + "'";
    ScriptedPeer peer([](PeerLink& link) { link.ReadLine(); });
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
    ASSERT_TRUE(TcpScpi_Write(session, command.c_str())) << session.lastError;
    EXPECT_EQ(peer.Finish(), Lines{command});
    TcpScpi_Disconnect(session);
}

TEST(TcpScpi, OperationsOnAClosedSessionFailWithoutWaiting) {
    ScpiSession session;
    session.timeoutMs = kPatientMs;
    char reply[10];
    const auto start = Clock::now();
    EXPECT_FALSE(TcpScpi_Write(session, "*CLS"));
    EXPECT_STREQ(session.lastError, "TCP connection loss");
    EXPECT_FALSE(TcpScpi_Query(session, "*IDN?", reply, sizeof reply));
    EXPECT_STREQ(session.lastError, "TCP connection loss");
    EXPECT_LT(MillisecondsSince(start), kPatientMs);
}

TEST(TcpScpi, AddressesOtherThanDottedIPv4AreNotReachable) {
    for (const char* address : {"", "analyzer.local", "localhost", "127.0.0", "127.0.0.256", "127.0.0.1 ",
                                "127.000.000.001.000001"}) {
        ScpiSession session;
        EXPECT_FALSE(TcpScpi_Open(session, address, 5025, 100)) << address;
        EXPECT_STREQ(session.lastError, "Instrument not reachable.") << address;
        EXPECT_EQ(session.socket, -1) << address;
    }
}

// The set form asks "<header> <value>;*OPC?" and needs "1"; the check form
// asks "<header>?" and compares with the expected text, else the value, or
// numerically.
TEST(TcpScpi, SetAndConfirm) {
    struct Row {
        const char* name;
        bool verify;
        const char* value;
        const char* expected;
        bool numeric;
        const char* reply;
        const char* error;  // nullptr: confirmed
    };
    const Row rows[] = {
        {"set acknowledged", false, "474000000", nullptr, false, "1", nullptr},
        {"set answered 0", false, "474000000", nullptr, false, "0", "Command not acknowledged"},
        {"set answered 1.0", false, "474000000", nullptr, false, "1.0", "Command not acknowledged"},
        {"check as text", true, "ON", nullptr, false, "ON", nullptr},
        {"check with empty expected uses value", true, "ON", "", false, "ON", nullptr},
        {"check against expected", true, "ON", "1", false, "1", nullptr},
        {"ON read back when 1 expected", true, "ON", "1", false, "ON", "State not acknowledged"},
        {"text differs in case", true, "AUTO", nullptr, false, "auto", "State not acknowledged"},
        {"expected answer longer than value", true, "STDC", "STDCompliant", false, "STDCompliant", nullptr},
        {"numeric 5.0 is 5", true, "5", nullptr, true, "5.0", nullptr},
        {"numeric exponent", true, "474000000", nullptr, true, "4.74E+08", nullptr},
        {"numeric differs", true, "5", nullptr, true, "5.1", "State not acknowledged"},
        {"numeric but reply not a number", true, "0", nullptr, true, "OFF", "State not acknowledged"},
        {"numeric but value not a number", true, "OFF", nullptr, true, "0", "State not acknowledged"},
        {"as text 5.0 is not 5", true, "5", nullptr, false, "5.0", "State not acknowledged"},
    };
    for (const Row& row : rows) {
        ScriptedPeer peer(Responder([&](const std::string&) { return std::string(row.reply); }));
        ScpiSession session;
        ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kPatientMs)) << session.lastError;
        int counter = 7;
        char error[100] = "";
        const bool ok = TcpScpi_SetAndConfirm(session, row.verify, counter, "SENS:FREQ", row.value, row.expected,
                                              row.numeric, error);
        EXPECT_EQ(ok, row.error == nullptr) << row.name;
        EXPECT_EQ(counter, row.error ? 7 : 8) << row.name;
        EXPECT_STREQ(error, row.error ? row.error : "") << row.name;
        TcpScpi_Disconnect(session);
        const std::string sent = row.verify ? "SENS:FREQ?" : std::string("SENS:FREQ ") + row.value + ";*OPC?";
        EXPECT_EQ(peer.Finish(), Lines{sent}) << row.name;
    }
}

TEST(TcpScpi, SetAndConfirmPassesSessionErrorOn) {
    ScriptedPeer peer(Responder([](const std::string&) { return std::nullopt; }));
    ScpiSession session;
    ASSERT_TRUE(TcpScpi_Open(session, "127.0.0.1", peer.port(), kShortMs)) << session.lastError;
    int counter = 3;
    char error[100] = "";
    EXPECT_FALSE(TcpScpi_SetAndConfirm(session, true, counter, "INP:ATT", "10", nullptr, true, error));
    EXPECT_STREQ(error, "TCP read timeout");
    EXPECT_EQ(counter, 3);
    // The step is tried again on the next pass: the same query is not sent twice.
    EXPECT_FALSE(TcpScpi_SetAndConfirm(session, true, counter, "INP:ATT", "10", nullptr, true, error));
    TcpScpi_Disconnect(session);
    EXPECT_EQ(peer.Finish(), Lines{"INP:ATT?"});
}
