#pragma once
// What a report needs of the samples besides the cells and summaries of the
// analysis: per group the driven track on the coverage grid and the
// distributions of the level, MER and BER. It reads the samples while the
// analysis runs (a sample sink beside the GeoPackage's samples layer), so
// both come from one reading and the values are those the cells counted.
#include <cstddef>
#include <string>
#include <vector>

#include "coverage/coverage.h"
#include "export/report/distribution.h"
#include "export/report/mapframe.h"

// Track points closer than this (metres) to the line kept are left out while
// reading: far below what a map page shows.
constexpr double kReportTrackToleranceM = 1.0;

// A stretch of one file's track in UTM metres; filled-in positions (between
// two fixes) form stretches of their own.
struct ReportTrackLine {
    bool filledIn = false;
    std::vector<MapPoint> points;
};

struct ReportGroupData {
    bool read = false;  // the group's samples were seen
    std::string distanceUnit;     // of the group's record files ("kilometers [km]" or "miles [mi]")
    std::vector<int> decimals;    // per channel, as recorded
    std::vector<ReportTrackLine> track;
    std::vector<ReportDistribution> distributions;  // in channel order
};

class ReportCollector : public CoverageSampleSink {
public:
    explicit ReportCollector(const CoveragePlan& plan) : groups_(plan.groups.size()) {}
    bool writeSamples(const CoverageSamples& samples, std::string& error) override;
    const ReportGroupData& group(std::size_t g) const { return groups_[g]; }

private:
    std::vector<ReportGroupData> groups_;
};

// The stretches of a file's samples [first, end) on the grid.
std::vector<ReportTrackLine> Report_TrackLines(const CoverageGrid& grid, const std::vector<KmzSample>& samples,
                                               std::size_t first, std::size_t end);
