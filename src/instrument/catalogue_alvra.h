#pragma once
// Rows shared by the standards of the Alvra family. The DVB-T / DVB-H setup
// sequence is the reference: the other standards reuse its steps by name and
// add or replace the few that differ.
#include "instrument/catalogue_rows.h"

namespace catalogue {

// The DVB-T / DVB-H setup steps, in that standard's order (its own "DVB-T
// mode" and "Echo pattern f.offs off" rows live with its table).
inline constexpr StepRow kStepTvAnalyzerMode = {"TV analyzer mode", "INST", "CATV"};
inline constexpr StepRow kStepDtvMode = {"DTV mode", "SET:TV:MODE", "DTV"};
inline constexpr StepRow kStepRefFrequencyInternal = {"Ref. frequency internal", "SOUR:EXT:ROSC", "INT"};
inline constexpr StepRow kStepInputRf = {"Input: RF", "INP:SEL:IQ", "0", "", 0, "HW01"};
inline constexpr StepRow kStepLevelOffset = {"Level offset", "DISP:TRAC:Y:RLEV:OFFS", "0"};
inline constexpr StepRow kStepEchoPatternMode = {"Echo pattern mode", "CONF:DTV:MEAS", "EPAT"};
inline constexpr StepRow kStepEchoXUnitS = {"Echo pattern x-axis unit s", "CALC:DTV:UNIT:POW:EPAT", "s"};
inline constexpr StepRow kStepEchoCenterMode = {"Echo pattern center mode", "DISP:TRAC1:Y:SCAL:ZPOS", "MLEV"};
inline constexpr StepRow kStepEchoRelMode = {"Echo pattern rel mode", "DISP:TRAC1:Y:SCAL:LEV:REL:STAT", "1"};
inline constexpr StepRow kStepEchoLevelSort = {"Echo pattern level sort", "DISP:SORT:TIME:STAT", "0"};
inline constexpr StepRow kStepEchoThreshold = {"Echo pattern threshold", "DISP:MEAS:EPAT:PTHR", "-35"};
inline constexpr StepRow kStepEchoXNorm = {"Echo pattern x-axis norm", "DISP:TRAC1:X:TRAN", "NORM"};
inline constexpr StepRow kStepEchoXMode = {"Echo pattern x-axis mode", "DISP:TRAC1:X:AUTO", "0"};
inline constexpr StepRow kStepEchoXSpan = {"Echo pattern x-axis span", "DISP:TRAC1:X:DIV", "0.00005"};
inline constexpr StepRow kStepEchoXCenter = {"Echo pattern x-axis center", "DISP:TRAC1:X:CENT", "0"};
inline constexpr StepRow kStepTraceFormat = {"Trace format", "FORM", "REAL,32"};
inline constexpr StepRow kStepPreselectorOn = {"Preselector: On", "INP:PRES:STAT", "1"};
// The attenuator needs a few seconds to settle after switching to auto.
inline constexpr StepRow kStepAutoAttenuation = {"Auto attenuation mode", "POW:ACH:PRES:RLEV:AUTO", "SLA", "", 4};
inline constexpr StepRow kStepSystemOptimizationMobile = {"System optimization: Mobile", "DDEM:SOPT", "MOB"};
inline constexpr StepRow kStepAgcLoopHigh = {"AGC loop optimization: High", "DDEM:LOOP:AGC", "HIGH"};
inline constexpr StepRow kStepCarrierLoopHigh = {"Carrier loop optimization: High", "DDEM:LOOP:CARR", "HIGH"};
inline constexpr StepRow kStepSymbolLoopHigh = {"Symbol loop optimization: High", "DDEM:LOOP:SYMB", "HIGH"};
// Sent as "ON" but read back as "1".
inline constexpr StepRow kStepPreamplifierAuto = {"Preamplifier: Auto", "INP:GAIN:STAT", "ON", "1"};
inline constexpr StepRow kStepManualHysteresis = {"Manual hysteresis control", "INP:ATT:DRIV:MODE", "1"};

// Modes used by most digital standards.
inline constexpr ModeRow kModeEchoPattern = {"Echo pattern mode", "CONF:DTV:MEAS", "EPAT"};
inline constexpr ModeRow kModeMerOverF = {"MER over f mode", "CONF:DTV:MEAS", "MERF"};

// Parameter choices and the "Adjacent channels" column shared by most standards.
inline constexpr ChoiceRow kAdjacentChoices[] = {{"Present", "10"}, {"None", "17"}};
inline constexpr ChoiceRow kFecSyncChoices[] = {{"Required", "FEC"}, {"Not required", "NFEC"}};
inline constexpr ParameterRow kAdjacentChannels =
    AdjacentChannels("Adjacent channels", 60, "INP:ATT:DRIV:HYST", kAdjacentChoices, kHelpAdjacentChannels);

// Every Alvra standard needs the RF preselector.
inline constexpr OptionRow kOptionPreselector = {"HW02", "RF Preselector"};

// The Alvra standards, in catalogue order.
extern const StandardTable kAlvraAnalogTv;
extern const StandardTable kAlvraAtsc;
extern const StandardTable kAlvraAtscMobile;
extern const StandardTable kAlvraDab;
extern const StandardTable kAlvraTdmb;
extern const StandardTable kAlvraDtmbSc;
extern const StandardTable kAlvraDtmbTdsOfdm;
extern const StandardTable kAlvraDvbt;
extern const StandardTable kAlvraDvbt2;
extern const StandardTable kAlvraFmMono;
extern const StandardTable kAlvraFmStereo;
extern const StandardTable kAlvraFmStereoRds;
extern const StandardTable kAlvraIsdbt;
extern const StandardTable kAlvraDtmbFw16;

}  // namespace catalogue
