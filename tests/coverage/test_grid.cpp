// The grid's projection against PROJ (gdaltransform, EPSG:4326 to the UTM
// zone's EPSG code) to a millimetre, and the cells built on it.
#include <gtest/gtest.h>

#include <cmath>

#include "coverage/grid.h"

namespace {

struct Reference {
    int zone;
    bool south;
    double lat, lon;
    double easting, northing;  // PROJ
};

// Near and far from the central meridian, both hemispheres, across the zone border.
const Reference kReferences[] = {
    {32, false, 48.137, 11.575, 691567.326384146, 5334734.33048176},
    {32, false, 48.0, 11.5, 686482.635148444, 5319324.56373396},
    {32, false, 48.0, 9.0, 500000.0, 5316300.2244515},
    {32, false, 51.0, 14.0, 850755.337557729, 5661732.3845737},  // 5 degrees east: zone 33 by rights
    {32, false, 59.9, 5.9, 326609.671936691, 6644334.12544878},
    {56, true, -33.8688, 151.2093, 334368.633648097, 6250948.34538501},
    {18, false, 40.7484, -73.9857, 585628.409087783, 4511322.44749613},
};

TEST(Grid, ProjectionAgreesWithProjToAMillimetre) {
    for (const Reference& r : kReferences) {
        const UtmZone zone{r.zone, r.south};
        double e = 0, n = 0;
        Utm_Forward(zone, r.lat, r.lon, e, n);
        EXPECT_NEAR(r.easting, e, 1e-3) << r.lat << " " << r.lon;
        EXPECT_NEAR(r.northing, n, 1e-3) << r.lat << " " << r.lon;
        double lat = 0, lon = 0;
        Utm_Inverse(zone, r.easting, r.northing, lat, lon);
        EXPECT_NEAR(r.lat, lat, 1e-8);  // about a millimetre
        EXPECT_NEAR(r.lon, lon, 1e-8);
    }
}

TEST(Grid, ZonesFollowTheUtmExceptions) {
    struct Case {
        double lat, lon;
        int zone;
        bool south;
    };
    const Case cases[] = {
        {48.1, 11.6, 32, false}, {-33.9, 151.2, 56, true}, {0.0, -180.0, 1, false}, {10.0, 179.99, 60, false},
        {60.0, 5.0, 32, false},    // south-western Norway belongs to 32
        {60.0, 2.9, 31, false},    {78.0, 8.0, 31, false}, {78.0, 10.0, 33, false},  // Svalbard
        {78.0, 25.0, 35, false},   {78.0, 40.0, 37, false}, {10.0, 720.0 + 11.6, 32, false},
    };
    for (const Case& c : cases) {
        const UtmZone z = Utm_ZoneOf(c.lat, c.lon);
        EXPECT_EQ(c.zone, z.zone) << c.lat << " " << c.lon;
        EXPECT_EQ(c.south, z.south) << c.lat << " " << c.lon;
    }
}

TEST(Grid, CentreOfADriveAcrossTheDateLineStaysOnItsSide) {
    const CoverageGrid g = Grid_ForPositions({{-17.0, 179.9}, {-17.1, -179.9}, {-17.05, 179.95}}, 50);
    EXPECT_EQ(60, g.zone.zone);
    EXPECT_TRUE(g.zone.south);
    EXPECT_EQ(50, g.cellSize);
}

TEST(Grid, CellsAreSquaresOfTheGridAroundTheirSamples) {
    CoverageGrid g;
    g.zone = {32, false};
    g.cellSize = 100;
    const CellIndex c = Grid_CellOf(g, 48.137, 11.575);  // 691567.33 5334734.33
    EXPECT_EQ((CellIndex{6915, 53347}), c);
    EXPECT_EQ("32632-100-6915-53347", Grid_CellId(g, c));
    const auto corners = Grid_CellCorners(g, c);
    const double expectE[4] = {691500, 691600, 691600, 691500};
    const double expectN[4] = {5334700, 5334700, 5334800, 5334800};
    for (int i = 0; i < 4; ++i) {
        double e = 0, n = 0;
        Utm_Forward(g.zone, corners[i].latitude, corners[i].longitude, e, n);
        EXPECT_NEAR(expectE[i], e, 1e-6);
        EXPECT_NEAR(expectN[i], n, 1e-6);
    }
    g.cellSize = 25;
    EXPECT_EQ((CellIndex{27662, 213389}), Grid_CellOf(g, 48.137, 11.575));
    EXPECT_TRUE(Grid_IsCellSize(200));
    EXPECT_FALSE(Grid_IsCellSize(150));
}

}  // namespace
