#include "simanalyzer.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

#include "platform/text.h"
#include "simresults.h"

namespace {

constexpr std::size_t kErrorQueueLength = 10;
constexpr int kErrorUndefinedHeader = -113;
constexpr int kErrorMissingParameter = -109;
constexpr int kErrorIllegalValue = -224;
constexpr int kErrorOutOfRange = -222;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// "A 1;*OPC?" -> {"A 1", "*OPC?"}; a ';' inside quotes belongs to the text.
std::vector<std::string> SplitCommands(const std::string& line) {
    std::vector<std::string> out;
    std::string current;
    char quote = 0;
    for (char c : line) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            out.push_back(current);
            current.clear();
            continue;
        }
        current.push_back(c);
    }
    out.push_back(current);
    return out;
}

bool SameNumber(const std::string& a, const std::string& b) {
    double x, y;
    if (!Text_ParseDouble(a, x) || !Text_ParseDouble(b, y)) return false;
    return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::max(std::fabs(x), std::fabs(y)));
}

double FirmwareNumber(const char* text) {
    std::string t(text);
    const auto digit = t.find_first_of("0123456789");
    double v = 0.0;
    if (digit != std::string::npos) Text_ParseDouble(t.substr(digit), v);
    return v;
}

std::string Upper(const char* text) { return SimCommands_Upper(text); }

}  // namespace

SimAnalyzer::SimAnalyzer(const AnalyzerFamily& family, const SimConfig& config)
    : family_(family),
      config_(config),
      commands_(SimCommands_Build(family)),
      drive_(config.seed, config.latitude, config.longitude, config.speedKmh, config.routePoints,
             config.levelOffsetDb),
      noReplyDraws_(config.seed ^ 0x0DE1A7ull),
      undefinedDraws_(config.seed ^ 0x99E36ull),
      attChangeDraws_(config.seed ^ 0xA77ull),
      lateDraws_(config.seed ^ 0x1A7Eull) {
    opcWaitsForSettling_ = Upper(family.validDataCommand) == "*OPC";
    if (family.gpsEnableCommand[0]) {
        const std::string enable = Upper(family.gpsEnableCommand);
        gpsEnableHeader_ = enable.substr(0, enable.find(' '));
    }
    for (const auto& r : family.gpsReceivers)
        if (!strcasecmp(r.name, config.gpsReceiver.c_str())) attachedReceiver_ = &r;
    for (const auto& st : family.standards) {
        for (const auto& p : st.parameters)
            if (p.adjacentFlag) hysteresisHeader_ = Upper(p.header);
        for (const auto& step : st.setupSteps) {
            const std::string h = Upper(step.header);
            if (h.find("EPAT") != std::string::npos && h.find("THR") != std::string::npos) thresholdHeader_ = h;
        }
    }

    model_ = config.model.empty() ? std::string(family.modelName) : config.model;
    serial_ = config.serial.empty() ? Text_Format("1234.5678k22/%06llu",
                                                  static_cast<unsigned long long>(100000 + config.seed % 900000))
                                    : config.serial;
    const double minimum = FirmwareNumber(family.minFirmware);
    if (!config.firmware.empty()) firmware_ = config.firmware;
    else firmware_ = Text_Format("%.2f", config.oldFirmware ? minimum - 0.10 : minimum + 0.05);

    if (config.optionsGiven) {
        options_ = config.options;
    } else {
        for (const auto& code : commands_.optionCodes)
            if (std::find(config.missingOptions.begin(), config.missingOptions.end(), code) ==
                config.missingOptions.end())
                options_.push_back(code);
    }
    for (const auto& [header, s] : commands_.settings) values_[header] = s.initial;
}

std::string SimAnalyzer::identity() const { return "Korvane," + model_ + "," + serial_ + "," + firmware_; }

const std::string* SimAnalyzer::setting(const std::string& header) const {
    auto it = values_.find(SimCommands_Upper(header));
    return it == values_.end() ? nullptr : &it->second;
}

void SimAnalyzer::connectionOpened() { exchanges_ = 0; }

void SimAnalyzer::powerCycle(double now) {
    for (const auto& [h, s] : commands_.settings) values_[h] = s.initial;
    setHeaders_.clear();
    errors_.clear();
    attenuationChanged_ = false;
    changed(now);
}

