#pragma once
// The square cells of a coverage analysis: a metric grid on one UTM zone,
// chosen once per analysis from the centre of the drives, so that the cells
// of every frequency and channel line up and a drive across a zone border
// stays on one grid. Cell (x, y) covers easting [x s, (x + 1) s) and
// northing [y s, (y + 1) s) of that zone for a cell size s in metres.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "coverage/utm.h"

// The cell sizes an analysis offers, in metres; 100 m is the planning pixel.
inline constexpr std::array<int, 4> kCoverageCellSizes = {25, 50, 100, 200};
constexpr int kCoverageDefaultCellSize = 100;

struct GeoPoint {
    double latitude = 0.0;
    double longitude = 0.0;
};

struct CoverageGrid {
    UtmZone zone;
    int cellSize = kCoverageDefaultCellSize;
};

struct CellIndex {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const CellIndex&) const = default;
    auto operator<=>(const CellIndex&) const = default;
};

bool Grid_IsCellSize(int metres);

// The grid on the zone of the centre of the given positions (longitudes
// averaged on the circle, so a drive across 180 degrees is centred right);
// zone 31 N for none.
CoverageGrid Grid_ForPositions(const std::vector<GeoPoint>& points, int cellSize);

CellIndex Grid_CellOf(const CoverageGrid& grid, double latitude, double longitude);

// The cell's corners in WGS 84, counter-clockwise from south-west (south-west,
// south-east, north-east, north-west).
std::array<GeoPoint, 4> Grid_CellCorners(const CoverageGrid& grid, const CellIndex& cell);

// "<EPSG>-<size>-<x>-<y>", for example "32632-100-6915-53347": unique over
// every analysis on the same zone and size.
std::string Grid_CellId(const CoverageGrid& grid, const CellIndex& cell);
