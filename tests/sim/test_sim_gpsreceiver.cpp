// A simulated GPS receiver that is found only once the analyzer was set up for it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simanalyzer.h"
#include "simtesthelpers.h"

namespace {

SimAnalyzer Attached(const char* family, const char* receiver, int port = 0) {
    SimConfig c = SimTest_Config(family);
    c.gpsReceiver = receiver;
    c.gpsPort = port;
    return SimAnalyzer(SimTest_Family(family), c);
}

std::string Connected(SimAnalyzer& sim) { return sim.handleLine("SYST:POS:GPS:CONN?", 1.0).value_or("none"); }

}  // namespace

TEST(SimGpsReceiver, FoundOnlyAfterItsOwnSetupSteps) {
    SimAnalyzer sim = Attached("Alvra", "Korvane GNX-P1");
    EXPECT_EQ(Connected(sim), "0");
    sim.handleLine("INST CATV", 1.0);
    EXPECT_EQ(Connected(sim), "0");
    // Another receiver's selection does not find this one.
    sim.handleLine("SYST:POS:GPS:DEV GNXP2", 1.0);
    EXPECT_EQ(Connected(sim), "0");
    sim.handleLine("SYST:POS:GPS:DEV GNXP1;*OPC?", 1.0);
    EXPECT_EQ(Connected(sim), "1");
    // Power-on state again: the setup is gone.
    sim.handleLine("*RST", 1.0);
    EXPECT_EQ(Connected(sim), "0");

    // Where steps share a header (the second family switches off, then on), the last value counts.
    SimAnalyzer belko = Attached("Belko", "Korvane GPA-40");
    belko.handleLine("SYST:POS:GPS 1", 1.0);
    belko.handleLine("SYST:POS:GPS 0", 1.0);
    EXPECT_EQ(Connected(belko), "0");
    belko.handleLine("SYST:POS:GPS 1", 1.0);
    EXPECT_EQ(Connected(belko), "1");
}

TEST(SimGpsReceiver, InputsMustBeSentAndMatchThePort) {
    const char* nmea = "NMEA compatible with virtual COM port interface";
    struct Case {
        int port;
        const char* sent;  // nullptr: the input is never set
        const char* expected;
    } cases[] = {
        {0, nullptr, "0"},  // the power-on value is not a setup
        {0, "3", "1"},
        {5, "3", "0"},
        {5, "5", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " " + (c.sent ? c.sent : "-"));
        SimAnalyzer sim = Attached("Alvra", nmea, c.port);
        sim.handleLine("INST CATV", 1.0);
        sim.handleLine("SYST:POS:GPS:DEV NMEA", 1.0);
        if (c.sent) sim.handleLine(std::string("SYST:COMM:SER:PORT ") + c.sent, 1.0);
        EXPECT_EQ(Connected(sim), c.expected);
    }
}

TEST(SimGpsReceiver, CommandLine) {
    SimConfig c;
    std::string error;
    ASSERT_TRUE(SimConfig_Parse({"--family", "Alvra", "--gps-receiver", "korvane gnx-p2"}, c, error)) << error;
    EXPECT_EQ(c.gpsReceiver, "Korvane GNX-P2");  // the catalogue's spelling

    const std::vector<std::vector<std::string>> bad = {
        {"--family", "Belko", "--gps-receiver", "Korvane GNX-P2"},  // a receiver of another family
        {"--family", "Alvra", "--gps-port", "3"},
        {"--family", "Alvra", "--gps-receiver", "Korvane GNX-P2", "--gps-port", "0"},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args[1] + " " + args[3]);
        c = SimConfig{};
        error.clear();
        EXPECT_FALSE(SimConfig_Parse(args, c, error));
        EXPECT_FALSE(error.empty());
    }
}
