// Every statistic of hand-made cells, against figures computed apart from the
// code under test (Python's statistics module and NormalDist, by hand for the
// counts): positions laid out in UTM 32N with PROJ (gdaltransform), a record
// file written through the real record writer, then opened and analysed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "coverage/coverage.h"
#include "records/recordfixture.h"
#include "support/testsupport.h"

namespace {

constexpr double kEps = 1e-9;
const double kNaN = std::nan("");

// One sample of the drive: position (none: no GPS fix), speed, status and the
// three values (NaN: not valid).
struct Row {
    double lat, lon;  // 0, 0: no fix
    double speed;
    const char* status;
    double level, ber, sync;
};

// UTM 32N cells of 100 m: A is (6912, 53345), B the one north of it.
// Easting/northing of each row in the comment; lat/lon from PROJ.
const std::vector<Row> kDrive = {
    {48.135178078546, 11.570239990470, 30.0, kStatusNoError, 62.0, 50, 1},     // A 691220 5334520
    {48.135261947994, 11.570513024534, 30.0, kStatusNoError, 58.5, 300, 1},    // A 691240 5334530
    {48.135345816776, 11.570786059467, 0.5, kStatusNoError, 61.0, 150, 1},     // A 691260 5334540, stops
    {48.135346655461, 11.570788789821, 0.3, kStatusNoError, 40.0, 9999, 0},    // A standing: left out
    {48.135345786723, 11.570787402196, 0.0, kStatusNoError, 41.0, 9999, 0},    // A standing: left out
    {48.135522569511, 11.570929312231, 20.0, kStatusAttenuation, 10.0, 9999, 0},  // A 691270 5334560, bad status
    {0, 0, -1.0, kStatusNoError, 63.5, 100, 1},                                // filled in: B 691280 5334610
    {48.136415348559, 11.571242764473, 30.0, kStatusNoError, 55.0, 250, 1},    // B 691290 5334660
    {0, 0, -1.0, kStatusNoError, 57.25, 400, 0},                               // filled in: B 691290 5334670
    {48.136595106605, 11.571251745886, 30.0, kStatusNoError, 59.75, 180, 1},   // B 691290 5334680
    {48.136683482645, 11.571323374757, 30.0, kStatusNoError, kNaN, 210, 1},    // B 691295 5334690
};

std::string WriteDrive(const TempDir& dir) {
    Recording_SetLevelUnitName("dB\xB5V");
    RecordFile file;
    Recording_InitFile(file);
    const std::vector<MeasurementValue> values = {
        TestValue("Values", "Level", "Level", 2, 0),
        TestValue("Values|BER", "before Reed Solomon [10-6]", "BER before Reed Solomon [10-6]", 0, 1),
        TestValue("Values", "Sync", "Sync", 0, 3)};
    Recording_RegisterMeasurements(file, values, {}, {});
    Recording_BuildHeaderInfo(file, TestHeaderSource());
    auto fill = [](const RecordFile& f, RecordSample& s, int k) {
        const Row& r = kDrive[static_cast<std::size_t>(k)];
        Recording_ResetSample(f, s);
        Text_Copy(s.head.status, r.status);
        s.head.gps.gpsFix = r.lat != 0.0 ? 1 : 0;
        s.head.gps.latitude = r.lat;
        s.head.gps.longitude = r.lon;
        s.head.gps.speed = r.speed;
        Recording_StampTime(s.head.cycleStart, 3.9e9 + k);
        Recording_StampTime(s.head.cycleEnd, 3.9e9 + k + 0.5);
        const double v[3] = {r.level, r.ber, r.sync};
        for (int i = 0; i < 3; ++i) {
            s.values[2 * static_cast<std::size_t>(i)] = std::isnan(v[i]) ? 0.0 : 1.0;
            s.values[2 * static_cast<std::size_t>(i) + 1] = std::isnan(v[i]) ? 0.0 : v[i];
        }
    };
    EXPECT_TRUE(WriteTestSamples(dir.path(), "drive.dtr", file, static_cast<int>(kDrive.size()), fill));
    return dir.file("drive.dtr");
}

struct Expected {
    std::int64_t x, y;
    int samples, gapFilled;
    std::size_t channel;  // 0 level, 1 BER, 2 sync
    int n;
    double min, max, mean, median, stddev, shareOk, lp;  // NaN: none
    CoverageClass cls;
};

void ExpectNear(double expected, double actual, const std::string& what) {
    if (std::isnan(expected)) EXPECT_TRUE(std::isnan(actual)) << what << " = " << actual;
    else EXPECT_NEAR(expected, actual, kEps) << what;
}

TEST(CoverageCells, HandMadeDriveAcrossACellBorder) {
    TempDir dir;
    const std::string path = WriteDrive(dir);
    CoverageOptions options;
    options.minSamples = 4;
    options.thresholds = {"Level=60"};
    CoveragePlan plan;
    std::string error;
    ASSERT_TRUE(Coverage_Open({path}, options, plan, error)) << error;
    ASSERT_EQ(CoverageOutcome::Done, Coverage_Run(plan, nullptr, nullptr, {}, error)) << error;
    ASSERT_EQ(1u, plan.groups.size());
    const CoverageGroup& g = plan.groups[0];
    ASSERT_EQ(3u, g.channels.size());
    EXPECT_EQ("Level [dB\xB5V]", g.channels[0].name);
    EXPECT_DOUBLE_EQ(200.0, g.channels[1].rule.threshold);  // quasi-error-free 2e-4 in 10-6
    EXPECT_EQ(32632, plan.grid.zone.epsg());
    EXPECT_EQ(11, g.positionedSamples);
    EXPECT_EQ(2, g.stationarySkipped);

    // Python: statistics.mean/median/stdev, NormalDist().cdf((median - 60) / 5.5).
    const std::vector<Expected> table = {
        {6912, 53345, 4, 0, 0, 3, 58.5, 62.0, 60.5, 61.0, 1.8027756377319946, 2.0 / 3, 0.5721372923399641,
         CoverageClass::Insufficient},
        {6912, 53345, 4, 0, 1, 3, 50, 300, 166.66666666666666, 150, 125.83057392117917, 2.0 / 3, kNaN,
         CoverageClass::Insufficient},
        {6912, 53345, 4, 0, 2, 3, 1, 1, 1, 1, 0.0, 1.0, kNaN, CoverageClass::Insufficient},
        {6912, 53346, 5, 2, 0, 4, 55.0, 63.5, 58.875, 58.5, 3.642915499065732, 0.25, 0.39253143427377973,
         CoverageClass::Poor},
        {6912, 53346, 5, 2, 1, 5, 100, 400, 228, 210, 110.77003204838391, 0.4, kNaN, CoverageClass::Poor},
        {6912, 53346, 5, 2, 2, 5, 0, 1, 0.8, 1, 0.4472135954999579, 0.8, kNaN, CoverageClass::Acceptable},
    };
    ASSERT_EQ(2u, g.cells.size());
    for (const Expected& e : table) {
        const CoverageCell* cell = nullptr;
        for (const auto& c : g.cells)
            if (c.index.x == e.x && c.index.y == e.y) cell = &c;
        ASSERT_NE(nullptr, cell) << e.x << "/" << e.y;
        const std::string at = std::to_string(e.y) + " channel " + std::to_string(e.channel);
        EXPECT_EQ(e.samples, cell->samples) << at;
        EXPECT_EQ(e.gapFilled, cell->gapFilled) << at;
        const ChannelStatistics& s = cell->channels[e.channel];
        EXPECT_EQ(e.n, s.n) << at;
        ExpectNear(e.min, s.min, "min " + at);
        ExpectNear(e.max, s.max, "max " + at);
        ExpectNear(e.mean, s.mean, "mean " + at);
        ExpectNear(e.median, s.median, "median " + at);
        ExpectNear(e.stddev, s.stddev, "stddev " + at);
        ExpectNear(e.shareOk, s.shareOk, "share " + at);
        ExpectNear(e.lp, s.locationProbability, "location probability " + at);
        EXPECT_EQ(e.cls, s.cls) << at;
    }

    // Route summary: level cells by class; the driven distance is the path
    // through the positioned samples (UTM metres over the zone's scale,
    // about 0.99985 here; the sphere of the haversine differs by < 0.5 %).
    const CoverageChannelSummary& level = g.summary[0];
    EXPECT_EQ(1, level.cells[static_cast<std::size_t>(CoverageClass::Insufficient)]);
    EXPECT_EQ(1, level.cells[static_cast<std::size_t>(CoverageClass::Poor)]);
    const double pathMetres = std::hypot(20, 10) + std::hypot(20, 10) + std::hypot(0.2, 0.1) + std::hypot(0.1, 0.1) +
                              std::hypot(10, 20) + std::hypot(20, 100) + std::hypot(0, 20) + std::hypot(5, 10);
    EXPECT_NEAR(pathMetres / 0.99985 / 1000.0, level.distanceTotalKm(), 0.005 * pathMetres / 1000.0);
    EXPECT_DOUBLE_EQ(0.0, level.coveredCellShare());
}

TEST(CoverageCells, KeepingStationarySamplesBinsTheWholeStandingRun) {
    TempDir dir;
    const std::string path = WriteDrive(dir);
    CoverageOptions options;
    options.keepStationary = true;
    CoveragePlan plan;
    std::string error;
    ASSERT_TRUE(Coverage_Open({path}, options, plan, error)) << error;
    ASSERT_EQ(CoverageOutcome::Done, Coverage_Run(plan, nullptr, nullptr, {}, error)) << error;
    const CoverageCell& a = plan.groups[0].cells[0];
    EXPECT_EQ(6, a.samples);
    EXPECT_EQ(5, a.channels[0].n);
    EXPECT_DOUBLE_EQ(40.0, a.channels[0].min);
    EXPECT_EQ(0, plan.groups[0].stationarySkipped);
}

// What a page or the command line gets back before anything is read: one line each.
TEST(CoverageCells, BadSelectionsAreRefusedWithOneLine) {
    TempDir dir;
    const std::string path = WriteDrive(dir);
    struct Case {
        std::vector<std::string> files;
        int cellSize;
        std::vector<std::string> thresholds;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, 100, {}, kCoverageNoFiles},
        {{dir.file("missing.dtr")}, 100, {}, "missing.dtr: Could not open file"},
        {{path}, 30, {}, "The cell size must be 25, 50, 100 or 200 m."},
        {{path}, 100, {"Field strength=56"}, "No channel 'Field strength' in the record files"},
        {{path}, 100, {"Sync=1 dB"}, "'Sync' is counted in no unit"},
        {{path}, 100, {"Level"}, "is not CHANNEL=VALUE [UNIT]"},
    };
    for (const Case& c : cases) {
        CoverageOptions options;
        options.cellSize = c.cellSize;
        options.thresholds = c.thresholds;
        CoveragePlan plan;
        std::string error;
        EXPECT_FALSE(Coverage_Open(c.files, options, plan, error)) << c.message;
        EXPECT_NE(std::string::npos, error.find(c.message)) << error;
        EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    }
}

