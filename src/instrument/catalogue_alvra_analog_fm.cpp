// Alvra standards of analog broadcasting: analog TV and the three FM radio
// standards.
#include "instrument/catalogue_alvra.h"

namespace catalogue {

// ---------------------------------------------------------------- Analog TV

namespace {

const OptionRow kAnalogTvOptions[] = {kOptionPreselector};

const ModeRow kAnalogTvModes[] = {{"Vision modulation mode", "CONF:ATV:MEAS", "VMOD"}};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kAnalogTvSteps[] = {
    kStepTvAnalyzerMode,
    {"ATV mode", "SET:TV:MODE", "ATV"},
    kStepRefFrequencyInternal,
    kStepLevelOffset,
    {"Vision modulation mode", "CONF:ATV:MEAS", "VMOD"},
    kStepPreselectorOn,
    kStepAutoAttenuation,
    {"Residual carrier mode: Auto", "ADEM:RPC:PDEF:STAT", "1"},
    kStepPreamplifierAuto,
};

const ChoiceRow kTvStandardChoices[] = {{"B/G", "BG"}, {"D/K", "DK"}, {"I", "I"},
                                        {"K1", "K1"},  {"M", "M"},   {"N", "N"}};
const ChoiceRow kSidebandChoices[] = {{"Normal", "NORM"}, {"Inverse", "INV"}};

const ParameterRow kAnalogTvParameters[] = {
    Selection("Standard", 80, "SET:TV:STAN", kTvStandardChoices, kNoHelp),
    Selection("Sideband", 80, "DDEM:SBAN", kSidebandChoices, kHelpSideband),
};

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kAnalogTvValues[] = {
    {"Values", "Level", "CALC:ATV:RES:VMOD? VCP", 2, 0, 0, -1, 1, 1.0, kNoMinimum},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, 1, 1.0, kNoMinimum},
    {"Values|SNR", "LumW (bar) [dB]", "CALC:ATV:RES:VMOD? SNR", 1, 0, 0, 1, 1, 1.0, kNoMinimum},
    {"Values|SNR", "LumW (nom) [dB]", "CALC:ATV:RES:VMOD? SNRN", 1, 0, 0, 1, 1, 1.0, kNoMinimum},
};

}  // namespace

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraAnalogTv = {
    "Analog TV", "v", 2, 8, "CALC:ATV:RES:DEM:SYNC?", "1", 1, 4, 5,
    kAnalogTvOptions, kAnalogTvModes, kAnalogTvSteps, kAnalogTvParameters,
    kNoMinimum, kAnalogTvValues, {}, {},
};

// ---------------------------------------------------------------- FM radio

