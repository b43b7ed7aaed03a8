#include "records/track.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/text.h"
#include "records/gps.h"

namespace {

constexpr int kCentre = kMapSize / 2;      // pixel (30, 30) stands for refLongitude, refLatitude
constexpr int kCellPixels = 20;            // one grid cell of scaleKm
constexpr double kFirstScaleKm = 0.02;
constexpr double kJitterKm = 0.03;         // steps of 30 m or less are GPS jitter
constexpr int kSpeedPoints = 5;
constexpr double kStandstillKmh = 3.0;     // estimates below this are noise of a standing vehicle
constexpr double kKmToMiles = 0.621371192237334;

// A fix whose coordinates are not numbers cannot be placed; it counts as no fix
// (otherwise the zoom loop would never find a shift that fits).
bool HasUsableFix(const GpsFix& gps) {
    return gps.gpsFix == 1 && std::isfinite(gps.latitude) && std::isfinite(gps.longitude);
}

int RoundToInt(double v) {
    // Half away from zero; clamped so that absurd distances cannot overflow an int.
    return static_cast<int>(std::lround(std::clamp(v, -1.0e6, 1.0e6)));
}

// East and north offset of a position from the map centre, in pixels (not yet rounded).
void MapOffsetPx(const TrackState& track, double longitude, double latitude, double& px, double& py) {
    double dxKm = Gps_DistanceKm(longitude, latitude, track.refLongitude, latitude);
    // The sign follows the shorter way round, so a drive across 180 degrees does not flip east and west.
    double dLon = std::remainder(longitude - track.refLongitude, 360.0);
    if (dLon <= 0.0) dxKm = -dxKm;
    double dyKm = Gps_DistanceKm(longitude, latitude, longitude, track.refLatitude);
    if (latitude - track.refLatitude <= 0.0) dyKm = -dyKm;
    px = kCellPixels * dxKm / track.scaleKm;
    py = kCellPixels * dyKm / track.scaleKm;
}

// Least-squares quadratic y = c0 + c1 t + c2 t^2 through five points; slope at t[2].
// Times are centred on t[2] (the slope there is then just c1) and scaled to [-1, 1]
// so the normal equations stay well conditioned. False when the times do not
// determine a quadratic (fewer than three distinct times) or the result is not finite.
bool FitSlopeAtMiddle(const double (&t)[kSpeedPoints], const double (&y)[kSpeedPoints], double& slope) {
    double u[kSpeedPoints];
    double h = 0.0;
    for (int k = 0; k < kSpeedPoints; ++k) {
        u[k] = t[k] - t[2];
        h = std::max(h, std::fabs(u[k]));
    }
    int distinct = 0;
    for (int k = 0; k < kSpeedPoints; ++k) {
        bool seen = false;
        for (int m = 0; m < k; ++m) seen = seen || t[m] == t[k];
        if (!seen) ++distinct;
    }
    if (distinct < 3 || !(h > 0.0) || !std::isfinite(h)) return false;
    for (double& v : u) v /= h;

    double a[3][4] = {};
    for (int k = 0; k < kSpeedPoints; ++k) {
        const double p[5] = {1.0, u[k], u[k] * u[k], u[k] * u[k] * u[k], u[k] * u[k] * u[k] * u[k]};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) a[i][j] += p[i + j];
            a[i][3] += y[k] * p[i];
        }
    }
    // Gaussian elimination with partial pivoting.
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (a[pivot][col] == 0.0) return false;
        std::swap(a[col], a[pivot]);
        for (int r = col + 1; r < 3; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int c = col; c < 4; ++c) a[r][c] -= f * a[col][c];
        }
    }
    double c[3];
    for (int i = 2; i >= 0; --i) {
        double s = a[i][3];
        for (int j = i + 1; j < 3; ++j) s -= a[i][j] * c[j];
        c[i] = s / a[i][i];
    }
    slope = c[1] / h;
    return std::isfinite(slope);
}

// Speed of the last sample from the last five buffered samples, in km/h.
bool EstimateSpeedKmh(const std::vector<RecordSample>& samples, double& speedKmh) {
    if (samples.size() < kSpeedPoints) return false;
    const RecordSample* s[kSpeedPoints];
    for (int k = 0; k < kSpeedPoints; ++k) {
        s[k] = &samples[samples.size() - kSpeedPoints + k];
        if (!HasUsableFix(s[k]->head.gps)) return false;
    }
    double t[kSpeedPoints] = {0.0};
    double y[kSpeedPoints] = {0.0};
    for (int k = 0; k + 1 < kSpeedPoints; ++k) {
        const GpsFix& a = s[k]->head.gps;
        const GpsFix& b = s[k + 1]->head.gps;
        t[k + 1] = t[k] + (s[k + 1]->head.cycleStart.dateTime - s[k]->head.cycleStart.dateTime);
        y[k + 1] = y[k] + 1000.0 * Gps_DistanceKm(b.longitude, b.latitude, a.longitude, a.latitude);
    }
    double slope = 0.0;
    if (!FitSlopeAtMiddle(t, y, slope)) return false;
    speedKmh = 3.6 * slope;
    if (speedKmh < kStandstillKmh) speedKmh = 0.0;
    return true;
}

void UpdateLength(TrackState& track, const GpsFix& gps) {
    if (track.consecutiveFixes == 1) {
        track.lastLongitude = gps.longitude;
        track.lastLatitude = gps.latitude;
        return;
    }
    const double d = Gps_DistanceKm(gps.longitude, gps.latitude, track.lastLongitude, track.lastLatitude);
    if (d > kJitterKm) {
        track.trackLengthKm += d;
        track.lastLongitude = gps.longitude;
        track.lastLatitude = gps.latitude;
    }
}

