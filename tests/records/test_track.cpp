#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/text.h"
#include "records/gps.h"
#include "records/track.h"

namespace {

constexpr double kLat0 = 48.0;
constexpr double kLon0 = 11.0;
constexpr double kTime0 = 3.9e9;  // a realistic date-time value, to keep the fit honest about large times
const double kMetresPerDegree = 6371000.0 * std::numbers::pi / 180.0;

double NorthOf(double metres) { return kLat0 + metres / kMetresPerDegree; }
double EastOf(double metres) { return kLon0 + metres / (kMetresPerDegree * std::cos(kLat0 * std::numbers::pi / 180.0)); }

RecordSample Fix(double lon, double lat, double time, double speed = -1.0) {
    RecordSample s;
    s.head.gps.gpsFix = 1;
    s.head.gps.longitude = lon;
    s.head.gps.latitude = lat;
    s.head.gps.speed = speed;
    s.head.cycleStart.dateTime = time;
    return s;
}

RecordSample NoFix(double time) {
    RecordSample s;
    s.head.gps.speed = -1.0;
    s.head.cycleStart.dateTime = time;
    return s;
}

// Buffers samples one by one as the recorder does and updates the track after each.
class TrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        Text_Copy(track.distanceUnit, kDistanceKilometers);
        Track_Init(track);
    }
    RecordSample& Add(const RecordSample& s) {
        samples.push_back(s);
        Track_Update(track, samples);
        return samples.back();
    }
    // A drive north: sample k at time kTime0 + times[k], metres[k] north of the start.
    void DriveNorth(std::initializer_list<double> times, std::initializer_list<double> metres) {
        auto m = metres.begin();
        for (double t : times) Add(Fix(kLon0, NorthOf(*m++), kTime0 + t));
    }
    int BluePixels() const {
        int n = 0;
        for (int y = 0; y < kMapSize; ++y)
            for (int x = 0; x < kMapSize; ++x) n += Map_GetPixel(track.trackImage, x, y) == kMapTrack;
        return n;
    }
    TrackState track;
    std::vector<RecordSample> samples;
};

}  // namespace

TEST(Gps, DistanceTakesLongitudeFirst) {
    struct Row {
        double lon1, lat1, lon2, lat2, km;
    } rows[] = {
        {0, 0, 1, 0, 111.195},
        {0, 0, 0, 1, 111.195},
        {10, 60, 11, 60, 55.597},     // one degree of longitude at 60 degrees north is half as long
        {0, 0, 180, 0, 20015.087},    // antipodal: stays finite
        {11.5, 48.1, 11.5, 48.1, 0.0},
    };
    for (const Row& r : rows) {
        EXPECT_NEAR(Gps_DistanceKm(r.lon1, r.lat1, r.lon2, r.lat2), r.km, 0.001)
            << r.lon1 << "," << r.lat1 << " -> " << r.lon2 << "," << r.lat2;
    }
    EXPECT_DOUBLE_EQ(Gps_DegToRad(180.0), std::numbers::pi);
}

TEST_F(TrackTest, InitPaintsWhiteAndComposesGridAndFrameWithoutStartDot) {
    for (std::uint8_t b : track.trackImage) ASSERT_EQ(b, 255);
    EXPECT_EQ(Map_GetPixel(track.displayImage, 0, 10), kMapBlack);
    EXPECT_EQ(Map_GetPixel(track.displayImage, 59, 10), kMapBlack);
    EXPECT_EQ(Map_GetPixel(track.displayImage, 10, 59), kMapBlack);
    EXPECT_EQ(Map_GetPixel(track.displayImage, 20, 10), (MapColor{227, 227, 227}));
    EXPECT_EQ(Map_GetPixel(track.displayImage, 10, 40), (MapColor{227, 227, 227}));
    EXPECT_EQ(Map_GetPixel(track.displayImage, 40, 20), (MapColor{213, 213, 213}));  // two grid lines cross
    EXPECT_EQ(Map_GetPixel(track.displayImage, 30, 30), kMapWhite);  // no start yet
    EXPECT_STREQ(track.distanceUnit, kDistanceKilometers);
}

