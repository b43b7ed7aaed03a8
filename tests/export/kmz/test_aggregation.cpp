// Loading of the conversion data set (channel merge, level offsets, gap
// filling) and the aggregation of one map cell.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "export/kmz/aggregation.h"
#include "export/kmz/bitmaps.h"
#include "synthrecord.h"
#include "test_kmzsupport.h"

using namespace kmztest;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

KmzSample At(double time, double lat, double lon, std::uint8_t position = kKmzGpsPosition) {
    KmzSample s;
    s.time = time;
    s.latitude = lat;
    s.longitude = lon;
    s.position = position;
    return s;
}

KmzSample Gap(double time) { return At(time, 0.0, 0.0, kKmzNoPosition); }

using CellBench = ExportBench;

KmzSourceFile Source(const std::string& path, double levelOffset = 0.0) {
    KmzSourceFile f;
    EXPECT_TRUE(FileSelection_ReadEntry(path, f.entry));
    f.level.levelOffset = levelOffset;
    return f;
}

bool Load(const std::vector<KmzSourceFile>& files, int unit, KmzDataSet& data) {
    std::string error;
    if (!KmzLoad_ReadHeaders(files, unit, "/records", data, error)) return false;
    return KmzLoad_ReadSamples(data, nullptr, {}) == KmzLoadOutcome::Loaded;
}

}  // namespace

TEST(KmzGapFilling, FillsInterpolatesAndExtrapolatesWithinAFile) {
    struct Case {
        const char* story;
        std::vector<KmzSample> samples;
        std::size_t probe;
        double latitude, longitude;
        std::uint8_t position;
    };
    const std::vector<Case> cases = {
        {"between two fixes, linearly in time", {At(0, 48.0, 11.0), Gap(2.5), At(10, 49.0, 12.0)}, 1, 48.25, 11.25, 2},
        {"before the first fixes: backward from the first two",
         {Gap(0), Gap(1), At(2, 48.0, 11.0), At(3, 48.1, 11.1), At(4, 50.0, 13.0)}, 0, 47.8, 10.8, 2},
        {"after the last fix: forward from the last two", {At(0, 1.0, 1.0), At(1, 1.0, 2.0), At(2, 2.0, 2.0), Gap(4)},
         3, 4.0, 2.0, 2},
        {"one fix only: nothing to fill from", {Gap(0), At(1, 48.0, 11.0), Gap(2)}, 2, 0.0, 0.0, 0},
        {"beyond the pole: folded back, longitude turned by 180", {At(0, 89.0, 10.0), At(1, 89.5, 10.0), Gap(4)}, 2,
         89.0, -170.0, 2},
        // The short way across the 180 degree meridian, not through Greenwich.
        {"across the 180 degree meridian", {At(0, 0.0, 179.9), Gap(1), At(2, 0.0, -179.9)}, 1, 0.0, -180.0, 2},
        {"fixes of the same time: the nearer one's place", {At(5, 48.0, 11.0), At(5, 49.0, 12.0), Gap(6)}, 2, 49.0,
         12.0, 2},
    };
    for (const auto& c : cases) {
        auto samples = c.samples;
        KmzLoad_FillGaps(samples, 0, samples.size());
        const KmzSample& s = samples[c.probe];
        EXPECT_EQ(s.position, c.position) << c.story;
        EXPECT_NEAR(s.latitude, c.latitude, 1e-9) << c.story;
        EXPECT_NEAR(std::abs(s.longitude), std::abs(c.longitude), 1e-9) << c.story;
        EXPECT_TRUE(std::isfinite(s.latitude) && std::isfinite(s.longitude)) << c.story;
    }
}

TEST(KmzGapFilling, NormalisesLongitudesWestOfTheMeridian) {
    // fmod keeps the sign: -190 must come out as 170, not stay at -190.
    double lat = 10.0, lon = -190.0;
    KmzLoad_NormalisePosition(lat, lon);
    EXPECT_DOUBLE_EQ(lon, 170.0);
    lon = 190.0;
    KmzLoad_NormalisePosition(lat, lon);
    EXPECT_DOUBLE_EQ(lon, -170.0);
}

TEST(KmzLoad, GapsAreNotBridgedAcrossFiles) {
    TempDir dir;
    SynthRecordOptions a;
    a.samples = 20;
    a.description = "a";
    SynthRecordOptions b = a;
    b.description = "b";
    b.samples = 4;
    b.noFixStretches = {{1, 3}};  // one fix, then three samples without
    KmzDataSet data;
    ASSERT_TRUE(Load({Source(WriteSynth(dir.path(), a)), Source(WriteSynth(dir.path(), b))}, kKmzUnitDbuV, data));
    ASSERT_EQ(data.samples.size(), 24u);
    for (std::size_t i = 21; i < 24; ++i) EXPECT_EQ(data.samples[i].position, kKmzNoPosition) << i;
    EXPECT_EQ(data.files[0].sampleCount, 20);
    EXPECT_EQ(data.files[1].sampleCount, 4);
}

