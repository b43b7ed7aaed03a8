// Builds the analyzer catalogue from the compiled-in tables and answers the
// look-ups of discovery, configuration check and measurement threads.
#include "instrument/receiverinfo.h"

#include <cstring>
#include <string>
#include <string_view>

#include "instrument/catalogue_rows.h"
#include "platform/text.h"

namespace {

using namespace catalogue;

// Built once on the main thread, read-only afterwards.
std::vector<AnalyzerFamily> g_families;
int g_cutTexts = 0;

// Copies a table text into its field; a text that does not fit is cut and counted,
// so that a too long literal shows up in the tests instead of in a record file.
template <std::size_t N>
void Put(char (&field)[N], std::string_view text) {
    if (text.size() >= N) ++g_cutTexts;
    Text_Copy(field, text);
}

template <std::size_t N>
void Put(char (&field)[N], const char* text) {
    Put(field, std::string_view(text ? text : ""));
}

// The long name of a value or read-out. A single-word group level names the
// measurement that the name refines ("MER RMS [dB]", "TPS Cell ID"). A longer
// path names the measurement completely and the name only picks a part of it,
// so the part comes first and the unit stays last ("Layer A BER before
// Viterbi [10-6]", "Overall MER RMS [dB]", "Layer A TMCC Coderate"). Top-level
// rows keep their name.
std::string LongName(std::string_view group, std::string_view name) {
    std::size_t bar = group.find('|');
    if (bar == std::string_view::npos) return std::string(name);
    std::string path(group.substr(bar + 1));
    for (char& c : path)
        if (c == '|') c = ' ';
    if (path.find(' ') == std::string::npos) return path + " " + std::string(name);

    std::string_view part = name;
    std::string_view unit;
    std::size_t bracket = name.rfind(" [");
    if (bracket != std::string_view::npos && name.back() == ']') {
        part = name.substr(0, bracket);
        unit = name.substr(bracket + 1);
    }
    std::string longName = std::string(part) + " " + path;
    if (!unit.empty()) longName += " " + std::string(unit);
    return longName;
}

const char* RowMinimum(const char* rowMinimum, const StandardTable& table) {
    return rowMinimum == kStandardMinimum ? table.measurementMinFirmware : rowMinimum;
}

RequiredOption MakeOption(const OptionRow& row) {
    RequiredOption option{};
    Put(option.description, row.description);
    Put(option.optionCode, row.optionCode);
    return option;
}

MeasurementMode MakeMode(const ModeRow& row) {
    MeasurementMode mode{};
    Put(mode.description, row.description);
    Put(mode.header, row.header);
    Put(mode.value, row.value);
    // The wait for valid data after a mode switch.
    mode.validDataHold = 1.0;
    mode.settleTimeout = 3.0;
    return mode;
}

SetupStep MakeStep(const StepRow& row) {
    SetupStep step{};
    Put(step.description, row.description);
    Put(step.header, row.header);
    Put(step.value, row.value);
    Put(step.expectedAnswer, row.expectedAnswer);
    step.settleTime = row.settleTime;
    Put(step.requiredOption, row.requiredOption);
    Put(step.requiredOption2, row.requiredOption2);
    return step;
}

StandardParameter MakeParameter(const ParameterRow& row) {
    StandardParameter parameter{};
    Put(parameter.columnTitle, row.columnTitle);
    parameter.columnWidth = row.columnWidth;
    Put(parameter.header, row.header);
    parameter.kind = row.kind;
    parameter.defaultValue = row.defaultValue;
    for (const ChoiceRow& choiceRow : row.choices) {
        ParameterChoice choice{};
        Put(choice.label, choiceRow.label);
        Put(choice.value, choiceRow.value);
        parameter.choices.push_back(choice);
    }
    parameter.minimum = row.minimum;
    parameter.maximum = row.maximum;
    Put(parameter.help, row.help);
    parameter.adjacentFlag = row.adjacentFlag;
    return parameter;
}

MeasurementValue MakeValue(const ValueRow& row, const StandardTable& table) {
    MeasurementValue value{};
    Put(value.group, row.group);
    Put(value.name, row.name);
    Put(value.longName, LongName(row.group, row.name));
    value.decimals = row.decimals;
    value.accumulateFlag = row.accumulateFlag;
    value.displayKind = row.displayKind;
    value.queryGroup = row.queryGroup;
    value.modeIndex = row.modeIndex;
    Put(value.query, row.query == kSyncQuery ? table.syncQuery : row.query);
    value.scale = row.scale;
    Put(value.minFirmware, RowMinimum(row.minFirmware, table));
    return value;
}

MeasurementGraph MakeGraph(const GraphRow& row, const StandardTable& table) {
    MeasurementGraph graph{};
    Put(graph.group, row.group);
    Put(graph.name, row.name);
    Put(graph.longName, row.longName);
    graph.points = row.points;
    Put(graph.xLabel, row.xLabel);
    Put(graph.xMin, row.xMin);
    Put(graph.xMax, row.xMax);
    Put(graph.yLabel, row.yLabel);
    Put(graph.yMin, row.yMin);
    Put(graph.yMax, row.yMax);
    graph.queryGroup = row.queryGroup;
    graph.modeIndex = row.modeIndex;
    Put(graph.query, row.query);
    graph.transferKind = row.transferKind;
    Put(graph.minFirmware, RowMinimum(row.minFirmware, table));
    return graph;
}

StandardInfoItem MakeInfoItem(const InfoRow& row, const StandardTable& table) {
    StandardInfoItem item{};
    Put(item.group, row.group);
    Put(item.name, row.name);
    Put(item.longName, LongName(row.group, row.name));
    item.width = row.width;
    item.queryGroup = -1;  // read-outs need no synchronisation
    Put(item.query, row.query);
    Put(item.minFirmware, RowMinimum(row.minFirmware, table));
    return item;
}

BroadcastStandard MakeStandard(const StandardTable& table) {
    BroadcastStandard standard{};
    Put(standard.name, table.name);
    Put(standard.code, table.code);
    standard.validDataHold = table.validDataHold;
    standard.settleTimeout = table.settleTimeout;
    Put(standard.syncQuery, table.syncQuery);
    Put(standard.syncAnswer, table.syncAnswer);
    standard.syncHold = table.syncHold;
    standard.syncTimeout = table.syncTimeout;
    standard.extraTime = table.extraTime;
    for (const OptionRow& row : table.requiredOptions) standard.requiredOptions.push_back(MakeOption(row));
    for (const ModeRow& row : table.modes) standard.modes.push_back(MakeMode(row));
    for (const StepRow& row : table.setupSteps) standard.setupSteps.push_back(MakeStep(row));
    for (const ParameterRow& row : table.parameters) standard.parameters.push_back(MakeParameter(row));
    for (const ValueRow& row : table.values) standard.values.push_back(MakeValue(row, table));
    for (const GraphRow& row : table.graphs) standard.graphs.push_back(MakeGraph(row, table));
    for (const InfoRow& row : table.infoItems) standard.infoItems.push_back(MakeInfoItem(row, table));
    return standard;
}

GpsReceiverChoice MakeGpsReceiver(const GpsReceiverRow& row) {
    GpsReceiverChoice receiver{};
    Put(receiver.name, row.name);
    for (const GpsStepRow& stepRow : row.setupSteps) {
        GpsSetupStep step{};
        Put(step.description, stepRow.description);
        Put(step.header, stepRow.header);
        Put(step.value, stepRow.value);
        receiver.setupSteps.push_back(step);
    }
    for (const GpsInputRow& inputRow : row.inputs) {
        GpsInputParameter input{};
        Put(input.description, inputRow.description);
        Put(input.header, inputRow.header);
        input.reserved = 0;
        input.minimum = inputRow.minimum;
        input.maximum = inputRow.maximum;
        Put(input.help, inputRow.help);
        receiver.inputs.push_back(input);
    }
    return receiver;
}

UnitChoice MakeUnit(const UnitRow& row) {
    UnitChoice unit{};
    Put(unit.label, row.label);
    Put(unit.header, row.header);
    Put(unit.value, row.value);
    return unit;
}

AnalyzerFamily MakeFamily(const FamilyTable& table) {
    AnalyzerFamily family{};
    Put(family.modelName, table.modelName);
    Put(family.modelLetter, table.modelLetter);
    Put(family.minFirmware, table.minFirmware);
    family.macPrefixes.assign(table.macPrefixes.begin(), table.macPrefixes.end());
    family.scpiPort = table.scpiPort;
    for (const OptionRow& row : table.familyOptions) family.familyOptions.push_back(MakeOption(row));
    for (const GpsReceiverRow& row : table.gpsReceivers) family.gpsReceivers.push_back(MakeGpsReceiver(row));
    Put(family.gpsConnectedQuery, table.gpsConnectedQuery);
    Put(family.gpsEnableCommand, table.gpsEnableCommand);
    Put(family.gpsValidQuery, table.gpsValidQuery);
    Put(family.longitudeQuery, table.longitudeQuery);
    Put(family.latitudeQuery, table.latitudeQuery);
    Put(family.speedQuery, table.speedQuery);
    Put(family.transducerDirCommand, table.transducerDirCommand);
    Put(family.transducerListQuery, table.transducerListQuery);
    Put(family.optionsQuery, table.optionsQuery);
    Put(family.validDataCommand, table.validDataCommand);
    Put(family.validDataAnswer, table.validDataAnswer);
    Put(family.errorQuery, table.errorQuery);
    Put(family.errorUndefinedHeader, table.errorUndefinedHeader);
    Put(family.errorFileNotFound, table.errorFileNotFound);
    Put(family.refLevelQuery, table.refLevelQuery);
    Put(family.attChangeQuery, table.attChangeQuery);
    Put(family.attChangeReset, table.attChangeReset);
    Put(family.berResetCommand, table.berResetCommand);
    Put(family.localCommand, table.localCommand);
    Put(family.frequencyHeader, table.frequencyHeader);
    family.rangeLow = table.rangeLow;
    family.rangeDefault = table.rangeDefault;
    family.rangeHigh = table.rangeHigh;
    Put(family.transducerSelectHeader, table.transducerSelectHeader);
    Put(family.transducerStateHeader, table.transducerStateHeader);
    for (const UnitRow& row : table.levelUnits) family.levelUnits.push_back(MakeUnit(row));
    for (const UnitRow& row : table.inputImpedances) family.inputImpedances.push_back(MakeUnit(row));
    for (const StandardTable* standard : table.standards) family.standards.push_back(MakeStandard(*standard));
    return family;
}

}  // namespace

