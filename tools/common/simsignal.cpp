#include "simsignal.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

namespace {

std::uint64_t ChannelSeed(std::uint64_t seed, double frequencyMHz) {
    return seed * 1000003ull + static_cast<std::uint64_t>(std::llround(frequencyMHz * 1000.0));
}

}  // namespace

SimDrive::SimDrive(std::uint64_t seed, double originLatitude, double originLongitude, double speedKmh,
                   const std::vector<SynthPoint>& routePoints, double levelOffsetDb)
    : seed_(seed), speedKmh_(speedKmh), levelOffsetDb_(levelOffsetDb) {
    if (routePoints.empty()) {
        route_ = SynthRoute_Make(seed, originLatitude, originLongitude);
        tx_ = SynthTransmitter_Make(seed, originLatitude, originLongitude);
    } else {
        // The transmitter stands off the route's first point, as it would off the origin.
        route_ = SynthRoute_FromPoints(routePoints);
        tx_ = SynthTransmitter_Make(seed, routePoints.front().latitude, routePoints.front().longitude);
    }
}

double SimDrive::distanceKm(double seconds) const { return std::max(0.0, seconds) * speedKmh_ / 3600.0; }

SynthPoint SimDrive::position(double seconds) const { return SynthRoute_PositionAt(route_, distanceKm(seconds)); }

double SimDrive::steadyLevelDbuV(double seconds, double frequencyMHz) const {
    const double d = distanceKm(seconds);
    return Synth_LevelDbuV(tx_, SynthRoute_PositionAt(route_, d), d, frequencyMHz) + levelOffsetDb_;
}

double SimDrive::levelDbuV(double seconds, double frequencyMHz) const {
    const double jitter = 0.4 * Synth_SmoothNoise(ChannelSeed(seed_, frequencyMHz) ^ 0x11EEull, seconds / 0.7);
    return steadyLevelDbuV(seconds, frequencyMHz) + jitter;
}

std::vector<SimEcho> SimDrive::echoes(double seconds, double frequencyMHz, double thresholdDb) const {
    // The network's echoes stay where they are for a frequency; their strength
    // changes as the vehicle moves.
    const std::uint64_t channel = ChannelSeed(seed_, frequencyMHz);
    SynthRandom rnd(channel ^ 0xEC40ull);
    const double d = distanceKm(seconds);
    std::vector<SimEcho> out;
    out.push_back({0.0, 0.0, 1});
    const int count = 2 + rnd.below(4);
    for (int i = 0; i < count; ++i) {
        SimEcho e;
        e.timeUs = std::round(rnd.uniform(-120.0, 220.0) * 10.0) / 10.0;
        // The two strongest echoes stay above any usual threshold: the second
        // transmitter of a MISO pair (group 2) and a reflection of the first (group 1).
        const double base = i < 2 ? rnd.uniform(-22.0, -6.0) : rnd.uniform(-30.0, -6.0);
        e.group = i < 2 ? 2 - i : rnd.below(3);
        e.levelDb = std::min(-1.0, base + 6.0 * Synth_SmoothNoise(channel + 17u * (i + 1), d / 0.25));
        e.levelDb = std::round(e.levelDb * 100.0) / 100.0;
        if (e.levelDb >= thresholdDb) out.push_back(e);
    }
    std::stable_sort(out.begin() + 1, out.end(),
                     [](const SimEcho& a, const SimEcho& b) { return a.levelDb > b.levelDb; });
    return out;
}

std::string SimGps_FormatDms(double degrees) {
    // Whole milli-arcseconds first, so that rounding never shows 60 seconds.
    const long long total = std::llround(std::fabs(degrees) * 3600.0 * 1000.0);
    const long long d = total / 3600000;
    const long long m = (total % 3600000) / 60000;
    const double s = static_cast<double>(total % 60000) / 1000.0;
    const char* sign = degrees < 0.0 && total > 0 ? "-" : "";
    return Text_Format("%s%lld,%lld,%.3f", sign, d, m, s);
}
