#include "export/kmz/maparea.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

double MapArea_Wrap(double longitude) {
    if (longitude > 180.0) return longitude - 360.0;
    if (longitude <= -180.0) return longitude + 360.0;
    return longitude;
}

MapBounds MapArea_Bounds(const MapArea& area) {
    MapBounds b;
    b.north = area.centreLatitude + area.latitudeExtent / 2.0;
    b.south = area.centreLatitude - area.latitudeExtent / 2.0;
    b.east = MapArea_Wrap(area.centreLongitude + area.longitudeExtent / 2.0);
    b.west = MapArea_Wrap(area.centreLongitude - area.longitudeExtent / 2.0);
    return b;
}

LongitudeArc MapArea_CoveringArc(std::vector<double> longitudes) {
    LongitudeArc arc;
    if (longitudes.empty()) return arc;
    std::sort(longitudes.begin(), longitudes.end());
    // Without a wider gap inside, the gap across the meridian is left out: the
    // arc runs from the smallest to the largest longitude.
    arc.west = longitudes.front();
    arc.extent = longitudes.back() - longitudes.front();
    double widest = 360.0 - arc.extent;
    for (std::size_t i = 1; i < longitudes.size(); ++i) {
        const double gap = longitudes[i] - longitudes[i - 1];
        if (gap <= widest) continue;
        widest = gap;
        arc.west = longitudes[i];
        arc.extent = 360.0 - gap;
    }
    return arc;
}

MapArea MapArea_OfArc(const LongitudeArc& arc, double minLatitude, double maxLatitude) {
    MapArea a;
    a.centreLongitude = MapArea_Wrap(arc.west + arc.extent / 2.0);
    a.longitudeExtent = std::max(arc.extent, kKmzMinExtent);
    a.latitudeExtent = std::max(maxLatitude - minLatitude, kKmzMinExtent);
    a.centreLatitude = (minLatitude + maxLatitude) / 2.0;
    const double height = a.latitudeExtent * 12742.0 * kPi / 360.0;
    const double width = a.longitudeExtent * (6371.0 * std::cos(a.centreLatitude * kPi / 180.0)) * 2.0 * kPi / 360.0;
    if (height <= width) {
        a.latitudeExtent *= width / height;
        a.side = width;
    } else {
        a.longitudeExtent *= height / width;
        a.side = height;
    }
    return a;
}

MapArea MapArea_OfDataSet(const KmzDataSet& data) {
    std::vector<double> longitudes;
    double south = 0.0, north = 0.0;
    for (const KmzSample& s : data.samples) {
        if (s.position == kKmzNoPosition) continue;
        if (longitudes.empty()) south = north = s.latitude;
        south = std::min(south, s.latitude);
        north = std::max(north, s.latitude);
        longitudes.push_back(s.longitude);
    }
    return MapArea_OfArc(MapArea_CoveringArc(std::move(longitudes)), south, north);
}

MapArea MapArea_Quadrant(const MapArea& area, int quadrant) {
    MapArea q;
    q.side = area.side / 2.0;
    q.latitudeExtent = area.latitudeExtent / 2.0;
    q.longitudeExtent = area.longitudeExtent / 2.0;
    const bool east = quadrant == 1 || quadrant == 3;
    const bool south = quadrant >= 2;
    q.centreLongitude = MapArea_Wrap(area.centreLongitude + (east ? 1.0 : -1.0) * area.longitudeExtent / 4.0);
    q.centreLatitude = area.centreLatitude + (south ? -1.0 : 1.0) * area.latitudeExtent / 4.0;
    return q;
}

KmzDepth MapArea_Depth(double sideKm, double zoomMetres) {
    KmzDepth d;
    const double ratio = sideKm * 1000.0 / zoomMetres;
    double l = ratio > 0.0 && std::isfinite(ratio) ? std::trunc(std::log2(ratio)) : 1.0;
    l = std::min<double>(l, kKmzMaxDepth);
    l = std::max(l, 1.0);
    d.levels = static_cast<int>(l);
    d.coarseLevels = std::min(d.levels + 1, kKmzMaxCoarseLevels);
    d.rootTileId.assign(static_cast<std::size_t>(d.levels - d.coarseLevels + 1), '0');
    return d;
}

std::string MapArea_ChildId(const std::string& id, char digit) {
    std::string child = id;
    const std::size_t zero = child.find('0');
    if (zero != std::string::npos) child[zero] = digit;
    return child;
}

int MapArea_SetDigits(const std::string& id) {
    return static_cast<int>(std::count_if(id.begin(), id.end(), [](char c) { return c != '0'; }));
}

std::string MapArea_LevelPath(const std::string& rootTileId, int level) {
    return rootTileId + "-" + std::string(static_cast<std::size_t>(level + 1), '0');
}

std::string MapArea_StyleDocOf(const std::string& cellId, const std::string& rootTileId) {
    const int set = MapArea_SetDigits(cellId);
    if (set < kKmzMaxCoarseLevels) return MapArea_LevelPath(rootTileId, set);
    std::string tile(rootTileId.size(), '0');
    const auto keep = std::min(static_cast<std::size_t>(set - kKmzMaxCoarseLevels), tile.size());
    for (std::size_t i = 0; i < keep && i < cellId.size(); ++i) tile[i] = cellId[i];
    return tile;
}

int MapArea_TileProgress(const std::string& tileId) {
    if (tileId.empty()) return 0;
    double v = 0.0, full = 1.0;
    for (char c : tileId) {
        v = v * 5.0 + (c - '0') / 2;
        full *= 5.0;
    }
    return static_cast<int>(100.0 * v / (full - 1.0));
}
