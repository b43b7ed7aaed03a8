#pragma once
// Value statistics: count, valid count, worst, best and average of one value channel.
#include <cstdint>
#include <vector>

#include "records/recordtypes.h"

struct CellStatistics {
    std::int32_t count = 0;
    std::int32_t validCount = 0;
    double worst = 0.0;
    double best = 0.0;
    double average = 0.0;
};

// One zeroed record per value descriptor.
std::vector<CellStatistics> Recording_NewStatistics(int count);
// Accumulates one (valid, value) entry; ratingKind is the descriptor's displayKind.
void updateStatistics(CellStatistics& statistics, int ratingKind, double valid, double value);
// Accumulates every value of a sample, descriptor by descriptor.
void Recording_AccumulateValues(std::vector<CellStatistics>& statistics, const DtrValueDescriptor* descriptors,
                                int count, const RecordSample& sample);
