#pragma once
// What a summary says of a group's cells beyond the counts by class: the
// typical cell (the median of the cells' medians), the worst cells of a
// channel, and one class per cell over every judged channel (the class a
// map shows). Only cells with at least the channel's minimum sample count
// of valid values are ranked: fewer values say too little of a cell.
#include <cstddef>
#include <vector>

#include "coverage/coverage.h"

// True when median a is worse than median b for a channel's rating kind:
// lower where higher is better (and for states), higher where lower is
// better, larger in magnitude where nearer zero is better.
bool Coverage_Worse(double a, double b, int ratingKind);

// The cells (indices into group.cells) with enough valid values of the
// channel, worst median first; equal medians in cell order. At most count.
std::vector<std::size_t> Coverage_WorstCells(const CoverageGroup& group, std::size_t channel, std::size_t count);

// The median of the medians of the cells with enough valid values of the
// channel (the mean of the two middle ones for an even count); NaN for none.
double Coverage_MedianOfMedians(const CoverageGroup& group, std::size_t channel);

// The class of a cell over every channel with a threshold: the worst of
// their classes (poor before acceptable before good before insufficient,
// the order in which the GeoPackage style draws them, so that a map shows
// what QGIS shows); None when no channel has a threshold.
CoverageClass Coverage_CellClass(const CoverageGroup& group, const CoverageCell& cell);
