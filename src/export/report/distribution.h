#pragma once
// The distribution of one channel's values in a report: a histogram and the
// cumulative share, with the share of values meeting the channel's threshold
// counted exactly as the cells count it (Coverage_Meets), not read off the
// bins. Levels and MER on a linear axis with bins of a fixed width (1 dB and
// 0.5 dB, wider only where the values spread over more than 60 bins); error
// ratios on a log axis with four bins per decade, the error-free values (0,
// which a log axis cannot show) as a bar of their own.
#include <cstdint>
#include <string>
#include <vector>

#include "coverage/coverage.h"

enum class ReportValueKind { None, Level, Mer, ErrorRatio };

// Which channels a report shows the distribution of: the level, MER and BER.
ReportValueKind Report_ValueKind(const CoverageChannel& channel);

constexpr int kReportMaxLinearBins = 60;
constexpr int kReportBinsPerDecade = 4;
constexpr int kReportMaxDecades = 12;  // below the highest value's decade; lower values join the first bin

struct ReportDistribution {
    std::string channel;  // display name, Latin-1
    ReportValueKind kind = ReportValueKind::None;
    bool logAxis = false;
    // A stored value times scale is the value the axis shows (1e-6 for a
    // channel counted in "[10-6]": its BER is shown as the ratio).
    double scale = 1.0;
    // Bin i covers [first + i width, first + (i + 1) width) of the shown
    // value (linear) or of its base-10 logarithm (log axis).
    double first = 0.0;
    double width = 1.0;
    std::vector<std::int64_t> counts;
    std::int64_t zeros = 0;  // log axis: values 0 (or below), left of the axis
    std::int64_t total = 0;
    CoverageRule rule;       // the channel's threshold, in the stored unit
    std::int64_t meeting = 0;  // values meeting the threshold

    // NaN without threshold or values.
    double shareMeeting() const;
    // Share of the values below the upper edge of each bin (the zeros
    // included on a log axis).
    std::vector<double> cumulative() const;
    // The largest share of one bar (a bin or the zeros).
    double largestShare() const;
};

// The distribution of values (in the channel's stored unit).
ReportDistribution Report_Distribution(const CoverageChannel& channel, ReportValueKind kind,
                                       const std::vector<double>& values);

// The range of the x axis a chart of d shows (shown values, or their
// logarithm on a log axis): its bins, on a log axis with the bar of the
// error-free values left of them, widened to the threshold where it lies
// near (a BER of 2e-4 beside values near 1e-6); a threshold so far off that
// the values would shrink to a line stays outside.
void Report_AxisRange(const ReportDistribution& d, double& from, double& to);
