#include "export/report/distribution.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "coverage/cellstats.h"
#include "coverage/thresholds.h"

namespace {

// The next width of the 1, 2, 5 series above w.
double NextWidth(double w) {
    const double decade = std::pow(10.0, std::floor(std::log10(w) + 1e-9));
    const double m = w / decade;
    if (m < 1.5) return 2.0 * decade;
    if (m < 3.5) return 5.0 * decade;
    return 10.0 * decade;
}

std::size_t BinOf(double x, double first, double width, std::size_t bins) {
    const double k = std::floor((x - first) / width);
    if (!(k > 0.0)) return 0;
    return std::min(static_cast<std::size_t>(std::min(k, 1e9)), bins - 1);
}

void Linear(ReportDistribution& d, const std::vector<double>& values, double baseWidth) {
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    double width = baseWidth;
    double first = std::floor(*lo / width) * width;
    // Values that overflow every width (hostile files) end in one bin.
    while (std::isfinite(width) && (*hi - first) / width >= kReportMaxLinearBins) {
        width = NextWidth(width);
        first = std::floor(*lo / width) * width;
    }
    const double last = std::floor((*hi - first) / width);
    std::size_t bins = 1;
    if (std::isfinite(first) && last > 0.0 && last < kReportMaxLinearBins) bins = static_cast<std::size_t>(last) + 1;
    d.first = std::isfinite(first) ? first : *lo;
    d.width = std::isfinite(width) ? width : baseWidth;
    d.counts.assign(bins, 0);
    for (double v : values) ++d.counts[BinOf(v, d.first, d.width, bins)];
}

void Logarithmic(ReportDistribution& d, const std::vector<double>& values) {
    double lowest = std::numeric_limits<double>::infinity(), highest = 0.0;
    for (double v : values) {
        const double shown = v * d.scale;
        if (shown > 0.0) {
            lowest = std::min(lowest, shown);
            highest = std::max(highest, shown);
        }
    }
    d.width = 1.0 / kReportBinsPerDecade;
    if (highest <= 0.0) {  // error-free throughout
        d.zeros = static_cast<std::int64_t>(values.size());
        d.first = std::floor(std::log10(d.rule.hasThreshold && d.rule.threshold > 0.0 ? d.rule.threshold * d.scale : 1e-6));
        d.counts.assign(kReportBinsPerDecade, 0);
        return;
    }
    const double top = std::floor(std::log10(highest) * kReportBinsPerDecade) / kReportBinsPerDecade;
    d.first = std::max(std::floor(std::log10(lowest) * kReportBinsPerDecade) / kReportBinsPerDecade,
                       std::floor(top) - kReportMaxDecades);
    d.counts.assign(static_cast<std::size_t>(std::lround((top - d.first) * kReportBinsPerDecade)) + 1, 0);
    for (double v : values) {
        const double shown = v * d.scale;
        if (shown > 0.0) ++d.counts[BinOf(std::log10(shown), d.first, d.width, d.counts.size())];
        else ++d.zeros;
    }
}

}  // namespace

ReportValueKind Report_ValueKind(const CoverageChannel& channel) {
    if (channel.level) return ReportValueKind::Level;
    if (channel.name.rfind("MER", 0) == 0) return ReportValueKind::Mer;
    if (channel.name.rfind("BER", 0) == 0) return ReportValueKind::ErrorRatio;
    return ReportValueKind::None;
}

double ReportDistribution::shareMeeting() const {
    if (!rule.hasThreshold || total == 0) return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(meeting) / static_cast<double>(total);
}

std::vector<double> ReportDistribution::cumulative() const {
    std::vector<double> out;
    std::int64_t below = zeros;
    for (std::int64_t c : counts) {
        below += c;
        out.push_back(total > 0 ? static_cast<double>(below) / static_cast<double>(total) : 0.0);
    }
    return out;
}

double ReportDistribution::largestShare() const {
    std::int64_t most = zeros;
    for (std::int64_t c : counts) most = std::max(most, c);
    return total > 0 ? static_cast<double>(most) / static_cast<double>(total) : 0.0;
}

ReportDistribution Report_Distribution(const CoverageChannel& channel, ReportValueKind kind,
                                       const std::vector<double>& values) {
    ReportDistribution d;
    d.channel = channel.name;
    d.kind = kind;
    d.rule = channel.rule;
    d.total = static_cast<std::int64_t>(values.size());
    if (kind == ReportValueKind::ErrorRatio) {
        d.logAxis = true;
        d.scale = std::pow(10.0, -Threshold_TenPower(channel.name));
    }
    if (d.rule.hasThreshold)
        for (double v : values) d.meeting += Coverage_Meets(v, d.rule.threshold, d.rule.ratingKind) ? 1 : 0;
    const double baseWidth = kind == ReportValueKind::Mer ? 0.5 : 1.0;
    d.width = d.logAxis ? 1.0 / kReportBinsPerDecade : baseWidth;  // what the caption names, values or not
    if (values.empty()) return d;
    if (d.logAxis) Logarithmic(d, values);
    else Linear(d, values, baseWidth);
    return d;
}

void Report_AxisRange(const ReportDistribution& d, double& from, double& to) {
    to = d.first + d.width * static_cast<double>(d.counts.size());
    from = d.logAxis ? d.first - 1.5 * d.width : d.first;
    if (!d.rule.hasThreshold) return;
    const double shown = d.rule.threshold * d.scale;
    if (d.logAxis) {
        if (!(shown > 0.0)) return;
        const double at = std::log10(shown);
        if (at >= to && at < to + kReportMaxDecades) to = (std::floor(at / d.width) + 1.0) * d.width;
        return;
    }
    const double most = d.width * kReportMaxLinearBins;
    if (shown < from && shown > from - most) from = (std::floor(shown / d.width) - 1.0) * d.width;
    if (shown >= to && shown < to + most) to = (std::floor(shown / d.width) + 1.0) * d.width;
}
