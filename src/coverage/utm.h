#pragma once
// Universal Transverse Mercator on the WGS 84 ellipsoid: the metric grid the
// coverage cells are laid on. Krueger's series to sixth order in the third
// flattening n (Karney, "Transverse Mercator with an accuracy of a few
// nanometers", J. Geodesy 85, 2011, eqs. 11-21 and 35-36): better than a
// millimetre within 4000 km of the central meridian, so a drive that leaves
// its zone keeps the zone it started in without a visible error.

struct UtmZone {
    int zone = 32;       // 1..60
    bool south = false;  // false northing 10 000 km in the southern hemisphere

    double centralMeridian() const { return zone * 6.0 - 183.0; }
    int epsg() const { return (south ? 32700 : 32600) + zone; }  // WGS 84 / UTM zone NN N|S
};

// The zone of a position, with the exceptions of the UTM grid: zone 32
// widened over south-western Norway (56..64 N, 3..12 E) and the zones 31, 33,
// 35 and 37 around Svalbard (72..84 N).
UtmZone Utm_ZoneOf(double latitude, double longitude);

// Degrees to easting and northing in metres in the given zone (the position
// may lie outside the zone's six degrees).
void Utm_Forward(const UtmZone& zone, double latitude, double longitude, double& easting, double& northing);
// Easting and northing in metres back to degrees.
void Utm_Inverse(const UtmZone& zone, double easting, double northing, double& latitude, double& longitude);
