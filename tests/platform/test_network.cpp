// The network access without a network: the neighbour table parser, the
// table file reader, the empty access, and sweeps that never leave loopback.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "platform/arptable.h"
#include "platform/network.h"
#include "platform/ping.h"
#include "support/testsupport.h"

namespace {

std::string MacText(const NetworkNeighbour& n) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", n.mac[0], n.mac[1], n.mac[2], n.mac[3], n.mac[4], n.mac[5]);
    return text;
}

std::vector<std::string> Listed(const std::vector<NetworkNeighbour>& neighbours) {
    std::vector<std::string> rows;
    for (const auto& n : neighbours) rows.push_back(n.address + " " + MacText(n));
    return rows;
}

struct SweepLog {
    std::vector<int> calls;  // per index: how often finished was called
    std::vector<int> answered;
    std::vector<std::size_t> order;
};

SweepLog RunSweep(NetworkAccess& access, const std::vector<std::string>& addresses, int timeoutMs) {
    SweepLog log{std::vector<int>(addresses.size(), 0), std::vector<int>(addresses.size(), 0), {}};
    access.sweep(addresses, timeoutMs, [&](std::size_t i, bool answered) {
        ASSERT_LT(i, addresses.size());
        ++log.calls[i];
        log.answered[i] += answered;
        log.order.push_back(i);
    });
    return log;
}

}  // namespace

TEST(ArpTable, KeepsCompleteEntriesSortedByNumericAddress) {
    const char* table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "10.1.1.100       0x1         0x2         00:c0:3a:01:01:64     *        lab0\n"
        "10.1.1.3         0x1         0x0         00:00:00:00:00:00     *        lab0\n"   // never answered
        "10.1.1.20        0x1         0x2         00:C0:3A:01:01:14     *        lab0\n"
        "9.255.0.1        0x1         0x6         02:00:00:00:00:01     *        lab0\n"   // permanent
        "10.2.2.9         0x1         0x2         00:00:00:00:00:00     *        lab1\n"   // complete yet zero
        "192.168.1.5      0x1         0x4         00:90:b8:00:00:01     *        eth0\n"   // permanent flag alone
        "10.2.2.10\t0x1\t0xa\t00:90:b8:0a:02:02\t*\tlab1\r\n"                           // tabs, CRLF, extra flag
        "10.1.1.0         0x1         0x2         00:c0:1b:00:00:01     *        lab0";     // no final line feed
    EXPECT_EQ(Listed(Network_ParseArpTable(table)),
              (std::vector<std::string>{"9.255.0.1 02:00:00:00:00:01", "10.1.1.0 00:c0:1b:00:00:01",
                                        "10.1.1.20 00:c0:3a:01:01:14", "10.1.1.100 00:c0:3a:01:01:64",
                                        "10.2.2.10 00:90:b8:0a:02:02"}));
}

TEST(ArpTable, OddLinesAreSkipped) {
    const char* odd[] = {
        "",
        "IP address       HW type     Flags       HW address            Mask     Device",
        "garbage",
        "10.1.1.7 0x1 0x2",                                           // cut short
        "10.1.1.7 0x1 0x2 00:c0:3a:01:01",                            // five bytes
        "10.1.1.7 0x1 0x2 00:c0:3a:01:01:zz * lab0",                  // not hex
        "10.1.1.7 0x1 0x2 00-c0-3a-01-01-07 * lab0",                  // other separator
        "10.1.1.7 0x1 2 00:c0:3a:01:01:07 * lab0",                    // flags without 0x
        "10.1.1.7 0x1 0x2g 00:c0:3a:01:01:07 * lab0",
        "300.1.1.7 0x1 0x2 00:c0:3a:01:01:07 * lab0",
        "10.1.1 0x1 0x2 00:c0:3a:01:01:07 * lab0",
        "10.1.1.7 0x20 0x2 80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0f:47:31 * ib0",  // InfiniBand
    };
    for (const char* line : odd) EXPECT_TRUE(Network_ParseArpTable(line).empty()) << line;
    // A good entry after odd lines is still found.
    EXPECT_EQ(Network_ParseArpTable("garbage\n\n10.1.1.7 0x1 0x2 00:c0:3a:01:01:07 * lab0\n").size(), 1u);
}

TEST(ArpTable, ReadsRegularFilesOnly) {
    TempDir dir;
    const std::string text = "IP address HW type Flags HW address Mask Device\n10.1.1.7 0x1 0x2 00:c0:3a:01:01:07 * lab0\n";
    WriteWholeFile(dir.file("arp"), std::vector<std::uint8_t>(text.begin(), text.end()));
    std::vector<NetworkNeighbour> neighbours;
    ASSERT_TRUE(Network_ReadArpTable(dir.file("arp").c_str(), neighbours));
    EXPECT_EQ(Listed(neighbours), std::vector<std::string>{"10.1.1.7 00:c0:3a:01:01:07"});

    // A FIFO in the table's place must not block the reader: it is refused at once.
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(Network_ReadArpTable(dir.file("fifo").c_str(), neighbours));
    EXPECT_FALSE(Network_ReadArpTable(dir.path().c_str(), neighbours));
    EXPECT_FALSE(Network_ReadArpTable(dir.file("missing").c_str(), neighbours));
}

