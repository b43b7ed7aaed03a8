#pragma once
// The simulated world of one analyzer: a vehicle driving a route at constant
// speed, one transmitter whose level follows the distance plus shadowing
// (the model of synthdrive.h, so that simulator and record generator tell
// the same story), and the echo profile of each frequency.
#include <cstdint>
#include <string>
#include <vector>

#include "synthdrive.h"

// Below this level the demodulators lose sync; the record generator uses the same.
constexpr double kSimSyncThresholdDbuV = 28.0;

struct SimEcho {
    double levelDb = 0.0;  // relative to the main path (0 dB)
    double timeUs = 0.0;   // delay in microseconds
    int group = 0;         // MISO group (1 or 2; 0 belongs to both)
};

class SimDrive {
public:
    // With routePoints empty the route is a loop of a few kilometres around the origin.
    SimDrive(std::uint64_t seed, double originLatitude, double originLongitude, double speedKmh,
             const std::vector<SynthPoint>& routePoints, double levelOffsetDb);

    double distanceKm(double seconds) const;
    SynthPoint position(double seconds) const;
    double speedKmh() const { return speedKmh_; }
    const SynthRoute& route() const { return route_; }
    const SynthTransmitter& transmitter() const { return tx_; }

    // Level at the analyzer's input in dBuV at a time (seconds since start):
    // the drive's level plus a small measurement jitter that moves even when parked.
    double levelDbuV(double seconds, double frequencyMHz) const;
    // The same without the measurement jitter: what the input attenuator follows.
    double steadyLevelDbuV(double seconds, double frequencyMHz) const;
    // Echo profile at a time: the main path first at 0 dB, then the echoes at or
    // above thresholdDb, strongest first.
    std::vector<SimEcho> echoes(double seconds, double frequencyMHz, double thresholdDb) const;

private:
    std::uint64_t seed_;
    double speedKmh_;
    double levelOffsetDb_;
    SynthRoute route_;
    SynthTransmitter tx_;
};

// A coordinate in the analyzer's "degrees,minutes,seconds" form: the sign in
// front of the degrees, minutes and seconds unsigned ("-10,30,0.000" is -10.5).
std::string SimGps_FormatDms(double degrees);
