// The Alvra family record and its reference standard, DVB-T / DVB-H.
#include "instrument/catalogue_alvra.h"

namespace catalogue {

// ---------------------------------------------------------------- DVB-T / DVB-H

namespace {

const OptionRow kDvbtOptions[] = {kOptionPreselector, {"FW07", "DVB-T/H Firmware"}};

const ModeRow kDvbtModes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kDvbtSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"DVB-T mode", "SET:TV:STAN", "DVBT"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW08"},
    kStepEchoXUnitS,
    kStepEchoCenterMode,
    kStepEchoRelMode,
    kStepEchoLevelSort,
    kStepEchoThreshold,
    kStepEchoXNorm,
    kStepEchoXMode,
    kStepEchoXSpan,
    kStepEchoXCenter,
    kStepTraceFormat,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepSystemOptimizationMobile,
    kStepAgcLoopHigh,
    kStepCarrierLoopHigh,
    kStepSymbolLoopHigh,
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ChoiceRow kDvbtBandwidthChoices[] = {{"8", "B8MHZ"}, {"7", "B7MHZ"}, {"6", "B6MHZ"}, {"5", "B5MHZ"}};

const ParameterRow kDvbtParameters[] = {
    kAdjacentChannels,
    Selection("Bandwidth [MHz]", 110, "DTV:BAND:CHAN", kDvbtBandwidthChoices, kHelpBandwidth),
    Selection("FEC Sync", 80, "DDEM:FECS", kFecSyncChoices, kHelpFecSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDvbtValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, kStandardMinimum},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kStandardMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, kStandardMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, kStandardMinimum},
    {"Values|BER", "before Viterbi [10-6]", "CALC:DTV:RES? BBV", 0, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
    {"Values|BER", "before Reed Solomon [10-6]", "CALC:DTV:RES? BBRS", 0, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
    {"Values|BER", "after Reed Solomon [10-6]", "CALC:DTV:RES? BARS", 0, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
    {"Values", "PER [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
};

// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kDvbtGraphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 1, 1,
     "CALC:DTV:RES:BFIL? EPPV", 1, kStandardMinimum},
};

// group, name, query, width, minFirmware
const InfoRow kDvbtInfo[] = {
    {"Parameters", "Sideband", "CALC:DTV:RES? SBP", 10, kStandardMinimum},
    {"Parameters|TPS", "FFT Mode", "CALC:DTV:RES? FFTM", 10, kStandardMinimum},
    {"Parameters|TPS", "Cell ID", "CALC:DTV:RES? CID", 10, kStandardMinimum},
    {"Parameters|TPS", "Reserved", "CALC:DTV:RES? TPSR", 10, kStandardMinimum},
    {"Parameters|TPS", "MPE FEC", "CALC:DTV:RES? MFEC", 10, kStandardMinimum},
    {"Parameters|TPS", "Time Slicing", "CALC:DTV:RES? TSL", 10, kStandardMinimum},
    {"Parameters|TPS", "Length Indicator", "CALC:DTV:RES? LIND", 10, kStandardMinimum},
    {"Parameters|TPS", "Guard Interval", "CALC:DTV:RES:TPS? GINT", 10, kStandardMinimum},
    {"Parameters|TPS", "Interleaver", "CALC:DTV:RES:TPS? INT", 10, kStandardMinimum},
    {"Parameters|TPS", "Constellation", "CALC:DTV:RES:TPS? CONS", 10, kStandardMinimum},
    {"Parameters|TPS", "Coderate LP", "CALC:DTV:RES:TPS? CRLP", 10, kStandardMinimum},
    {"Parameters|TPS", "Coderate HP", "CALC:DTV:RES:TPS? CRHP", 10, kStandardMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraDvbt = {
    "DVB-T / DVB-H", "t", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 3, 7,
    kDvbtOptions, kDvbtModes, kDvbtSteps, kDvbtParameters,
    "2.20", kDvbtValues, kDvbtGraphs, kDvbtInfo,
};

// ---------------------------------------------------------------- family record

namespace {

const MacPrefix kAlvraMacPrefixes[] = {{0, 192, 58}, {0, 224, 51}};

const OptionRow kAlvraFamilyOptions[] = {{"FW04", "Measurement Log"}};

const GpsStepRow kGnxP2Steps[] = {
    {"TV analyzer mode", "INST", "CATV"},
    {"Korvane GNX-P2 selection", "SYST:POS:GPS:DEV", "GNXP2"},
};
const GpsStepRow kGnxP1Steps[] = {
    {"TV analyzer mode", "INST", "CATV"},
    {"Korvane GNX-P1 selection", "SYST:POS:GPS:DEV", "GNXP1"},
};
const GpsStepRow kNmeaSteps[] = {
    {"TV analyzer mode", "INST", "CATV"},
    {"NMEA selection", "SYST:POS:GPS:DEV", "NMEA"},
};
const GpsInputRow kNmeaInputs[] = {
    {"Virtual COM port", "SYST:COMM:SER:PORT", 1, 16,
     "The Korvane Alvra's windows device manager can provide this value."},
};

const GpsReceiverRow kAlvraGpsReceivers[] = {
    {"Korvane GNX-P2", kGnxP2Steps, {}},
    {"Korvane GNX-P1", kGnxP1Steps, {}},
    {"NMEA compatible with virtual COM port interface", kNmeaSteps, kNmeaInputs},
};

// The field-strength unit is dBuV on the analyzer; the antenna K-factor does the rest.
const UnitRow kAlvraLevelUnits[] = {
    {kUnitDbm, "CALC:UNIT:POW", "DBM"},   {kUnitDbmv, "CALC:UNIT:POW", "DBMV"},
    {kUnitDbuv, "CALC:UNIT:POW", "DBUV"}, {"V", "CALC:UNIT:POW", "V"},
    {"W", "CALC:UNIT:POW", "W"},          {kUnitDbuvPerM, "CALC:UNIT:POW", "DBUV"},
};

const UnitRow kAlvraInputImpedances[] = {{"50 Ohm", "INP:IMP", "50"}, {"75 Ohm", "INP:IMP", "75"}};

const StandardTable* const kAlvraStandards[] = {
    &kAlvraAnalogTv,    &kAlvraAtsc,   &kAlvraAtscMobile, &kAlvraDab,
    &kAlvraTdmb,        &kAlvraDtmbSc, &kAlvraDtmbTdsOfdm, &kAlvraDvbt,
    &kAlvraDvbt2,       &kAlvraFmMono, &kAlvraFmStereo,    &kAlvraFmStereoRds,
    &kAlvraIsdbt,       &kAlvraDtmbFw16,
};

}  // namespace

extern const FamilyTable kAlvraFamily = {
    .modelName = "Alvra",
    .modelLetter = "q",
    .minFirmware = "3.40",
    .macPrefixes = kAlvraMacPrefixes,
    .scpiPort = 5025,
    .familyOptions = kAlvraFamilyOptions,
    .gpsReceivers = kAlvraGpsReceivers,
    .gpsConnectedQuery = "SYST:POS:GPS:CONN?",
    .gpsEnableCommand = "",
    .gpsValidQuery = "SYST:POS:VAL?",
    .longitudeQuery = "SYST:POS:LONG?",
    .latitudeQuery = "SYST:POS:LAT?",
    .speedQuery = "SYST:POS:SPE?",
    .transducerDirCommand = "",
    .transducerListQuery = "MMEM:CAT? 'C:\\K_V\\Instr\\trd\\*.TDF'",
    .optionsQuery = "*OPT?",
    .validDataCommand = "STAT:DIRT:FLAG:ACT",
    .validDataAnswer = "0",
    .errorQuery = "SYST:ERR?",
    .errorUndefinedHeader = "Undefined header",
    .errorFileNotFound = "File name not found",
    .refLevelQuery = "DISP:TRAC:Y:RLEV?",
    .attChangeQuery = "INP:ATT:CHAN:STAT?",
    .attChangeReset = "",
    .berResetCommand = "CALC:AVER:BER:CLE",
    .localCommand = "@LOC",
    .frequencyHeader = "FREQ:RF",
    .rangeLow = 0.5,
    .rangeDefault = 500.0,
    .rangeHigh = 3000.0,
    .transducerSelectHeader = "CORR:TRAN:SEL",
    .transducerStateHeader = "CORR:TRAN",
    .levelUnits = kAlvraLevelUnits,
    .inputImpedances = kAlvraInputImpedances,
    .standards = kAlvraStandards,
};

}  // namespace catalogue