TEST_F(TrackTest, JitterOfThirtyMetresIsNeitherCountedNorMovesTheLastPoint) {
    Add(Fix(kLon0, kLat0, kTime0));
    Add(Fix(kLon0, NorthOf(20), kTime0 + 1));
    EXPECT_EQ(track.trackLengthKm, 0.0);
    EXPECT_EQ(track.lastLatitude, kLat0);
    // 40 m from the first fix, only 20 m from the second.
    Add(Fix(kLon0, NorthOf(40), kTime0 + 2));
    EXPECT_NEAR(track.trackLengthKm, 0.04, 1e-9);
    EXPECT_EQ(track.lastLatitude, NorthOf(40));
    EXPECT_EQ(track.fixCount, 3);
    EXPECT_EQ(track.sampleCount, 3);
}

TEST_F(TrackTest, SampleWithoutFixStartsANewSegment) {
    Add(Fix(kLon0, kLat0, kTime0));
    Add(NoFix(kTime0 + 1));
    EXPECT_EQ(track.consecutiveFixes, 0);
    Add(Fix(EastOf(40), kLat0, kTime0 + 2));
    EXPECT_EQ(track.trackLengthKm, 0.0);
    EXPECT_EQ(BluePixels(), 0);  // the map moved, but no line across the gap
    EXPECT_NE(track.refLongitude, kLon0);

    Add(Fix(EastOf(80), kLat0, kTime0 + 3));
    EXPECT_NEAR(track.trackLengthKm, 0.04, 1e-9);
    EXPECT_GT(BluePixels(), 0);
    EXPECT_EQ(track.fixCount, 3);
    EXPECT_EQ(track.sampleCount, 4);
}

TEST_F(TrackTest, SpeedEstimateWaitsForFiveFixesAfterAGap) {
    double t = 0;
    for (int k = 0; k < 4; ++k, ++t) EXPECT_EQ(Add(Fix(kLon0, NorthOf(10 * t), kTime0 + t)).head.gps.speed, -1.0);
    Add(NoFix(kTime0 + t++));
    for (int k = 0; k < 4; ++k, ++t) EXPECT_EQ(Add(Fix(kLon0, NorthOf(10 * t), kTime0 + t)).head.gps.speed, -1.0);
    EXPECT_NEAR(Add(Fix(kLon0, NorthOf(10 * t), kTime0 + t)).head.gps.speed, 36.0, 1e-6);
}

TEST_F(TrackTest, SpeedEstimateOfConstantDriveAndStandstill) {
    DriveNorth({0, 1, 2, 3}, {0, 10, 20, 30});
    for (const RecordSample& s : samples) EXPECT_EQ(s.head.gps.speed, -1.0);
    DriveNorth({4}, {40});
    EXPECT_NEAR(samples.back().head.gps.speed, 36.0, 1e-6);
    EXPECT_NEAR(track.maxSpeedKmh, 36.0, 1e-6);

    // 0.5 m/s is 1.8 km/h: below 3 km/h a vehicle counts as standing.
    DriveNorth({5, 6, 7, 8, 9}, {40.5, 41, 41.5, 42, 42.5});
    EXPECT_EQ(samples.back().head.gps.speed, 0.0);
    EXPECT_NEAR(track.maxSpeedKmh, 36.0, 1e-6);
}

TEST_F(TrackTest, SpeedEstimateIsTheSlopeAtTheMiddlePoint) {
    // y = t^2 metres at uneven times: slope at t = 2 is 4 m/s, while the mean speed is 5 m/s
    // and the last step 8 m/s.
    DriveNorth({0, 1, 2, 3, 5}, {0, 1, 4, 9, 25});
    EXPECT_NEAR(samples.back().head.gps.speed, 14.4, 1e-5);
}

TEST_F(TrackTest, EqualTimeStampsLeaveTheSpeedUnknown) {
    DriveNorth({0, 0, 0, 0, 0}, {0, 10, 20, 30, 40});
    EXPECT_EQ(samples.back().head.gps.speed, -1.0);
    DriveNorth({0, 1, 1, 1}, {50, 60, 70, 80});  // the last five have only two distinct times
    EXPECT_EQ(samples.back().head.gps.speed, -1.0);
    EXPECT_EQ(track.maxSpeedKmh, 0.0);
}

