// Cell statistics against figures computed apart (Python's statistics module
// and NormalDist).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "coverage/cellstats.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Case {
    const char* what;
    std::vector<double> values;
    CoverageRule rule;
    double median, stddev, shareOk, sigma, lp;
    CoverageClass cls;
};

void Near(double expected, double actual, const char* what, const char* field) {
    if (std::isnan(expected)) EXPECT_TRUE(std::isnan(actual)) << what << " " << field << " " << actual;
    else EXPECT_NEAR(expected, actual, 1e-9) << what << " " << field;
}

TEST(CellStatistics, LocationProbabilityAndClass) {
    CoverageRule level{true, 55.0, 0, true, 5};
    CoverageRule ber{true, 200.0, 1, false, 5};
    CoverageRule none{false, 0.0, 0, true, 5};
    const std::vector<double> twelve = {52.1, 55.4, 49.8, 61.2, 58.7, 50.3, 57.9, 53.6, 60.4, 54.2, 56.8, 51.5};
    const std::vector<Case> cases = {
        // From ten values on the cell's own spread: sigma = stdev.
        {"own sigma", twelve, level, 54.8, 3.875202829491248, 0.5, 3.875202829491248, 0.479419645161845,
         CoverageClass::Poor},
        // Nine values: the planning's 5.5 dB; median 58.7 against 55 -> Phi(3.7 / 5.5).
        {"planning sigma", {52.1, 55.4, 49.8, 61.2, 58.7, 60.3, 57.9, 63.6, 60.4}, level, 58.7, 4.488998898541981,
         7.0 / 9, 5.5, 0.7494395932083456, CoverageClass::Acceptable},
        {"far above", {70, 71, 72, 73, 74}, level, 72, 1.5811388300841898, 1.0, 5.5, 0.9990022764137121,
         CoverageClass::Good},
        // No spread among ten or more: served everywhere, nowhere, or half at the threshold.
        {"flat above", std::vector<double>(12, 56.0), level, 56, 0.0, 1.0, 0.0, 1.0, CoverageClass::Good},
        {"flat below", std::vector<double>(12, 54.0), level, 54, 0.0, 0.0, 0.0, 0.0, CoverageClass::Poor},
        {"flat at", std::vector<double>(12, 55.0), level, 55, 0.0, 1.0, 0.0, 0.5, CoverageClass::Poor},
        {"too few", {60, 61, 62, 63}, level, 61.5, 1.2909944487358056, 1.0, 5.5, 0.8813610740658608,
         CoverageClass::Insufficient},
        // Lower is better: the share of values at or below the threshold is the measure.
        {"ber", {100, 200, 201, 50, 20, 10, 0, 150, 300, 180}, ber, 125, 100.91189776786041, 0.8, kNaN, kNaN,
         CoverageClass::Acceptable},
        {"no threshold", {1, 2}, none, 1.5, 0.7071067811865476, kNaN, kNaN, kNaN, CoverageClass::None},
        {"one value", {42}, none, 42, kNaN, kNaN, kNaN, kNaN, CoverageClass::None},
        {"no value", {}, level, kNaN, kNaN, kNaN, kNaN, kNaN, CoverageClass::Insufficient},
    };
    for (const Case& c : cases) {
        std::vector<double> v = c.values;
        const ChannelStatistics s = Coverage_Statistics(v, c.rule);
        EXPECT_EQ(static_cast<int>(c.values.size()), s.n) << c.what;
        Near(c.median, s.median, c.what, "median");
        Near(c.stddev, s.stddev, c.what, "stddev");
        Near(c.shareOk, s.shareOk, c.what, "share");
        Near(c.sigma, s.sigma, c.what, "sigma");
        Near(c.lp, s.locationProbability, c.what, "location probability");
        EXPECT_EQ(c.cls, s.cls) << c.what;
    }
}

TEST(CellStatistics, ClassBoundariesAreInclusive) {
    // 19 of 20 meet the threshold: exactly 0.95 is good; 14 of 20 (0.70) acceptable.
    CoverageRule sync{true, 1.0, 3, false, 5};
    std::vector<double> v(20, 1.0);
    v[0] = 0.0;
    EXPECT_EQ(CoverageClass::Good, Coverage_Statistics(v, sync).cls);
    std::vector<double> w(20, 1.0);
    for (int i = 0; i < 6; ++i) w[static_cast<std::size_t>(i)] = 0.0;
    EXPECT_EQ(CoverageClass::Acceptable, Coverage_Statistics(w, sync).cls);
    w[6] = 0.0;
    EXPECT_EQ(CoverageClass::Poor, Coverage_Statistics(w, sync).cls);
    EXPECT_NEAR(0.975002104851780, Coverage_NormalCdf(1.96), 1e-12);
    EXPECT_TRUE(Coverage_Meets(-3.0, 5.0, 2));
    EXPECT_FALSE(Coverage_Meets(-6.0, 5.0, 2));
}

}  // namespace
