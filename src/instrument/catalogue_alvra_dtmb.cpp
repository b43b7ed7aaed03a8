// Alvra DTMB standards: single carrier and TDS-OFDM on the DTMB demodulator
// board, and DTMB on the FPGA extension board (firmware FW16).
#include "instrument/catalogue_alvra.h"

namespace catalogue {

namespace {

const OptionRow kDtmbOptions[] = {kOptionPreselector, {"HW03/HW04", "Digital Demodulator for DTMB"}};

const ChoiceRow kMpegSyncChoices[] = {{"Required", "MPG"}, {"Not required", "NMPG"}};

// group, name, query, width, minFirmware
const InfoRow kDtmbInfo[] = {
    {"Parameters", "Sideband", "CALC:DTV:RES? SBP", 10, kNoMinimum},
    {"Parameters", "Time Deinterleaver", "CALC:DTV:RES? DEIN", 10, kNoMinimum},
};

}  // namespace

// ---------------------------------------------------------------- DTMB SC

namespace {

const ModeRow kDtmbScModes[] = {{"Overview", "CONF:DTV:MEAS", "OVER"}};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kDtmbScSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"DTMB mode", "SET:TV:STAN", "DMBT"},
    {"Modulation SC", "DDEM:MOD:CARR", "SING"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    {"Overview mode", "CONF:DTV:MEAS", "OVER"},
    {"Guard interval", "DDEM:GINT", "G595"},
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepAgcLoopHigh,
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ParameterRow kDtmbScParameters[] = {
    kAdjacentChannels,
    Selection("MPEG Sync", 80, "DDEM:MPGS", kMpegSyncChoices, kHelpFecSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDtmbScValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kNoMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values", "PER [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 2, -1, 1000000.0, kNoMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraDtmbSc = {
    "DTMB SC", "s", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 15, 7,
    kDtmbOptions, kDtmbScModes, kDtmbScSteps, kDtmbScParameters,
    kNoMinimum, kDtmbScValues, {}, kDtmbInfo,
};

// ---------------------------------------------------------------- DTMB TDS-OFDM

namespace {

// MER is measured in the overview (mode 2).
const ModeRow kDtmbTdsOfdmModes[] = {kModeEchoPattern, {"Overview", "CONF:DTV:MEAS", "OVER"}, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kDtmbTdsOfdmSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"DTMB mode", "SET:TV:STAN", "DMBT"},
    {"Modulation TDS-OFDM", "DDEM:MOD:CARR", "MULT"},
    {"Guard interval", "DDEM:GINT", "G420"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    kStepEchoXUnitS,
    kStepEchoRelMode,
    kStepEchoLevelSort,
    kStepEchoThreshold,
    kStepEchoXMode,
    kStepEchoXSpan,
    kStepEchoXCenter,
    kStepTraceFormat,
    {"Normal LDPC mode", "DDEM:LDPC:MODE", "NORM"},
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepAgcLoopHigh,
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ChoiceRow kGuardIntervalPnChoices[] = {{"Variable", "VAR"}, {"Constant", "CONS"}};

const ParameterRow kDtmbTdsOfdmParameters[] = {
    kAdjacentChannels,
    Selection("Guard Interval PN", 70, "DDEM:GINT:PN", kGuardIntervalPnChoices, kNoHelp),
    Selection("MPEG Sync", 80, "DDEM:MPGS", kMpegSyncChoices, kHelpFecSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDtmbTdsOfdmValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kNoMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, 2, 1.0, kNoMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, 2, 1.0, kNoMinimum},
    {"Values", "BER before LDPC [10-6]", "CALC:DTV:RES? BERL", 0, 1, 1, 1, -1, 1000000.0, kNoMinimum},
    {"Values", "PER [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 2, -1, 1000000.0, kNoMinimum},
};

// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kDtmbTdsOfdmGraphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 1, 1,
     "CALC:DTV:RES:BFIL? EPPV", 1, kNoMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraDtmbTdsOfdm = {
    "DTMB TDS-OFDM", "o", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 16, 7,
    kDtmbOptions, kDtmbTdsOfdmModes, kDtmbTdsOfdmSteps, kDtmbTdsOfdmParameters,
    kNoMinimum, kDtmbTdsOfdmValues, kDtmbTdsOfdmGraphs, kDtmbInfo,
};

// ---------------------------------------------------------------- DTMB FW16

namespace {

const OptionRow kDtmbFw16Options[] = {
    kOptionPreselector, {"HW05/HW06", "FPGA Extension Board"}, {"FW16", "DTMB Firmware"}};

const ModeRow kDtmbFw16Modes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kDtmbFw16Steps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"DTMB mode", "SET:TV:STAN", "DTMB"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW17"},
    kStepEchoXUnitS,
    kStepEchoCenterMode,
    kStepEchoRelMode,
    kStepEchoLevelSort,
    kStepEchoThreshold,
    kStepEchoXMode,
    kStepEchoXSpan,
    kStepEchoXCenter,
    kStepTraceFormat,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepSystemOptimizationMobile,
    {"Echo compensation: Auto", "DDEM:FFT:WPOS", "AUTO"},
    {"SI power normalization: Auto", "CONF:DTV:MEAS:SSET:SIP", "AUTO"},
    {"FH power boost: Auto", "CONF:DTV:MEAS:SSET:FHP", "AUTO"},
    // The analyzer answers the long form of the value.
    {"FH power reference: Standard", "CONF:DTV:MEAS:SSET:FHPR", "STDC", "STDCompliant"},
    {"ESR Timebase: 20s", "CONF:DTV:MEAS:SSET:ESRT", "20"},
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

// Six columns: the titles are abbreviated or broken with "- ".
const ChoiceRow kFw16AdjacentChoices[] = {{"Yes", "10"}, {"None", "17"}};
const ChoiceRow kFw16BandwidthChoices[] = {{"8", "B8MHZ"}, {"7", "B7MHZ"}, {"6", "B6MHZ"}};
const ChoiceRow kFw16SidebandChoices[] = {{"Norm.", "NORM"}, {"Inv.", "INV"}};
const ChoiceRow kFw16CarrierChoices[] = {{"Auto", "AUTO"}, {"Sing.", "SING"}, {"Multi", "MULT"}};
const ChoiceRow kFw16SymbolChoices[] = {{"Auto", "AUTO"}, {"420", "G420"}, {"595", "G595"}, {"945", "G945"}};
const ChoiceRow kFw16MpegSyncChoices[] = {{"Req.", "MPG"}, {"NReq.", "NMPG"}};

const ParameterRow kDtmbFw16Parameters[] = {
    AdjacentChannels("Adj. chan.", 42, "INP:ATT:DRIV:HYST", kFw16AdjacentChoices, kNoHelp),
    Selection("Bndw. [MHz]", 38, "DTV:BAND:CHAN", kFw16BandwidthChoices, kNoHelp),
    Selection("Side- band", 45, "DDEM:SBAN", kFw16SidebandChoices, kNoHelp),
    Selection("Car- rier", 40, "DDEM:MOD:CARR", kFw16CarrierChoices, kNoHelp),
    Selection("Sym- bols", 40, "DDEM:GINT", kFw16SymbolChoices, kNoHelp),
    Selection("MPEG Sync", 45, "DDEM:MPGS", kFw16MpegSyncChoices, kHelpFecSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDtmbFw16Values[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "3.40"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kNoMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|BER", "before LDPC [10-6]", "CALC:DTV:RES? BERL", 0, 1, 1, 2, -1, 1000000.0, kNoMinimum},
    {"Values|BER", "LDPC Iterations", "CALC:DTV:RES? ITLD", 0, 1, 1, 2, -1, 1.0, kNoMinimum},
    {"Values|BER", "before BCH [10-6]", "CALC:DTV:RES? BBCH", 0, 1, 1, 2, -1, 1000000.0, kNoMinimum},
    {"Values", "PER [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 2, -1, 1000000.0, kNoMinimum},
};

// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kDtmbFw16Graphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 1, 1,
     "CALC:DTV:RES:BFIL? EPPV", 1, kNoMinimum},
};

// group, name, query, width, minFirmware
const InfoRow kDtmbFw16Info[] = {
    {"Parameters", "Modulation", "CALC:DTV:RES? CARR", 10, kNoMinimum},
    {"Parameters", "Constellation", "CALC:DTV:RES? CONS", 10, kNoMinimum},
    {"Parameters", "PN Phase", "CALC:DTV:RES? PNPH", 10, kNoMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraDtmbFw16 = {
    "DTMB FW16", "p", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 16, 7,
    kDtmbFw16Options, kDtmbFw16Modes, kDtmbFw16Steps, kDtmbFw16Parameters,
    kNoMinimum, kDtmbFw16Values, kDtmbFw16Graphs, kDtmbFw16Info,
};

}  // namespace catalogue