namespace {

const OptionRow kFmOptions[] = {kOptionPreselector, {"FW01", "FM Radio Firmware"}};

const ModeRow kFmModes[] = {{"Overview mode", "CONF:RAD:MEAS", "OVER"}};

// The radio standards switch the input of the MPX path, not of the I/Q path.
const StepRow kStepRadioMode = {"Radio mode", "SET:TV:MODE", "RAD"};
const StepRow kStepRadioInputRf = {"Input: RF", "INP:SEL:MPX", "0", "", 0, "HW01"};
const StepRow kStepRadioOverviewMode = {"Overview mode", "CONF:RAD:MEAS", "OVER"};

// description, header, value, expected answer, settle [s], requiredOption, requiredOption2
const StepRow kFmMonoSteps[] = {
    kStepTvAnalyzerMode,
    kStepRadioMode,
    {"FM Mono mode", "SET:TV:STAN", "FM_M"},
    {"Data system none", "RAD:DTSY", "NONE"},
    kStepRefFrequencyInternal,
    kStepRadioInputRf,
    kStepLevelOffset,
    kStepRadioOverviewMode,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepPreamplifierAuto,
};

const StepRow kFmStereoSteps[] = {
    kStepTvAnalyzerMode,
    kStepRadioMode,
    {"FM Stereo mode", "SET:TV:STAN", "FM_S"},
    {"Data system none", "RAD:DTSY", "NONE"},
    kStepRefFrequencyInternal,
    kStepRadioInputRf,
    kStepLevelOffset,
    kStepRadioOverviewMode,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepPreamplifierAuto,
};

const StepRow kFmStereoRdsSteps[] = {
    kStepTvAnalyzerMode,
    kStepRadioMode,
    {"FM Stereo mode", "SET:TV:STAN", "FM_S"},
    {"Data system RDS", "RAD:DTSY", "RDS"},
    kStepRefFrequencyInternal,
    kStepRadioInputRf,
    kStepLevelOffset,
    kStepRadioOverviewMode,
    kStepPreselectorOn,
    kStepAutoAttenuation,
    kStepPreamplifierAuto,
};

// Every bandwidth is sent as "B" and its label: the analyzer refuses anything else.
const ChoiceRow kFmBandwidthChoices[] = {{"400", "B400"}, {"350", "B350"}, {"300", "B300"},
                                         {"250", "B250"}, {"200", "B200"}, {"150", "B150"}};

const ParameterRow kFmParameters[] = {
    Selection("Bandwidth [kHz]", 110, "RAD:BAND:CHAN", kFmBandwidthChoices, kNoHelp),
};

// The deviation is read in Hz and shown in kHz.
// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kFmMonoValues[] = {
    {"Values", "Level", "CALC:RAD:RES:OVER? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "MPX Power [dBr]", "CALC:RAD:RES:MPOW? MPOW", 2, 0, 1, -1, -1, 1.0, "2.20"},
    {"Values", "Peak Deviation [kHz]", "CALC:RAD:RES:MPOW? PDEV", 3, 0, 1, -1, -1, 0.001, "2.20"},
};

const ValueRow kFmStereoValues[] = {
    {"Values", "Level", "CALC:RAD:RES:OVER? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, "2.20"},
    {"Values", "MPX Power [dBr]", "CALC:RAD:RES:MPOW? MPOW", 2, 0, 1, -1, -1, 1.0, "2.20"},
    {"Values", "Peak Deviation [kHz]", "CALC:RAD:RES:MPOW? PDEV", 3, 0, 1, -1, -1, 0.001, "2.20"},
};

const ValueRow kFmStereoRdsValues[] = {
    {"Values", "Level", "CALC:RAD:RES:OVER? LEV", 2, 0, 0, -1, -1, 1.0, "2.20"},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, "2.20"},
    {"Values", "MPX Power [dBr]", "CALC:RAD:RES:MPOW? MPOW", 2, 0, 1, -1, -1, 1.0, "2.20"},
    {"Values", "Peak Deviation [kHz]", "CALC:RAD:RES:MPOW? PDEV", 3, 0, 1, -1, -1, 0.001, "2.20"},
    {"Values", "RDS BER [10-6]", "CALC:RAD:RES:OVER? RDSB", 0, 1, 1, 1, -1, 1000000.0, kNoMinimum},
};

}  // namespace

// Mono has no pilot to synchronise on: its syncHold of 0 skips the wait for sync.
// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime
extern const StandardTable kAlvraFmMono = {
    "FM Radio Mono", "m", 2, 9, "", "1", 0, 0, 0,
    kFmOptions, kFmModes, kFmMonoSteps, kFmParameters,
    kNoMinimum, kFmMonoValues, {}, {},
};

extern const StandardTable kAlvraFmStereo = {
    "FM Radio Stereo", "f", 2, 9, "CALC:RAD:RES:DEMOD:STER?", "1", 1, 4, 0,
    kFmOptions, kFmModes, kFmStereoSteps, kFmParameters,
    kNoMinimum, kFmStereoValues, {}, {},
};

extern const StandardTable kAlvraFmStereoRds = {
    "FM Radio Stereo & RDS", "r", 2, 9, "CALC:RAD:RES:DEMOD:STER?", "1", 1, 4, 3,
    kFmOptions, kFmModes, kFmStereoRdsSteps, kFmParameters,
    kNoMinimum, kFmStereoRdsValues, {}, {},
};

}  // namespace catalogue
