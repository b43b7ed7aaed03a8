// What the simulated analyzer measures: every result query of the catalogue
// answered in a form the recorder takes, results that follow the signal, the
// echo lists, the GPS position and the attenuation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "records/gps.h"
#include "simanalyzer.h"
#include "simresults.h"
#include "simtesthelpers.h"

namespace {

// Tunes and lets the change settle; returns a time at which results are valid.
double TuneAndSettle(SimAnalyzer& sim, double at, const char* hz = "474000000") {
    sim.handleLine(std::string(sim.family().frequencyHeader) + " " + hz + ";*OPC?", at);
    return at + 1.0;
}

bool IsNumber(const std::string& text) {
    double v;
    return Text_ParseDouble(text, v) && std::isfinite(v);
}

}  // namespace

// With a strong signal every value, graph and read-out of every standard is a
// result, not "---" or "99.1e+36", and graphs put points on the trace.
TEST(SimResults, EveryCatalogueQueryAnswersWhileSynchronised) {
    ReceiverInfo_Init();
    for (const auto& family : ReceiverInfo_Families()) {
        SimAnalyzer sim(family, SimTest_Config(family.modelName));
        double t = TuneAndSettle(sim, 1.0);
        for (const auto& st : family.standards) {
            SCOPED_TRACE(std::string(family.modelName) + " / " + st.name);
            SimTest_Prepare(sim, st.name, t);
            t += 1.0;
            // A result of a mode is read in that mode, as the measurement switches to it first.
            auto selectMode = [&](int modeIndex) {
                if (modeIndex < 1) return;
                const MeasurementMode& mode = st.modes[static_cast<std::size_t>(modeIndex - 1)];
                sim.handleLine(std::string(mode.header) + " " + mode.value, t);
                t += 1.0;
            };
            for (const auto& v : st.values) {
                selectMode(v.modeIndex);
                const auto r = sim.handleLine(v.query, t);
                ASSERT_TRUE(r) << v.query;
                if (v.displayKind == kSyncState) {
                    EXPECT_EQ(*r, st.syncAnswer) << v.query;
                    continue;
                }
                EXPECT_TRUE(IsNumber(*r)) << v.query << " -> " << *r;
                EXPECT_NE(r->rfind("99.1e+36", 0), 0u) << v.query;
            }
            for (const auto& i : st.infoItems) {
                const auto r = sim.handleLine(i.query, t);
                ASSERT_TRUE(r) << i.query;
                EXPECT_FALSE(r->empty());
                EXPECT_NE(*r, "---") << i.query;
                EXPECT_LT(static_cast<int>(r->size()), i.width) << i.query;
            }
            for (const auto& g : st.graphs) {
                selectMode(g.modeIndex);
                const auto r = sim.handleLine(g.query, t);
                ASSERT_TRUE(r) << g.query;
                const double lo = std::atof(g.xMin), hi = std::atof(g.xMax);
                const auto trace = g.transferKind == 2 ? SimTest_DecodePeakList(*r, g.points, lo, hi)
                                                       : SimTest_DecodeEchoList(*r, g.transferKind, g.points, lo, hi);
                const int hits = static_cast<int>(std::count_if(trace.begin(), trace.end(), [](float p) { return p > -200.0f; }));
                EXPECT_GE(hits, g.transferKind == 4 ? 1 : 2) << g.query << " -> " << *r;
                if (g.transferKind != 4) {
                    EXPECT_FLOAT_EQ(trace[g.points / 2], 0.0f) << "main path at 0 us";
                }
                for (float p : trace) EXPECT_TRUE(p == -200.0f || (p <= 0.0f && p >= -35.0f)) << *r;
            }
            if (!st.syncQuery[0]) continue;
            EXPECT_EQ(sim.handleLine(st.syncQuery, t), std::string(st.syncAnswer));
        }
        EXPECT_EQ(sim.errorCount(), 0u) << family.modelName;
    }
}

