#include "coverage/cellranking.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool Ranked(const CoverageGroup& group, const CoverageCell& cell, std::size_t channel) {
    return cell.channels[channel].n >= group.channels[channel].rule.minSamples;
}

// Higher is worse.
int Severity(CoverageClass c) {
    switch (c) {
        case CoverageClass::Poor: return 4;
        case CoverageClass::Acceptable: return 3;
        case CoverageClass::Good: return 2;
        case CoverageClass::Insufficient: return 1;
        case CoverageClass::None: break;
    }
    return 0;
}

}  // namespace

bool Coverage_Worse(double a, double b, int ratingKind) {
    switch (ratingKind) {
        case 1: return a > b;
        case 2: return std::abs(a) > std::abs(b);
        default: return a < b;
    }
}

std::vector<std::size_t> Coverage_WorstCells(const CoverageGroup& group, std::size_t channel, std::size_t count) {
    std::vector<std::size_t> cells;
    for (std::size_t i = 0; i < group.cells.size(); ++i)
        if (Ranked(group, group.cells[i], channel)) cells.push_back(i);
    const int kind = group.channels[channel].rule.ratingKind;
    auto worse = [&](std::size_t a, std::size_t b) {
        return Coverage_Worse(group.cells[a].channels[channel].median, group.cells[b].channels[channel].median, kind);
    };
    const std::size_t keep = std::min(count, cells.size());
    std::partial_sort(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(keep), cells.end(),
                      [&](std::size_t a, std::size_t b) { return worse(a, b) || (!worse(b, a) && a < b); });
    cells.resize(keep);
    return cells;
}

double Coverage_MedianOfMedians(const CoverageGroup& group, std::size_t channel) {
    std::vector<double> medians;
    for (const CoverageCell& cell : group.cells)
        if (Ranked(group, cell, channel)) medians.push_back(cell.channels[channel].median);
    if (medians.empty()) return std::numeric_limits<double>::quiet_NaN();
    const std::size_t n = medians.size();
    std::sort(medians.begin(), medians.end());
    return n % 2 ? medians[n / 2] : (medians[n / 2 - 1] + medians[n / 2]) / 2.0;
}

CoverageClass Coverage_CellClass(const CoverageGroup& group, const CoverageCell& cell) {
    CoverageClass worst = CoverageClass::None;
    for (std::size_t c = 0; c < group.channels.size(); ++c) {
        if (!group.channels[c].rule.hasThreshold) continue;
        if (Severity(cell.channels[c].cls) > Severity(worst)) worst = cell.channels[c].cls;
    }
    return worst;
}
