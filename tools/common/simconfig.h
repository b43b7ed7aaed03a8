#pragma once
// The command line of the analyzer simulator: which analyzer it plays (family,
// identity, options, GPS receiver), where it listens, the simulated drive,
// and the faults it injects on request.
#include <cstdint>
#include <string>
#include <vector>

#include "synthdrive.h"

enum class SimGpsState { kConnected, kDisconnected, kNoFix };

struct SimConfig {
    std::string family;
    std::string address = "127.0.0.1";
    int port = -1;  // -1: the family's SCPI port; 0: any free port
    bool allowAnyAddress = false;

    std::string model;     // empty: the family's model name
    std::string serial;    // empty: derived from the seed
    std::string firmware;  // empty: a little above the family's minimum
    bool oldFirmware = false;  // report a firmware below the family's minimum
    bool optionsGiven = false;
    std::vector<std::string> options;         // with optionsGiven: exactly these
    std::vector<std::string> missingOptions;  // taken out of the default list

    std::uint64_t seed = 1;
    double latitude = 48.137;
    double longitude = 11.575;
    double speedKmh = 36.0;
    std::string routeFile;
    std::vector<SynthPoint> routePoints;  // read from routeFile
    SimGpsState gps = SimGpsState::kConnected;
    // The receiver attached (a name of the family's GPS receivers): reported
    // connected only once its setup steps and inputs were sent. Empty: always.
    std::string gpsReceiver;
    int gpsPort = 0;  // the input value the attached receiver needs; 0: any
    double noFixShare = 0.0;     // share of the time in stretches without fix
    double levelOffsetDb = 0.0;  // added to every simulated level (cable loss, weak area)
    int settleMs = 300;          // how long results stay invalid after a setting changed

    // Faults, deterministic by seed.
    int latencyMs = 0;
    double noReplyShare = 0.0;
    long long dropAfter = 0;  // exchanges per connection; 0: never
    double dropAtSeconds = -1.0;
    double dropDownSeconds = 0.0;  // after a drop, no connection is accepted for this long
    bool dropResets = false;       // a drop is a power cycle: the settings return to their power-on values
    double lateShare = 0.0;        // share of the replies that come lateMs late
    int lateMs = 700;
    bool tagResults = false;       // value results answer SimResults_Tag of their query instead of a reading
    double undefinedShare = 0.0;
    double attChangeShare = 0.0;
    double exitAfterSeconds = -1.0;

    bool verbose = false;
    bool help = false;
};

// Parses the arguments (without the program name) and reads the route file.
// False with a one-line error on a bad command line.
bool SimConfig_Parse(const std::vector<std::string>& args, SimConfig& config, std::string& error);
const char* SimConfig_Help();
// True for a dotted IPv4 address in 127.0.0.0/8.
bool SimConfig_IsLoopback(const std::string& address);
// One "lat,lon" per line; blank lines and lines starting with '#' are skipped.
bool SimConfig_ReadRoute(const std::string& path, std::vector<SynthPoint>& points, std::string& error);