TEST(KmzLoad, FirstSamplesWithoutFixAreExtrapolatedBackward) {
    TempDir dir;
    SynthRecordOptions o;
    o.samples = 30;
    o.noFixStretches = {{0, 5}};
    KmzDataSet data;
    ASSERT_TRUE(Load({Source(WriteSynth(dir.path(), o))}, kKmzUnitDbuV, data));
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(data.samples[i].position, kKmzInterpolatedPosition) << i;
    EXPECT_EQ(data.samples[5].position, kKmzGpsPosition);
    // The drive goes on in a straight line backward: the first sample lies beyond the sixth, as seen from the seventh.
    const auto& s0 = data.samples[0];
    const auto& s5 = data.samples[5];
    const auto& s6 = data.samples[6];
    EXPECT_GT((s5.latitude - s0.latitude) * (s6.latitude - s5.latitude) +
                  (s5.longitude - s0.longitude) * (s6.longitude - s5.longitude),
              0.0);
}

TEST(KmzLoad, LevelChannelsOfAllFilesMergeIntoTheCommonUnitWithTheirOffsets) {
    TempDir dir;
    SynthRecordOptions dbuv;
    dbuv.samples = 50;
    dbuv.description = "uv";
    SynthRecordOptions dbm = dbuv;
    dbm.description = "m";
    dbm.levelUnit = "dBm";
    const std::string uvPath = WriteSynth(dir.path(), dbuv), mPath = WriteSynth(dir.path(), dbm);

    KmzDataSet plain;
    ASSERT_TRUE(Load({Source(mPath)}, kKmzUnitDbm, plain));
    KmzDataSet merged;
    ASSERT_TRUE(Load({Source(uvPath), Source(mPath, 106.98)}, kKmzUnitDbuV, merged));

    int levels = 0;
    for (const auto& v : merged.values) levels += Text_View(v.longName).starts_with("Level") ? 1 : 0;
    EXPECT_EQ(levels, 1);
    EXPECT_EQ(Text_View(merged.values[0].longName), "Level [dB\xB5V]");
    EXPECT_EQ(Text_View(plain.values[0].longName), "Level [dBm]");
    ASSERT_EQ(merged.samples.size(), 100u);
    // Sample k of the dBm file carries its level plus 106.98 dB.
    int compared = 0;
    for (std::size_t k = 0; k < 50; ++k) {
        ASSERT_EQ(merged.valueEntry(50 + k, 0)[0], plain.valueEntry(k, 0)[0]);
        if (plain.valueEntry(k, 0)[0] != 1.0) continue;
        EXPECT_NEAR(merged.valueEntry(50 + k, 0)[1], plain.valueEntry(k, 0)[1] + 106.98, 1e-9) << k;
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

TEST(KmzLoad, UnreadableFileStopsWithTheReadersText) {
    TempDir dir;
    WriteWholeFile(dir.file("junk.dtr"), std::vector<std::uint8_t>(300, 7));
    KmzSourceFile f;
    f.entry.path = dir.file("junk.dtr");
    KmzDataSet data;
    std::string error;
    EXPECT_FALSE(KmzLoad_ReadHeaders({f}, kKmzUnitDbuV, dir.path(), data, error));
    EXPECT_EQ(error.rfind("Drive test result file conversion failure:\n", 0), 0u) << error;
    EXPECT_NE(error.find("Incompatible file format"), std::string::npos) << error;
}

TEST(KmzAggregation, BadStatusCountsOnlyInTheStatusList) {
    KmzDataSet d = DataSet({Value("Level [dB\xB5V]", 0, 2, "Level")}, {Graph("Echo", 3, "-40", "0")}, {Item("Mode")});
    AddSample(d, {.values = {60.0}, .speed = 30.0, .graphs = {{-10, -10, -10}}, .texts = {"8K"}});
    AddSample(d, {.values = {70.0}, .status = "Tuner <lost> & R", .speed = 40.0, .graphs = {{-10, -10, -10}},
                  .texts = {"2K"}});
    AddSample(d, {.values = {50.0}, .speed = 50.0, .graphs = {{-10, -10, -10}}, .texts = {"8K"}});
    CellBench bench(std::move(d));
    MapCell cell = bench.Cell({0, 1, 2});
    ASSERT_TRUE(aggregateCell(*bench.ex, cell));

    EXPECT_EQ(cell.sampleCount, 3);
    EXPECT_EQ(cell.statistics[1].count, 3);
    EXPECT_EQ(cell.statistics[1].validCount, 2);
    EXPECT_DOUBLE_EQ(cell.statistics[1].best, 60.0);  // the 70 of the spoiled sample is gone
    EXPECT_EQ(cell.statistics[0].validCount, 3);      // its speed still counts
    EXPECT_DOUBLE_EQ(cell.statistics[0].worst, 50.0);
    EXPECT_NEAR(cell.graphValidity[0], 200.0 / 3.0, 1e-9);
    EXPECT_NEAR(cell.parameterValidity[0], 200.0 / 3.0, 1e-9);
    ASSERT_EQ(cell.parameterTexts.size(), 1u);  // "2K" of the spoiled sample is not counted
    EXPECT_DOUBLE_EQ(cell.parameterTexts[0].share, 100.0);
    ASSERT_EQ(cell.status.size(), 2u);
    EXPECT_EQ(bench.data.statusTexts[static_cast<std::size_t>(cell.status[0].status)], kStatusNoError);
    EXPECT_NEAR(cell.status[0].share, 200.0 / 3.0, 1e-9);
    EXPECT_NEAR(cell.status[1].share, 100.0 / 3.0, 1e-9);
    // The sample stays invalid for the rest of the conversion.
    EXPECT_EQ(bench.data.valueEntry(1, 0)[0], 0.0);
    MapCell again = bench.Cell({1});
    ASSERT_TRUE(aggregateCell(*bench.ex, again));
    EXPECT_EQ(again.statistics[1].validCount, 0);
}

TEST(KmzAggregation, OneSampleCellAndSpeedInMiles) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)});
    d.distanceUnit = "miles [mi]";
    AddSample(d, {.values = {31.5}, .speed = 100.0});
    CellBench bench(std::move(d));
    MapCell cell = bench.Cell({0});
    ASSERT_TRUE(aggregateCell(*bench.ex, cell));
    const CellStatistics& mer = cell.statistics[1];
    EXPECT_EQ(mer.worst, 31.5);
    EXPECT_EQ(mer.best, 31.5);
    EXPECT_EQ(mer.average, 31.5);
    EXPECT_NEAR(cell.statistics[0].worst, 100.0 / 1.609344, 1e-12);
}

