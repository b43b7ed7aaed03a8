#pragma once
// Row types of the compiled-in analyzer catalogue. Every family and standard is
// written as a few constant arrays whose rows read like the analyzer
// documentation; ReceiverInfo_Init turns them into the fixed-size records of
// receiverinfo.h. Only const char* and numbers here, so the tables are
// constant-initialised and cost nothing at start-up.
#include <cstdint>
#include <span>

#include "instrument/receiverinfo.h"

namespace catalogue {

struct OptionRow {
    const char* optionCode;  // "HW05/HW06" stands for either option
    const char* description;
};

struct ModeRow {
    const char* description;
    const char* header;
    const char* value;
};

struct StepRow {
    const char* description;
    const char* header;
    const char* value;
    const char* expectedAnswer = "";  // empty: the read-back must equal value
    double settleTime = 0.0;          // seconds
    const char* requiredOption = "";
    const char* requiredOption2 = "";
};

struct ChoiceRow {
    const char* label;  // shown
    const char* value;  // sent after the header
};

struct ParameterRow {
    const char* columnTitle;
    std::int32_t columnWidth;
    const char* header;
    std::int32_t kind;
    std::int32_t defaultValue;
    std::span<const ChoiceRow> choices;
    std::int32_t minimum;
    std::int32_t maximum;
    const char* help;
    std::int32_t adjacentFlag;
};

// A selection parameter (kind 0, defaultValue 0).
constexpr ParameterRow Selection(const char* title, std::int32_t width, const char* header,
                                 std::span<const ChoiceRow> choices, const char* help) {
    return {title, width, header, kParameterSelection, 0, choices, 0, 0, help, 0};
}

// The "Adjacent channels" parameter: a selection that tells the measurement
// thread how the attenuator hysteresis is set.
constexpr ParameterRow AdjacentChannels(const char* title, std::int32_t width, const char* header,
                                        std::span<const ChoiceRow> choices, const char* help) {
    return {title, width, header, kParameterSelection, 0, choices, 0, 0, help, 1};
}

// A number parameter (kind 1): an integer in [minimum, maximum].
constexpr ParameterRow Number(const char* title, std::int32_t width, const char* header, std::int32_t minimum,
                              std::int32_t maximum, std::int32_t defaultValue, const char* help) {
    return {title, width, header, kParameterNumber, defaultValue, {}, minimum, maximum, help, 0};
}

// Marks a value row that reads the standard's syncQuery.
inline constexpr const char* kSyncQuery = nullptr;
// Marks a row whose minimum firmware is the standard's measurementMinFirmware.
inline constexpr const char* kStandardMinimum = nullptr;
// A measurement available on every firmware.
inline constexpr const char* kNoMinimum = "";

// The long name of values and read-outs is derived from group and name (see
// Catalogue_LongName in receiverinfo.cpp).
struct ValueRow {
    const char* group;
    const char* name;
    const char* query;  // kSyncQuery: the standard's syncQuery
    std::int32_t decimals;
    std::int32_t accumulateFlag;
    std::int32_t displayKind;
    std::int32_t queryGroup;
    std::int32_t modeIndex;  // 1-based, -1 any mode
    double scale;
    const char* minFirmware;  // kStandardMinimum, kNoMinimum or a version
};

struct GraphRow {
    const char* group;
    const char* name;
    const char* longName;
    std::int32_t points;
    const char* xLabel;
    const char* xMin;
    const char* xMax;
    const char* yLabel;
    const char* yMin;
    const char* yMax;
    std::int32_t queryGroup;
    std::int32_t modeIndex;
    const char* query;
    std::int32_t transferKind;
    const char* minFirmware;  // kStandardMinimum, kNoMinimum or a version
};

struct InfoRow {
    const char* group;
    const char* name;
    const char* query;
    std::int32_t width;       // characters of the answer kept
    const char* minFirmware;  // kStandardMinimum, kNoMinimum or a version
};

struct StandardTable {
    const char* name;
    const char* code;
    double validDataHold;
    double settleTimeout;
    const char* syncQuery;
    const char* syncAnswer;
    double syncHold;
    double syncTimeout;
    double extraTime;
    std::span<const OptionRow> requiredOptions;
    std::span<const ModeRow> modes;
    std::span<const StepRow> setupSteps;
    std::span<const ParameterRow> parameters;
    // Minimum firmware of the value, graph and read-out rows marked kStandardMinimum.
    const char* measurementMinFirmware;
    std::span<const ValueRow> values;
    std::span<const GraphRow> graphs;
    std::span<const InfoRow> infoItems;
};

struct UnitRow {
    const char* label;
    const char* header;
    const char* value;
};

struct GpsStepRow {
    const char* description;
    const char* header;
    const char* value;
};

struct GpsInputRow {
    const char* description;
    const char* header;
    std::int32_t minimum;
    std::int32_t maximum;
    const char* help;
};

struct GpsReceiverRow {
    const char* name;
    std::span<const GpsStepRow> setupSteps;
    std::span<const GpsInputRow> inputs;
};

struct FamilyTable {
    const char* modelName;
    const char* modelLetter;
    const char* minFirmware;
    std::span<const MacPrefix> macPrefixes;
    std::int32_t scpiPort;
    std::span<const OptionRow> familyOptions;
    std::span<const GpsReceiverRow> gpsReceivers;
    const char* gpsConnectedQuery;
    const char* gpsEnableCommand;
    const char* gpsValidQuery;
    const char* longitudeQuery;
    const char* latitudeQuery;
    const char* speedQuery;
    const char* transducerDirCommand;
    const char* transducerListQuery;
    const char* optionsQuery;
    const char* validDataCommand;
    const char* validDataAnswer;
    const char* errorQuery;
    const char* errorUndefinedHeader;
    const char* errorFileNotFound;
    const char* refLevelQuery;
    const char* attChangeQuery;
    const char* attChangeReset;
    const char* berResetCommand;
    const char* localCommand;
    const char* frequencyHeader;
    double rangeLow;
    double rangeDefault;
    double rangeHigh;
    const char* transducerSelectHeader;
    const char* transducerStateHeader;
    std::span<const UnitRow> levelUnits;
    std::span<const UnitRow> inputImpedances;
    std::span<const StandardTable* const> standards;  // catalogue order
};

// Texts shared by several families. Latin-1: 0xB5 is the micro sign; a literal
// is split after it so that a following hex digit does not extend the escape.
inline constexpr const char* kEchoTimeLabel = "Time [\xB5" "s]";
inline constexpr const char* kUnitDbm = "dBm";
inline constexpr const char* kUnitDbmv = "dBmV";
inline constexpr const char* kUnitDbuv = "dB\xB5" "V";
inline constexpr const char* kUnitDbuvPerM = "dB\xB5" "V/m";

// Help texts of the frequency-table columns; a parameter title carries the
// same help wherever it appears.
inline constexpr const char* kHelpAdjacentChannels =
    "Every time the frontend needs to adapt to the changing input level, the current measurement sample gets "
    "invalid.\nIf no adjacent channel is expected in the range +- 10 MHz from the wanted channel center frequency, "
    "select [None] to reduce the amount of frontend adaptations and equivalently the amount of invalid measurement "
    "samples.";
inline constexpr const char* kHelpBandwidth = "The spectral bandwidth of the signal.";
// Also the help of "FIC Sync" and "MPEG Sync".
inline constexpr const char* kHelpFecSync =
    "[Required]\nTight signal sync requirements, which is mandatory for BER measurements.\n\n[Not required]\n"
    "Relaxed signal sync requirements. Syncs at even worse signal quality to still provide basic measurements like "
    "MER.";
inline constexpr const char* kHelpLayerSync =
    "Choose the sum to analyze all layers or choose a single layer for more robust partial reception.";
inline constexpr const char* kHelpPlpId = "The PLP ID to analyze.";
inline constexpr const char* kHelpParadeId = "The Parade ID to analyze.";
inline constexpr const char* kHelpSideband = "Select, whether the signal is in normal or inverted spectrum position.";
// Columns without a help text of their own.
inline constexpr const char* kNoHelp = "";

// The family tables in catalogue order.
extern const FamilyTable kAlvraFamily;
extern const FamilyTable kBelkoFamily;
extern const FamilyTable kCendraFamily;

}  // namespace catalogue