std::optional<std::string> SimAnalyzer::handleLine(const std::string& line, double now) {
    return exchange(line, now).reply;
}

SimExchange SimAnalyzer::exchange(const std::string& line, double now) {
    ++exchanges_;
    followAttenuation(now);
    SimExchange ex;
    double sendAt = now;
    std::vector<std::string> answers;
    for (const auto& command : SplitCommands(line))
        if (auto answer = execute(Trim(command), now, sendAt)) answers.push_back(*answer);
    // A new frequency or impedance moves the level: the attenuator follows at once,
    // within the same settling.
    followAttenuation(now);
    if (!answers.empty()) {
        std::string joined;
        for (const auto& a : answers) joined += (joined.empty() ? "" : ";") + a;
        // Draw only for lines that have a reply, so that the sequence of the
        // dropped replies depends on the queries alone.
        const bool lost = config_.noReplyShare > 0.0 && noReplyDraws_.uniform() < config_.noReplyShare;
        if (!lost) ex.reply = joined;
        if (!lost && config_.lateShare > 0.0 && lateDraws_.uniform() < config_.lateShare)
            sendAt += config_.lateMs / 1000.0;
    }
    ex.sendAt = sendAt + config_.latencyMs / 1000.0;
    ex.dropConnection = config_.dropAfter > 0 && exchanges_ >= config_.dropAfter;
    return ex;
}

std::optional<std::string> SimAnalyzer::execute(const std::string& command, double now, double& sendAt) {
    if (command.empty()) return std::nullopt;
    const auto blank = command.find_first_of(" \t");
    std::string header = SimCommands_Upper(command.substr(0, blank));
    const std::string argument = blank == std::string::npos ? std::string() : Trim(command.substr(blank + 1));
    if (!header.empty() && header.front() == ':') header.erase(0, 1);
    if (header.empty()) return std::nullopt;
    if (header.front() == '*') return common(header, now, sendAt);
    if (header == Upper(family_.localCommand)) return std::nullopt;  // back to local operation
    if (header.back() == '?') return query(command, header, now);
    if (family_.attChangeReset[0] && header == Upper(family_.attChangeReset)) {
        attenuationChanged_ = false;
        return std::nullopt;
    }
    if (header == Upper(family_.berResetCommand)) return std::nullopt;  // averaging starts again
    auto it = commands_.settings.find(header);
    if (it == commands_.settings.end()) {
        pushError(kErrorUndefinedHeader, family_.errorUndefinedHeader);
        return std::nullopt;
    }
    set(it->second, argument, now);
    return std::nullopt;
}

std::optional<std::string> SimAnalyzer::common(const std::string& header, double now, double& sendAt) {
    if (header == "*IDN?") return identity();
    if (header == "*OPT?") {
        std::string list;
        for (const auto& o : options_) list += (list.empty() ? "" : ",") + o;
        return list.empty() ? std::string("0") : list;
    }
    if (header == "*OPC?") {
        // Where *OPC? tells that results are valid, it answers only once they are.
        if (opcWaitsForSettling_) sendAt = std::max(sendAt, dirtyUntil_);
        return std::string("1");
    }
    if (header == "*OPC" || header == "*WAI") return std::nullopt;
    if (header == "*RST") {
        for (const auto& [h, s] : commands_.settings) values_[h] = s.initial;
        setHeaders_.clear();
        changed(now);
        return std::nullopt;
    }
    if (header == "*CLS") {
        errors_.clear();
        return std::nullopt;
    }
    if (header == "*ESR?") return std::string("0");
    if (header == "*STB?") return std::string(errors_.empty() ? "0" : "4");  // bit 2: error queue not empty
    pushError(kErrorUndefinedHeader, family_.errorUndefinedHeader);
    return std::nullopt;
}

