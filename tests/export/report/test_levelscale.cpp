// The median map's colour scale: Auto spans the cells' medians as the KMZ
// colour page spans the values, cells without a valid level do not stretch
// it, and a profile that does not load is refused with one line.
#include <gtest/gtest.h>

#include <string>

#include "export/report/levelscale.h"

namespace {

CoverageGroup LevelCells(const std::vector<std::pair<int, double>>& cells) {
    CoverageGroup g;
    CoverageChannel level;
    level.name = "Level [dB\xB5V]";
    level.level = true;
    g.channels.push_back(level);
    for (const auto& [n, median] : cells) {
        CoverageCell c;
        ChannelStatistics s;
        s.n = n;
        s.median = median;
        c.channels.push_back(s);
        g.cells.push_back(c);
    }
    return g;
}

TEST(ReportLevelScale, AutoSpansTheCellMediansWithValues) {
    // The cell without a valid value carries a meaningless median: it is left out.
    const CoverageGroup g = LevelCells({{3, 52.5}, {0, 999.0}, {7, 71.25}, {1, 60.0}});
    ReportLevelScale scale;
    std::string error;
    ASSERT_TRUE(Report_LevelScale(g, 0, 2, "", scale, error)) << error;
    EXPECT_DOUBLE_EQ(52.5, scale.anchors.bad);
    EXPECT_DOUBLE_EQ(71.25, scale.anchors.good);
    EXPECT_GT(scale.anchors.average, scale.anchors.bad);
    EXPECT_LT(scale.anchors.average, scale.anchors.good);
    EXPECT_FALSE(scale.fromProfile);
    EXPECT_TRUE(scale.profile.empty());
}

TEST(ReportLevelScale, AProfileThatDoesNotLoadIsRefused) {
    const CoverageGroup g = LevelCells({{5, 50.0}, {5, 70.0}});
    ReportLevelScale scale;
    std::string error;
    EXPECT_FALSE(Report_LevelScale(g, 0, 2, "no such profile here", scale, error));
    EXPECT_EQ("Could not load the color profile 'no such profile here'.", error);
    error.clear();
    EXPECT_FALSE(Report_CheckProfile("no such profile here", error));
    EXPECT_NE(std::string::npos, error.find("no such profile here"));
    EXPECT_TRUE(Report_CheckProfile("", error));  // Auto
}

}  // namespace
