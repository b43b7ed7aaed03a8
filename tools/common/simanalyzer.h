#pragma once
// One simulated TV analyzer: the SCPI command interpreter of its family,
// without sockets. Each received line goes through exchange(), which says
// what to answer, not before when, and whether the connection is to be
// dropped afterwards; the TCP server (tools/sim) only carries the bytes.
// Times are seconds since the simulator started.
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "instrument/receiverinfo.h"
#include "simcommands.h"
#include "simconfig.h"
#include "simsignal.h"
#include "synthdrive.h"

struct SimExchange {
    std::optional<std::string> reply;  // one reply line without its line feed; none: stay silent
    double sendAt = 0.0;               // the reply may not leave before this time
    bool dropConnection = false;       // close the connection abruptly after this exchange
};

class SimAnalyzer {
public:
    // family must outlive the analyzer (the catalogue's own entry does).
    SimAnalyzer(const AnalyzerFamily& family, const SimConfig& config);

    // A new connection begins: the exchange count of the drop fault restarts.
    void connectionOpened();
    // Power off and on: every setting returns to its power-on value.
    void powerCycle(double now);
    SimExchange exchange(const std::string& line, double now);
    // The reply alone, for callers that do not care about timing.
    std::optional<std::string> handleLine(const std::string& line, double now);

    const AnalyzerFamily& family() const { return family_; }
    const SimCommandSet& commands() const { return commands_; }
    std::string identity() const;  // the *IDN? answer
    const std::vector<std::string>& options() const { return options_; }
    // The value a header holds (catalogue spelling), or nullptr for an unknown header.
    const std::string* setting(const std::string& header) const;
    std::size_t errorCount() const { return errors_.size(); }
    bool dirty(double now) const { return now < dirtyUntil_; }
    bool synchronised(double now) const;
    double frequencyMHz() const;
    double levelDbuV(double now) const;
    bool gpsConnected() const;
    bool gpsFix(double now) const;
    int attenuationDb() const { return attenuationDb_; }

private:
    std::optional<std::string> execute(const std::string& command, double now, double& sendAt);
    std::optional<std::string> common(const std::string& header, double now, double& sendAt);
    std::optional<std::string> query(const std::string& command, const std::string& header, double now);
    std::optional<std::string> fixedQuery(const std::string& header, const std::string& argument, double now);
    std::optional<std::string> result(const SimQuery& q, const std::string& key, double now);
    // A result is read only in a standard the analyzer was prepared for, and
    // only in the measurement mode it belongs to.
    bool answersResult(const SimQuery& q) const;
    bool inStandard(std::size_t standard) const;
    bool holds(const std::string& header, const std::string& value) const;
    bool installed(const std::string& code) const;
    std::optional<std::string> gpsCoordinate(bool longitude, double now) const;
    bool receiverSetUp(const GpsReceiverChoice& receiver) const;
    void set(const SimSetting& s, const std::string& argument, double now);
    void pushError(int code, const std::string& text);
    void changed(double now);
    void followAttenuation(double now);
    void changeAttenuation(int db, double now);
    std::string reported(const std::string& header) const;
    std::string levelUnit() const;
    double impedanceOhm() const;
    double hysteresisDb() const;

    const AnalyzerFamily& family_;
    SimConfig config_;
    bool opcWaitsForSettling_ = false;  // the family's *OPC? doubles as its valid-data query
    std::string gpsEnableHeader_;       // empty where GPS evaluation is always on
    const GpsReceiverChoice* attachedReceiver_ = nullptr;  // null: no setup needed
    std::string hysteresisHeader_;      // the "Adjacent channels" parameter
    std::string thresholdHeader_;       // the echo-pattern threshold
    SimCommandSet commands_;
    SimDrive drive_;
    std::string model_, serial_, firmware_;
    std::vector<std::string> options_;

    std::map<std::string, std::string> values_;  // by header
    std::set<std::string> setHeaders_;           // headers set since start (or *RST)
    std::deque<std::string> errors_;
    double dirtyUntil_ = 0.0;
    int attenuationDb_ = -1;  // -1 until the first level is seen
    bool attenuationChanged_ = false;
    long long exchanges_ = 0;  // on the current connection

    SynthRandom noReplyDraws_;
    SynthRandom undefinedDraws_;
    SynthRandom attChangeDraws_;
    SynthRandom lateDraws_;
};
