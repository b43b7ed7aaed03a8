// Alvra standards DVB-T2 and ISDB-T.
#include "instrument/catalogue_alvra.h"

namespace catalogue {

// ---------------------------------------------------------------- DVB-T2

namespace {

const OptionRow kDvbt2Options[] = {
    kOptionPreselector, {"HW05/HW06", "FPGA Extension Board"}, {"FW14", "DVB-T2 Firmware"}};

const ModeRow kDvbt2Modes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kDvbt2Steps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"DVB-T2 mode", "SET:TV:STAN", "DVBT2"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW15"},
    kStepEchoXUnitS,
    kStepEchoCenterMode,
    kStepEchoRelMode,
    kStepEchoLevelSort,
    kStepEchoThreshold,
    kStepEchoXMode,
    kStepEchoXSpan,
    kStepEchoXCenter,
    // Both MISO groups in one trace; the graphs pick their group.
    {"Echo pattern MISO mode", "DISP:MEAS:EPAT:MIS", "GRPS"},
    kStepTraceFormat,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepSystemOptimizationMobile,
    kStepAgcLoopHigh,
    kStepCarrierLoopHigh,
    kStepSymbolLoopHigh,
    {"PLP selection mode: Manual", "DDEM:DECP:MODE", "MAN"},
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ChoiceRow kDvbt2BandwidthChoices[] = {
    {"8", "B8MHZ"}, {"7", "B7MHZ"}, {"6", "B6MHZ"}, {"5", "B5MHZ"}, {"1.7", "B1_7MHZ"}};
const ChoiceRow kSidebandChoices[] = {{"Normal", "NORM"}, {"Inverse", "INV"}};

const ParameterRow kDvbt2Parameters[] = {
    kAdjacentChannels,
    Selection("Bandwidth [MHz]", 70, "DTV:BAND:CHAN", kDvbt2BandwidthChoices, kHelpBandwidth),
    Selection("Sideband", 80, "DDEM:SBAN", kSidebandChoices, kHelpSideband),
    Number("PLP ID", 40, "DDEM:DECP:MAN", 0, 255, 1, kHelpPlpId),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDvbt2Values[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, "2.32"},
    {"Values", "PLP Sync", "CALC:DTV:RES:PLP:SYNC?", 0, 0, 3, 1, -1, 1.0, "2.32"},
    {"Values|MER", "L1 RMS [dB]", "CALC:DTV:RES? MRLO", 1, 0, 0, 1, -1, 1.0, "2.32"},
    {"Values|MER", "PLP RMS [dB]", "CALC:DTV:RES? MRPL", 1, 0, 0, 1, -1, 1.0, "2.32"},
    {"Values|BER", "before LDPC [10-6]", "CALC:DTV:RES? BERL", 0, 1, 1, 2, -1, 1000000.0, "2.32"},
    {"Values|BER", "LDPC Iterations", "CALC:DTV:RES? ITLD", 0, 1, 1, 2, -1, 1.0, "2.32"},
    {"Values|BER", "before BCH [10-6]", "CALC:DTV:RES? BBCH", 0, 1, 1, 2, -1, 1000000.0, "2.32"},
    {"Values", "BBFRAME Error Ratio [10-6]", "CALC:DTV:RES? FER", 3, 1, 1, 2, -1, 1000000.0, "2.32"},
};

// One query returns the echoes of both MISO groups; each graph keeps its own group.
// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kDvbt2Graphs[] = {
    {"Graphs", "Echo Pattern (SISO/MISO Group 1)", "Echo Pattern (SISO-MISO Group 1)", 501, kEchoTimeLabel, "-250",
     "250", "Echo power [dB]", "-40", "0", 1, 1, "CALC:DTV:RES:BFIL? T2M", 3, "2.32"},
    {"Graphs", "Echo Pattern (MISO Group 2)", "Echo Pattern (MISO Group 2)", 501, kEchoTimeLabel, "-250", "250",
     "Echo power [dB]", "-40", "0", 1, 1, "CALC:DTV:RES:BFIL? T2M", 4, "2.60"},
};

// group, name, query, width, minFirmware
const InfoRow kDvbt2Info[] = {
    {"Parameters|L1", "Bandwidth Extension", "CALC:DTV:RES:L1PR? BWEX", 10, "2.32"},
    {"Parameters|L1", "Guard Interval", "CALC:DTV:RES:L1PR? GINT", 10, "2.32"},
    {"Parameters|L1", "Pilot Pattern", "CALC:DTV:RES:L1PR? PPAT", 10, "2.32"},
    {"Parameters|L1", "Transmission System", "CALC:DTV:RES:L1PR? TSYS", 10, "2.32"},
    {"Parameters|L1", "Data Symbols per Frame", "CALC:DTV:RES:L1PR? LDAT", 10, "2.32"},
    {"Parameters|L1", "Post Constellation", "CALC:DTV:RES:L1PR? CONS", 10, "2.32"},
    {"Parameters|L1", "Post Size", "CALC:DTV:RES:L1PR? LPS", 10, "2.32"},
    {"Parameters|L1", "Post Extension", "CALC:DTV:RES:L1PR? LPEX", 10, "2.32"},
    {"Parameters|L1", "Repetition", "CALC:DTV:RES:L1PR? LREP", 10, "2.32"},
    {"Parameters|L1", "Post Code Rate", "CALC:DTV:RES:L1PR? LPCR", 10, "2.32"},
    {"Parameters|L1", "Post FEC Type", "CALC:DTV:RES:L1PR? LPF", 10, "2.32"},
    {"Parameters|L1", "PAPR", "CALC:DTV:RES:L1PR? PAPR", 10, "2.32"},
    {"Parameters|L1", "Stream Type", "CALC:DTV:RES:L1PR? STYP", 10, "2.32"},
    {"Parameters|L1", "T2 Version", "CALC:DTV:RES:L1PR? T2V", 10, "2.32"},
    {"Parameters|L1", "System ID", "CALC:DTV:RES:L1PR? SID", 10, "2.32"},
    {"Parameters|L1", "Cell ID", "CALC:DTV:RES:L1PR? CID", 10, "2.32"},
    {"Parameters|L1", "Network ID", "CALC:DTV:RES:L1PR? NID", 10, "2.32"},
    {"Parameters|L1", "Frames per Superframe", "CALC:DTV:RES:L1PR? NT2", 10, "2.32"},
    {"Parameters|L1", "TX ID Availability", "CALC:DTV:RES:L1PR? TID", 10, "2.32"},
    {"Parameters|L1", "Post Info Size", "CALC:DTV:RES:L1PR? LPIS", 10, "2.32"},
    {"Parameters|L1", "Regeneration Flag", "CALC:DTV:RES:L1PR? RFL", 10, "2.32"},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraDvbt2 = {
    "DVB-T2", "u", 2, 11, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 6, 7,
    kDvbt2Options, kDvbt2Modes, kDvbt2Steps, kDvbt2Parameters,
    kNoMinimum, kDvbt2Values, kDvbt2Graphs, kDvbt2Info,
};

// ---------------------------------------------------------------- ISDB-T

namespace {

const OptionRow kIsdbtOptions[] = {kOptionPreselector, {"FW11", "ISDB-T Firmware"}};

const ModeRow kIsdbtModes[] = {kModeEchoPattern, kModeMerOverF};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kIsdbtSteps[] = {
    kStepTvAnalyzerMode,
    kStepDtvMode,
    {"ISDB-T mode", "SET:TV:STAN", "ISDBT"},
    kStepRefFrequencyInternal,
    kStepInputRf,
    kStepLevelOffset,
    kStepEchoPatternMode,
    {"Echo pattern f.offs off", "CONF:DTV:MEAS:EPAT:SFNF:STAT", "0", "", 0, "", "FW12"},
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
    kStepAgcLoopHigh,
    kStepCarrierLoopHigh,
    kStepSymbolLoopHigh,
    kStepPreamplifierAuto,
    kStepManualHysteresis,
};

const ChoiceRow kLayerSyncChoices[] = {{"A+B+C", "ABC"}, {"A", "A"}, {"B", "B"}, {"C", "C"}};

const ParameterRow kIsdbtParameters[] = {
    kAdjacentChannels,
    Selection("FEC Sync", 80, "DDEM:FECS", kFecSyncChoices, kHelpFecSync),
    Selection("Layer Sync", 80, "DDEM:TSO", kLayerSyncChoices, kHelpLayerSync),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kIsdbtValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, "2.20"},
    {"Values|MER|RMS", "Overall [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|RMS", "TMCC [dB]", "CALC:DTV:RES? MTRM", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|RMS", "AC [dB]", "CALC:DTV:RES? MARM", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|RMS", "Layer A [dB]", "CALC:DTV:RES:A? MERR", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|RMS", "Layer B [dB]", "CALC:DTV:RES:B? MERR", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|RMS", "Layer C [dB]", "CALC:DTV:RES:C? MERR", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|Peak", "Overall [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|Peak", "Layer A [dB]", "CALC:DTV:RES:A? MERP", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|Peak", "Layer B [dB]", "CALC:DTV:RES:B? MERP", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|MER|Peak", "Layer C [dB]", "CALC:DTV:RES:C? MERP", 1, 0, 0, 1, -1, 1.0, "2.20"},
    {"Values|BER|before Viterbi", "Overall [10-6]", "CALC:DTV:RES? BBV", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Viterbi", "Layer A [10-6]", "CALC:DTV:RES:A? BBV", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Viterbi", "Layer B [10-6]", "CALC:DTV:RES:B? BBV", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Viterbi", "Layer C [10-6]", "CALC:DTV:RES:C? BBV", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Reed Solomon", "Overall [10-6]", "CALC:DTV:RES? BBRS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Reed Solomon", "Layer A [10-6]", "CALC:DTV:RES:A? BBRS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Reed Solomon", "Layer B [10-6]", "CALC:DTV:RES:B? BBRS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|before Reed Solomon", "Layer C [10-6]", "CALC:DTV:RES:C? BBRS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|after Reed Solomon", "Overall [10-6]", "CALC:DTV:RES? BARS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|after Reed Solomon", "Layer A [10-6]", "CALC:DTV:RES:A? BARS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|after Reed Solomon", "Layer B [10-6]", "CALC:DTV:RES:B? BARS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|BER|after Reed Solomon", "Layer C [10-6]", "CALC:DTV:RES:C? BARS", 0, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|PER [10-6]", "Overall", "CALC:DTV:RES? PER", 3, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|PER [10-6]", "Layer A", "CALC:DTV:RES:A? PER", 3, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|PER [10-6]", "Layer B", "CALC:DTV:RES:B? PER", 3, 1, 1, 3, -1, 1000000.0, "2.20"},
    {"Values|PER [10-6]", "Layer C", "CALC:DTV:RES:C? PER", 3, 1, 1, 3, -1, 1000000.0, "2.20"},
};

// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kIsdbtGraphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 2, 1,
     "CALC:DTV:RES:BFIL? EPPV", 1, "2.20"},
};

// group, name, query, width, minFirmware
const InfoRow kIsdbtInfo[] = {
    {"Parameters", "Sideband", "CALC:DTV:RES? SBP", 10, "2.20"},
    {"Parameters", "Guard Interval", "CALC:DTV:RES? GINT", 10, "2.20"},
    {"Parameters", "Transmission Mode", "DDEM:TRAN:MODE?", 10, "2.20"},
    {"Parameters", "One Segment Reception", "DDEM:PREC:STAT?", 10, "2.20"},
    {"Parameters|TMCC", "System Identification", "CALC:DTV:RES:TMCC? SID", 10, "2.20"},
    {"Parameters|TMCC", "Parameter Switching Indicator", "CALC:DTV:RES:TMCC? PSIN", 10, "2.20"},
    {"Parameters|TMCC", "Emergency Alarm Broadcasting", "CALC:DTV:RES:TMCC? EMER", 10, "2.20"},
    {"Parameters|TMCC", "Current Partial Reception", "CALC:DTV:RES:TMCC? PREC", 10, "2.20"},
    {"Parameters|TMCC", "Next Partial Reception", "CALC:DTV:RES:TMCC? NPR", 10, "2.20"},
    {"Parameters|TMCC", "Phase Shift Correction", "CALC:DTV:RES:TMCC? PSH", 10, "2.20"},
    {"Parameters|TMCC", "Reserved", "CALC:DTV:RES:TMCC? RES", 10, "2.20"},
    {"Parameters|TMCC|Coderate", "Layer A", "DDEM:CRAT:A?", 10, "2.20"},
    {"Parameters|TMCC|Coderate", "Layer B", "DDEM:CRAT:B?", 10, "2.20"},
    {"Parameters|TMCC|Coderate", "Layer C", "DDEM:CRAT:C?", 10, "2.20"},
    {"Parameters|TMCC|Segments", "Layer A", "DDEM:SEGM:A?", 10, "2.20"},
    {"Parameters|TMCC|Segments", "Layer B", "DDEM:SEGM:B?", 10, "2.20"},
    {"Parameters|TMCC|Segments", "Layer C", "DDEM:SEGM:C?", 10, "2.20"},
    {"Parameters|TMCC|Time Deinterleaver", "Layer A", "DDEM:TDE:A?", 10, "2.20"},
    {"Parameters|TMCC|Time Deinterleaver", "Layer B", "DDEM:TDE:B?", 10, "2.20"},
    {"Parameters|TMCC|Time Deinterleaver", "Layer C", "DDEM:TDE:C?", 10, "2.20"},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraIsdbt = {
    "ISDB-T", "i", 2, 9, "CALC:DTV:RES:DEM:SYNC?", "1", 1, 4, 12,
    kIsdbtOptions, kIsdbtModes, kIsdbtSteps, kIsdbtParameters,
    kNoMinimum, kIsdbtValues, kIsdbtGraphs, kIsdbtInfo,
};

}  // namespace catalogue
