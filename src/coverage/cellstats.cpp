#include "coverage/cellstats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

CoverageClass ClassOf(double measure) {
    if (measure >= kCoverageGood) return CoverageClass::Good;
    if (measure >= kCoverageAcceptable) return CoverageClass::Acceptable;
    return CoverageClass::Poor;
}

}  // namespace

const char* Coverage_ClassName(CoverageClass c) {
    switch (c) {
        case CoverageClass::Good: return "good";
        case CoverageClass::Acceptable: return "acceptable";
        case CoverageClass::Poor: return "poor";
        case CoverageClass::Insufficient: return "insufficient";
        case CoverageClass::None: break;
    }
    return "";
}

bool Coverage_Meets(double value, double threshold, int ratingKind) {
    switch (ratingKind) {
        case 1: return value <= threshold;
        case 2: return std::abs(value) <= std::abs(threshold);
        default: return value >= threshold;
    }
}

double Coverage_NormalCdf(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

ChannelStatistics Coverage_Statistics(std::vector<double>& values, const CoverageRule& rule) {
    ChannelStatistics s;
    s.n = static_cast<int>(values.size());
    s.stddev = kNaN;
    if (s.n == 0) {
        s.min = s.max = s.mean = s.median = kNaN;
        Coverage_Judge(s, 0, rule);
        return s;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.min = values.front();
    s.max = values.back();
    // The median of an even count is the mean of the two middle values.
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    double sum = 0.0;
    for (double v : values) sum += v;
    s.mean = sum / static_cast<double>(n);
    if (n >= 2) {
        double squares = 0.0;
        for (double v : values) squares += (v - s.mean) * (v - s.mean);
        s.stddev = std::sqrt(squares / static_cast<double>(n - 1));
    }
    std::size_t ok = 0;
    if (rule.hasThreshold)
        for (double v : values) ok += Coverage_Meets(v, rule.threshold, rule.ratingKind) ? 1 : 0;
    Coverage_Judge(s, ok, rule);
    return s;
}

void Coverage_Judge(ChannelStatistics& s, std::size_t ok, const CoverageRule& rule) {
    s.shareOk = s.sigma = s.locationProbability = kNaN;
    if (!rule.hasThreshold) {
        s.cls = CoverageClass::None;
        return;
    }
    if (s.n == 0) {
        s.cls = CoverageClass::Insufficient;
        return;
    }
    s.shareOk = static_cast<double>(ok) / static_cast<double>(s.n);
    double measure = s.shareOk;
    if (rule.level) {
        s.sigma = s.n >= kCoverageOwnSigmaSamples ? s.stddev : kCoveragePlanningSigmaDb;
        const double margin = s.median - rule.threshold;
        // A cell without spread is served everywhere or nowhere (exactly at the threshold: half).
        double z = 0.0;
        if (s.sigma > 0.0) z = margin / s.sigma;
        else if (margin != 0.0) z = margin > 0.0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
        s.locationProbability = Coverage_NormalCdf(z);
        measure = s.locationProbability;
    }
    s.cls = s.n < rule.minSamples ? CoverageClass::Insufficient : ClassOf(measure);
}
