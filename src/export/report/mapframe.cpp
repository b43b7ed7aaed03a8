#include "export/report/mapframe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

constexpr std::size_t kWindow = 4096;

// Distance of p from the line through a and b (from a where they coincide).
double Offset(const MapPoint& p, const MapPoint& a, const MapPoint& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (length == 0.0) return std::hypot(p.x - a.x, p.y - a.y);
    return std::abs(dx * (a.y - p.y) - dy * (a.x - p.x)) / length;
}

}  // namespace

MapFit ReportMap_Fit(const MapBox& ground, const MapBox& paper) {
    MapFit fit;
    const double w = std::max(ground.width(), 1e-9), h = std::max(ground.height(), 1e-9);
    fit.mmPerMetre = std::min(paper.width() / w, paper.height() / h);
    fit.groundWest = ground.minX;
    fit.groundNorth = ground.maxY;
    // Centred by the true extent: a box of one point puts it in the middle.
    fit.left = paper.minX + (paper.width() - ground.width() * fit.mmPerMetre) / 2.0;
    fit.top = paper.minY + (paper.height() - ground.height() * fit.mmPerMetre) / 2.0;
    return fit;
}

double ReportMap_RoundLength(double most) {
    const double decade = std::pow(10.0, std::floor(std::log10(most)));
    const double m = most / decade;
    // A little slack for most = 2 x 10^k computed as 1.9999...
    if (m >= 5.0 - 1e-9) return 5.0 * decade;
    if (m >= 2.0 - 1e-9) return 2.0 * decade;
    return decade;
}

std::vector<MapPoint> ReportMap_Simplify(const std::vector<MapPoint>& line, double tolerance) {
    if (line.size() < 3) return line;
    std::vector<std::uint8_t> keep(line.size(), 0);
    keep.back() = 1;
    // Windows of a bounded length, their ends kept: a drive of many laps
    // over the same roads would otherwise cost the square of its samples.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t a = 0; a + 1 < line.size(); a += kWindow) {
        keep[a] = 1;
        spans.push_back({a, std::min(a + kWindow, line.size() - 1)});
    }
    // Spans still to look at, by their end points; a stack rather than recursion.
    while (!spans.empty()) {
        const auto [a, b] = spans.back();
        spans.pop_back();
        double farthest = -1.0;
        std::size_t at = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d = Offset(line[i], line[a], line[b]);
            if (d > farthest) {
                farthest = d;
                at = i;
            }
        }
        if (farthest > tolerance) {
            keep[at] = 1;
            spans.push_back({a, at});
            spans.push_back({at, b});
        }
    }
    std::vector<MapPoint> out;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (keep[i]) out.push_back(line[i]);
    return out;
}

double ReportMap_TrueNorthDegrees(const UtmZone& zone, double latitude, double longitude) {
    // The direction in which the meridian runs on the grid, from two points
    // 10 m apart along it (the series holds to far below a millimetre).
    const double step = 10.0 / 111320.0;
    const double south = std::max(latitude - step, -89.9), north = std::min(latitude + step, 89.9);
    double e1, n1, e2, n2;
    Utm_Forward(zone, south, longitude, e1, n1);
    Utm_Forward(zone, north, longitude, e2, n2);
    return std::atan2(e2 - e1, n2 - n1) * 180.0 / M_PI;
}