TEST_F(TrackTest, PauseRestartsTheSpeedEstimateButNotTheTrack) {
    DriveNorth({0, 1, 2, 3, 4}, {0, 100, 200, 300, 400});
    EXPECT_NEAR(samples.back().head.gps.speed, 360.0, 1e-5);
    Track_ResetSpeed(track);
    DriveNorth({60, 61, 62, 63}, {1000, 1010, 1020, 1030});
    for (int k = 5; k < 9; ++k) EXPECT_EQ(samples[k].head.gps.speed, -1.0) << k;
    EXPECT_NEAR(track.trackLengthKm, 1.0, 1e-9);  // the 600 m across the pause count, the 10 m steps are jitter
    DriveNorth({64}, {1040});
    EXPECT_NEAR(samples.back().head.gps.speed, 36.0, 1e-5);
    EXPECT_NEAR(track.trackLengthKm, 1.04, 1e-9);
}

TEST_F(TrackTest, ReportedSpeedIsKeptAndOnlyEstimatesRaiseMaxSpeed) {
    for (int k = 0; k < 6; ++k) {
        RecordSample& s = Add(Fix(kLon0, NorthOf(10.0 * k), kTime0 + k, 50.0 + k));
        EXPECT_EQ(s.head.gps.speed, 50.0 + k);
        Track_UpdateReportedSpeed(track, s);
    }
    EXPECT_EQ(track.maxSpeedKmh, 0.0);
    EXPECT_EQ(track.maxReportedSpeedKmh, 55.0);

    RecordSample& s = Add(Fix(kLon0, NorthOf(60.0), kTime0 + 6));
    EXPECT_NEAR(s.head.gps.speed, 36.0, 1e-6);
    EXPECT_NEAR(track.maxSpeedKmh, 36.0, 1e-6);
    Track_UpdateReportedSpeed(track, s);  // an estimate with fix also counts as the last sample's speed
    Track_UpdateReportedSpeed(track, NoFix(kTime0 + 7));
    EXPECT_EQ(track.maxReportedSpeedKmh, 55.0);
}

TEST_F(TrackTest, SixtyMetresEastZoomsOutAndShiftsThirtyPixels) {
    Add(Fix(kLon0, kLat0, kTime0));
    EXPECT_EQ(track.scaleKm, 0.02);
    Add(Fix(EastOf(60), kLat0, kTime0 + 1));
    EXPECT_EQ(track.scaleKm, 0.04);
    EXPECT_NEAR(track.offsetX, 0.0, 1e-6);
    EXPECT_EQ(track.refLongitude, EastOf(60));
    // The segment runs from the old centre, now 30 pixels west, to the centre.
    for (int x = 0; x <= 30; ++x) EXPECT_EQ(Map_GetPixel(track.trackImage, x, 30), kMapTrack) << x;
    EXPECT_EQ(Map_GetPixel(track.trackImage, 31, 30), kMapWhite);
    EXPECT_EQ(BluePixels(), 31);

    // Display: start dot around (0, 30) under the frame, track blended with the grid where they cross.
    for (int y = 29; y <= 31; ++y) EXPECT_EQ(Map_GetPixel(track.displayImage, 1, y), kMapBlack) << y;
    EXPECT_EQ(Map_GetPixel(track.displayImage, 2, 30), kMapTrack);
    EXPECT_EQ(Map_GetPixel(track.displayImage, 20, 30), (MapColor{100, 100, 227}));

    // 20 m further east is 10 pixels, which would push the drawn track out of the west edge:
    // the map zooms out again (track now 15..30), shifts 5 pixels and adds the new segment.
    Add(Fix(EastOf(80), kLat0, kTime0 + 2));
    EXPECT_EQ(track.scaleKm, 0.08);
    for (int x = 10; x <= 30; ++x) EXPECT_EQ(Map_GetPixel(track.trackImage, x, 30), kMapTrack) << x;
    EXPECT_EQ(BluePixels(), 21);
}