TEST(ArpTable, SystemTableIsReadable) {
    std::vector<NetworkNeighbour> neighbours;
    EXPECT_TRUE(Network_System().neighbours(neighbours));
}

TEST(NetworkAccess, NoneHasNothingAndFinishesEveryProbeUnanswered) {
    NetworkAccess& none = Network_None();
    std::vector<std::string> addresses{"x"};
    std::string error;
    std::vector<NetworkAdapter> adapters{NetworkAdapter{}};
    std::vector<NetworkNeighbour> neighbours{NetworkNeighbour{}};
    EXPECT_TRUE(none.hostAddresses(addresses, error));
    EXPECT_TRUE(none.adapters(adapters));
    EXPECT_TRUE(none.neighbours(neighbours));
    EXPECT_TRUE(addresses.empty());
    EXPECT_TRUE(adapters.empty());
    EXPECT_TRUE(neighbours.empty());

    const SweepLog log = RunSweep(none, {"127.0.0.1", "10.1.1.1", "bad"}, 1000);
    EXPECT_EQ(log.calls, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(log.answered, (std::vector<int>{0, 0, 0}));
}

TEST(NetworkAccess, DefaultsToNoneAndIsReplaceable) {
    EXPECT_EQ(&Network_Access(), &Network_None());
    Network_SetAccess(&Network_System());
    EXPECT_EQ(&Network_Access(), &Network_System());
    Network_SetAccess(nullptr);
    EXPECT_EQ(&Network_Access(), &Network_None());
}

TEST(NetworkAccess, SystemListsNoLoopbackAddressOrAllZeroAdapter) {
    std::vector<std::string> addresses;
    std::string error;
    ASSERT_TRUE(Network_System().hostAddresses(addresses, error)) << error;
    for (const auto& a : addresses) EXPECT_NE(a.rfind("127.", 0), 0u) << a;
    std::vector<NetworkAdapter> adapters;
    ASSERT_TRUE(Network_System().adapters(adapters));
    for (const auto& a : adapters) {
        EXPECT_NE(a.name, "lo");
        EXPECT_NE(a.hardwareAddress, std::vector<std::uint8_t>(a.hardwareAddress.size(), 0)) << a.name;
    }
}

// Texts that are no dotted IPv4 address, and the broadcast address that no
// unprivileged echo may go to, finish unanswered without waiting for the time-out.
TEST(NetworkSweep, UnusableAddressesFinishAtOnce) {
    const std::vector<std::string> addresses{"", "localhost", "10.1.1", "10.1.1.1.1", "300.0.0.1", "10.1.1.1 ", "255.255.255.255"};
    const auto start = std::chrono::steady_clock::now();
    const SweepLog log = RunSweep(Network_System(), addresses, 60000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(log.calls, std::vector<int>(addresses.size(), 1));
    EXPECT_EQ(log.answered, std::vector<int>(addresses.size(), 0));
}

// Loopback answers on every 127.x address. Duplicates are separate probes;
// bad texts finish first, before any reply is waited for.
TEST(NetworkSweep, LoopbackProbesEachFinishOnceAnswered) {
    if (Platform_Ping("127.0.0.1", 2000) == -1) GTEST_SKIP() << "this process may not send ICMP";
    std::vector<std::string> addresses{"bad"};
    for (int host = 1; host <= 200; ++host) addresses.push_back("127.0.3." + std::to_string(host));
    addresses.push_back("127.0.3.7");
    addresses.push_back("also bad");
    const SweepLog log = RunSweep(Network_System(), addresses, 5000);
    EXPECT_EQ(log.calls, std::vector<int>(addresses.size(), 1));
    std::vector<int> expected(addresses.size(), 1);
    expected.front() = expected.back() = 0;
    EXPECT_EQ(log.answered, expected);
    ASSERT_GE(log.order.size(), 2u);
    EXPECT_EQ(log.order[0], 0u);
    EXPECT_EQ(log.order[1], addresses.size() - 1);
}

// Two sweeps at once on raw sockets see each other's replies; each must
// still take only its own.
TEST(NetworkSweep, ConcurrentSweepsKeepTheirReplies) {
    if (Platform_Ping("127.0.0.1", 2000) == -1) GTEST_SKIP() << "this process may not send ICMP";
    std::vector<std::string> a, b;
    for (int host = 1; host <= 50; ++host) {
        a.push_back("127.0.4." + std::to_string(host));
        b.push_back("127.0.5." + std::to_string(host));
    }
    SweepLog logB;
    std::thread other([&] { logB = RunSweep(Network_System(), b, 5000); });
    const SweepLog logA = RunSweep(Network_System(), a, 5000);
    other.join();
    EXPECT_EQ(logA.answered, std::vector<int>(a.size(), 1));
    EXPECT_EQ(logB.answered, std::vector<int>(b.size(), 1));
    EXPECT_EQ(logA.calls, std::vector<int>(a.size(), 1));
    EXPECT_EQ(logB.calls, std::vector<int>(b.size(), 1));
}