TEST(KmzAggregation, DistributionsNeedTenValuesAndSkipStateChannels) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1), Value("Sync", 3, 0), Value("BER", 1, 0)});
    for (int i = 0; i < 12; ++i) {
        SampleSpec s;
        s.values = {30.0, 1.0, i < 9 ? 5.0 : kNaN};  // nine valid BER values only
        AddSample(d, s);
    }
    CellBench bench(std::move(d));
    MapCell cell = bench.Cell({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    ASSERT_TRUE(aggregateCell(*bench.ex, cell));
    const auto entries = bench.Close();
    EXPECT_EQ(Find(entries, "V0_00_ST.bmp"), nullptr);  // no speed at all
    ASSERT_NE(Find(entries, "V1_00_ST.bmp"), nullptr);
    EXPECT_EQ(Find(entries, "V2_00_ST.bmp"), nullptr);  // state channel
    EXPECT_EQ(Find(entries, "V3_00_ST.bmp"), nullptr);  // nine values
    // All values equal: the two middle bins stand at full height, the others show their bottom pixel.
    const std::string& bmp = Find(entries, "V1_00_ST.bmp")->bytes;
    ASSERT_TRUE(BmpProblem(*Find(entries, "V1_00_ST.bmp")).empty());
    auto lit = [&](int column, int rowFromTop) {
        const std::size_t at = 54 + (static_cast<std::size_t>(kValueRows - 1 - rowFromTop) * kValueBins + column) * 4;
        return bmp[at] != 0 || bmp[at + 1] != 0 || bmp[at + 2] != 0;
    };
    EXPECT_TRUE(lit(24, 0));
    EXPECT_TRUE(lit(25, 0));
    EXPECT_FALSE(lit(23, 0));
    EXPECT_TRUE(lit(23, kValueRows - 1));
}

TEST(KmzAggregation, DistributionBinsRunFromWorstToBest) {
    struct Case {
        double x, worst, best;
        int kind, bin;
    };
    const Case cases[] = {
        {10.0, 10.0, 20.0, 0, 0}, {20.0, 10.0, 20.0, 0, 49}, {15.0, 10.0, 20.0, 0, 25},
        {1e-3, 1e-3, 1e-6, 1, 0}, {1e-6, 1e-3, 1e-6, 1, 49},
        {-8.0, 8.0, 0.0, 2, 0},  // kind 2 bins the magnitude
        {0.0, 8.0, 0.0, 2, 49},
    };
    for (const auto& c : cases) EXPECT_EQ(Kmz_DistributionBin(c.x, c.worst, c.best, c.kind), c.bin) << c.x;
}

TEST(KmzAggregation, GraphLevelsAndColumns) {
    EXPECT_EQ(KmzLoad_GraphLevel(0.0f, -40.0, 0.0), 99);     // exactly at ymax
    EXPECT_EQ(KmzLoad_GraphLevel(-40.0f, -40.0, 0.0), 0);    // at ymin
    EXPECT_EQ(KmzLoad_GraphLevel(0.3f, -40.0, 0.0), kKmzNoLevel);  // level 100
    EXPECT_EQ(KmzLoad_GraphLevel(-40.3f, -40.0, 0.0), kKmzNoLevel);  // below 0
    EXPECT_EQ(KmzLoad_GraphLevel(-200.0f, -40.0, 0.0), kKmzNoLevel);
    EXPECT_EQ(KmzLoad_GraphLevel(-10.0f, 5.0, 5.0), kKmzNoLevel);  // no range: nothing to divide by
    EXPECT_EQ(KmzLoad_GraphCounter(0, 501, 7), 7);
    EXPECT_EQ(KmzLoad_GraphCounter(500, 501, 99), 199 * 100 + 99);
    EXPECT_EQ(KmzLoad_GraphCounter(250, 501, 0), 100 * 100);  // column 99.5 rounds away from zero
    EXPECT_EQ(KmzLoad_GraphCounter(0, 1, 5), 5);
}

TEST(KmzAggregation, GraphHistogramFillsColumnsFromTheBottom) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)}, {Graph("Echo", 2, "-40", "0")});
    AddSample(d, {.values = {30.0}, .graphs = {{0.0f, -40.0f}}});   // level 99 in column 0, level 0 in column 199
    AddSample(d, {.values = {30.0}, .graphs = {{-20.0f, 5.0f}}});   // level 50 in column 0; 5 dB is out of range
    AddSample(d, {.values = {30.0}});                               // no graph
    CellBench bench(std::move(d));
    MapCell cell = bench.Cell({0, 1, 2});
    ASSERT_TRUE(aggregateCell(*bench.ex, cell));
    EXPECT_NEAR(cell.graphValidity[0], 200.0 / 3.0, 1e-9);
    const auto entries = bench.Close();
    const Entry* g = Find(entries, "G0_00_ST.bmp");
    ASSERT_NE(g, nullptr);
    ASSERT_TRUE(BmpProblem(*g).empty());
    auto rgb = [&](int column, int rowFromTop) {
        const std::size_t at = 54 + (static_cast<std::size_t>(kGraphRows - 1 - rowFromTop) * kGraphColumns + column) * 4;
        return static_cast<std::uint32_t>(static_cast<unsigned char>(g->bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(g->bytes[at + 1])) << 8 |
               static_cast<unsigned char>(g->bytes[at]);
    };
    // Column 0 holds two points up to row 49 (counter 2, the maximum: red) and one above it (counter 1: blue).
    EXPECT_EQ(rgb(0, 99), kRampRed);
    EXPECT_EQ(rgb(0, 49), kRampRed);
    EXPECT_EQ(rgb(0, 48), kRampBlue);
    EXPECT_EQ(rgb(0, 0), kRampBlue);
    EXPECT_EQ(rgb(199, 99), kRampBlue);  // level 0: the bottom row only
    EXPECT_EQ(rgb(199, 98), 0u);
}

