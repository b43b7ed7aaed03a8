// Faults on request, deterministic by seed, and the simulator's command line.
#include <gtest/gtest.h>

#include <string>

#include "simanalyzer.h"
#include "simtesthelpers.h"
#include "support/testsupport.h"

namespace {

// Which of n identical queries got a reply, as a string of '1' and '0'.
std::string ReplyPattern(SimAnalyzer& sim, const char* query, int n, bool undefinedCounts) {
    std::string pattern;
    SimTest_Prepare(sim, "DVB-T / DVB-H", 1.0);
    for (int i = 0; i < n; ++i) {
        const auto r = sim.handleLine(query, 10.0 + i * 0.01);
        if (undefinedCounts) pattern += r && *r == "99.1e+36" ? '0' : '1';
        else pattern += r ? '1' : '0';
    }
    return pattern;
}

SimAnalyzer Make(const char* family, void (*adjust)(SimConfig&), std::uint64_t seed) {
    SimConfig c = SimTest_Config(family, seed);
    adjust(c);
    return SimAnalyzer(SimTest_Family(family), c);
}

bool Parse(std::vector<std::string> args, SimConfig& c, std::string& error) {
    c = SimConfig{};
    return SimConfig_Parse(args, c, error);
}

}  // namespace

TEST(SimFaults, SharesAreDeterministicBySeed) {
    struct Case {
        const char* name;
        void (*adjust)(SimConfig&);
        const char* query;
        bool undefinedCounts;
    } cases[] = {
        {"no reply", [](SimConfig& c) { c.noReplyShare = 0.4; }, "*IDN?", false},
        {"undefined", [](SimConfig& c) { c.undefinedShare = 0.4; }, "CALC:DTV:RES? MERR", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimAnalyzer a = Make("Belko", c.adjust, 7), b = Make("Belko", c.adjust, 7), other = Make("Belko", c.adjust, 8);
        const std::string pa = ReplyPattern(a, c.query, 400, c.undefinedCounts);
        EXPECT_EQ(pa, ReplyPattern(b, c.query, 400, c.undefinedCounts));
        EXPECT_NE(pa, ReplyPattern(other, c.query, 400, c.undefinedCounts));
        const double lost = std::count(pa.begin(), pa.end(), '0') / 400.0;
        EXPECT_NEAR(lost, 0.4, 0.08);
    }
}

TEST(SimFaults, LatencyAndDroppedConnections) {
    SimAnalyzer slow = Make("Alvra", [](SimConfig& c) { c.latencyMs = 250; }, 1);
    EXPECT_DOUBLE_EQ(slow.exchange("*IDN?", 5.0).sendAt, 5.25);

    SimAnalyzer drop = Make("Cendra", [](SimConfig& c) { c.dropAfter = 3; }, 1);
    for (int connection = 0; connection < 2; ++connection) {
        drop.connectionOpened();
        EXPECT_FALSE(drop.exchange("*IDN?", 1.0).dropConnection);
        EXPECT_FALSE(drop.exchange("INST DVB", 1.0).dropConnection);
        SimExchange third = drop.exchange("*OPT?", 1.0);
        EXPECT_TRUE(third.dropConnection);
        EXPECT_TRUE(third.reply);  // the third reply still leaves before the drop
    }
}

TEST(SimConfig, CommandLine) {
    SimConfig c;
    std::string error;
    ASSERT_TRUE(Parse({"--family", "alvra", "--address", "127.0.0.2", "--port=5025", "--serial", "1234.5678k22/101234",
                       "--firmware", "3.45", "--options", "HW02, FW07,FW04", "--seed", "7", "--gps", "nofix",
                       "--no-reply-share", "0.1", "--drop-after", "12", "--verbose"},
                      c, error))
        << error;
    EXPECT_EQ(c.family, "Alvra");
    EXPECT_EQ(c.address, "127.0.0.2");
    EXPECT_EQ(c.port, 5025);
    EXPECT_EQ(c.serial, "1234.5678k22/101234");
    EXPECT_EQ(c.options, (std::vector<std::string>{"HW02", "FW07", "FW04"}));
    EXPECT_EQ(c.seed, 7u);
    EXPECT_EQ(c.gps, SimGpsState::kNoFix);
    EXPECT_DOUBLE_EQ(c.noReplyShare, 0.1);
    EXPECT_EQ(c.dropAfter, 12);
    EXPECT_TRUE(c.verbose);

    ASSERT_TRUE(Parse({"--family", "Belko", "--address", "10.1.2.3", "--allow-any-address"}, c, error)) << error;
    ASSERT_TRUE(Parse({"--help"}, c, error));
    EXPECT_TRUE(c.help);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--family", "Zorro"},
        {"--family", "Alvra", "--address", "10.1.2.3"},
        {"--family", "Alvra", "--address", "192.168.1.1"},
        {"--family", "Alvra", "--address", "localhost"},
        {"--family", "Alvra", "--port", "70000"},
        {"--family", "Alvra", "--no-reply-share", "1.5"},
        {"--family", "Alvra", "--gps", "maybe"},
        {"--family", "Alvra", "--seed"},
        {"--family", "Alvra", "--speed", "-3"},
        {"--family", "Alvra", "--bogus", "1"},
        {"--family", "Alvra", "stray"},
        {"--family", "Alvra", "--verbose=1"},
        {"--family", "Alvra", "--options", "HW02", "--missing-option", "HW02"},
        {"--family", "Alvra", "--route", "/nonexistent/route.txt"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        error.clear();
        EXPECT_FALSE(Parse(args, c, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);  // one line
    }
}

TEST(SimConfig, RouteFile) {
    TempDir dir;
    const std::string good = dir.file("route.txt");
    const std::string text = "# a short loop\n48.1,11.5\n\n48.11,11.52\r\n 48.12 , 11.5\n";
    WriteWholeFile(good, std::vector<std::uint8_t>(text.begin(), text.end()));
    std::vector<SynthPoint> points;
    std::string error;
    ASSERT_TRUE(SimConfig_ReadRoute(good, points, error)) << error;
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[1].latitude, 48.11);
    EXPECT_DOUBLE_EQ(points[2].longitude, 11.5);

    for (const std::string bad : {"48.1;11.5\n48.2,11.5\n", "48.1,11.5\n", "95,11.5\n48.2,11.5\n", "48.1,abc\n1,2\n"}) {
        const std::string path = dir.file("bad.txt");
        WriteWholeFile(path, std::vector<std::uint8_t>(bad.begin(), bad.end()));
        EXPECT_FALSE(SimConfig_ReadRoute(path, points, error)) << bad;
    }

    // The analyzer drives through the file's points.
    SimConfig c = SimTest_Config("Alvra");
    c.routePoints = {{48.1, 11.5}, {48.11, 11.52}, {48.12, 11.5}};
    c.speedKmh = 0.0;
    SimAnalyzer sim(SimTest_Family("Alvra"), c);
    EXPECT_NEAR(SimTest_DecodeCoordinate(*sim.handleLine("SYST:POS:LAT?", 100.0)), 48.1, 1e-6);
    EXPECT_NEAR(SimTest_DecodeCoordinate(*sim.handleLine("SYST:POS:LONG?", 100.0)), 11.5, 1e-6);
}