std::optional<std::string> SimAnalyzer::query(const std::string& command, const std::string& header, double now) {
    const std::string key = SimCommands_NormaliseQuery(command);
    if (auto it = commands_.queries.find(key); it != commands_.queries.end()) {
        if (answersResult(it->second)) return result(it->second, key, now);
        // Outside its standard or mode the query is as unknown as any other.
        pushError(kErrorUndefinedHeader, family_.errorUndefinedHeader);
        return std::nullopt;
    }
    const auto blank = key.find(' ');
    const std::string argument = blank == std::string::npos ? std::string() : key.substr(blank + 1);
    if (auto answer = fixedQuery(header, argument, now)) return answer;
    const std::string base = header.substr(0, header.size() - 1);
    if (argument.empty() && values_.count(base)) return reported(base);
    pushError(kErrorUndefinedHeader, family_.errorUndefinedHeader);
    return std::nullopt;
}

std::optional<std::string> SimAnalyzer::fixedQuery(const std::string& header, const std::string& argument,
                                                   double now) {
    auto is = [&](const char* familyQuery) {
        return familyQuery[0] && argument.empty() && header == SimCommands_NormaliseQuery(familyQuery);
    };
    if (!opcWaitsForSettling_ && family_.validDataCommand[0] && argument.empty() &&
        header == Upper(family_.validDataCommand) + "?") {
        const std::string valid = family_.validDataAnswer;
        return dirty(now) ? SimCommands_NoSyncAnswer(valid) : valid;
    }
    if (is(family_.errorQuery)) {
        if (errors_.empty()) return std::string("0,\"No error\"");
        std::string e = errors_.front();
        errors_.pop_front();
        return e;
    }
    if (is(family_.gpsConnectedQuery)) return std::string(gpsConnected() ? "1" : "0");
    if (is(family_.gpsValidQuery)) return std::string(gpsFix(now) ? "1" : "0");
    if (is(family_.longitudeQuery)) return gpsCoordinate(true, now);
    if (is(family_.latitudeQuery)) return gpsCoordinate(false, now);
    if (is(family_.speedQuery)) {
        if (!gpsFix(now)) return std::string("---");
        return Text_Format("%.2f", drive_.speedKmh() / 1.852);  // knots
    }
    if (is(family_.refLevelQuery)) {
        if (config_.attChangeShare > 0.0 && attChangeDraws_.uniform() < config_.attChangeShare)
            changeAttenuation(attenuationDb_ >= 40 ? 35 : attenuationDb_ + 5, now);
        // The first family reads a reference level (dBm), the others the attenuation (dB).
        if (std::string(family_.refLevelQuery).find("RLEV") != std::string::npos)
            return Text_Format("%.2f", attenuationDb_ - 30.0);
        return Text_Format("%d", attenuationDb_);
    }
    if (is(family_.attChangeQuery)) {
        const bool changedSinceReset = attenuationChanged_;
        // Without a reset command, reading the flag clears it.
        if (!family_.attChangeReset[0]) attenuationChanged_ = false;
        return std::string(changedSinceReset ? "1" : "0");
    }
    const std::string listQuery = SimCommands_NormaliseQuery(family_.transducerListQuery);
    if (!listQuery.empty() && header == listQuery.substr(0, listQuery.find(' ')))
        return std::string("2048,1046528,\"ANTENNA1.TDF,,1024\",\"ANTENNA2.TDF,,1024\"");
    return std::nullopt;
}

std::optional<std::string> SimAnalyzer::result(const SimQuery& q, const std::string& key, double now) {
    const bool sync = synchronised(now);
    if (q.kind == SimQueryKind::kSync) return sync ? q.syncAnswer : SimCommands_NoSyncAnswer(q.syncAnswer);
    const bool undefined = config_.undefinedShare > 0.0 && undefinedDraws_.uniform() < config_.undefinedShare;
    switch (q.kind) {
    case SimQueryKind::kValue: {
        if (undefined || (SimResults_NeedsSync(q) && !sync)) return std::string(kSimUndefined);
        if (config_.tagResults) return Text_Format("%ld", SimResults_Tag(key));
        SimSignalState s;
        s.levelDbuV = levelDbuV(now);
        s.seconds = now;
        s.seed = config_.seed;
        s.levelUnit = levelUnit();
        s.impedanceOhm = impedanceOhm();
        return SimResults_Value(q, s);
    }
    case SimQueryKind::kInfo:
        if (undefined || !sync) return std::string("---");
        return SimResults_Info(q, config_.seed);
    case SimQueryKind::kGraph: {
        if (undefined || !sync) return std::string(q.transferKind == 2 ? "{}" : "---");
        double threshold = -35.0;
        if (auto it = values_.find(thresholdHeader_); it != values_.end()) Text_ParseDouble(it->second, threshold);
        return SimResults_EchoList(q.transferKind, drive_.echoes(now, frequencyMHz(), threshold));
    }
    default:
        return std::nullopt;
    }
}

