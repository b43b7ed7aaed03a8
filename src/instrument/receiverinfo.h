#pragma once
// The analyzer catalogue: compiled-in knowledge of the analyzer families and
// their broadcast standards. Built once by ReceiverInfo_Init, read-only
// afterwards; every analyzer slot works on a deep copy of its family.
//
// Texts are fixed-size Latin-1 fields. The leading parts of MeasurementValue
// (412 bytes), MeasurementGraph (1004) and StandardInfoItem (404) are stored
// byte for byte in record files, so their field order and widths are fixed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RequiredOption {
    char description[100];
    char optionCode[10];  // "HW05/HW06" is one text standing for either option
};

struct GpsSetupStep {
    char description[100];
    char header[100];
    char value[100];
};

struct GpsInputParameter {
    char description[100];
    char header[100];
    std::int32_t reserved;  // always 0
    std::int32_t minimum;
    std::int32_t maximum;
    char help[500];
};

struct GpsReceiverChoice {
    char name[100];
    std::vector<GpsSetupStep> setupSteps;
    std::vector<GpsInputParameter> inputs;
};

struct UnitChoice {
    char label[100];
    char header[100];
    char value[100];
};

struct MeasurementMode {
    char description[100];
    char header[100];
    char value[100];
    double validDataHold;
    double settleTimeout;
};

struct SetupStep {
    char description[100];
    char header[100];
    char value[100];
    char expectedAnswer[100];  // empty: the read-back must equal value
    double settleTime;         // seconds
    char requiredOption[100];
    char requiredOption2[100];
};

struct ParameterChoice {
    char label[100];
    char value[100];
};

enum ParameterKind : std::int32_t { kParameterSelection = 0, kParameterNumber = 1 };

struct StandardParameter {
    char columnTitle[100];  // "- " marks a soft line break of a narrow column
    std::int32_t columnWidth;
    char header[100];
    std::int32_t kind;
    std::int32_t defaultValue;
    std::vector<ParameterChoice> choices;  // kind 0 only
    std::int32_t minimum;                  // kind 1 only
    std::int32_t maximum;
    char help[1000];
    std::int32_t adjacentFlag;
};

// How a value ranks in statistics.
enum DisplayKind : std::int32_t {
    kHigherIsBetter = 0,
    kLowerIsBetter = 1,
    kByMagnitude = 2,
    kSyncState = 3,
};

struct MeasurementValue {
    // --- stored in record files (412 bytes) ---
    char group[100];  // tree path, levels separated by "|"
    char name[100];
    char longName[100];
    char spare[100];
    std::int32_t decimals;
    std::int32_t accumulateFlag;
    std::int32_t displayKind;
    // --- catalogue only ---
    std::int32_t queryGroup;
    std::int32_t modeIndex;  // 1-based position in modes, -1 any mode
    char query[100];
    double scale;
    char minFirmware[100];
};

struct MeasurementGraph {
    // --- stored in record files (1004 bytes) ---
    char group[100];
    char name[100];
    char longName[100];
    char spare[100];
    std::int32_t points;
    char xLabel[100];
    char xMin[100];
    char xMax[100];
    char yLabel[100];
    char yMin[100];
    char yMax[100];
    // --- catalogue only ---
    std::int32_t queryGroup;
    std::int32_t modeIndex;
    char query[100];
    std::int32_t transferKind;  // 0 float block, 1 echo list, 2 level/frequency groups, 3/4 echo list of group 1/2
    char minFirmware[100];
};

struct StandardInfoItem {
    // --- stored in record files (404 bytes) ---
    char group[100];
    char name[100];
    char longName[100];
    char spare[100];
    std::int32_t width;
    // --- catalogue only ---
    std::int32_t queryGroup;
    char query[100];
    char minFirmware[100];
};

static_assert(offsetof(MeasurementValue, decimals) == 400 && offsetof(MeasurementValue, displayKind) == 408 &&
              offsetof(MeasurementValue, queryGroup) == 412);
