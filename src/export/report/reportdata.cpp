#include "export/report/reportdata.h"

namespace {

void Finish(std::vector<ReportTrackLine>& lines, ReportTrackLine& line) {
    if (line.points.size() >= 2) {
        line.points = ReportMap_Simplify(line.points, kReportTrackToleranceM);
        lines.push_back(std::move(line));
    }
    line = ReportTrackLine{};
}

}  // namespace

std::vector<ReportTrackLine> Report_TrackLines(const CoverageGrid& grid, const std::vector<KmzSample>& samples,
                                               std::size_t first, std::size_t end) {
    std::vector<ReportTrackLine> lines;
    ReportTrackLine line;
    for (std::size_t i = first; i < end; ++i) {
        const KmzSample& s = samples[i];
        if (s.position == kKmzNoPosition) continue;
        MapPoint p;
        Utm_Forward(grid.zone, s.latitude, s.longitude, p.x, p.y);
        const bool filled = s.position == kKmzInterpolatedPosition;
        if (!line.points.empty() && line.filledIn != filled) {
            // The next stretch starts where this one ends, so the track has no hole.
            const MapPoint joint = line.points.back();
            Finish(lines, line);
            line.points.push_back(joint);
        }
        line.filledIn = filled;
        line.points.push_back(p);
    }
    Finish(lines, line);
    return lines;
}

bool ReportCollector::writeSamples(const CoverageSamples& s, std::string&) {
    ReportGroupData& g = groups_[static_cast<std::size_t>(&s.group - s.plan.groups.data())];
    g.read = true;
    g.track.clear();
    g.distributions.clear();
    g.distanceUnit = s.data.distanceUnit;
    g.decimals.clear();
    for (const auto& v : s.data.values) g.decimals.push_back(v.decimals);
    if (s.plan.gridChosen) {
        std::size_t begin = 0;
        for (std::size_t end : s.fileEnd) {
            for (auto& line : Report_TrackLines(s.plan.grid, s.data.samples, begin, end)) g.track.push_back(std::move(line));
            begin = end;
        }
    }
    const CoverageCountedValues counted(s.data, s.leftOut);
    std::vector<double> values;
    for (std::size_t c = 0; c < s.group.channels.size(); ++c) {
        const ReportValueKind kind = Report_ValueKind(s.group.channels[c]);
        if (kind == ReportValueKind::None) continue;
        values.clear();
        double v = 0.0;
        for (std::size_t i = 0; i < s.data.samples.size(); ++i)
            if (counted.value(i, c, v)) values.push_back(v);
        g.distributions.push_back(Report_Distribution(s.group.channels[c], kind, values));
    }
    return true;
}
