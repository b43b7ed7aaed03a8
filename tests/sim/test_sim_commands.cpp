// The simulated analyzer's command interpreter, without sockets: setting and
// reading back every header of the catalogue, identity and options, the error
// queue, several commands on one line, and how a change settles.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "simanalyzer.h"
#include "simtesthelpers.h"

namespace {

struct Prepared {
    int steps = 0;
    std::vector<std::string> failures;
};

// Sets a header and reads it back as the preparation does: "1" to the set,
// then the expected text (or the same number when numeric).
void SetAndCheck(SimAnalyzer& sim, double& t, const std::string& header, const std::string& value,
                 const std::string& expected, bool numeric, Prepared& p) {
    const auto ack = sim.handleLine(header + " " + value + ";*OPC?", t);
    const auto back = sim.handleLine(header + "?", t + 0.001);
    t += 0.01;
    ++p.steps;
    if (!ack || *ack != "1") {
        p.failures.push_back(header + " " + value + ": set answered " + ack.value_or("nothing"));
        return;
    }
    if (!back) {
        p.failures.push_back(header + "? answered nothing");
        return;
    }
    if (numeric) {
        double a = 0, b = 0;
        if (!Text_ParseDouble(*back, a) || !Text_ParseDouble(value, b) || a != b)
            p.failures.push_back(header + "? answered " + *back + " for " + value);
        return;
    }
    const std::string want = expected.empty() ? value : expected;
    if (*back != want) p.failures.push_back(header + "? answered " + *back + ", expected " + want);
}

bool HasOption(const std::vector<std::string>& options, const char* code) {
    if (!code[0]) return true;
    std::string alternatives(code);
    for (std::size_t start = 0; start <= alternatives.size();) {
        const auto slash = alternatives.find('/', start);
        const std::string one = alternatives.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (std::find(options.begin(), options.end(), one) != options.end()) return true;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return false;
}

}  // namespace

// Every header that any preparation of any standard sets, with every value the
// catalogue offers, is accepted and read back the way the preparation checks it.
TEST(SimCommands, EveryStandardOfEveryFamilyPreparesWithoutARefusedStep) {
    ReceiverInfo_Init();
    for (const auto& family : ReceiverInfo_Families()) {
        for (const auto& standard : family.standards) {
            SCOPED_TRACE(std::string(family.modelName) + " / " + standard.name);
            SimAnalyzer sim(family, SimTest_Config(family.modelName));
            Prepared p;
            double t = 1.0;
            for (const auto& u : family.inputImpedances) SetAndCheck(sim, t, u.header, u.value, "", true, p);
            SetAndCheck(sim, t, family.transducerSelectHeader, "'HL223'", "", false, p);
            SetAndCheck(sim, t, family.transducerStateHeader, "1", "", true, p);
            for (const auto& step : standard.setupSteps) {
                // The default option list carries every option the tables mention.
                EXPECT_TRUE(HasOption(sim.options(), step.requiredOption)) << step.requiredOption;
                EXPECT_TRUE(HasOption(sim.options(), step.requiredOption2)) << step.requiredOption2;
                SetAndCheck(sim, t, step.header, step.value, step.expectedAnswer, false, p);
            }
            for (const auto& u : family.levelUnits) SetAndCheck(sim, t, u.header, u.value, "", false, p);
            SetAndCheck(sim, t, family.frequencyHeader, "474000000", "", true, p);
            for (const auto& par : standard.parameters) {
                if (par.kind == kParameterNumber) {
                    for (int v : {par.minimum, par.defaultValue, par.maximum})
                        SetAndCheck(sim, t, par.header, Text_Format("%d", v), "", false, p);
                } else {
                    for (const auto& c : par.choices) SetAndCheck(sim, t, par.header, c.value, "", false, p);
                }
            }
            for (const auto& m : standard.modes) SetAndCheck(sim, t, m.header, m.value, "", false, p);
            for (const auto& r : family.gpsReceivers) {
                for (const auto& s : r.setupSteps) SetAndCheck(sim, t, s.header, s.value, "", false, p);
                for (const auto& in : r.inputs)
                    for (int v : {in.minimum, in.maximum})
                        SetAndCheck(sim, t, in.header, Text_Format("%d", v), "", false, p);
            }
            EXPECT_GT(p.steps, 20);
            EXPECT_TRUE(p.failures.empty()) << p.failures.front();
            EXPECT_EQ(sim.errorCount(), 0u);
        }
    }
}

TEST(SimCommands, ReadBackIsTheAnalyzersFormNotTheSentText) {
    SimAnalyzer alvra(SimTest_Family("Alvra"), SimTest_Config("Alvra"));
    EXPECT_EQ(alvra.handleLine("INP:GAIN:STAT ON;*OPC?", 1.0), "1");
    EXPECT_EQ(alvra.handleLine("INP:GAIN:STAT?", 1.0), "1");  // never "ON"
    EXPECT_EQ(alvra.handleLine("CONF:DTV:MEAS:SSET:FHPR STDC;*OPC?", 1.0), "1");
    EXPECT_EQ(alvra.handleLine("CONF:DTV:MEAS:SSET:FHPR?", 1.0), "STDCompliant");
    // Lower case and another spelling of the same number are the catalogue's value.
    EXPECT_EQ(alvra.handleLine("set:tv:stan dvbt2;*OPC?", 1.0), "1");
    EXPECT_EQ(alvra.handleLine("SET:TV:STAN?", 1.0), "DVBT2");
    EXPECT_EQ(alvra.handleLine("DISP:TRAC1:X:DIV 5e-5;*OPC?", 1.0), "1");
    EXPECT_EQ(alvra.handleLine("DISP:TRAC1:X:DIV?", 1.0), "0.00005");
    EXPECT_EQ(alvra.handleLine("FREQ:RF 474.5e6;*OPC?", 1.0), "1");
    EXPECT_EQ(alvra.handleLine("FREQ:RF?", 1.0), "474500000");

    SimAnalyzer belko(SimTest_Family("Belko"), SimTest_Config("Belko"));
    EXPECT_EQ(belko.handleLine("DISP:DTV:EPAT:SPAN 0.0005;*OPC?", 1.0), "1");
    EXPECT_EQ(belko.handleLine("DISP:DTV:EPAT:SPAN?", 1.0), "0.000500");
}

TEST(SimCommands, RefusedSettingsKeepTheOldValueAndQueueAnError) {
    SimAnalyzer sim(SimTest_Family("Alvra"), SimTest_Config("Alvra"));
    ASSERT_EQ(sim.handleLine("SET:TV:STAN DVBT;*OPC?", 1.0), "1");
    struct Case {
        const char* line;
        const char* error;
    } cases[] = {
        {"SET:TV:STAN NOPE;*OPC?", "-224,\"Illegal parameter value\""},
        {"SET:TV:STAN;*OPC?", "-109,\"Missing parameter\""},
        {"FREQ:RF 4e9;*OPC?", "-222,\"Data out of range\""},
        {"DDEM:DECP:MAN 256;*OPC?", "-222,\"Data out of range\""},
        {"DDEM:DECP:MAN 1.5;*OPC?", "-224,\"Illegal parameter value\""},
        {"BOGUS:HEADER 1;*OPC?", "-113,\"Undefined header\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        // *OPC? still answers: only the read-back shows that the setting did not take.
        EXPECT_EQ(sim.handleLine(c.line, 2.0), "1");
        EXPECT_EQ(sim.handleLine("SYST:ERR?", 2.0), c.error);
        EXPECT_EQ(sim.handleLine("SYST:ERR?", 2.0), "0,\"No error\"");
    }
    EXPECT_EQ(sim.handleLine("SET:TV:STAN?", 3.0), "DVBT");
    EXPECT_EQ(sim.handleLine("FREQ:RF?", 3.0), "500000000");
}

TEST(SimCommands, UnknownQueriesGetNoReplyButAnError) {
    SimAnalyzer sim(SimTest_Family("Belko"), SimTest_Config("Belko"));
    EXPECT_FALSE(sim.handleLine("BOGUS?", 1.0));
    EXPECT_FALSE(sim.handleLine("*XYZ?", 1.0));
    // Belko has no speed query; the first family's is unknown to it.
    EXPECT_FALSE(sim.handleLine("SYST:POS:SPE?", 1.0));
    EXPECT_EQ(sim.handleLine("*STB?", 1.0), "4");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sim.handleLine("SYST:ERR?", 1.0), "-113,\"Undefined header\"");
    EXPECT_EQ(sim.handleLine("SYST:ERR?", 1.0), "0,\"No error\"");
    // A long run of errors ends in an overflow entry instead of growing without bound.
    for (int i = 0; i < 50; ++i) sim.handleLine("BOGUS?", 1.0);
    EXPECT_EQ(sim.errorCount(), 10u);
    sim.handleLine("*CLS", 1.0);
    EXPECT_EQ(sim.errorCount(), 0u);
}

TEST(SimCommands, SeveralCommandsOnOneLineAnswerInOneLine) {
    SimConfig c = SimTest_Config("Alvra");
    c.serial = "1234.5678k22/101234";
    c.firmware = "3.45";
    c.optionsGiven = true;
    c.options = {"HW02", "FW07", "FW04"};
    SimAnalyzer sim(SimTest_Family("Alvra"), c);
    EXPECT_EQ(sim.handleLine("*IDN?;*OPT?", 1.0), "Korvane,Alvra,1234.5678k22/101234,3.45;HW02,FW07,FW04");
    EXPECT_EQ(sim.handleLine("INST CATV;SET:TV:MODE DTV;INST?;SET:TV:MODE?", 1.0), "CATV;DTV");
    EXPECT_EQ(sim.handleLine("SET:TV:MODE ATV", 1.0), std::nullopt);  // a command alone stays silent
    EXPECT_EQ(sim.handleLine("  :SET:TV:MODE?  ", 1.0), "ATV");
    // A semicolon inside quotes belongs to the file name.
    EXPECT_EQ(sim.handleLine("CORR:TRAN:SEL 'A;B';*OPC?", 1.0), "1");
    EXPECT_EQ(sim.handleLine("CORR:TRAN:SEL?", 1.0), "'A;B'");
    EXPECT_EQ(sim.handleLine("", 1.0), std::nullopt);
    EXPECT_EQ(sim.handleLine("@LOC", 1.0), std::nullopt);
    EXPECT_EQ(sim.errorCount(), 0u);
}

TEST(SimCommands, IdentityDefaultsAndIdentityFaults) {
    const AnalyzerFamily& cendra = SimTest_Family("Cendra");
    SimAnalyzer plain(cendra, SimTest_Config("Cendra", 7));
    EXPECT_EQ(plain.identity(), "Korvane,Cendra,1234.5678k22/100007,1.15");
    // Every option the tables mention, one code per alternative.
    EXPECT_EQ(plain.handleLine("*OPT?", 1.0), "FW18,FW02,FW03,HW05,FW07");

    SimConfig old = SimTest_Config("Cendra");
    old.oldFirmware = true;
    old.missingOptions = {"HW05"};
    SimAnalyzer faulty(cendra, old);
    EXPECT_EQ(faulty.identity(), "Korvane,Cendra,1234.5678k22/100007,1.00");
    EXPECT_EQ(faulty.handleLine("*OPT?", 1.0), "FW18,FW02,FW03,FW07");

    SimConfig none = SimTest_Config("Cendra");
    none.optionsGiven = true;
    SimAnalyzer bare(cendra, none);
    EXPECT_EQ(bare.handleLine("*OPT?", 1.0), "0");
}

// After a change the first family's dirty flag stays up for the settling time;
// the others answer *OPC? only once settled. Re-sending the same value is no change.
TEST(SimCommands, ValidDataOnlyAfterTheSettlingTime) {
    SimConfig c = SimTest_Config("Alvra");
    c.settleMs = 300;
    SimAnalyzer alvra(SimTest_Family("Alvra"), c);
    SimTest_Prepare(alvra, "DVB-T / DVB-H", 0.1);
    EXPECT_EQ(alvra.handleLine("STAT:DIRT:FLAG:ACT?", 0.5), "0");
    alvra.handleLine("FREQ:RF 474000000;*OPC?", 1.0);
    EXPECT_EQ(alvra.handleLine("STAT:DIRT:FLAG:ACT?", 1.0), "1");
    EXPECT_EQ(alvra.handleLine("CALC:DTV:RES:DEM:SYNC?", 1.2), "0");
    EXPECT_EQ(alvra.handleLine("CALC:DTV:RES? MERR", 1.2), "99.1e+36");
    EXPECT_EQ(alvra.handleLine("STAT:DIRT:FLAG:ACT?", 1.31), "0");
    EXPECT_EQ(alvra.handleLine("CALC:DTV:RES:DEM:SYNC?", 1.31), "1");
    // *OPC? of the first family answers at once.
    EXPECT_DOUBLE_EQ(alvra.exchange("DDEM:SOPT MOB;*OPC?", 2.0).sendAt, 2.0);
    alvra.handleLine("FREQ:RF 474000000;*OPC?", 3.0);
    EXPECT_EQ(alvra.handleLine("STAT:DIRT:FLAG:ACT?", 3.0), "0");

    SimConfig b = SimTest_Config("Belko");
    b.settleMs = 300;
    SimAnalyzer belko(SimTest_Family("Belko"), b);
    SimTest_Prepare(belko, "DVB-T / DVB-H", 0.1);
    SimExchange first = belko.exchange("FREQ:RF 474000000;*OPC?", 1.0);
    EXPECT_EQ(first.reply, "1");
    EXPECT_DOUBLE_EQ(first.sendAt, 1.3);
    EXPECT_DOUBLE_EQ(belko.exchange("*OPC?", 1.1).sendAt, 1.3);
    EXPECT_EQ(belko.handleLine("CALC:DTV:RES:DEM:SYNC?", 1.1), "NSYN");
    EXPECT_DOUBLE_EQ(belko.exchange("FREQ:RF 474000000;*OPC?", 2.0).sendAt, 2.0);
    EXPECT_EQ(belko.handleLine("CALC:DTV:RES:DEM:SYNC?", 2.0), "SYNC");
    // A refused value changes nothing and costs no settling.
    EXPECT_DOUBLE_EQ(belko.exchange("SET:TV:STAN NOPE;*OPC?", 3.0).sendAt, 3.0);
}