void UpdateMap(TrackState& track, const GpsFix& gps) {
    if (track.scaleKm == 0.0) {
        track.scaleKm = kFirstScaleKm;
        track.offsetX = track.offsetY = 0.0;
        track.refLongitude = track.startLongitude = gps.longitude;
        track.refLatitude = track.startLatitude = gps.latitude;
        Map_Compose(track);
        return;
    }
    double px = 0.0, py = 0.0;
    int shiftX = 0, shiftY = 0;
    // Zoom out until the move fits without pushing drawn track out of the picture.
    for (;;) {
        MapOffsetPx(track, gps.longitude, gps.latitude, px, py);
        shiftX = RoundToInt(track.offsetX + px);
        shiftY = RoundToInt(track.offsetY + py);
        if (Map_CanShift(track.trackImage, shiftX, shiftY)) break;
        Map_ZoomOut(track.trackImage);
        track.scaleKm *= 2.0;
        track.offsetX /= 2.0;
        track.offsetY /= 2.0;
    }
    if (shiftX != 0 || shiftY != 0) {
        Map_Shift(track.trackImage, shiftX, shiftY);
        track.offsetX += px - shiftX;
        track.offsetY += py - shiftY;
        track.refLongitude = gps.longitude;
        track.refLatitude = gps.latitude;
        // The segment from the previous centre to the new one; none across a gap in the fixes.
        if (track.consecutiveFixes >= 2) {
            Map_DrawLine(track.trackImage, kCentre, kCentre, kCentre - shiftX, kCentre - shiftY, kMapTrack);
        }
    }
    Map_Compose(track);
}

}  // namespace

void Track_Init(TrackState& track) {
    char unit[sizeof track.distanceUnit];
    std::memcpy(unit, track.distanceUnit, sizeof unit);
    track = TrackState{};
    std::memcpy(track.distanceUnit, unit, sizeof unit);
    Map_Clear(track.trackImage);
    Map_Compose(track);
}

void Track_Update(TrackState& track, std::vector<RecordSample>& samples) {
    if (samples.empty()) return;
    GpsFix& gps = samples.back().head.gps;
    const bool fix = HasUsableFix(gps);

    if (fix) {
        ++track.fixCount;
        ++track.consecutiveFixes;
        ++track.speedFixes;
    } else {
        track.consecutiveFixes = 0;
        track.speedFixes = 0;
    }
    ++track.sampleCount;
    if (!fix) return;

    UpdateLength(track, gps);

    if (gps.speed == -1.0 && track.speedFixes >= kSpeedPoints) {
        double speed = 0.0;
        // Equal time stamps leave the fit undetermined: the speed then stays unknown.
        if (EstimateSpeedKmh(samples, speed)) {
            gps.speed = speed;
            track.maxSpeedKmh = std::max(track.maxSpeedKmh, speed);
        }
    }

    UpdateMap(track, gps);
}

void Track_UpdateReportedSpeed(TrackState& track, const RecordSample& last) {
    const GpsFix& gps = last.head.gps;
    if (gps.gpsFix == 1 && gps.speed != -1.0 && std::isfinite(gps.speed)) {
        track.maxReportedSpeedKmh = std::max(track.maxReportedSpeedKmh, gps.speed);
    }
}

void Track_ResetSpeed(TrackState& track) { track.speedFixes = 0; }

void Map_Compose(TrackState& track) {
    MapImage& image = track.displayImage;
    image = track.trackImage;
    // The start is known once the first fix has set the scale.
    if (track.scaleKm > 0.0) {
        double px = 0.0, py = 0.0;
        MapOffsetPx(track, track.startLongitude, track.startLatitude, px, py);
        Map_DrawDot(image, kCentre + RoundToInt(track.offsetX + px), kCentre + RoundToInt(track.offsetY + py),
                    kMapBlack);
    }
    const int last = kMapSize - 1;
    for (int v : {kCellPixels, 2 * kCellPixels}) {
        Map_DrawLine(image, v, 0, v, last, kMapGrid, true);
        Map_DrawLine(image, 0, v, last, v, kMapGrid, true);
    }
    Map_DrawLine(image, 0, 0, last, 0, kMapBlack);
    Map_DrawLine(image, 0, last, last, last, kMapBlack);
    Map_DrawLine(image, 0, 0, 0, last, kMapBlack);
    Map_DrawLine(image, last, 0, last, last, kMapBlack);
}

TrackStatusTexts Track_StatusTexts(const TrackState& track, const RecordSample* last) {
    const double f = Text_View(track.distanceUnit) == kDistanceKilometers ? 1.0 : kKmToMiles;
    TrackStatusTexts texts;
    if (track.sampleCount > 0) {
        texts.fixShare = Text_FormatFixed(100.0 * track.fixCount / track.sampleCount, 1);
        texts.gridSpacing = Text_FormatFixed(track.scaleKm * f, 2);
    } else {
        texts.fixShare = "---";
        texts.gridSpacing = "---";
    }
    texts.trackLength = Text_FormatFixed(track.trackLengthKm * f, 2);
    const bool speedKnown = last && last->head.gps.speed != -1.0 && std::isfinite(last->head.gps.speed);
    texts.speed = speedKnown ? Text_FormatFixed(last->head.gps.speed * f, 1) : "---";
    return texts;
}

void Track_Show(const TrackState& track, const RecordSample* last, TrackView& view) {
    view.showTrackImage(track.displayImage);
    view.showTrackStatus(Track_StatusTexts(track, last));
}