TEST_F(TrackTest, SubPixelRemainderIsHalvedWhenZoomingOut) {
    Add(Fix(kLon0, kLat0, kTime0));
    Add(Fix(EastOf(10.4), kLat0, kTime0 + 1));  // 10.4 pixels: shift 10, remainder 0.4
    EXPECT_NEAR(track.offsetX, 0.4, 1e-6);
    // 50.3 pixels would push the segment out: at 0.04 km per cell it is 25.15 pixels,
    // plus the halved remainder 0.2 gives a shift of 25 and a remainder of 0.35.
    Add(Fix(EastOf(60.7), kLat0, kTime0 + 2));
    EXPECT_EQ(track.scaleKm, 0.04);
    EXPECT_NEAR(track.offsetX, 0.35, 1e-6);
    for (int x = 0; x <= 30; ++x) EXPECT_EQ(Map_GetPixel(track.trackImage, x, 30), kMapTrack) << x;
}

TEST_F(TrackTest, EastAcrossTheDateLineStaysEast) {
    Add(Fix(179.9999, 0.0, kTime0));
    Add(Fix(-179.9999, 0.0, kTime0 + 1));  // about 22 m further east
    EXPECT_EQ(track.scaleKm, 0.02);
    EXPECT_EQ(Map_GetPixel(track.trackImage, 30 - 22, 30), kMapTrack);
    EXPECT_EQ(Map_GetPixel(track.trackImage, 31, 30), kMapWhite);
}

TEST_F(TrackTest, FixWithoutNumbersCountsAsNoFix) {
    Add(Fix(kLon0, kLat0, kTime0));
    Add(Fix(NAN, kLat0, kTime0 + 1));  // must not hang in the zoom loop
    EXPECT_EQ(track.fixCount, 1);
    EXPECT_EQ(track.consecutiveFixes, 0);
    EXPECT_EQ(track.scaleKm, 0.02);
}

TEST_F(TrackTest, StatusTextsInKilometresAndMiles) {
    TrackStatusTexts texts = Track_StatusTexts(track, nullptr);
    EXPECT_EQ(texts.fixShare, "---");
    EXPECT_EQ(texts.gridSpacing, "---");
    EXPECT_EQ(texts.trackLength, "0.00");
    EXPECT_EQ(texts.speed, "---");

    track.sampleCount = 4;
    track.fixCount = 3;
    track.scaleKm = 0.16;
    track.trackLengthKm = 10.0;
    RecordSample last = Fix(kLon0, kLat0, kTime0, 100.0);
    texts = Track_StatusTexts(track, &last);
    EXPECT_EQ(texts.fixShare, "75.0");
    EXPECT_EQ(texts.gridSpacing, "0.16");
    EXPECT_EQ(texts.trackLength, "10.00");
    EXPECT_EQ(texts.speed, "100.0");

    Text_Copy(track.distanceUnit, kDistanceMiles);
    texts = Track_StatusTexts(track, &last);
    EXPECT_EQ(texts.fixShare, "75.0");
    EXPECT_EQ(texts.gridSpacing, "0.10");
    EXPECT_EQ(texts.trackLength, "6.21");
    EXPECT_EQ(texts.speed, "62.1");

    last.head.gps.speed = -1.0;
    EXPECT_EQ(Track_StatusTexts(track, &last).speed, "---");
}

TEST_F(TrackTest, ShowHandsImageAndNumbersToTheView) {
    struct FakeView : TrackView {
        void showTrackImage(const MapImage& rgb) override { image = rgb; }
        void showTrackStatus(const TrackStatusTexts& t) override { texts = t; }
        MapImage image{};
        TrackStatusTexts texts;
    } view;
    Add(Fix(kLon0, kLat0, kTime0));
    Track_Show(track, &samples.back(), view);
    EXPECT_EQ(view.image, track.displayImage);
    EXPECT_EQ(Map_GetPixel(view.image, 30, 30), kMapBlack);  // the start dot at the centre
    EXPECT_EQ(view.texts.fixShare, "100.0");
    EXPECT_EQ(view.texts.gridSpacing, "0.02");
}