TEST(KmzAggregation, ParameterTextsSortByChannelThenShare) {
    KmzDataSet d = DataSet({Value("MER [dB]", 0, 1)}, {}, {Item("Mode"), Item("Guard")});
    AddSample(d, {.values = {30.0}, .texts = {"2K", "1/4"}});
    AddSample(d, {.values = {30.0}, .texts = {"8K", "1/8"}});
    AddSample(d, {.values = {30.0}, .texts = {"8K", ""}});
    AddSample(d, {.values = {30.0}, .texts = {"8K", "1/8"}});
    CellBench bench(std::move(d));
    MapCell cell = bench.Cell({0, 1, 2, 3});
    ASSERT_TRUE(aggregateCell(*bench.ex, cell));
    ASSERT_EQ(cell.parameterTexts.size(), 4u);
    auto text = [&](const KmzTextShare& s) { return bench.data.itemTexts[static_cast<std::size_t>(s.channel)][s.text - 1]; };
    EXPECT_EQ(text(cell.parameterTexts[0]), "8K");
    EXPECT_DOUBLE_EQ(cell.parameterTexts[0].share, 75.0);
    EXPECT_EQ(text(cell.parameterTexts[1]), "2K");
    EXPECT_EQ(text(cell.parameterTexts[2]), "1/8");
    EXPECT_NEAR(cell.parameterTexts[2].share, 200.0 / 3.0, 1e-9);  // of the three samples with a text
    EXPECT_DOUBLE_EQ(cell.parameterValidity[1], 75.0);
}