// Speeds by the track where the file has none, and which samples of a
// standing run are left out.
TEST(CoverageCells, StandingRunsKeepTheirFirstSample) {
    struct Case {
        std::vector<double> speeds;
        std::vector<std::uint8_t> leftOut;
    };
    const std::vector<Case> cases = {
        {{30, 0.5, 0.2, 0.9, 12, 0.1, 0.0}, {0, 0, 1, 1, 0, 0, 1}},
        {{-1, 0.0, -1, 0.0, 0.0}, {0, 0, 0, 0, 1}},  // unknown speed breaks a run
        {{1.0, 1.0}, {0, 0}},                        // 1 km/h is moving
        {{}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.leftOut, Coverage_StandingRepeats(c.speeds));

    // 20 m in 2 s is 36 km/h; a recorded speed wins; no fix keeps -1.
    std::vector<KmzSample> s(4);
    s[0].position = s[1].position = s[3].position = kKmzGpsPosition;
    s[0].latitude = 48.0;
    s[1].latitude = 48.0 + 20.0 / 111194.93;  // 20 m north on the 6371 km sphere
    s[1].time = 2.0;
    s[2].time = 3.0;
    s[3].speed = 7.5;
    s[3].time = 4.0;
    const auto speeds = Coverage_TrackSpeeds(s, 0, 4);
    EXPECT_DOUBLE_EQ(-1.0, speeds[0]);
    EXPECT_NEAR(36.0, speeds[1], 1e-3);
    EXPECT_DOUBLE_EQ(-1.0, speeds[2]);
    EXPECT_DOUBLE_EQ(7.5, speeds[3]);
}

}  // namespace