static_assert(offsetof(MeasurementGraph, points) == 400 && offsetof(MeasurementGraph, xLabel) == 404 &&
              offsetof(MeasurementGraph, yMax) == 904 && offsetof(MeasurementGraph, queryGroup) == 1004);
static_assert(offsetof(StandardInfoItem, width) == 400 && offsetof(StandardInfoItem, queryGroup) == 404);

struct BroadcastStandard {
    char name[100];
    char code[4];
    double validDataHold;
    double settleTimeout;
    char syncQuery[100];
    char syncAnswer[100];
    double syncHold;
    double syncTimeout;
    double extraTime;
    std::vector<RequiredOption> requiredOptions;
    std::vector<MeasurementMode> modes;
    std::vector<SetupStep> setupSteps;
    std::vector<StandardParameter> parameters;
    std::vector<MeasurementValue> values;
    std::vector<MeasurementGraph> graphs;
    std::vector<StandardInfoItem> infoItems;
};

struct MacPrefix {
    std::int32_t b0, b1, b2;
};

struct AnalyzerFamily {
    char modelName[100];
    char modelLetter[2];
    char minFirmware[100];
    std::vector<MacPrefix> macPrefixes;
    std::int32_t scpiPort;
    std::vector<RequiredOption> familyOptions;
    std::vector<GpsReceiverChoice> gpsReceivers;
    char gpsConnectedQuery[100];
    char gpsEnableCommand[100];
    char gpsValidQuery[100];
    char longitudeQuery[100];
    char latitudeQuery[100];
    char speedQuery[100];
    char transducerDirCommand[100];
    char transducerListQuery[100];
    char optionsQuery[100];
    char validDataCommand[100];
    char validDataAnswer[100];
    char errorQuery[100];
    char errorUndefinedHeader[100];
    char errorFileNotFound[100];
    char refLevelQuery[100];
    char attChangeQuery[100];
    char attChangeReset[100];
    char berResetCommand[100];
    char localCommand[100];
    char frequencyHeader[100];
    double rangeLow;
    double rangeDefault;
    double rangeHigh;
    char transducerSelectHeader[100];
    char transducerStateHeader[100];
    std::vector<UnitChoice> levelUnits;
    std::vector<UnitChoice> inputImpedances;
    std::vector<BroadcastStandard> standards;
};

// Builds the catalogue (idempotent: a second call keeps the first catalogue).
void ReceiverInfo_Init();
// Releases the catalogue.
void ReceiverInfo_Close();
// The families in catalogue order (Alvra, Belko, Cendra); empty before ReceiverInfo_Init.
const std::vector<AnalyzerFamily>& ReceiverInfo_Families();
// 1-based position of the first family whose prefixes hold (b0, b1, b2); 0 for none.
int ReceiverInfo_FindFamilyByMac(int b0, int b1, int b2);
// Deep copies: the copy shares nothing with the source.
void ReceiverInfo_CopyFamily(AnalyzerFamily& dst, const AnalyzerFamily& src);
void ReceiverInfo_CopyStandard(BroadcastStandard& dst, const BroadcastStandard& src);
// A column title without its soft line breaks ("Refe- rence" is "Reference"),
// as record headers and the command line name a parameter.
std::string ReceiverInfo_PlainTitle(const char* columnTitle);
// The first family's standard of that name, or nullptr.
const BroadcastStandard* ReceiverInfo_FindStandard(const AnalyzerFamily& family, const char* name);
// 1-based position of the family whose modelName equals name; 0 for none.
int ReceiverInfo_FindFamilyByName(const char* name);

// The same search over any family list (the catalogue's or a test's).
int ReceiverInfo_FindFamilyByMacIn(const std::vector<AnalyzerFamily>& families, int b0, int b1, int b2);
// Number of compiled-in texts that did not fit their field and were cut when the
// catalogue was built; 0 in a sound catalogue.
int ReceiverInfo_CutTexts();
