// What the report's maps and charts compute before they draw: the fit of the
// ground onto paper, the scale bar's round length, the thinned track, true
// north against grid north, and the bins of the distributions with the share
// meeting the threshold. Figures worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "export/report/distribution.h"
#include "export/report/mapframe.h"

namespace {

TEST(ReportMap, ScaleBarTakesTheLargestRoundLengthThatFits) {
    struct Case {
        double most, expected;
    } cases[] = {{0.7, 0.5},       {1.0, 1.0},   {1.5, 1.0},   {2.0, 2.0},       {3.0, 2.0},
                 {4.99, 2.0},      {5.0, 5.0},   {9.99, 5.0},  {10.0, 10.0},     {37.0, 20.0},
                 {0.0003, 0.0002}, {2500, 2000}, {7800, 5000},
                 // Computed as a hair below 2000 (a mile in metres times a ratio): still 2000.
                 {1999.9999999999, 2000}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(c.expected, ReportMap_RoundLength(c.most)) << c.most;
}

TEST(ReportMap, GroundFitsThePaperAtOneScaleCentred) {
    // 1000 x 500 m onto 100 x 100 mm: 0.1 mm/m, the height centred (25 mm above and below).
    const MapFit wide = ReportMap_Fit({5000, 7000, 6000, 7500}, {20, 30, 120, 130});
    EXPECT_DOUBLE_EQ(0.1, wide.mmPerMetre);
    const MapPoint nw = wide.toPaper(5000, 7500), se = wide.toPaper(6000, 7000);
    EXPECT_NEAR(20, nw.x, 1e-9);
    EXPECT_NEAR(55, nw.y, 1e-9);
    EXPECT_NEAR(120, se.x, 1e-9);
    EXPECT_NEAR(105, se.y, 1e-9);
    // Tall ground: the width centred; north is up (larger northing, smaller y).
    const MapFit tall = ReportMap_Fit({0, 0, 200, 800}, {0, 0, 100, 100});
    EXPECT_DOUBLE_EQ(0.125, tall.mmPerMetre);
    EXPECT_NEAR(37.5, tall.toPaper(0, 800).x, 1e-9);
    EXPECT_NEAR(0, tall.toPaper(0, 800).y, 1e-9);
    EXPECT_NEAR(100, tall.toPaper(0, 0).y, 1e-9);
    // A single point (one cell of samples): a finite scale, the point in the middle.
    const MapFit point = ReportMap_Fit({10, 10, 10, 10}, {0, 0, 100, 60});
    EXPECT_TRUE(std::isfinite(point.mmPerMetre));
    EXPECT_NEAR(50, point.toPaper(10, 10).x, 1e-6);
    EXPECT_NEAR(30, point.toPaper(10, 10).y, 1e-6);
}

TEST(ReportMap, TrackIsThinnedToWhatPaperShows) {
    // A straight line keeps its ends only; a corner beyond the tolerance stays.
    std::vector<MapPoint> straight;
    for (int i = 0; i <= 100; ++i) straight.push_back({i * 1.0, i * 0.5});
    EXPECT_EQ(2u, ReportMap_Simplify(straight, 1.0).size());
    std::vector<MapPoint> corner = {{0, 0}, {50, 0.4}, {100, 0}, {100, 50}, {100.3, 100}};
    const std::vector<MapPoint> kept = ReportMap_Simplify(corner, 1.0);
    ASSERT_EQ(3u, kept.size());
    EXPECT_DOUBLE_EQ(100, kept[1].x);
    EXPECT_DOUBLE_EQ(0, kept[1].y);
    // Jitter within the tolerance is dropped, a step of twice the tolerance is not.
    EXPECT_EQ(2u, ReportMap_Simplify({{0, 0}, {10, 0.9}, {20, -0.9}, {30, 0}}, 1.0).size());
    EXPECT_EQ(3u, ReportMap_Simplify({{0, 0}, {10, 2.0}, {20, 0}}, 1.0).size());
    // A long drive is looked at in windows whose ends stay: 10 000 points on a line keep 4.
    std::vector<MapPoint> longLine(10000);
    for (std::size_t i = 0; i < longLine.size(); ++i) longLine[i] = {static_cast<double>(i), 0};
    EXPECT_EQ(4u, ReportMap_Simplify(longLine, 1.0).size());
    EXPECT_EQ(1u, ReportMap_Simplify({{3, 4}}, 1.0).size());
    EXPECT_TRUE(ReportMap_Simplify({}, 1.0).empty());
}

TEST(ReportMap, TrueNorthAgainstGridNorth) {
    // Convergence ~ (lon - central meridian) x sin(lat), with the next term of
    // the series: Munich in zone 32 (9 E) 1.918 degrees, true north west of grid north.
    struct Case {
        int zone;
        bool south;
        double lat, lon, degrees;
    } cases[] = {
        {32, false, 48.137, 11.575, -1.9176},
        {32, false, 48.137, 9.0, 0.0},
        {32, false, 48.137, 6.425, 1.9176},
        // South of the equator the sign turns.
        {33, true, -33.9, 18.4, 1.8979},
        {31, false, 0.0, 4.0, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.degrees, ReportMap_TrueNorthDegrees({c.zone, c.south}, c.lat, c.lon), 0.003)
            << c.lat << " " << c.lon;
}

CoverageChannel Channel(const char* name, bool level, bool threshold, double value, int kind) {
    CoverageChannel c;
    c.name = name;
    c.level = level;
    c.rule.hasThreshold = threshold;
    c.rule.threshold = value;
    c.rule.ratingKind = kind;
    return c;
}

TEST(ReportDistribution, ChannelsShownAreLevelMerAndBer) {
    EXPECT_EQ(ReportValueKind::Level, Report_ValueKind(Channel("Level [dB\xB5V]", true, true, 60, 0)));
    EXPECT_EQ(ReportValueKind::Mer, Report_ValueKind(Channel("MER RMS [dB]", false, false, 0, 0)));
    EXPECT_EQ(ReportValueKind::ErrorRatio, Report_ValueKind(Channel("BER before Viterbi [10-6]", false, false, 0, 1)));
    EXPECT_EQ(ReportValueKind::None, Report_ValueKind(Channel("PER [10-6]", false, false, 0, 1)));
    EXPECT_EQ(ReportValueKind::None, Report_ValueKind(Channel("Sync", false, true, 1, 0)));
}

TEST(ReportDistribution, LinearBinsAndTheShareMeetingTheThreshold) {
    const CoverageChannel level = Channel("Level [dB\xB5V]", true, true, 60, 0);
    // 1 dB bins from 59: [59,60) 59.5; [60,61) 60 and 60.2; [61,62) 61.9; [65,66) 65.
    const ReportDistribution d = Report_Distribution(level, ReportValueKind::Level, {59.5, 60, 60.2, 61.9, 65});
    EXPECT_FALSE(d.logAxis);
    EXPECT_DOUBLE_EQ(59, d.first);
    EXPECT_DOUBLE_EQ(1, d.width);
    EXPECT_EQ((std::vector<std::int64_t>{1, 2, 1, 0, 0, 0, 1}), d.counts);
    // At the threshold counts as meeting it, as in the cells.
    EXPECT_EQ(4, d.meeting);
    EXPECT_DOUBLE_EQ(0.8, d.shareMeeting());
    const std::vector<double> cum = d.cumulative();
    ASSERT_EQ(7u, cum.size());
    EXPECT_DOUBLE_EQ(0.2, cum[0]);
    EXPECT_DOUBLE_EQ(0.6, cum[1]);
    EXPECT_DOUBLE_EQ(1.0, cum.back());
    EXPECT_DOUBLE_EQ(0.4, d.largestShare());

    // MER in half dB; without threshold no share.
    const ReportDistribution mer =
        Report_Distribution(Channel("MER RMS [dB]", false, false, 0, 0), ReportValueKind::Mer, {30.2, 30.6, 31.4});
    EXPECT_DOUBLE_EQ(30, mer.first);
    EXPECT_DOUBLE_EQ(0.5, mer.width);
    EXPECT_EQ((std::vector<std::int64_t>{1, 1, 1}), mer.counts);
    EXPECT_TRUE(std::isnan(mer.shareMeeting()));
    // The bin width a chart names is the kind's also without values.
    EXPECT_DOUBLE_EQ(0.5, Report_Distribution(Channel("MER RMS [dB]", false, false, 0, 0), ReportValueKind::Mer, {}).width);

    // A spread over more than 60 bins widens them along 1, 2, 5: 0..100 dB in 2 dB bins.
    std::vector<double> wide;
    for (int i = 0; i <= 100; ++i) wide.push_back(i);
    const ReportDistribution w = Report_Distribution(level, ReportValueKind::Level, wide);
    EXPECT_DOUBLE_EQ(2, w.width);
    EXPECT_LE(w.counts.size(), static_cast<std::size_t>(kReportMaxLinearBins));
    EXPECT_EQ(101, std::accumulate(w.counts.begin(), w.counts.end(), std::int64_t{0}));

    // Hostile values: every one still counted once, in a bounded number of bins.
    const ReportDistribution h = Report_Distribution(level, ReportValueKind::Level, {-1e308, 0, 1e308});
    EXPECT_LE(h.counts.size(), static_cast<std::size_t>(kReportMaxLinearBins));
    EXPECT_EQ(3, std::accumulate(h.counts.begin(), h.counts.end(), std::int64_t{0}));
    EXPECT_DOUBLE_EQ(1.0, h.cumulative().back());

    // No values: no bins, no share.
    const ReportDistribution none = Report_Distribution(level, ReportValueKind::Level, {});
    EXPECT_TRUE(none.counts.empty());
    EXPECT_TRUE(std::isnan(none.shareMeeting()));
}

TEST(ReportDistribution, ErrorRatiosOnALogAxisWithTheErrorFreeApart) {
    const CoverageChannel ber = Channel("BER before Reed Solomon [10-6]", false, true, 200, 1);
    // Stored in 10-6: shown 5e-7, 2e-4, 2e-3 and two error-free. Quarter decades
    // from 10^-6.5 (below 5e-7) to 10^-2.75 (below 2e-3): 16 bins.
    const ReportDistribution d = Report_Distribution(ber, ReportValueKind::ErrorRatio, {0, 0.5, 200, 2000, 0});
    EXPECT_TRUE(d.logAxis);
    EXPECT_DOUBLE_EQ(1e-6, d.scale);
    EXPECT_DOUBLE_EQ(-6.5, d.first);
    EXPECT_DOUBLE_EQ(0.25, d.width);
    ASSERT_EQ(16u, d.counts.size());
    EXPECT_EQ(2, d.zeros);
    EXPECT_EQ(1, d.counts[0]);
    EXPECT_EQ(1, d.counts[11]);  // log10(2e-4) = -3.70
    EXPECT_EQ(1, d.counts[15]);
    // 200 (2e-4) meets "at or below 2e-4"; the error-free do too.
    EXPECT_EQ(4, d.meeting);
    EXPECT_DOUBLE_EQ(0.6, d.cumulative()[0]);  // the zeros count below every bin
    EXPECT_DOUBLE_EQ(0.4, d.largestShare());

    // Error-free throughout: a bar of zeros and an axis around the threshold's decade.
    const ReportDistribution clean = Report_Distribution(ber, ReportValueKind::ErrorRatio, {0, 0, 0});
    EXPECT_EQ(3, clean.zeros);
    EXPECT_DOUBLE_EQ(-4, clean.first);
    EXPECT_DOUBLE_EQ(1.0, clean.shareMeeting());
    EXPECT_DOUBLE_EQ(1.0, clean.largestShare());

    // Spread over more decades than an axis shows: the lowest join the first bin.
    const ReportDistribution spread = Report_Distribution(ber, ReportValueKind::ErrorRatio, {1e-20, 1e-12, 1e5});
    EXPECT_LE(spread.counts.size(), static_cast<std::size_t>((kReportMaxDecades + 1) * kReportBinsPerDecade + 1));
    EXPECT_EQ(2, spread.counts[0]);
    EXPECT_EQ(3, std::accumulate(spread.counts.begin(), spread.counts.end(), std::int64_t{0}));
}

TEST(ReportDistribution, TheAxisReachesANearThreshold) {
    struct Case {
        const char* what;
        CoverageChannel channel;
        ReportValueKind kind;
        std::vector<double> values;
        double from, to;
    } cases[] = {
        // Levels 59.5 .. 65: bins 59 .. 66; a threshold inside changes nothing.
        {"inside", Channel("Level", true, true, 60, 0), ReportValueKind::Level, {59.5, 65}, 59, 66},
        // Below the values: the axis starts a bin below the threshold's bin.
        {"below", Channel("Level", true, true, 45.5, 0), ReportValueKind::Level, {59.5, 65}, 44, 66},
        {"above", Channel("Level", true, true, 70, 0), ReportValueKind::Level, {59.5, 65}, 59, 71},
        // 60 bins or more away: the values would shrink to a line; the axis stays.
        {"far", Channel("Level", true, true, 200, 0), ReportValueKind::Level, {59.5, 65}, 59, 66},
        {"no threshold", Channel("Level", true, false, 200, 0), ReportValueKind::Level, {59.5, 65}, 59, 66},
        // BER near 1e-6 (stored 1.2 and 1.5 in 10-6) against 2e-4: the axis runs to the
        // quarter decade after log10(2e-4) = -3.70, the zeros' bar left of -6.
        {"ber", Channel("BER before Reed Solomon [10-6]", false, true, 200, 1), ReportValueKind::ErrorRatio,
         {0, 1.5, 1.2}, -6.375, -3.5},
    };
    for (const Case& c : cases) {
        const ReportDistribution d = Report_Distribution(c.channel, c.kind, c.values);
        double from = 0.0, to = 0.0;
        Report_AxisRange(d, from, to);
        EXPECT_NEAR(c.from, from, 1e-9) << c.what;
        EXPECT_NEAR(c.to, to, 1e-9) << c.what;
    }
}

}  // namespace
