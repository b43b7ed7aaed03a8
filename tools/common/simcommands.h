#pragma once
// The SCPI command set of one simulated analyzer, derived from its family's
// catalogue entry: every header the catalogue sets (setup steps, parameters,
// modes, level units, impedances, GPS receiver steps and inputs, frequency,
// transducer) with the values it may take, and every query it reads
// (values, sync states, echo patterns, read-outs).
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/receiverinfo.h"

enum class SimSettingKind {
    kEnumerated,  // one of the catalogue's values (numbers compare as numbers)
    kInteger,     // an integer in [minimum, maximum]
    kNumber,      // any number in [minimum, maximum]
    kText,        // any text (file names in single quotes)
};

struct SimSetting {
    std::string header;  // upper case, as the catalogue spells it
    SimSettingKind kind = SimSettingKind::kEnumerated;
    std::vector<std::string> values;                // catalogue spellings, first seen first
    std::map<std::string, std::string> reportedAs;  // value -> the analyzer's read-back ("ON" -> "1")
    double minimum = 0.0;
    double maximum = 0.0;
    std::string initial;  // what the analyzer holds before anyone sets it
};

enum class SimQueryKind { kValue, kSync, kGraph, kInfo };

// A standard that reads a result query, and the measurement mode it reads it in.
struct SimQueryOwner {
    int standard = 0;     // 0-based position in the family's standards
    int modeIndex = -1;   // 1-based position in that standard's modes; -1: any mode
};

struct SimQuery {
    SimQueryKind kind = SimQueryKind::kValue;
    std::string header;      // "CALC:DTV:RES:A?"
    std::string code;        // "MERR"; empty for a query without parameter
    int transferKind = 0;    // graphs only
    std::string syncAnswer;  // sync only: the answer meaning synchronised
    std::vector<SimQueryOwner> owners;
};

// One setting that the preparation of a standard leaves in place, with the
// options its step needs (the step is skipped where they are missing).
struct SimStandardStep {
    std::string header;  // upper case
    std::string value;
    std::string requiredOption;
    std::string requiredOption2;
};

// What puts the analyzer into a standard and into each of its modes. The modes,
// the per-frequency parameters and the family's own settings (unit, input,
// transducer, frequency, GPS) are left out of the steps: they change while the
// standard stays.
struct SimStandardSetup {
    std::vector<SimStandardStep> steps;  // the last value each header is set to
    std::vector<std::pair<std::string, std::string>> modes;  // (upper-case header, value) of mode 1, 2, ...
};

struct SimCommandSet {
    std::map<std::string, SimSetting> settings;  // by upper-case header
    std::map<std::string, SimQuery> queries;     // by normalised query text
    std::vector<SimStandardSetup> standards;     // in the family's order
    std::vector<std::string> optionCodes;        // every option the tables mention (first alternative)
    std::string syncAnswer;                      // the family's answer for "synchronised"
};

SimCommandSet SimCommands_Build(const AnalyzerFamily& family);

// Upper case of the header part and single blanks: "calc:dtv:res?  lev" -> "CALC:DTV:RES? LEV".
std::string SimCommands_NormaliseQuery(std::string_view query);
std::string SimCommands_Upper(std::string_view text);
// The answer meaning "not synchronised" for a sync answer: "1" -> "0", "SYNC" -> "NSYN".
std::string SimCommands_NoSyncAnswer(const std::string& syncAnswer);
