#pragma once
// The statistics of one channel in one cell: count, extremes, mean, median,
// spread, the share of samples that meet the channel's threshold and, for a
// level channel, the location probability against the planning's minimum
// median field strength, with the cell's class. docs/coverage.md gives every
// formula and its source.
#include <cstddef>
#include <string>
#include <vector>

// Location variability of the planning (GE06, ITU-R P.1546 for digital
// broadcasting): used where a cell has too few samples for its own spread.
constexpr double kCoveragePlanningSigmaDb = 5.5;
// From this many valid values on a cell's own standard deviation is used.
constexpr int kCoverageOwnSigmaSamples = 10;
constexpr double kCoverageGood = 0.95;        // location probability of "good" coverage
constexpr double kCoverageAcceptable = 0.70;  // and of "acceptable" coverage
constexpr int kCoverageDefaultMinSamples = 5;

enum class CoverageClass { None, Good, Acceptable, Poor, Insufficient };
inline constexpr int kCoverageClassCount = 5;

// "good", "acceptable", "poor", "insufficient"; "" for None (no threshold).
const char* Coverage_ClassName(CoverageClass c);

// How a channel is judged in a cell.
struct CoverageRule {
    bool hasThreshold = false;
    double threshold = 0.0;  // in the channel's unit as stored (a BER of 2e-4 is 200 in a "[10-6]" channel)
    int ratingKind = 0;      // the descriptor's display kind: 0, 3 higher is better, 1 lower, 2 nearer zero
    bool level = false;      // a level channel: location probability instead of the share as class measure
    int minSamples = kCoverageDefaultMinSamples;
};

struct ChannelStatistics {
    int n = 0;               // valid values
    double min = 0.0, max = 0.0, mean = 0.0, median = 0.0;
    double stddev = 0.0;     // sample standard deviation (n - 1); NaN below two values
    double shareOk = 0.0;    // NaN without threshold or values
    double sigma = 0.0;      // the sigma the location probability used; NaN when none was computed
    double locationProbability = 0.0;  // NaN when none was computed
    CoverageClass cls = CoverageClass::None;
};

// True when a value meets the threshold: at least it when higher is better, at
// most it when lower is better, at most it in magnitude for nearer zero.
bool Coverage_Meets(double value, double threshold, int ratingKind);

// Phi, the standard normal distribution function, as 0.5 erfc(-z / sqrt 2).
double Coverage_NormalCdf(double z);

// The statistics of the valid values of one channel in one cell; values is
// sorted in place.
ChannelStatistics Coverage_Statistics(std::vector<double>& values, const CoverageRule& rule);

// The judgement of a cell from its count, median and spread (n, median and
// stddev set) and the number of values meeting the threshold: share_ok, the
// sigma and location probability of a level channel, and the class. Whoever
// aggregated the values (this module or a database), the cell is judged here.
void Coverage_Judge(ChannelStatistics& s, std::size_t ok, const CoverageRule& rule);
