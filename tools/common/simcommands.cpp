#include "simcommands.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/text.h"

namespace {

std::string Field(const char* text) { return std::string(text); }

// Splits "SYST:POS:GPS 1" into header and value.
void SplitCommand(const std::string& command, std::string& header, std::string& value) {
    const auto blank = command.find(' ');
    header = SimCommands_Upper(command.substr(0, blank));
    value = blank == std::string::npos ? std::string() : command.substr(blank + 1);
}

SimSetting& SettingFor(SimCommandSet& set, const std::string& header, SimSettingKind kind) {
    const std::string key = SimCommands_Upper(header);
    auto it = set.settings.find(key);
    if (it == set.settings.end()) {
        SimSetting s;
        s.header = key;
        s.kind = kind;
        it = set.settings.emplace(key, s).first;
    }
    return it->second;
}

void AddValue(SimSetting& s, const std::string& value, const std::string& reportedAs = "") {
    if (std::find(s.values.begin(), s.values.end(), value) == s.values.end()) s.values.push_back(value);
    if (s.initial.empty()) s.initial = value;
    if (!reportedAs.empty()) s.reportedAs[value] = reportedAs;
}

void AddRange(SimSetting& s, double minimum, double maximum, const std::string& initial) {
    s.minimum = minimum;
    s.maximum = maximum;
    if (s.initial.empty()) s.initial = initial;
}

void AddOption(SimCommandSet& set, const char* code) {
    std::string text(code);
    if (text.empty()) return;
    // "HW05/HW06" stands for either board; an analyzer carries one of them.
    text = text.substr(0, text.find('/'));
    if (std::find(set.optionCodes.begin(), set.optionCodes.end(), text) == set.optionCodes.end())
        set.optionCodes.push_back(text);
}

void AddQuery(SimCommandSet& set, const std::string& text, SimQueryKind kind, int transferKind,
              const std::string& syncAnswer, SimQueryOwner owner) {
    if (text.empty()) return;
    const std::string key = SimCommands_NormaliseQuery(text);
    auto [it, added] = set.queries.try_emplace(key);
    SimQuery& q = it->second;
    q.owners.push_back(owner);
    // A query the catalogue reads as a sync state stays one, whatever else reads it.
    if (!added && q.kind == SimQueryKind::kSync) return;
    q.kind = kind;
    const auto blank = key.find(' ');
    q.header = key.substr(0, blank);
    q.code = blank == std::string::npos ? std::string() : key.substr(blank + 1);
    q.transferKind = transferKind;
    q.syncAnswer = syncAnswer;
}

// The settings a standard's preparation leaves in place; `shared` holds the
// family's own headers, which say nothing about the standard.
SimStandardSetup StandardSetup(const BroadcastStandard& st, const std::set<std::string>& shared) {
    SimStandardSetup setup;
    std::set<std::string> skip = shared;
    for (const auto& m : st.modes) {
        setup.modes.emplace_back(SimCommands_Upper(m.header), m.value);
        skip.insert(SimCommands_Upper(m.header));
    }
    for (const auto& p : st.parameters) skip.insert(SimCommands_Upper(p.header));
    for (const auto& step : st.setupSteps) {
        SimStandardStep s{SimCommands_Upper(step.header), step.value, step.requiredOption, step.requiredOption2};
        if (skip.count(s.header)) continue;
        auto same = std::find_if(setup.steps.begin(), setup.steps.end(),
                                 [&](const SimStandardStep& o) { return o.header == s.header; });
        if (same != setup.steps.end()) setup.steps.erase(same);  // set twice: the later value stays
        setup.steps.push_back(s);
    }
    return setup;
}

void AddStandard(SimCommandSet& set, const BroadcastStandard& st, int index) {
    const std::string syncAnswer = Field(st.syncAnswer);
    if (set.syncAnswer.empty() && !syncAnswer.empty()) set.syncAnswer = syncAnswer;
    for (const auto& o : st.requiredOptions) AddOption(set, o.optionCode);
    for (const auto& step : st.setupSteps) {
        SimSetting& s = SettingFor(set, step.header, SimSettingKind::kEnumerated);
        AddValue(s, step.value, step.expectedAnswer);
        AddOption(set, step.requiredOption);
        AddOption(set, step.requiredOption2);
    }
    for (const auto& m : st.modes) AddValue(SettingFor(set, m.header, SimSettingKind::kEnumerated), m.value);
    for (const auto& p : st.parameters) {
        if (p.kind == kParameterNumber) {
            AddRange(SettingFor(set, p.header, SimSettingKind::kInteger), p.minimum, p.maximum,
                     Text_Format("%d", p.defaultValue));
        } else {
            SimSetting& s = SettingFor(set, p.header, SimSettingKind::kEnumerated);
            for (const auto& c : p.choices) AddValue(s, c.value);
        }
    }
    AddQuery(set, st.syncQuery, SimQueryKind::kSync, 0, syncAnswer, {index, -1});
    for (const auto& v : st.values) {
        const bool sync = v.displayKind == kSyncState;
        AddQuery(set, v.query, sync ? SimQueryKind::kSync : SimQueryKind::kValue, 0, syncAnswer, {index, v.modeIndex});
    }
    for (const auto& g : st.graphs)
        AddQuery(set, g.query, SimQueryKind::kGraph, g.transferKind, "", {index, g.modeIndex});
    // Read-outs switch no mode (their queryGroup is -1 in every row).
    for (const auto& i : st.infoItems) AddQuery(set, i.query, SimQueryKind::kInfo, 0, "", {index, -1});
}

// Headers of the family's own settings.
std::set<std::string> FamilyHeaders(const AnalyzerFamily& f) {
    std::set<std::string> headers;
    auto add = [&](const char* text) {
        if (!text[0]) return;
        const std::string upper = SimCommands_Upper(text);
        headers.insert(upper.substr(0, upper.find(' ')));
    };
    for (const auto& u : f.levelUnits) add(u.header);
    for (const auto& u : f.inputImpedances) add(u.header);
    add(f.gpsEnableCommand);
    add(f.transducerDirCommand);
    add(f.transducerSelectHeader);
    add(f.transducerStateHeader);
    add(f.frequencyHeader);
    return headers;
}

void AddFamilyHeaders(SimCommandSet& set, const AnalyzerFamily& f) {
    for (const auto& o : f.familyOptions) AddOption(set, o.optionCode);
    for (const auto& u : f.levelUnits) AddValue(SettingFor(set, u.header, SimSettingKind::kEnumerated), u.value);
    for (const auto& u : f.inputImpedances)
        AddValue(SettingFor(set, u.header, SimSettingKind::kEnumerated), u.value);
    for (const auto& r : f.gpsReceivers) {
        for (const auto& step : r.setupSteps)
            AddValue(SettingFor(set, step.header, SimSettingKind::kEnumerated), step.value);
        for (const auto& in : r.inputs)
            AddRange(SettingFor(set, in.header, SimSettingKind::kInteger), in.minimum, in.maximum,
                     Text_Format("%d", in.minimum));
    }
    std::string header, value;
    if (f.gpsEnableCommand[0]) {
        // The switch exists in both positions; it starts off.
        SplitCommand(f.gpsEnableCommand, header, value);
        SimSetting& s = SettingFor(set, header, SimSettingKind::kEnumerated);
        s.initial = "0";
        AddValue(s, "0");
        AddValue(s, value);
    }
    if (f.transducerDirCommand[0]) {
        SplitCommand(f.transducerDirCommand, header, value);
        AddValue(SettingFor(set, header, SimSettingKind::kText), value);
    }
    if (f.transducerSelectHeader[0]) SettingFor(set, f.transducerSelectHeader, SimSettingKind::kText).initial = "''";
    if (f.transducerStateHeader[0]) {
        SimSetting& s = SettingFor(set, f.transducerStateHeader, SimSettingKind::kEnumerated);
        AddValue(s, "0");
        AddValue(s, "1");
    }
    if (f.frequencyHeader[0])
        AddRange(SettingFor(set, f.frequencyHeader, SimSettingKind::kNumber), f.rangeLow * 1e6, f.rangeHigh * 1e6,
                 Text_Format("%.0f", f.rangeDefault * 1e6));
}

}  // namespace

