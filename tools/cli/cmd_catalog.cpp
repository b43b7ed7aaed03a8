// fieldtrace-cli catalog: prints the compiled-in analyzer catalogue as JSON,
// every field of every record, lists in catalogue order. Texts are converted
// from Latin-1 to UTF-8.
#include <cstring>
#include <iostream>

#include <nlohmann/json.hpp>

#include "instrument/receiverinfo.h"
#include "platform/text.h"
#include "args.h"
#include "commands.h"

namespace {

using Json = nlohmann::ordered_json;

template <std::size_t N>
std::string Utf8(const char (&field)[N]) {
    return Text_Latin1ToUtf8(Text_View(field));
}

Json OptionJson(const RequiredOption& option) {
    return Json{{"description", Utf8(option.description)}, {"optionCode", Utf8(option.optionCode)}};
}

Json UnitJson(const UnitChoice& unit) {
    return Json{{"label", Utf8(unit.label)}, {"header", Utf8(unit.header)}, {"value", Utf8(unit.value)}};
}

Json GpsReceiverJson(const GpsReceiverChoice& receiver) {
    Json steps = Json::array();
    for (const GpsSetupStep& step : receiver.setupSteps)
        steps.push_back({{"description", Utf8(step.description)},
                         {"header", Utf8(step.header)},
                         {"value", Utf8(step.value)}});
    Json inputs = Json::array();
    for (const GpsInputParameter& input : receiver.inputs)
        inputs.push_back({{"description", Utf8(input.description)},
                          {"header", Utf8(input.header)},
                          {"reserved", input.reserved},
                          {"minimum", input.minimum},
                          {"maximum", input.maximum},
                          {"help", Utf8(input.help)}});
    return Json{{"name", Utf8(receiver.name)}, {"setupSteps", steps}, {"inputs", inputs}};
}

Json ModeJson(const MeasurementMode& mode) {
    return Json{{"description", Utf8(mode.description)},
                {"header", Utf8(mode.header)},
                {"value", Utf8(mode.value)},
                {"validDataHold", mode.validDataHold},
                {"settleTimeout", mode.settleTimeout}};
}

Json StepJson(const SetupStep& step) {
    return Json{{"description", Utf8(step.description)},
                {"header", Utf8(step.header)},
                {"value", Utf8(step.value)},
                {"expectedAnswer", Utf8(step.expectedAnswer)},
                {"settleTime", step.settleTime},
                {"requiredOption", Utf8(step.requiredOption)},
                {"requiredOption2", Utf8(step.requiredOption2)}};
}

Json ParameterJson(const StandardParameter& parameter) {
    Json choices = Json::array();
    for (const ParameterChoice& choice : parameter.choices)
        choices.push_back({{"label", Utf8(choice.label)}, {"value", Utf8(choice.value)}});
    return Json{{"columnTitle", Utf8(parameter.columnTitle)},
                {"columnWidth", parameter.columnWidth},
                {"header", Utf8(parameter.header)},
                {"kind", parameter.kind},
                {"defaultValue", parameter.defaultValue},
                {"choices", choices},
                {"minimum", parameter.minimum},
                {"maximum", parameter.maximum},
                {"help", Utf8(parameter.help)},
                {"adjacentFlag", parameter.adjacentFlag}};
}

Json ValueJson(const MeasurementValue& value) {
    return Json{{"group", Utf8(value.group)},
                {"name", Utf8(value.name)},
                {"longName", Utf8(value.longName)},
                {"spare", Utf8(value.spare)},
                {"decimals", value.decimals},
                {"accumulateFlag", value.accumulateFlag},
                {"displayKind", value.displayKind},
                {"queryGroup", value.queryGroup},
                {"modeIndex", value.modeIndex},
                {"query", Utf8(value.query)},
                {"scale", value.scale},
                {"minFirmware", Utf8(value.minFirmware)}};
}

Json GraphJson(const MeasurementGraph& graph) {
    return Json{{"group", Utf8(graph.group)},
                {"name", Utf8(graph.name)},
                {"longName", Utf8(graph.longName)},
                {"spare", Utf8(graph.spare)},
                {"points", graph.points},
                {"xLabel", Utf8(graph.xLabel)},
                {"xMin", Utf8(graph.xMin)},
                {"xMax", Utf8(graph.xMax)},
                {"yLabel", Utf8(graph.yLabel)},
                {"yMin", Utf8(graph.yMin)},
                {"yMax", Utf8(graph.yMax)},
                {"queryGroup", graph.queryGroup},
                {"modeIndex", graph.modeIndex},
                {"query", Utf8(graph.query)},
                {"transferKind", graph.transferKind},
                {"minFirmware", Utf8(graph.minFirmware)}};
}

Json InfoItemJson(const StandardInfoItem& item) {
    return Json{{"group", Utf8(item.group)},
                {"name", Utf8(item.name)},
                {"longName", Utf8(item.longName)},
                {"spare", Utf8(item.spare)},
                {"width", item.width},
                {"queryGroup", item.queryGroup},
                {"query", Utf8(item.query)},
                {"minFirmware", Utf8(item.minFirmware)}};
}

template <typename T, typename F>
Json ListJson(const std::vector<T>& items, F toJson) {
    Json list = Json::array();
    for (const T& item : items) list.push_back(toJson(item));
    return list;
}

Json StandardJson(const BroadcastStandard& standard) {
    return Json{{"name", Utf8(standard.name)},
                {"code", Utf8(standard.code)},
                {"validDataHold", standard.validDataHold},
                {"settleTimeout", standard.settleTimeout},
                {"syncQuery", Utf8(standard.syncQuery)},
                {"syncAnswer", Utf8(standard.syncAnswer)},
                {"syncHold", standard.syncHold},
                {"syncTimeout", standard.syncTimeout},
                {"extraTime", standard.extraTime},
                {"requiredOptions", ListJson(standard.requiredOptions, OptionJson)},
                {"modes", ListJson(standard.modes, ModeJson)},
                {"setupSteps", ListJson(standard.setupSteps, StepJson)},
                {"parameters", ListJson(standard.parameters, ParameterJson)},
                {"values", ListJson(standard.values, ValueJson)},
                {"graphs", ListJson(standard.graphs, GraphJson)},
                {"infoItems", ListJson(standard.infoItems, InfoItemJson)}};
}

Json FamilyJson(const AnalyzerFamily& family) {
    Json prefixes = Json::array();
    for (const MacPrefix& prefix : family.macPrefixes) prefixes.push_back({prefix.b0, prefix.b1, prefix.b2});
    return Json{{"modelName", Utf8(family.modelName)},
                {"modelLetter", Utf8(family.modelLetter)},
                {"minFirmware", Utf8(family.minFirmware)},
                {"macPrefixes", prefixes},
                {"scpiPort", family.scpiPort},
                {"familyOptions", ListJson(family.familyOptions, OptionJson)},
                {"gpsReceivers", ListJson(family.gpsReceivers, GpsReceiverJson)},
                {"gpsConnectedQuery", Utf8(family.gpsConnectedQuery)},
                {"gpsEnableCommand", Utf8(family.gpsEnableCommand)},
                {"gpsValidQuery", Utf8(family.gpsValidQuery)},
                {"longitudeQuery", Utf8(family.longitudeQuery)},
                {"latitudeQuery", Utf8(family.latitudeQuery)},
                {"speedQuery", Utf8(family.speedQuery)},
                {"transducerDirCommand", Utf8(family.transducerDirCommand)},
                {"transducerListQuery", Utf8(family.transducerListQuery)},
                {"optionsQuery", Utf8(family.optionsQuery)},
                {"validDataCommand", Utf8(family.validDataCommand)},
                {"validDataAnswer", Utf8(family.validDataAnswer)},
                {"errorQuery", Utf8(family.errorQuery)},
                {"errorUndefinedHeader", Utf8(family.errorUndefinedHeader)},
                {"errorFileNotFound", Utf8(family.errorFileNotFound)},
                {"refLevelQuery", Utf8(family.refLevelQuery)},
                {"attChangeQuery", Utf8(family.attChangeQuery)},
                {"attChangeReset", Utf8(family.attChangeReset)},
                {"berResetCommand", Utf8(family.berResetCommand)},
                {"localCommand", Utf8(family.localCommand)},
                {"frequencyHeader", Utf8(family.frequencyHeader)},
                {"rangeLow", family.rangeLow},
                {"rangeDefault", family.rangeDefault},
                {"rangeHigh", family.rangeHigh},
                {"transducerSelectHeader", Utf8(family.transducerSelectHeader)},
                {"transducerStateHeader", Utf8(family.transducerStateHeader)},
                {"levelUnits", ListJson(family.levelUnits, UnitJson)},
                {"inputImpedances", ListJson(family.inputImpedances, UnitJson)},
                {"standards", ListJson(family.standards, StandardJson)}};
}

void PrintUsage() {
    std::cout << "Usage: fieldtrace-cli catalog [--help]\n"
                 "Prints the compiled-in analyzer catalogue as JSON: every family with its SCPI\n"
                 "commands, GPS receivers, level units and input impedances, and every broadcast\n"
                 "standard with its options, modes, setup steps, parameters, values, graphs and\n"
                 "read-outs, in catalogue order.\n";
}

}  // namespace

int Cli_Catalog(int argc, char** argv) {
    // argv holds the arguments after the subcommand's name.
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        return Cli_Usage("catalog", std::string("unknown argument '") + argv[i] + "' (see --help)");
    }

    ReceiverInfo_Init();
    Json families = ListJson(ReceiverInfo_Families(), FamilyJson);
    std::cout << Json{{"families", families}}.dump(2) << "\n";
    std::cout.flush();
    return std::cout ? 0 : 1;
}