bool SimAnalyzer::installed(const std::string& code) const {
    if (code.empty()) return true;
    // "HW05/HW06" stands for either option.
    for (std::size_t start = 0;;) {
        const auto slash = code.find('/', start);
        const std::string one = code.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (std::find(options_.begin(), options_.end(), one) != options_.end()) return true;
        if (slash == std::string::npos) return false;
        start = slash + 1;
    }
}

bool SimAnalyzer::holds(const std::string& header, const std::string& value) const {
    auto it = values_.find(header);
    return it != values_.end() && (!strcasecmp(it->second.c_str(), value.c_str()) || SameNumber(it->second, value));
}

bool SimAnalyzer::inStandard(std::size_t standard) const {
    // Every step of the preparation must have been sent, not merely match the
    // power-on state, so that a skipped step shows.
    for (const auto& step : commands_.standards[standard].steps) {
        if (!installed(step.requiredOption) || !installed(step.requiredOption2)) continue;
        if (!setHeaders_.count(step.header) || !holds(step.header, step.value)) return false;
    }
    return true;
}

bool SimAnalyzer::answersResult(const SimQuery& q) const {
    for (const auto& owner : q.owners) {
        const auto s = static_cast<std::size_t>(owner.standard);
        if (s >= commands_.standards.size() || !inStandard(s)) continue;
        const auto& modes = commands_.standards[s].modes;
        if (owner.modeIndex < 1 || static_cast<std::size_t>(owner.modeIndex) > modes.size()) return true;
        const auto& [header, value] = modes[static_cast<std::size_t>(owner.modeIndex - 1)];
        if (holds(header, value)) return true;
    }
    return false;
}

std::optional<std::string> SimAnalyzer::gpsCoordinate(bool longitude, double now) const {
    if (!gpsConnected()) return std::string("---");
    if (!gpsFix(now)) return std::string("0,0,0.0");
    const SynthPoint p = drive_.position(now);
    return SimGps_FormatDms(longitude ? p.longitude : p.latitude);
}

void SimAnalyzer::set(const SimSetting& s, const std::string& argument, double now) {
    if (argument.empty()) {
        pushError(kErrorMissingParameter, "Missing parameter");
        return;
    }
    std::string stored;
    switch (s.kind) {
    case SimSettingKind::kEnumerated:
        for (const auto& v : s.values)
            if (!strcasecmp(v.c_str(), argument.c_str()) || SameNumber(v, argument)) stored = v;
        if (stored.empty()) {
            pushError(kErrorIllegalValue, "Illegal parameter value");
            return;
        }
        break;
    case SimSettingKind::kInteger:
    case SimSettingKind::kNumber: {
        double v = 0.0;
        const bool integral = s.kind == SimSettingKind::kInteger;
        if (!Text_ParseDouble(argument, v) || (integral && v != std::floor(v))) {
            pushError(kErrorIllegalValue, "Illegal parameter value");
            return;
        }
        if (v < s.minimum || v > s.maximum) {
            pushError(kErrorOutOfRange, "Data out of range");
            return;
        }
        stored = integral ? Text_Format("%lld", static_cast<long long>(v)) : Text_Format("%.12g", v);
        break;
    }
    case SimSettingKind::kText:
        stored = argument;
        break;
    }
    setHeaders_.insert(s.header);
    std::string& current = values_[s.header];
    if (current == stored) return;
    current = stored;
    changed(now);
}

void SimAnalyzer::pushError(int code, const std::string& text) {
    if (errors_.size() >= kErrorQueueLength) {
        errors_.back() = "-350,\"Queue overflow\"";
        return;
    }
    errors_.push_back(Text_Format("%d,\"%s\"", code, text.c_str()));
}

