// Alvra standards ATSC, ATSC Mobile DTV, DAB and T-DMB.
#include "instrument/catalogue_alvra.h"

namespace catalogue {

namespace {

// Narrow columns: "- " is a soft line break of the column title.
const ChoiceRow kReferenceChoices[] = {{"Center", "0"}, {"Pilot", "1"}};
const ChoiceRow kShortSidebandChoices[] = {{"Norm.", "NORM"}, {"Inv.", "INV"}};
const ChoiceRow kShortFecSyncChoices[] = {{"Req.", "FEC"}, {"N.req.", "NFEC"}};

// The echo pattern is read as a list of echoes (level and time).
// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kAtscGraphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 2, 1,
     "CALC:DTV:RES:BFIL? EPPV", 1, kNoMinimum},
};

}  // namespace

// ---------------------------------------------------------------- ATSC

namespace {

const OptionRow kAtscOptions[] = {kOptionPreselector, {"FW05/FW13", "ATSC Firmware"}};

const ModeRow kAtscModes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kAtscSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"ATSC mode", "SET:TV:STAN", "ATSC"},
    // Only an analyzer that also has the mobile firmware knows the legacy switch.
    {"ATSC legacy mode on", "DDEM:FORC:STAT", "1", "", 0, "HW05/HW06", "FW13"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW06"},
    kStepEchoXUnitS,
    kStepEchoRelMode,
    kStepEchoLevelSort,
    kStepEchoThreshold,
    kStepEchoXMode,
    kStepEchoXSpan,
    kStepEchoXCenter,
    kStepTraceFormat,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    {"System optimization: Mobile", "DDEM:SOPT", "FAST"},
    kStepAgcLoopHigh,
    kStepCarrierLoopHigh,
    kStepSymbolLoopHigh,
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ParameterRow kAtscParameters[] = {
    kAdjacentChannels,
    Selection("Refe- rence", 50, "FREQ:PIL:STAT", kReferenceChoices, kNoHelp),
    Selection("Side- band", 45, "DDEM:SBAN", kShortSidebandChoices, kNoHelp),
    Selection("FEC Sync", 50, "DDEM:FECS", kShortFecSyncChoices, kHelpFecSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kAtscValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kNoMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|BER", "before Reed Solomon [10-6]", "CALC:DTV:RES? BBRS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER", "after Reed Solomon [10-6]", "CALC:DTV:RES? BARS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values", "PER [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 3, -1, 1000000.0, kNoMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraAtsc = {
    "ATSC", "c", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 4, 7,
    kAtscOptions, kAtscModes, kAtscSteps, kAtscParameters,
    kNoMinimum, kAtscValues, kAtscGraphs, {},
};

// ---------------------------------------------------------------- ATSC Mobile DTV

namespace {

const OptionRow kAtscMobileOptions[] = {
    kOptionPreselector, {"HW05/HW06", "FPGA Extension Board"}, {"FW13", "ATSC Mobile MDTV Firmware"}};

const ModeRow kAtscMobileModes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kAtscMobileSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"ATSC mode", "SET:TV:STAN", "ATSC"},
    {"ATSC legacy mode off", "DDEM:FORC:STAT", "0"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW06"},
    kStepEchoXUnitS,
    kStepEchoRelMode,
    kStepEchoLevelSort,
    kStepEchoThreshold,
    kStepEchoXMode,
    kStepEchoXSpan,
    kStepEchoXCenter,
    kStepTraceFormat,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    {"System optimization: Mobile", "DDEM:SOPT", "FAST"},
    kStepAgcLoopHigh,
    kStepCarrierLoopHigh,
    kStepSymbolLoopHigh,
    {"Parade selection mode: Manual", "DDEM:DPAR:MODE", "MAN"},
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ParameterRow kAtscMobileParameters[] = {
    kAdjacentChannels,
    Selection("Refe- rence", 50, "FREQ:PIL:STAT", kReferenceChoices, kNoHelp),
    Selection("Side- band", 45, "DDEM:SBAN", kShortSidebandChoices, kNoHelp),
    Selection("FEC Sync", 50, "DDEM:FECS", kShortFecSyncChoices, kHelpFecSync),
    Number("Parade ID", 45, "DDEM:DPAR:MAN", 0, 127, 1, kHelpParadeId),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kAtscMobileValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kNoMinimum},
    {"Values", "Parade Sync", "CALC:DTV:RES:ATSM:PAR:SYNC?", 0, 0, 3, 1, -1, 1.0, kNoMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, kNoMinimum},
    {"Values|BER|before Reed Solomon", "Legacy [10-6]", "CALC:DTV:RES? BBRS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|before Reed Solomon", "Parade Primary [10-6]", "CALC:DTV:RES:ATSM:PRIM? BBRS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|before Reed Solomon", "Parade Secondary [10-6]", "CALC:DTV:RES:ATSM:SEC? BBRS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|before Reed Solomon", "TPC [10-6]", "CALC:DTV:RES:ATSM:TPC? BBRS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|before Reed Solomon", "FIC [10-6]", "CALC:DTV:RES:ATSM:FIC? BBRS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|after Reed Solomon", "Legacy [10-6]", "CALC:DTV:RES? BARS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|after Reed Solomon", "Parade Primary [10-6]", "CALC:DTV:RES:ATSM:PRIM? BARS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|after Reed Solomon", "Parade Secondary [10-6]", "CALC:DTV:RES:ATSM:SEC? BARS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|after Reed Solomon", "TPC [10-6]", "CALC:DTV:RES:ATSM:TPC? BARS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|BER|after Reed Solomon", "FIC [10-6]", "CALC:DTV:RES:ATSM:FIC? BARS", 0, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|PER", "Legacy [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|PER", "Parade Primary [10-6]", "CALC:DTV:RES:ATSM:PRIM? PER", 3, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|PER", "Parade Secondary [10-6]", "CALC:DTV:RES:ATSM:SEC? PER", 3, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|PER", "TPC [10-6]", "CALC:DTV:RES:ATSM:TPC? PER", 3, 1, 1, 3, -1, 1000000.0, kNoMinimum},
    {"Values|PER", "FIC [10-6]", "CALC:DTV:RES:ATSM:FIC? PER", 3, 1, 1, 3, -1, 1000000.0, kNoMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraAtscMobile = {
    "ATSC Mobile DTV", "d", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 4, 7,
    kAtscMobileOptions, kAtscMobileModes, kAtscMobileSteps, kAtscMobileParameters,
    kNoMinimum, kAtscMobileValues, kAtscGraphs, {},
};

// ---------------------------------------------------------------- DAB and T-DMB

// DAB and T-DMB share the demodulator and every table; they differ in the
// code and the sync time-out only.

namespace {

const OptionRow kDabOptions[] = {kOptionPreselector, {"FW09", "T-DMB/DAB Firmware"}};

const ModeRow kDabModes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kDabSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"DAB/T-DMB mode", "SET:TV:STAN", "TDMB"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW10"},
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
    kStepAgcLoopHigh,
    kStepCarrierLoopHigh,
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ChoiceRow kFicSyncChoices[] = {{"Required", "FIC"}, {"Not required", "NFIC"}};

const ParameterRow kDabParameters[] = {
    kAdjacentChannels,
    Selection("FIC Sync", 80, "DDEM:FICS", kFicSyncChoices, kHelpFecSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDabValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, "2.20"},
    {"Values", "Carrier to Noise [dB]", "CALC:DTV:RES? CNR", 1, 0, 0, 1, -1, 1.0, "2.50"},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|BER before Viterbi", "Overall [10-6]", "CALC:DTV:RES? BBV", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER before Viterbi", "FIC [10-6]", "CALC:DTV:RES? BVF", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER before Viterbi", "MSC [10-6]", "CALC:DTV:RES? BVM", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
};

// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kDabGraphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 2, 1,
     "CALC:DTV:RES:BFIL? EPPV", 1, "2.20"},
};

// group, name, query, width, minFirmware
const InfoRow kDabInfo[] = {
    {"Parameters", "Sideband", "CALC:DTV:RES? SBP", 10, "2.20"},
    {"Parameters", "Transmission Mode", "CALC:DTV:RES? TMOD", 10, "2.20"},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraDab = {
    "DAB", "a", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 5, 22,
    kDabOptions, kDabModes, kDabSteps, kDabParameters,
    kNoMinimum, kDabValues, kDabGraphs, kDabInfo,
};

extern const StandardTable kAlvraTdmb = {
    "T-DMB", "b", 2, 8, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 4, 22,
    kDabOptions, kDabModes, kDabSteps, kDabParameters,
    kNoMinimum, kDabValues, kDabGraphs, kDabInfo,
};

}  // namespace catalogue
