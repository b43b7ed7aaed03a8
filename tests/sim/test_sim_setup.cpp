// The simulated analyzer reads results only as it was set up: in a standard
// whose whole preparation it received, and in the measurement mode a result
// belongs to. Anything else is an unknown header, so that a client that skips
// or misorders a preparation step sees its queries fail.
#include <gtest/gtest.h>

#include <string>

#include "simanalyzer.h"
#include "simtesthelpers.h"

namespace {

constexpr const char* kUndefinedHeader = "-113,\"Undefined header\"";
constexpr const char* kNoError = "0,\"No error\"";

// True when the query got a reply; a refusal must leave exactly one error behind.
bool Answers(SimAnalyzer& sim, const std::string& query, double t) {
    const bool answered = sim.handleLine(query, t).has_value();
    EXPECT_EQ(sim.handleLine("SYST:ERR?", t), answered ? kNoError : kUndefinedHeader) << query;
    EXPECT_EQ(sim.handleLine("SYST:ERR?", t), kNoError) << query;
    return answered;
}

}  // namespace

TEST(SimSetup, ResultsOnlyOfThePreparedStandard) {
    struct Case {
        const char* family;
        const char* prepared;
        const char* query;
        bool answered;
    } cases[] = {
        {"Belko", "ISDB-T", "CALC:DTV:RES? MERP", false},  // DVB-T's MER peak
        {"Belko", "ISDB-T", "CALC:DTV:RES:TMCC? SID", true},
        {"Belko", "ISDB-T", "CALC:DTV:RES? LEV", true},  // both standards read the level
        {"Belko", "DVB-T / DVB-H", "CALC:DTV:RES:TMCC? SID", false},
        {"Belko", "DVB-T / DVB-H", "CALC:DTV:RES? MERP", true},
        {"Cendra", "DVB-T2", "CALC:DTV:RES:TPS? FFTM", false},
        {"Cendra", "DVB-T2", "CALC:DTV:RES:L1PR? PPAT", true},
        {"Cendra", "DVB-T / DVB-H", "CALC:DTV:RES:L1PR? PPAT", false},
        {"Alvra", "DVB-T2", "CALC:DTV:RES:TPS? GINT", false},
        {"Alvra", "DVB-T / DVB-H", "CALC:DTV:RES:TPS? GINT", true},
        {"Alvra", "DVB-T / DVB-H", "CALC:DTV:RES:DEM:SYNC?", true},
        {"Alvra", "FM Radio Stereo", "CALC:DTV:RES:DEM:SYNC?", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.family) + " / " + c.prepared + ": " + c.query);
        SimAnalyzer sim(SimTest_Family(c.family), SimTest_Config(c.family));
        SimTest_Prepare(sim, c.prepared, 1.0);
        EXPECT_EQ(Answers(sim, c.query, 2.0), c.answered);
    }
}

// The power-on state of the second family equals its DVB-T preparation; the
// results still wait for the preparation to be sent.
TEST(SimSetup, PowerOnStateIsNoPreparation) {
    SimAnalyzer sim(SimTest_Family("Belko"), SimTest_Config("Belko"));
    EXPECT_EQ(sim.handleLine("SET:TV:STAN?", 1.0), "DVBT");
    EXPECT_FALSE(Answers(sim, "CALC:DTV:RES? LEV", 1.0));
    EXPECT_FALSE(Answers(sim, "CALC:DTV:RES:DEM:SYNC?", 1.0));
    SimTest_Prepare(sim, "DVB-T / DVB-H", 1.0);
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES? LEV", 2.0));
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES:DEM:SYNC?", 2.0));
    // A reset undoes the preparation.
    sim.handleLine("*RST", 3.0);
    EXPECT_FALSE(Answers(sim, "CALC:DTV:RES? LEV", 4.0));
}

TEST(SimSetup, SkippedOrUndoneStepLeavesTheStandard) {
    const AnalyzerFamily& family = SimTest_Family("Alvra");
    const BroadcastStandard* dvbt = ReceiverInfo_FindStandard(family, "DVB-T / DVB-H");
    ASSERT_NE(dvbt, nullptr);
    SimAnalyzer sim(family, SimTest_Config("Alvra"));
    for (const auto& step : dvbt->setupSteps)
        if (std::string(step.header) != "SET:TV:STAN") sim.handleLine(std::string(step.header) + " " + step.value, 1.0);
    EXPECT_FALSE(Answers(sim, "CALC:DTV:RES? LEV", 2.0)) << "the DVB-T step was skipped";
    sim.handleLine("SET:TV:STAN DVBT", 2.0);
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES? LEV", 3.0));
    // The parameters of a frequency and the level unit change nothing.
    sim.handleLine("DTV:BAND:CHAN B7MHZ;INP:ATT:DRIV:HYST 17;CALC:UNIT:POW DBUV;FREQ:RF 482000000", 3.0);
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES? LEV", 4.0));
    // Another standard's step undoes the preparation.
    sim.handleLine("SET:TV:STAN DVBT2", 4.0);
    EXPECT_FALSE(Answers(sim, "CALC:DTV:RES? LEV", 5.0));
}

// The echo pattern belongs to the echo-pattern mode; values of any mode are read in both.
TEST(SimSetup, GraphsOnlyInTheirMode) {
    SimAnalyzer sim(SimTest_Family("Alvra"), SimTest_Config("Alvra"));
    SimTest_Prepare(sim, "DVB-T / DVB-H", 1.0);
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES:BFIL? EPPV", 2.0));
    sim.handleLine("CONF:DTV:MEAS MERF", 2.0);
    EXPECT_FALSE(Answers(sim, "CALC:DTV:RES:BFIL? EPPV", 3.0));
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES? MERR", 3.0));
    sim.handleLine("CONF:DTV:MEAS EPAT", 3.0);
    EXPECT_TRUE(Answers(sim, "CALC:DTV:RES:BFIL? EPPV", 4.0));
}
