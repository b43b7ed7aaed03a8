// The simulated drive across the 180 degree meridian: positions stay on the
// map (-180..180) and a leg between its two sides is driven the short way.
#include <gtest/gtest.h>

#include <cmath>

#include "records/gps.h"
#include "synthdrive.h"

TEST(SynthRoute, LoopsAcrossTheMeridianStayOnTheMapAndShort) {
    struct Case {
        const char* story;
        SynthRoute route;
    };
    const Case cases[] = {
        {"a loop around an origin just west of the meridian", SynthRoute_Make(3, -17.0, 179.995)},
        {"a loop around an origin just east of it", SynthRoute_Make(4, -17.0, -179.995)},
        {"a route file with wrapped points", SynthRoute_FromPoints({{-17.0, 179.99}, {-17.0, -179.99}, {-17.01, -179.99}})},
    };
    for (const Case& c : cases) {
        bool west = false, east = false;
        SynthPoint previous = SynthRoute_PositionAt(c.route, 0.0);
        for (int k = 1; k <= 400; ++k) {
            const SynthPoint p = SynthRoute_PositionAt(c.route, c.route.lengthKm * k / 400.0);
            ASSERT_GE(p.longitude, -180.0) << c.story;
            ASSERT_LT(p.longitude, 180.0) << c.story;
            west = west || p.longitude > 179.0;
            east = east || p.longitude < -179.0;
            // A step of 1/400 of the loop, never the way round the globe.
            EXPECT_LT(Gps_DistanceKm(previous.longitude, previous.latitude, p.longitude, p.latitude),
                      c.route.lengthKm / 100.0)
                << c.story << " at " << k;
            EXPECT_LT(std::fabs(p.latitude + 17.0), 0.1) << c.story;
            previous = p;
        }
        EXPECT_TRUE(west && east) << c.story;
        EXPECT_LT(c.route.lengthKm, 30.0) << c.story;
    }
    EXPECT_DOUBLE_EQ(Synth_WrapLongitude(180.0), -180.0);
    EXPECT_DOUBLE_EQ(Synth_WrapLongitude(-180.0), -180.0);
    EXPECT_DOUBLE_EQ(Synth_WrapLongitude(190.5), -169.5);
    EXPECT_DOUBLE_EQ(Synth_WrapLongitude(-541.0), 179.0);
}
