// The worst cells, the median of medians and a cell's class over its
// channels, on hand-made cells whose answers are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "coverage/cellranking.h"

namespace {

struct Stat {
    int n;
    double median;
    CoverageClass cls;
};

// A group with one channel per rating kind: 0 higher is better, 1 lower is
// better, 2 nearer zero is better. Cells of one row each.
CoverageGroup MakeGroup(const std::vector<std::vector<Stat>>& cells, const std::vector<bool>& thresholds = {true, true, false}) {
    CoverageGroup g;
    for (int kind = 0; kind < 3; ++kind) {
        CoverageChannel c;
        c.name = "kind " + std::to_string(kind);
        c.rule.ratingKind = kind;
        c.rule.minSamples = 5;
        c.rule.hasThreshold = thresholds[static_cast<std::size_t>(kind)];
        g.channels.push_back(c);
    }
    std::int64_t x = 0;
    for (const auto& row : cells) {
        CoverageCell cell;
        cell.index = {x++, 0};
        for (const Stat& s : row) {
            ChannelStatistics st;
            st.n = s.n;
            st.median = s.median;
            st.cls = s.cls;
            cell.channels.push_back(st);
        }
        g.cells.push_back(cell);
    }
    return g;
}

constexpr CoverageClass G = CoverageClass::Good, A = CoverageClass::Acceptable, P = CoverageClass::Poor,
                        I = CoverageClass::Insufficient, N = CoverageClass::None;

// Cells 0..7; cell 1 has too few values in every channel and is never ranked,
// however bad its medians.
const std::vector<std::vector<Stat>> kCells = {
    {{9, 60.0, G}, {9, 10.0, G}, {9, -3.0, N}},
    {{4, 20.0, I}, {4, 900.0, I}, {4, 50.0, N}},
    {{5, 58.0, A}, {5, 300.0, P}, {5, 2.0, N}},
    {{7, 58.0, P}, {7, 250.0, A}, {7, -2.0, N}},
    {{12, 70.0, G}, {12, 0.0, G}, {12, 0.5, N}},
    {{6, 62.0, G}, {6, 300.0, P}, {6, 4.0, N}},
    {{8, 57.0, P}, {8, 5.0, G}, {8, -4.0, N}},
    {{5, 65.0, G}, {5, 1.0, G}, {5, 0.0, N}},
};

TEST(CellRanking, WorstCellsByRatingKindWithTiesInCellOrder) {
    const CoverageGroup g = MakeGroup(kCells);
    struct Case {
        std::size_t channel, count;
        std::vector<std::size_t> worst;
    } cases[] = {
        // Lowest first; 58 twice keeps cell order (2 before 3); cell 1's 20 is not ranked.
        {0, 5, {6, 2, 3, 0, 5}},
        // Highest first; 300 twice in cell order; cell 1's 900 is not ranked.
        {1, 5, {2, 5, 3, 0, 6}},
        // Largest magnitude first: 4 and -4 (equal magnitude, cell order), -3, then 2 and -2.
        {2, 5, {5, 6, 0, 2, 3}},
        {0, 2, {6, 2}},
        // More asked for than there are ranked cells: all seven, worst first.
        {0, 20, {6, 2, 3, 0, 5, 7, 4}},
        {1, 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.worst, Coverage_WorstCells(g, c.channel, c.count)) << "channel " << c.channel << " count " << c.count;
}

TEST(CellRanking, MedianOfTheRankedCellsMedians) {
    const CoverageGroup g = MakeGroup(kCells);
    // Ranked level medians 60 58 58 70 62 57 65 -> sorted 57 58 58 60 62 65 70: 60 (cell 1's 20 left out).
    EXPECT_DOUBLE_EQ(60.0, Coverage_MedianOfMedians(g, 0));
    // BER 10 300 250 0 300 5 1 -> 0 1 5 10 250 300 300: 10.
    EXPECT_DOUBLE_EQ(10.0, Coverage_MedianOfMedians(g, 1));
    // An even count takes the mean of the two middle ones: cells 0, 2, 3, 4 -> 58, 58, 60, 70: 59.
    const CoverageGroup even = MakeGroup({kCells[0], kCells[1], kCells[2], kCells[3], kCells[4]});
    EXPECT_DOUBLE_EQ(59.0, Coverage_MedianOfMedians(even, 0));
    // No cell with enough values: none.
    const CoverageGroup thin = MakeGroup({kCells[1]});
    EXPECT_TRUE(std::isnan(Coverage_MedianOfMedians(thin, 0)));
    EXPECT_TRUE(Coverage_WorstCells(thin, 0, 5).empty());
}

TEST(CellRanking, ACellShowsTheWorstClassOfItsJudgedChannels) {
    struct Case {
        const char* what;
        std::vector<Stat> stats;
        std::vector<bool> thresholds;
        CoverageClass expected;
    } cases[] = {
        {"poor level beats good BER", {{9, 0, P}, {9, 0, G}, {9, 0, N}}, {true, true, false}, P},
        {"acceptable BER beats good level", {{9, 0, G}, {9, 0, A}, {9, 0, N}}, {true, true, false}, A},
        {"good beats insufficient", {{9, 0, G}, {3, 0, I}, {9, 0, N}}, {true, true, false}, G},
        {"only insufficient", {{3, 0, I}, {3, 0, I}, {3, 0, N}}, {true, true, false}, I},
        // A channel without threshold does not count, whatever its statistics say.
        {"unjudged channel left out", {{9, 0, G}, {9, 0, P}, {9, 0, P}}, {true, false, false}, G},
        {"no threshold at all", {{9, 0, N}, {9, 0, N}, {9, 0, N}}, {false, false, false}, N},
    };
    for (const Case& c : cases) {
        const CoverageGroup g = MakeGroup({c.stats}, c.thresholds);
        EXPECT_EQ(c.expected, Coverage_CellClass(g, g.cells[0])) << c.what;
    }
}

}  // namespace
