#include "synthdrive.h"

#include <algorithm>
#include <cmath>

#include "records/gps.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kKmPerDegreeLatitude = 111.19492664455873;  // 6371 km sphere

SynthPoint Offset(double lat, double lon, double northKm, double eastKm) {
    SynthPoint p;
    p.latitude = lat + northKm / kKmPerDegreeLatitude;
    p.longitude = lon + eastKm / (kKmPerDegreeLatitude * std::cos(lat * kPi / 180.0));
    return p;
}
}  // namespace

std::uint64_t SynthRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SynthRandom::uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
double SynthRandom::uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
int SynthRandom::below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

double Synth_Hash01(std::uint64_t seed, std::int64_t index) {
    SynthRandom r(seed * 0x2545F4914F6CDD1Dull ^ static_cast<std::uint64_t>(index) * 0x9E3779B97F4A7C15ull);
    return r.uniform();
}

double Synth_SmoothNoise(std::uint64_t seed, double x) {
    double cell = std::floor(x);
    double f = x - cell;
    double a = Synth_Hash01(seed, static_cast<std::int64_t>(cell)) * 2.0 - 1.0;
    double b = Synth_Hash01(seed, static_cast<std::int64_t>(cell) + 1) * 2.0 - 1.0;
    double w = (1.0 - std::cos(f * kPi)) / 2.0;
    return a + (b - a) * w;
}

SynthRoute SynthRoute_FromPoints(const std::vector<SynthPoint>& points) {
    SynthRoute r;
    r.waypoints = points;
    double total = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        r.legStartKm.push_back(total);
        const SynthPoint& a = points[i];
        const SynthPoint& b = points[(i + 1) % points.size()];
        total += Gps_DistanceKm(a.longitude, a.latitude, b.longitude, b.latitude);
    }
    r.lengthKm = total;
    return r;
}

SynthRoute SynthRoute_Make(std::uint64_t seed, double originLatitude, double originLongitude) {
    SynthRandom rnd(seed ^ 0x5EEDF00Dull);
    int n = 8 + rnd.below(5);
    std::vector<SynthPoint> pts;
    for (int i = 0; i < n; ++i) {
        double angle = 2.0 * kPi * (i + rnd.uniform(-0.3, 0.3)) / n;
        double radius = rnd.uniform(0.8, 2.5);
        pts.push_back(Offset(originLatitude, originLongitude, radius * std::sin(angle), radius * std::cos(angle)));
    }
    return SynthRoute_FromPoints(pts);
}

SynthPoint SynthRoute_PositionAt(const SynthRoute& route, double distanceKm) {
    if (route.waypoints.empty()) return {};
    if (route.waypoints.size() == 1 || route.lengthKm <= 0.0)
        return {route.waypoints.front().latitude, Synth_WrapLongitude(route.waypoints.front().longitude)};
    double d = std::fmod(distanceKm, route.lengthKm);
    if (d < 0) d += route.lengthKm;
    std::size_t leg = static_cast<std::size_t>(
        std::upper_bound(route.legStartKm.begin(), route.legStartKm.end(), d) - route.legStartKm.begin() - 1);
    const SynthPoint& a = route.waypoints[leg];
    const SynthPoint& b = route.waypoints[(leg + 1) % route.waypoints.size()];
    double legEnd = leg + 1 < route.legStartKm.size() ? route.legStartKm[leg + 1] : route.lengthKm;
    double legLength = legEnd - route.legStartKm[leg];
    double f = legLength > 0 ? (d - route.legStartKm[leg]) / legLength : 0.0;
    // The short way round: a leg across the 180 degree meridian stays short
    // whether its ends are given wrapped or not.
    double dLon = std::fmod(b.longitude - a.longitude, 360.0);
    if (dLon > 180.0) dLon -= 360.0;
    if (dLon < -180.0) dLon += 360.0;
    return {a.latitude + (b.latitude - a.latitude) * f, Synth_WrapLongitude(a.longitude + dLon * f)};
}

double Synth_WrapLongitude(double longitude) {
    double l = std::fmod(longitude + 180.0, 360.0);
    if (l < 0.0) l += 360.0;
    return l - 180.0;
}

SynthTransmitter SynthTransmitter_Make(std::uint64_t seed, double originLatitude, double originLongitude) {
    SynthRandom rnd(seed ^ 0x7A115EEDull);
    double angle = rnd.uniform(0.0, 2.0 * kPi);
    double radius = rnd.uniform(3.0, 6.0);
    SynthTransmitter tx;
    tx.position = Offset(originLatitude, originLongitude, radius * std::sin(angle), radius * std::cos(angle));
    tx.erpDbuVAt1Km = rnd.uniform(78.0, 90.0);
    tx.seed = seed;
    return tx;
}

double Synth_LevelDbuV(const SynthTransmitter& tx, const SynthPoint& at, double distanceDrivenKm, double frequencyMHz) {
    double d = std::max(0.05, Gps_DistanceKm(at.longitude, at.latitude, tx.position.longitude, tx.position.latitude));
    std::uint64_t channelSeed = tx.seed * 31 + static_cast<std::uint64_t>(std::llround(frequencyMHz * 1000.0));
    // Slow shadowing over hundreds of metres plus faster fading over tens of metres.
    double shadow = 9.0 * Synth_SmoothNoise(channelSeed, distanceDrivenKm / 0.4) +
                    3.0 * Synth_SmoothNoise(channelSeed ^ 0xFADEull, distanceDrivenKm / 0.04);
    return tx.erpDbuVAt1Km - 30.0 * std::log10(d) + shadow;
}
