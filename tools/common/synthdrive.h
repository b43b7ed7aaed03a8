#pragma once
// A deterministic simulated drive: a closed route of a few kilometres around
// an origin, and a transmitter whose signal follows the distance plus smooth
// shadowing. Used by the record file generator and the analyzer simulator,
// so that both tell the same story for the same seed.
#include <cstdint>
#include <vector>

// A small, portable generator (SplitMix64): the same numbers on every platform.
class SynthRandom {
public:
    explicit SynthRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform();                          // [0, 1)
    double uniform(double lo, double hi);      // [lo, hi)
    int below(int n);                          // [0, n)

private:
    std::uint64_t state_;
};

// A stateless hash of (seed, index) into [0, 1): the basis of smooth noise.
double Synth_Hash01(std::uint64_t seed, std::int64_t index);
// Smooth noise in [-1, 1] along x (cosine-interpolated lattice noise of period 1).
double Synth_SmoothNoise(std::uint64_t seed, double x);

struct SynthPoint {
    double latitude = 0.0;
    double longitude = 0.0;
};

struct SynthRoute {
    std::vector<SynthPoint> waypoints;   // closed loop: the last leg returns to the first point
    std::vector<double> legStartKm;      // distance at which each leg begins
    double lengthKm = 0.0;
};

// A loop of 8 to 12 waypoints at 0.8 to 2.5 km around the origin.
SynthRoute SynthRoute_Make(std::uint64_t seed, double originLatitude, double originLongitude);
// A route through given points (for example read from a route file), closed back to the first.
SynthRoute SynthRoute_FromPoints(const std::vector<SynthPoint>& points);
// Position after driving distanceKm along the loop (wrapping around); the
// longitude is always in -180..180, also for a loop across the 180 degree meridian.
SynthPoint SynthRoute_PositionAt(const SynthRoute& route, double distanceKm);
// A longitude brought into -180 (inclusive) .. 180 (exclusive).
double Synth_WrapLongitude(double longitude);

struct SynthTransmitter {
    SynthPoint position;
    double erpDbuVAt1Km = 85.0;  // level in dBuV at 1 km
    std::uint64_t seed = 1;
};

// A transmitter a few kilometres off the route's origin.
SynthTransmitter SynthTransmitter_Make(std::uint64_t seed, double originLatitude, double originLongitude);
// Level in dBuV at a position: free-space-like decay with distance plus smooth
// shadowing that depends on the distance driven and on the frequency.
double Synth_LevelDbuV(const SynthTransmitter& tx, const SynthPoint& at, double distanceDrivenKm,
                       double frequencyMHz);
