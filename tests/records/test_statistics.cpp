#include <gtest/gtest.h>

#include <cstring>

#include "records/statistics.h"

namespace {

struct Entry {
    double valid, value;
};

}  // namespace

TEST(Statistics, EachRatingKindRanksItsOwnWay) {
    // An invalid entry first: it counts, but must not become the first worst/best value.
    const Entry entries[] = {{0.0, 100.0}, {1.0, -5.0}, {1.0, 3.0}, {0.5, 50.0}, {1.0, -1.0}};
    struct Row {
        int kind;
        double worst, best;
    } rows[] = {
        {0, -5.0, 3.0},  // higher is better
        {3, -5.0, 3.0},  // sync states rank like kind 0
        {1, 3.0, -5.0},  // lower is better
        {2, 5.0, 1.0},   // closer to zero is better, by magnitude (the first value -5 too)
    };
    for (const Row& r : rows) {
        CellStatistics s;
        for (const Entry& e : entries) updateStatistics(s, r.kind, e.valid, e.value);
        EXPECT_EQ(s.count, 5) << "kind " << r.kind;
        EXPECT_EQ(s.validCount, 3) << "kind " << r.kind;
        EXPECT_DOUBLE_EQ(s.worst, r.worst) << "kind " << r.kind;
        EXPECT_DOUBLE_EQ(s.best, r.best) << "kind " << r.kind;
        EXPECT_DOUBLE_EQ(s.average, -1.0) << "kind " << r.kind;  // the mean of the signed valid values
    }
}

TEST(Statistics, AccumulateValuesUsesEachDescriptorsKind) {
    DtrValueDescriptor descriptors[2];
    std::memset(descriptors, 0, sizeof descriptors);
    descriptors[0].displayKind = 1;
    descriptors[1].displayKind = 2;
    std::vector<CellStatistics> stats = Recording_NewStatistics(2);
    ASSERT_EQ(stats.size(), 2u);

    RecordSample sample;
    sample.values = {1.0, 10.0, 1.0, -4.0};
    Recording_AccumulateValues(stats, descriptors, 2, sample);
    sample.values = {1.0, 20.0, 0.0, 0.0};
    Recording_AccumulateValues(stats, descriptors, 2, sample);
    sample.values = {1.0, 15.0, 1.0, 2.0};
    Recording_AccumulateValues(stats, descriptors, 2, sample);

    EXPECT_EQ(stats[0].count, 3);
    EXPECT_EQ(stats[0].validCount, 3);
    EXPECT_EQ(stats[0].worst, 20.0);
    EXPECT_EQ(stats[0].best, 10.0);
    EXPECT_DOUBLE_EQ(stats[0].average, 15.0);
    EXPECT_EQ(stats[1].count, 3);
    EXPECT_EQ(stats[1].validCount, 2);
    EXPECT_EQ(stats[1].worst, 4.0);
    EXPECT_EQ(stats[1].best, 2.0);
    EXPECT_DOUBLE_EQ(stats[1].average, -1.0);
}

TEST(Statistics, ShortSampleStopsAtItsLastValue) {
    DtrValueDescriptor descriptors[3];
    std::memset(descriptors, 0, sizeof descriptors);
    std::vector<CellStatistics> stats = Recording_NewStatistics(3);
    RecordSample sample;
    sample.values = {1.0, 5.0, 1.0};  // the second pair is cut short
    Recording_AccumulateValues(stats, descriptors, 3, sample);
    EXPECT_EQ(stats[0].count, 1);
    EXPECT_EQ(stats[1].count, 0);
    EXPECT_EQ(stats[2].count, 0);
    EXPECT_TRUE(Recording_NewStatistics(-1).empty());
}
