#pragma once
// The square map area of a KMZ export and its quadtree: bounds of an area for
// the regions of the globe viewer, the four quadrants of a split, the depth
// of the pyramid and the naming of cells and tiles.
#include <string>
#include <vector>

#include "export/kmz/kmzload.h"

struct MapArea {
    double side = 0.0;             // km
    double latitudeExtent = 0.0;   // degrees
    double longitudeExtent = 0.0;  // degrees
    double centreLongitude = 0.0;  // -180 (exclusive) .. 180
    double centreLatitude = 0.0;
};

constexpr double kKmzMaxSideKm = 15000.0;
constexpr double kKmzMinExtent = 0.00001;  // degrees
constexpr int kKmzMaxDepth = 25;
constexpr int kKmzMaxCoarseLevels = 6;  // 4096 cells = 4^6 per tile document
constexpr int kKmzTileGrid = 64;        // sqrt(4096)
constexpr int kKmzCellPixels = 20;      // a cell is meant to cover 20 to 40 pixels on screen

// Quadrant digits of a split, in list order.
constexpr char kKmzNorthWest = '2';
constexpr char kKmzNorthEast = '4';
constexpr char kKmzSouthWest = '6';
constexpr char kKmzSouthEast = '8';
inline constexpr char kKmzQuadrants[4] = {kKmzNorthWest, kKmzNorthEast, kKmzSouthWest, kKmzSouthEast};

// x - 360 above 180, x + 360 at or below -180.
double MapArea_Wrap(double longitude);

struct MapBounds {
    double north = 0.0, south = 0.0, east = 0.0, west = 0.0;
};
MapBounds MapArea_Bounds(const MapArea& area);

// The smallest arc of the circle of longitudes that covers every given
// longitude: from west eastward over extent degrees (0 for one longitude).
// It is the complement of the widest gap between neighbouring longitudes, the
// gap across the 180 degree meridian included, so a drive across the meridian
// gets a narrow arc whose west end lies east of its east end.
struct LongitudeArc {
    double west = 0.0;
    double extent = 0.0;
};
LongitudeArc MapArea_CoveringArc(std::vector<double> longitudes);

// The square area around an arc of longitudes and a range of latitudes.
MapArea MapArea_OfArc(const LongitudeArc& arc, double minLatitude, double maxLatitude);
// The square area over every sample with a position, filled-in positions
// included, so that no sample lies outside the map.
MapArea MapArea_OfDataSet(const KmzDataSet& data);

// Quadrant 0..3 (north-west, north-east, south-west, south-east) of an area.
MapArea MapArea_Quadrant(const MapArea& area, int quadrant);

// The pyramid: L levels of cells below the root, K coarse levels that cover
// the whole area, and the id of the detail tree's root tile.
struct KmzDepth {
    int levels = 1;          // L: length of every cell id
    int coarseLevels = 2;    // K
    std::string rootTileId;  // L - K + 1 zeros; empty without a detail tree
};
KmzDepth MapArea_Depth(double sideKm, double zoomMetres);

// The id of a child: the leftmost '0' replaced by digit; id itself when it has none.
std::string MapArea_ChildId(const std::string& id, char digit);
// Digits of an id that are set (not '0'), counted from the left.
int MapArea_SetDigits(const std::string& id);
// "<root tile id>-" and k + 1 zeros: the tile path of coarse level k.
std::string MapArea_LevelPath(const std::string& rootTileId, int level);
// The tile path of the document that holds the style of a cell with this id.
std::string MapArea_StyleDocOf(const std::string& cellId, const std::string& rootTileId);
// Progress of the tile tree at a tile: 100 x v / (5^len - 1), v the id read in base 5 (digit / 2).
int MapArea_TileProgress(const std::string& tileId);