// Too weak a signal: no sync, and only the level (and FM's MPX readings) stay numbers.
TEST(SimResults, WeakSignalGivesUndefinedResults) {
    struct Case {
        const char* family;
        const char* noSync;
        const char* graphQuery;
        const char* emptyGraph;
    } cases[] = {
        {"Alvra", "0", "CALC:DTV:RES:BFIL? EPPV", "---"},
        {"Belko", "NSYN", "CALC:DTV:EPAT:PLIST:DATA?", "{}"},
        {"Cendra", "NSYN", "CALC:DTV:EPAT:PLIST:DATA?", "{}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        SimConfig config = SimTest_Config(c.family);
        config.levelOffsetDb = -80.0;
        SimAnalyzer sim(SimTest_Family(c.family), config);
        SimTest_Prepare(sim, "DVB-T / DVB-H", 0.5);
        const double t = TuneAndSettle(sim, 1.0);
        EXPECT_EQ(sim.handleLine("CALC:DTV:RES:DEM:SYNC?", t), c.noSync);
        EXPECT_EQ(sim.handleLine("CALC:DTV:RES? MERR", t), "99.1e+36");
        EXPECT_EQ(sim.handleLine("CALC:DTV:RES? SBP", t), "---");
        EXPECT_EQ(sim.handleLine(c.graphQuery, t), c.emptyGraph);
        EXPECT_TRUE(IsNumber(*sim.handleLine("CALC:DTV:RES? LEV", t)));
    }
}

TEST(SimResults, LevelFollowsTheUnitAndTheImpedance) {
    SimAnalyzer sim(SimTest_Family("Alvra"), SimTest_Config("Alvra"));
    SimTest_Prepare(sim, "DVB-T / DVB-H", 0.5);
    const double t = TuneAndSettle(sim, 1.0);
    auto levelIn = [&](const char* unit) {
        sim.handleLine(std::string("CALC:UNIT:POW ") + unit, t);
        double v = 0.0;
        Text_ParseDouble(*sim.handleLine("CALC:DTV:RES? LEV", t), v);
        return v;
    };
    sim.handleLine("INP:IMP 50", t);
    const double dbuv = levelIn("DBUV");
    EXPECT_NEAR(dbuv, sim.levelDbuV(t), 0.006);
    EXPECT_NEAR(levelIn("DBM"), dbuv - 106.99, 0.011);
    EXPECT_NEAR(levelIn("DBMV"), dbuv - 60.0, 0.011);
    EXPECT_NEAR(levelIn("V"), std::pow(10.0, dbuv / 20.0) * 1e-6, std::pow(10.0, dbuv / 20.0) * 1e-9);
    sim.handleLine("INP:IMP 75", t);
    EXPECT_NEAR(levelIn("DBM"), dbuv - 108.75, 0.011);
    EXPECT_NEAR(SimResults_LevelInUnit(dbuv, "W", 75.0), std::pow(10.0, (dbuv - 108.75 - 30.0) / 10.0),
                std::pow(10.0, (dbuv - 108.75 - 30.0) / 10.0) * 1e-3);
}

// Quality follows the level: a stronger signal never reads a worse MER or BER.
TEST(SimResults, QualityRisesWithTheLevel) {
    SimQuery mer{SimQueryKind::kValue, "CALC:DTV:RES?", "MERR", 0, ""};
    SimQuery ber{SimQueryKind::kValue, "CALC:DTV:RES?", "BBV", 0, ""};
    SimSignalState weak, strong;
    weak.levelDbuV = 35.0;
    strong.levelDbuV = 60.0;
    double merWeak, merStrong, berWeak, berStrong;
    ASSERT_TRUE(Text_ParseDouble(SimResults_Value(mer, weak), merWeak));
    ASSERT_TRUE(Text_ParseDouble(SimResults_Value(mer, strong), merStrong));
    ASSERT_TRUE(Text_ParseDouble(SimResults_Value(ber, weak), berWeak));
    ASSERT_TRUE(Text_ParseDouble(SimResults_Value(ber, strong), berStrong));
    EXPECT_GT(merStrong, merWeak + 10.0);
    EXPECT_LT(berStrong, berWeak / 100.0);
    EXPECT_GT(berWeak, 0.0);
}

TEST(SimResults, CoordinatesInTheAnalyzersForm) {
    struct Case {
        double degrees;
        const char* text;
    } cases[] = {
        {-10.5, "-10,30,0.000"}, {10.5, "10,30,0.000"},     {-0.5, "-0,30,0.000"},
        {0.0, "0,0,0.000"},      {11.9999999999, "12,0,0.000"}, {48.1372, "48,8,13.920"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_EQ(SimGps_FormatDms(c.degrees), c.text);
        EXPECT_NEAR(SimTest_DecodeCoordinate(c.text), c.degrees, 1e-6);
    }
}

TEST(SimResults, GpsReportsThePositionOnTheRoute) {
    SimConfig config = SimTest_Config("Alvra");
    config.speedKmh = 72.0;
    SimAnalyzer sim(SimTest_Family("Alvra"), config);
    SimDrive drive(config.seed, config.latitude, config.longitude, config.speedKmh, {}, 0.0);
    EXPECT_EQ(sim.handleLine("SYST:POS:GPS:CONN?", 1.0), "1");
    EXPECT_EQ(sim.handleLine("SYST:POS:VAL?", 1.0), "1");
    for (double t : {0.0, 30.0, 600.0}) {
        const double lon = SimTest_DecodeCoordinate(*sim.handleLine("SYST:POS:LONG?", t));
        const double lat = SimTest_DecodeCoordinate(*sim.handleLine("SYST:POS:LAT?", t));
        const SynthPoint p = drive.position(t);
        EXPECT_LT(Gps_DistanceKm(lon, lat, p.longitude, p.latitude), 0.001);
        EXPECT_LT(Gps_DistanceKm(lon, lat, config.longitude, config.latitude), 3.0);
    }
    // Ten minutes at 72 km/h are 12 km of road.
    EXPECT_NEAR(drive.distanceKm(600.0), 12.0, 1e-9);
    double knots = 0.0;
    ASSERT_TRUE(Text_ParseDouble(*sim.handleLine("SYST:POS:SPE?", 1.0), knots));
    EXPECT_NEAR(knots * 1.852, 72.0, 0.01);
}

TEST(SimResults, GpsReceiverStates) {
    SimConfig nofix = SimTest_Config("Alvra");
    nofix.gps = SimGpsState::kNoFix;
    SimAnalyzer a(SimTest_Family("Alvra"), nofix);
    EXPECT_EQ(a.handleLine("SYST:POS:GPS:CONN?", 1.0), "1");
    EXPECT_EQ(a.handleLine("SYST:POS:VAL?", 1.0), "0");
    EXPECT_EQ(a.handleLine("SYST:POS:LONG?", 1.0), "0,0,0.0");

    SimConfig gone = SimTest_Config("Alvra");
    gone.gps = SimGpsState::kDisconnected;
    SimAnalyzer b(SimTest_Family("Alvra"), gone);
    EXPECT_EQ(b.handleLine("SYST:POS:GPS:CONN?", 1.0), "0");
    EXPECT_EQ(b.handleLine("SYST:POS:LAT?", 1.0), "---");
    EXPECT_EQ(b.handleLine("SYST:POS:SPE?", 1.0), "---");

    // The second family evaluates GPS only once it is switched on.
    SimAnalyzer belko(SimTest_Family("Belko"), SimTest_Config("Belko"));
    EXPECT_EQ(belko.handleLine("SYST:POS:GPS:CONN?", 1.0), "0");
    EXPECT_EQ(belko.handleLine("SYST:POS:VAL?", 1.0), "0");
    belko.handleLine("SYST:POS:GPS 1", 1.0);
    EXPECT_EQ(belko.handleLine("SYST:POS:GPS:CONN?", 1.0), "1");
    EXPECT_EQ(belko.handleLine("SYST:POS:VAL?", 1.0), "1");
    EXPECT_NE(belko.handleLine("SYST:POS:LAT?", 1.0), "0,0,0.0");
    // The third family's speed query is its own.
    SimAnalyzer cendra(SimTest_Family("Cendra"), SimTest_Config("Cendra"));
    cendra.handleLine("SYST:POS:GPS 1", 1.0);
    EXPECT_TRUE(IsNumber(*cendra.handleLine("SYST:GPS:SPE?", 1.0)));
}

TEST(SimResults, NoFixShareLosesTheFixInStretches) {
    SimConfig c = SimTest_Config("Alvra");
    c.noFixShare = 0.3;
    SimAnalyzer sim(SimTest_Family("Alvra"), c);
    int withoutFix = 0, switches = 0;
    bool last = true;
    for (int i = 0; i < 2000; ++i) {
        const bool fix = *sim.handleLine("SYST:POS:VAL?", i * 1.0) == "1";
        withoutFix += fix ? 0 : 1;
        switches += fix != last ? 1 : 0;
        last = fix;
    }
    EXPECT_NEAR(withoutFix / 2000.0, 0.3, 0.08);
    EXPECT_LT(switches, 2000 / 10);  // stretches, not single samples
}

TEST(SimResults, EchoListForms) {
    std::vector<SimEcho> echoes = {{0.0, 0.0, 1}, {-12.5, 34.2, 2}, {-20.0, -300.0, 0}};
    EXPECT_EQ(SimResults_EchoList(1, echoes), "0.00,0.000,-12.50,34.200,-20.00,-300.000");
    EXPECT_EQ(SimResults_EchoList(3, echoes), "0.00,0.000,1,-12.50,34.200,2,-20.00,-300.000,0");
    EXPECT_EQ(SimResults_EchoList(2, echoes),
              "{{0.00,0.000000e+00,1},{-12.50,3.420000e-05,2},{-20.00,-3.000000e-04,3}}");
    EXPECT_EQ(SimResults_EchoList(2, {}), "{}");
    EXPECT_EQ(SimResults_EchoList(1, {}), "---");

    // Decoded as the recorder does: the echo at 34.2 us lands on point 284 of 501
    // over -250..250 us, the one outside the axis nowhere.
    auto peaks = SimTest_DecodePeakList(SimResults_EchoList(2, echoes), 501, -250.0, 250.0);
    EXPECT_FLOAT_EQ(peaks[250], 0.0f);
    EXPECT_FLOAT_EQ(peaks[284], -12.5f);
    EXPECT_EQ(std::count_if(peaks.begin(), peaks.end(), [](float p) { return p > -200.0f; }), 2);
    auto group2 = SimTest_DecodeEchoList(SimResults_EchoList(4, echoes), 4, 501, -250.0, 250.0);
    EXPECT_FLOAT_EQ(group2[250], -200.0f);  // the main path is group 1
    EXPECT_FLOAT_EQ(group2[284], -12.5f);
}

// The attenuation flag: the first family clears it by reading it, the others by
// their reset command; the fault forces changes.
TEST(SimResults, AttenuationChangeFlag) {
    SimConfig c = SimTest_Config("Alvra");
    c.attChangeShare = 1.0;
    SimAnalyzer alvra(SimTest_Family("Alvra"), c);
    TuneAndSettle(alvra, 1.0);
    alvra.handleLine("INP:ATT:CHAN:STAT?", 2.0);
    EXPECT_EQ(alvra.handleLine("INP:ATT:CHAN:STAT?", 2.0), "0");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(alvra.handleLine("DISP:TRAC:Y:RLEV?", 2.0));
        EXPECT_EQ(alvra.handleLine("INP:ATT:CHAN:STAT?", 2.0), "1");
        EXPECT_EQ(alvra.handleLine("INP:ATT:CHAN:STAT?", 2.0), "0");
    }
    EXPECT_EQ(alvra.handleLine("STAT:DIRT:FLAG:ACT?", 2.0), "1");  // the frontend adapts

    SimConfig b = SimTest_Config("Belko");
    b.attChangeShare = 1.0;
    SimAnalyzer belko(SimTest_Family("Belko"), b);
    TuneAndSettle(belko, 1.0);
    belko.handleLine("INP:ATT:CHAN:RST", 2.0);
    EXPECT_EQ(belko.handleLine("INP:ATT:CHAN?", 2.0), "0");
    long long db = -1;
    ASSERT_TRUE(Text_ParseInt(*belko.handleLine("INP:ATT?", 2.0), db));
    EXPECT_TRUE(db >= 0 && db <= 40 && db % 5 == 0);
    EXPECT_EQ(belko.handleLine("INP:ATT:CHAN?", 2.0), "1");
    EXPECT_EQ(belko.handleLine("INP:ATT:CHAN?", 2.0), "1");
    belko.handleLine("INP:ATT:CHAN:RST", 2.0);
    EXPECT_EQ(belko.handleLine("INP:ATT:CHAN?", 2.0), "0");
}

// Without faults the attenuator follows the level slowly: a drive of a few
// minutes sees some changes, never one per reading.
TEST(SimResults, AttenuatorFollowsTheDrive) {
    SimAnalyzer sim(SimTest_Family("Belko"), SimTest_Config("Belko", 5));
    TuneAndSettle(sim, 0.0);
    int changes = 0, last = -1;
    for (int i = 0; i < 1800; ++i) {
        long long db = 0;
        ASSERT_TRUE(Text_ParseInt(*sim.handleLine("INP:ATT?", 1.0 + i), db));
        if (last >= 0 && db != last) ++changes;
        last = static_cast<int>(db);
    }
    EXPECT_GT(changes, 0);
    EXPECT_LT(changes, 180);
}
