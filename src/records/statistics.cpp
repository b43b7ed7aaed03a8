#include "records/statistics.h"

#include <algorithm>
#include <cmath>

namespace {

// Rating kinds: how a value ranks against another (the descriptor's displayKind).
constexpr int kLowerIsBetter = 1;  // error rates, deviations
constexpr int kByMagnitude = 2;    // closer to zero is better
// 0 (higher is better), 3 (sync states) and any unknown kind rank higher values better.

}  // namespace

std::vector<CellStatistics> Recording_NewStatistics(int count) {
    return std::vector<CellStatistics>(static_cast<std::size_t>(std::max(count, 0)));
}

void updateStatistics(CellStatistics& statistics, int ratingKind, double valid, double value) {
    ++statistics.count;
    if (valid != 1.0) return;
    ++statistics.validCount;
    if (statistics.validCount == 1) {
        statistics.average = value;
        statistics.worst = statistics.best = ratingKind == kByMagnitude ? std::fabs(value) : value;
        return;
    }
    statistics.average = ((statistics.validCount - 1) * statistics.average + value) / statistics.validCount;
    switch (ratingKind) {
        case kLowerIsBetter:
            statistics.worst = std::max(statistics.worst, value);
            statistics.best = std::min(statistics.best, value);
            break;
        case kByMagnitude:
            statistics.worst = std::max(statistics.worst, std::fabs(value));
            statistics.best = std::min(statistics.best, std::fabs(value));
            break;
        default:
            statistics.worst = std::min(statistics.worst, value);
            statistics.best = std::max(statistics.best, value);
            break;
    }
}

void Recording_AccumulateValues(std::vector<CellStatistics>& statistics, const DtrValueDescriptor* descriptors,
                                int count, const RecordSample& sample) {
    if (!descriptors || count <= 0) return;
    // A sample or statistics array shorter than the descriptor list stops at its end instead of reading past it.
    const std::size_t n = std::min({static_cast<std::size_t>(count), statistics.size(), sample.values.size() / 2});
    for (std::size_t i = 0; i < n; ++i) {
        updateStatistics(statistics[i], descriptors[i].displayKind, sample.values[2 * i], sample.values[2 * i + 1]);
    }
}
