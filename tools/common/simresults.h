#pragma once
// The texts a simulated analyzer answers to the catalogue's result queries:
// numbers that follow the signal (level, MER, error rates), short read-out
// texts, and the echo-pattern lists in the forms the measurement reads.
#include <cstdint>
#include <string>
#include <vector>

#include "simcommands.h"
#include "simsignal.h"

// The analyzer's reading of an undefined result.
constexpr const char* kSimUndefined = "99.1e+36";

struct SimSignalState {
    double levelDbuV = 0.0;  // at the input
    double seconds = 0.0;    // time since start, for slow variations
    std::uint64_t seed = 1;
    std::string levelUnit = "DBM";  // value of the level-unit header
    double impedanceOhm = 50.0;
};

// Level in the unit the analyzer is set to: "DBM", "DBMV", "DBUV", "V" or "W".
double SimResults_LevelInUnit(double dbuv, const std::string& unit, double impedanceOhm);
// A value query's answer (the analyzer's own number, before the catalogue's scale).
// Results that need sync are only asked while synchronised; the caller decides.
std::string SimResults_Value(const SimQuery& query, const SimSignalState& state);
// The number a value result answers with --tag-results: 100000 to 999999,
// derived from the query (as SimCommands_NormaliseQuery spells it) alone, so
// that a test can tell which query a stored value answered.
long SimResults_Tag(const std::string& normalisedQuery);
// True when a value needs the demodulator's sync (all but level, MPX power and deviation).
bool SimResults_NeedsSync(const SimQuery& query);
// A read-out's text (shorter than the narrowest read-out field of 10 characters).
std::string SimResults_Info(const SimQuery& query, std::uint64_t seed);
// The echo list of a graph query: transferKind 1 "level,time,..." (time in us),
// 3 and 4 "level,time,group,...", 2 the peak list "{{level,x,index},...}" with x
// in seconds and "{}" when empty.
std::string SimResults_EchoList(int transferKind, const std::vector<SimEcho>& echoes);
