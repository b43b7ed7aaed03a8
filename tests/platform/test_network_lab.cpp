// The system network access inside the network lab (scripts/lab.sh, run by
// tests/tools/lab_network.sh). Outside the lab these cases skip; inside they
// check the access against what the lab built, which it describes in
// FIELDTRACE_LAB_* variables.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/network.h"

namespace {

std::vector<std::string> Words(const char* name) {
    std::vector<std::string> words;
    std::istringstream in(std::getenv(name) ? std::getenv(name) : "");
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// "KEY=VALUE KEY=VALUE" from the environment.
std::map<std::string, std::string> Pairs(const char* name) {
    std::map<std::string, std::string> pairs;
    for (const std::string& w : Words(name)) {
        const auto eq = w.find('=');
        if (eq != std::string::npos) pairs[w.substr(0, eq)] = w.substr(eq + 1);
    }
    return pairs;
}

std::string MacText(const std::uint8_t* mac, std::size_t length) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i ? ":%02x" : "%02x", mac[i]);
        text += byte;
    }
    return text;
}

bool InsideNets(const std::string& address, const std::vector<std::string>& nets) {
    return std::any_of(nets.begin(), nets.end(), [&](const std::string& n) { return address.rfind(n + ".", 0) == 0; });
}

struct LabSweep {
    std::vector<std::string> addresses;
    std::vector<int> calls;
    std::set<std::string> answered;
};

// One sweep of every host 0..254 of every lab network, shared by the cases.
const LabSweep& SweepOnce() {
    static const LabSweep sweep = [] {
        LabSweep s;
        for (const std::string& net : Words("FIELDTRACE_LAB_NETS"))
            for (int host = 0; host <= 254; ++host) s.addresses.push_back(net + "." + std::to_string(host));
        s.calls.assign(s.addresses.size(), 0);
        Network_System().sweep(s.addresses, 1000, [&](std::size_t i, bool answered) {
            ++s.calls.at(i);
            if (answered) s.answered.insert(s.addresses[i]);
        });
        return s;
    }();
    return sweep;
}

class NetworkLab : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("FIELDTRACE_LAB")) GTEST_SKIP() << "runs inside scripts/lab.sh only";
        // Sweeping the machine's own network from a test is never acceptable.
        ASSERT_FALSE(Network_InInitialNamespace()) << "FIELDTRACE_LAB is set but this is the initial network namespace";
        nets = Words("FIELDTRACE_LAB_NETS");
        pcAddresses = Words("FIELDTRACE_LAB_ADDRESSES");
        analyzers = Words("FIELDTRACE_LAB_ANALYZERS");
        macs = Pairs("FIELDTRACE_LAB_MACS");
        ASSERT_FALSE(nets.empty());
        ASSERT_EQ(pcAddresses.size(), nets.size());
    }

    std::vector<std::string> nets, pcAddresses, analyzers;
    std::map<std::string, std::string> macs;
};

}  // namespace

TEST_F(NetworkLab, HostAddressesAreThePcAddressesInNetworkOrder) {
    std::vector<std::string> addresses;
    std::string error;
    ASSERT_TRUE(Network_System().hostAddresses(addresses, error)) << error;
    EXPECT_EQ(addresses, pcAddresses);
}

TEST_F(NetworkLab, SweepFinishesEveryProbeOnceAndOnlyTheLabHostsAnswer) {
    const LabSweep& sweep = SweepOnce();
    ASSERT_EQ(sweep.addresses.size(), 255 * nets.size());
    EXPECT_EQ(sweep.calls, std::vector<int>(sweep.addresses.size(), 1));
    std::set<std::string> expected(pcAddresses.begin(), pcAddresses.end());  // the PC answers itself
    for (const std::string& a : analyzers)
        if (InsideNets(a, nets)) expected.insert(a);
    EXPECT_EQ(sweep.answered, expected);
}

TEST_F(NetworkLab, NeighboursAreTheAnsweredHostsAndTheStaticOnes) {
    const LabSweep& sweep = SweepOnce();
    std::vector<NetworkNeighbour> neighbours;
    ASSERT_TRUE(Network_System().neighbours(neighbours));
    std::map<std::string, std::string> listed;
    for (const NetworkNeighbour& n : neighbours) {
        listed[n.address] = MacText(n.mac, 6);
        // A host that did not answer leaves at most an incomplete entry.
        EXPECT_TRUE(sweep.answered.count(n.address) || !InsideNets(n.address, nets)) << n.address;
    }
    // Every analyzer, also a foreign-MAC host and one outside the networks.
    for (const std::string& a : analyzers) {
        ASSERT_TRUE(listed.count(a)) << a << " missing from the neighbour table";
        EXPECT_EQ(listed[a], macs[a]) << a;
    }
    EXPECT_EQ(listed.size(), analyzers.size());
    EXPECT_TRUE(std::is_sorted(neighbours.begin(), neighbours.end(), [](const NetworkNeighbour& x, const NetworkNeighbour& y) {
        in_addr a{}, b{};
        inet_pton(AF_INET, x.address.c_str(), &a);
        inet_pton(AF_INET, y.address.c_str(), &b);
        return ntohl(a.s_addr) < ntohl(b.s_addr);
    }));
}

TEST_F(NetworkLab, AdaptersCarryTheNetworkMacs) {
    std::vector<NetworkAdapter> adapters;
    ASSERT_TRUE(Network_System().adapters(adapters));
    std::set<std::string> present;
    for (const NetworkAdapter& a : adapters) present.insert(MacText(a.hardwareAddress.data(), a.hardwareAddress.size()));
    for (const std::string& mac : Words("FIELDTRACE_LAB_PC_MACS")) EXPECT_TRUE(present.count(mac)) << mac;
}
