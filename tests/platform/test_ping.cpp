// Pings go to loopback only: every address of 127.0.0.0/8 answers there.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ping.h"

TEST(Ping, LoopbackAnswers) {
    const int result = Platform_Ping("127.0.0.1", 2000);
    if (result == -1) GTEST_SKIP() << "this process may not send ICMP";
    EXPECT_EQ(result, 1);
}

// Raw sockets see every echo reply of the host; each probe must still
// recognise its own among those of the other probes, as in the discovery.
TEST(Ping, ConcurrentProbesAllGetTheirReplies) {
    if (Platform_Ping("127.0.0.1", 2000) == -1) GTEST_SKIP() << "this process may not send ICMP";
    std::atomic<int> answered{0};
    std::vector<std::thread> probes;
    for (int host = 1; host <= 32; ++host)
        probes.emplace_back([&, host] {
            const std::string address = "127.0.0." + std::to_string(host);
            if (Platform_Ping(address.c_str(), 2000) == 1) ++answered;
        });
    for (auto& t : probes) t.join();
    EXPECT_EQ(answered.load(), 32);
}

TEST(Ping, MalformedAddressGetsNoAnswer) {
    for (const char* address : {"", "localhost", "127.0.0", "127.0.0.1.1", "300.0.0.1"})
        EXPECT_EQ(Platform_Ping(address, 100), 0) << address;
    EXPECT_EQ(Platform_Ping(nullptr, 100), 0);
}