void ReceiverInfo_Init() {
    if (!g_families.empty()) return;
    g_cutTexts = 0;
    for (const FamilyTable* table : {&kAlvraFamily, &kBelkoFamily, &kCendraFamily})
        g_families.push_back(MakeFamily(*table));
}

void ReceiverInfo_Close() {
    g_families.clear();
    g_families.shrink_to_fit();
}

const std::vector<AnalyzerFamily>& ReceiverInfo_Families() { return g_families; }

int ReceiverInfo_CutTexts() { return g_cutTexts; }

int ReceiverInfo_FindFamilyByMacIn(const std::vector<AnalyzerFamily>& families, int b0, int b1, int b2) {
    for (std::size_t i = 0; i < families.size(); ++i)
        for (const MacPrefix& prefix : families[i].macPrefixes)
            if (prefix.b0 == b0 && prefix.b1 == b1 && prefix.b2 == b2) return static_cast<int>(i) + 1;
    return 0;
}

int ReceiverInfo_FindFamilyByMac(int b0, int b1, int b2) {
    return ReceiverInfo_FindFamilyByMacIn(g_families, b0, b1, b2);
}

// The records hold their lists as std::vector, so a plain copy is already deep.
void ReceiverInfo_CopyFamily(AnalyzerFamily& dst, const AnalyzerFamily& src) {
    if (&dst != &src) dst = src;
}

void ReceiverInfo_CopyStandard(BroadcastStandard& dst, const BroadcastStandard& src) {
    if (&dst != &src) dst = src;
}

const BroadcastStandard* ReceiverInfo_FindStandard(const AnalyzerFamily& family, const char* name) {
    if (!name) return nullptr;
    for (const BroadcastStandard& standard : family.standards)
        if (std::strcmp(standard.name, name) == 0) return &standard;
    return nullptr;
}

int ReceiverInfo_FindFamilyByName(const char* name) {
    if (!name) return 0;
    for (std::size_t i = 0; i < g_families.size(); ++i)
        if (std::strcmp(g_families[i].modelName, name) == 0) return static_cast<int>(i) + 1;
    return 0;
}

std::string ReceiverInfo_PlainTitle(const char* columnTitle) {
    std::string title = columnTitle;
    for (std::size_t pos; (pos = title.find("- ")) != std::string::npos;) title.erase(pos, 2);
    return title;
}
