#include "coverage/grid.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

bool Grid_IsCellSize(int metres) {
    return std::find(kCoverageCellSizes.begin(), kCoverageCellSizes.end(), metres) != kCoverageCellSizes.end();
}

CoverageGrid Grid_ForPositions(const std::vector<GeoPoint>& points, int cellSize) {
    CoverageGrid grid;
    grid.cellSize = cellSize;
    if (points.empty()) {
        grid.zone = Utm_ZoneOf(0.0, 3.0);
        return grid;
    }
    double lat = 0.0, sx = 0.0, sy = 0.0;
    constexpr double kRad = 3.14159265358979323846 / 180.0;
    for (const GeoPoint& p : points) {
        lat += p.latitude;
        sx += std::cos(p.longitude * kRad);
        sy += std::sin(p.longitude * kRad);
    }
    lat /= static_cast<double>(points.size());
    const double lon = (sx == 0.0 && sy == 0.0) ? points.front().longitude : std::atan2(sy, sx) / kRad;
    grid.zone = Utm_ZoneOf(lat, lon);
    return grid;
}

CellIndex Grid_CellOf(const CoverageGrid& grid, double latitude, double longitude) {
    double e = 0.0, n = 0.0;
    Utm_Forward(grid.zone, latitude, longitude, e, n);
    const double s = grid.cellSize;
    return {static_cast<std::int64_t>(std::floor(e / s)), static_cast<std::int64_t>(std::floor(n / s))};
}

std::array<GeoPoint, 4> Grid_CellCorners(const CoverageGrid& grid, const CellIndex& cell) {
    const double s = grid.cellSize;
    const double e0 = static_cast<double>(cell.x) * s, n0 = static_cast<double>(cell.y) * s;
    const double es[4] = {e0, e0 + s, e0 + s, e0};
    const double ns[4] = {n0, n0, n0 + s, n0 + s};
    std::array<GeoPoint, 4> corners;
    for (int i = 0; i < 4; ++i) Utm_Inverse(grid.zone, es[i], ns[i], corners[i].latitude, corners[i].longitude);
    return corners;
}

std::string Grid_CellId(const CoverageGrid& grid, const CellIndex& cell) {
    return Text_Format("%d-%d-%lld-%lld", grid.zone.epsg(), grid.cellSize, static_cast<long long>(cell.x),
                       static_cast<long long>(cell.y));
}