namespace {

// Counts per channel what the counted-values filter lets through, while the
// samples pass by.
class CountingSink : public CoverageSampleSink {
public:
    bool writeSamples(const CoverageSamples& s, std::string&) override {
        const CoverageCountedValues counted(s.data, s.leftOut);
        counts.assign(s.group.channels.size(), 0);
        for (std::size_t i = 0; i < s.data.samples.size(); ++i) {
            binned += counted.binned(i) ? 1 : 0;
            double v = 0.0;
            for (std::size_t c = 0; c < counts.size(); ++c) counts[c] += counted.value(i, c, v) ? 1 : 0;
        }
        return true;
    }
    std::vector<int> counts;
    int binned = 0;
};

}  // namespace

// What a writer beside the cells reads of the samples (the report's
// distributions, its track and its drives) agrees with the cells.
TEST(CoverageCells, WritersBesideTheCellsCountTheSameValuesAndDistance) {
    TempDir dir;
    const std::string path = WriteDrive(dir);
    CoverageOptions options;
    options.minSamples = 4;
    CoveragePlan plan;
    std::string error;
    ASSERT_TRUE(Coverage_Open({path}, options, plan, error)) << error;
    CountingSink sink;
    ASSERT_EQ(CoverageOutcome::Done, Coverage_Run(plan, &sink, nullptr, {}, error)) << error;
    const CoverageGroup& g = plan.groups[0];
    // 11 positioned, 2 standing repeats left out.
    EXPECT_EQ(9, sink.binned);
    ASSERT_EQ(g.channels.size(), sink.counts.size());
    for (std::size_t c = 0; c < g.channels.size(); ++c) {
        int n = 0;
        for (const CoverageCell& cell : g.cells) n += cell.channels[c].n;
        EXPECT_EQ(n, sink.counts[c]) << g.channels[c].name;
    }
    // Level: 9 binned, less the bad state and the one invalid value.
    EXPECT_EQ(7, sink.counts[0]);

    // One file: its driven distance is the group's, its times those of its first and last sample.
    const CoverageFile& f = plan.files[0];
    EXPECT_DOUBLE_EQ(g.summary[0].distanceTotalKm(), f.distanceKm);
    EXPECT_GT(f.distanceKm, 0.2);
    EXPECT_EQ(static_cast<std::int64_t>(kDrive.size()), f.samples);
    EXPECT_NEAR(10.0, f.lastTime - f.firstTime, 1e-3);
}