std::string SimCommands_Upper(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string SimCommands_NormaliseQuery(std::string_view query) {
    std::string out;
    char quote = 0;
    bool blank = false;
    for (char c : query) {
        if (quote) {
            out.push_back(c);
            if (c == quote) quote = 0;
            continue;
        }
        if (c == ' ' || c == '\t') {
            blank = !out.empty();
            continue;
        }
        if (blank) out.push_back(' ');
        blank = false;
        if (c == '\'' || c == '"') quote = c;
        out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    if (!out.empty() && out.front() == ':') out.erase(0, 1);
    return out;
}

std::string SimCommands_NoSyncAnswer(const std::string& syncAnswer) {
    if (syncAnswer == "SYNC") return "NSYN";
    if (syncAnswer == "0") return "1";
    return "0";
}

SimCommandSet SimCommands_Build(const AnalyzerFamily& family) {
    SimCommandSet set;
    AddFamilyHeaders(set, family);
    const std::set<std::string> shared = FamilyHeaders(family);
    for (std::size_t i = 0; i < family.standards.size(); ++i) {
        AddStandard(set, family.standards[i], static_cast<int>(i));
        set.standards.push_back(StandardSetup(family.standards[i], shared));
    }
    if (set.syncAnswer.empty()) set.syncAnswer = "1";
    return set;
}