void SimAnalyzer::changed(double now) {
    // A new setting throws the demodulator out of step until it has settled again.
    dirtyUntil_ = std::max(dirtyUntil_, now + config_.settleMs / 1000.0);
}

void SimAnalyzer::followAttenuation(double now) {
    const double dbm = SimResults_LevelInUnit(drive_.steadyLevelDbuV(now, frequencyMHz()), "DBM", impedanceOhm());
    // Auto attenuation in 5 dB steps: 0 dB up to -65 dBm, 40 dB from -25 dBm on.
    const int target = std::clamp(5 * static_cast<int>(std::ceil((dbm + 65.0) / 5.0)), 0, 40);
    if (attenuationDb_ < 0) {
        attenuationDb_ = target;
        return;
    }
    const double centre = attenuationDb_ - 65.0 - 2.5;
    if (target != attenuationDb_ && std::fabs(dbm - centre) > 2.5 + hysteresisDb()) changeAttenuation(target, now);
}

void SimAnalyzer::changeAttenuation(int db, double now) {
    attenuationDb_ = db;
    attenuationChanged_ = true;
    changed(now);
}

std::string SimAnalyzer::reported(const std::string& header) const {
    const std::string& value = values_.at(header);
    const SimSetting& s = commands_.settings.at(header);
    auto it = s.reportedAs.find(value);
    return it == s.reportedAs.end() ? value : it->second;
}

std::string SimAnalyzer::levelUnit() const {
    if (family_.levelUnits.empty()) return "DBM";
    const std::string* unit = setting(family_.levelUnits.front().header);
    return unit ? SimCommands_Upper(*unit) : "DBM";
}

double SimAnalyzer::impedanceOhm() const {
    double ohm = 50.0;
    if (!family_.inputImpedances.empty())
        if (const std::string* v = setting(family_.inputImpedances.front().header)) Text_ParseDouble(*v, ohm);
    return ohm;
}

double SimAnalyzer::hysteresisDb() const {
    double db = 6.0;  // where the user cannot choose it
    if (const std::string* v = hysteresisHeader_.empty() ? nullptr : setting(hysteresisHeader_))
        Text_ParseDouble(*v, db);
    return db;
}

double SimAnalyzer::frequencyMHz() const {
    double hz = family_.rangeDefault * 1e6;
    if (const std::string* v = setting(family_.frequencyHeader)) Text_ParseDouble(*v, hz);
    return hz / 1e6;
}

double SimAnalyzer::levelDbuV(double now) const { return drive_.levelDbuV(now, frequencyMHz()); }

bool SimAnalyzer::synchronised(double now) const {
    return !dirty(now) && levelDbuV(now) >= kSimSyncThresholdDbuV;
}

bool SimAnalyzer::gpsConnected() const {
    if (config_.gps == SimGpsState::kDisconnected) return false;
    if (attachedReceiver_ && !receiverSetUp(*attachedReceiver_)) return false;
    if (gpsEnableHeader_.empty()) return true;
    const std::string* enabled = setting(gpsEnableHeader_);
    return enabled && *enabled == "1";
}

bool SimAnalyzer::receiverSetUp(const GpsReceiverChoice& receiver) const {
    // Every step sent; where steps share a header, the last value is the one that holds.
    std::map<std::string, std::string> last;
    for (const auto& step : receiver.setupSteps) last[Upper(step.header)] = step.value;
    for (const auto& [header, value] : last)
        if (!setHeaders_.count(header) || !holds(header, value)) return false;
    const std::string port = config_.gpsPort > 0 ? std::to_string(config_.gpsPort) : std::string();
    for (const auto& in : receiver.inputs) {
        const std::string header = Upper(in.header);
        if (!setHeaders_.count(header) || (!port.empty() && !holds(header, port))) return false;
    }
    return true;
}

bool SimAnalyzer::gpsFix(double now) const {
    if (!gpsConnected() || config_.gps == SimGpsState::kNoFix) return false;
    if (config_.noFixShare <= 0.0) return true;
    // Outages come in stretches of 10 s, as under bridges and in cuttings.
    const auto slot = static_cast<std::int64_t>(std::floor(std::max(0.0, now) / 10.0));
    return Synth_Hash01(config_.seed ^ 0x6F1Aull, slot) >= config_.noFixShare;
}
