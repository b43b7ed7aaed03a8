#pragma once
// The geometry of a report's maps, without drawing: the coverage grid's UTM
// metres fitted onto paper millimetres at one scale for both axes, a round
// length for the scale bar, the track thinned to what paper can show, and
// the angle between the grid's north and true north.
#include <vector>

#include "coverage/utm.h"

struct MapPoint {
    double x = 0.0;  // easting, or millimetres to the right on paper
    double y = 0.0;  // northing, or millimetres down on paper
};

struct MapBox {
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
};

// Ground (metres, north up) onto a paper box (millimetres, y down): the
// largest scale at which the whole ground box fits, centred.
struct MapFit {
    double mmPerMetre = 1.0;
    double left = 0.0, top = 0.0;      // paper position of the ground box's north-west corner
    double groundWest = 0.0, groundNorth = 0.0;
    MapPoint toPaper(double easting, double northing) const {
        return {left + (easting - groundWest) * mmPerMetre, top + (groundNorth - northing) * mmPerMetre};
    }
};

MapFit ReportMap_Fit(const MapBox& ground, const MapBox& paper);

// The largest length of the series 1, 2, 5 x 10^k not above most (most > 0).
double ReportMap_RoundLength(double most);

// The points of a line with every point left out that lies within
// tolerance of the line through the points kept around it
// (Douglas-Peucker); the first and the last point are always kept.
std::vector<MapPoint> ReportMap_Simplify(const std::vector<MapPoint>& line, double tolerance);

// The angle from grid north to true north at a position, in degrees,
// clockwise positive (true north lies west of grid north east of the
// central meridian in the northern hemisphere: negative there).
double ReportMap_TrueNorthDegrees(const UtmZone& zone, double latitude, double longitude);
