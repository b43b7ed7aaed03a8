// The Belko and Cendra families. Both speak the same SCPI dialect: the
// analyzer is switched into its DVB application, the echo pattern is read as
// a peak list, and synchronisation is answered with "SYNC". Cendra measures
// DVB-T / DVB-H and ISDB-T with Belko's tables, only the firmware minimum of
// the measurements differs.
#include "instrument/catalogue_rows.h"

namespace catalogue {

namespace {

const char* const kSync = "CALC:DTV:RES:DEM:SYNC?";

const ModeRow kModes[] = {
    {"Echo pattern mode", "CONF:DTV:MEAS", "EPAT"},
    {"MER over f mode", "CONF:DTV:MEAS", "MERF"},
};

const OptionRow kDvbtOptions[] = {{"FW18", "RF Preselection"}, {"FW02", "DVB-T/H Analysis"}};
const OptionRow kIsdbtOptions[] = {{"FW18", "RF Preselection"}, {"FW03", "ISDB-T Analysis"}};
const OptionRow kDvbt2Options[] = {
    {"FW18", "RF Preselection"}, {"HW05", "FPGA Extension Board"}, {"FW07", "DVB-T2 Analysis"}};

// ---------------------------------------------------------------- setup steps

// The echo pattern mode is set before and after the standard: switching the
// standard falls back to the default measurement.
// description, header, value
const StepRow kDvbtSteps[] = {
    {"TV analyzer mode", "INST", "DVB"},
    {"Echo pattern mode 1/2", "CONF:DTV:MEAS", "EPAT"},
    {"DVB-T mode", "SET:TV:STAN", "DVBT"},
    {"Echo pattern mode 2/2", "CONF:DTV:MEAS", "EPAT"},
    {"Ref. frequency internal", "ROSC:SOUR", "INT"},
    {"Preselection on", "INP:PRES:STAT", "1"},
    {"Auto attenuation mode", "INP:ATT:AUTO", "1"},
    {"Low distortion mode", "INP:ATT:MODE", "LDIS"},
    {"Echo pattern x-axis norm", "DTV:EPAT:ESP", "0"},
    {"Echo pattern x-axis mode", "DISP:DTV:EPAT:ASP", "0"},
    {"Echo pattern x-axis unit", "CALC:DTV:UNIT:POW:EPAT", "S"},
    {"Echo pattern x-axis center", "DISP:DTV:EPAT:CPOS", "0.000000"},
    {"Echo pattern x-axis span", "DISP:DTV:EPAT:SPAN", "0.000500"},
    {"Echo pattern threshold", "DISP:DTV:EPAT:PLIS:THR", "-35.000000"},
    {"Trace format", "FORM", "REAL"},
    {"Primary transducer: Off", "CORR:TRAN1", "0"},
    {"Secondary transducer: Off", "CORR:TRAN2", "0"},
    {"Zero frequency offset", "FREQ:RF:OFFS", "0.000000"},
    {"Level offset", "DISP:WIND:DTV:RLEV:OFFS", "0.000000"},
    {"Symbol loop optimization: High", "DDEM:LOOP:SYMB", "HIGH"},
    {"Channel adaption: Fast", "DDEM:SOPT", "FAST"},
};

// The DVB-T / DVB-H sequence with its own standard and an automatic FFT window.
const StepRow kIsdbtSteps[] = {
    {"TV analyzer mode", "INST", "DVB"},
    {"Echo pattern mode 1/2", "CONF:DTV:MEAS", "EPAT"},
    {"ISDB-T mode", "SET:TV:STAN", "ISDB"},
    {"Echo pattern mode 2/2", "CONF:DTV:MEAS", "EPAT"},
    {"Ref. frequency internal", "ROSC:SOUR", "INT"},
    {"Preselection on", "INP:PRES:STAT", "1"},
    {"Auto attenuation mode", "INP:ATT:AUTO", "1"},
    {"Low distortion mode", "INP:ATT:MODE", "LDIS"},
    {"Echo pattern x-axis norm", "DTV:EPAT:ESP", "0"},
    {"Echo pattern x-axis mode", "DISP:DTV:EPAT:ASP", "0"},
    {"Echo pattern x-axis unit", "CALC:DTV:UNIT:POW:EPAT", "S"},
    {"Echo pattern x-axis center", "DISP:DTV:EPAT:CPOS", "0.000000"},
    {"Echo pattern x-axis span", "DISP:DTV:EPAT:SPAN", "0.000500"},
    {"Echo pattern threshold", "DISP:DTV:EPAT:PLIS:THR", "-35.000000"},
    {"Trace format", "FORM", "REAL"},
    {"FFT window position: Auto", "DDEM:FFT:WPOS", "AUTO"},
    {"Primary transducer: Off", "CORR:TRAN1", "0"},
    {"Secondary transducer: Off", "CORR:TRAN2", "0"},
    {"Zero frequency offset", "FREQ:RF:OFFS", "0.000000"},
    {"Level offset", "DISP:WIND:DTV:RLEV:OFFS", "0.000000"},
    {"Symbol loop optimization: High", "DDEM:LOOP:SYMB", "HIGH"},
    {"Channel adaption: Fast", "DDEM:SOPT", "FAST"},
};

// The ISDB-T sequence with its own standard and a manually chosen PLP.
const StepRow kDvbt2Steps[] = {
    {"TV analyzer mode", "INST", "DVB"},
    {"Echo pattern mode 1/2", "CONF:DTV:MEAS", "EPAT"},
    {"DVB-T2 mode", "SET:TV:STAN", "DVBT2"},
    {"Echo pattern mode 2/2", "CONF:DTV:MEAS", "EPAT"},
    {"Ref. frequency internal", "ROSC:SOUR", "INT"},
    {"Preselection on", "INP:PRES:STAT", "1"},
    {"Auto attenuation mode", "INP:ATT:AUTO", "1"},
    {"Low distortion mode", "INP:ATT:MODE", "LDIS"},
    {"Echo pattern x-axis norm", "DTV:EPAT:ESP", "0"},
    {"Echo pattern x-axis mode", "DISP:DTV:EPAT:ASP", "0"},
    {"Echo pattern x-axis unit", "CALC:DTV:UNIT:POW:EPAT", "S"},
    {"Echo pattern x-axis center", "DISP:DTV:EPAT:CPOS", "0.000000"},
    {"Echo pattern x-axis span", "DISP:DTV:EPAT:SPAN", "0.000500"},
    {"Echo pattern threshold", "DISP:DTV:EPAT:PLIS:THR", "-35.000000"},
    {"Trace format", "FORM", "REAL"},
    {"FFT window position: Auto", "DDEM:FFT:WPOS", "AUTO"},
    {"Primary transducer: Off", "CORR:TRAN1", "0"},
    {"Secondary transducer: Off", "CORR:TRAN2", "0"},
    {"Zero frequency offset", "FREQ:RF:OFFS", "0.000000"},
    {"Level offset", "DISP:WIND:DTV:RLEV:OFFS", "0.000000"},
    {"Symbol loop optimization: High", "DDEM:LOOP:SYMB", "HIGH"},
    {"Channel adaption: Fast", "DDEM:SOPT", "FAST"},
    {"PLP selection mode: Manual", "DDEM:DECP:MODE", "MAN"},
};

// ---------------------------------------------------------------- parameters

// The bandwidth is sent in Hz.
const ChoiceRow kBandwidthChoices[] = {
    {"8", "8000000.000000"}, {"7", "7000000.000000"}, {"6", "6000000.000000"}, {"5", "5000000.000000"}};
const ChoiceRow kT2BandwidthChoices[] = {{"8", "8000000.000000"},
                                        {"7", "7000000.000000"},
                                        {"6", "6000000.000000"},
                                        {"5", "5000000.000000"},
                                        {"1.7", "1700000.000000"}};
const ChoiceRow kFecSyncChoices[] = {{"Required", "FEC"}, {"Not required", "NFEC"}};
const ChoiceRow kSidebandChoices[] = {{"Normal", "NORM"}, {"Inverse", "INV"}};

const ParameterRow kDvbtParameters[] = {
    Selection("Bandwidth [MHz]", 110, "DTV:BAND:CHAN", kBandwidthChoices, kHelpBandwidth),
    Selection("FEC Sync", 80, "DDEM:FECS", kFecSyncChoices, kHelpFecSync),
};
const ParameterRow kIsdbtParameters[] = {
    Selection("FEC Sync", 80, "DDEM:FECS", kFecSyncChoices, kHelpFecSync),
};
const ParameterRow kDvbt2Parameters[] = {
    Selection("Bandwidth [MHz]", 110, "DTV:BAND:CHAN", kT2BandwidthChoices, kHelpBandwidth),
    Selection("Sideband", 80, "DDEM:SBP", kSidebandChoices, kHelpSideband),
    Number("PLP ID", 60, "DDEM:DECP:MAN", 0, 255, 1, kHelpPlpId),
};

// ---------------------------------------------------------------- values

// group, name, query; decimals, accumulateFlag, displayKind, queryGroup, modeIndex, scale, minFirmware
const ValueRow kDvbtValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, kStandardMinimum},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kStandardMinimum},
    {"Values|MER", "RMS [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|MER", "Peak [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|BER", "before Viterbi [10-6]", "CALC:DTV:RES? BBV", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER", "before Reed Solomon [10-6]", "CALC:DTV:RES? BBRS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values", "PER [10-6]", "CALC:DTV:RES? PER", 3, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
};

const ValueRow kIsdbtValues[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, kStandardMinimum},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kStandardMinimum},
    {"Values|MER RMS", "Overall [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|MER RMS", "TMCC [dB]", "CALC:DTV:RES? MTRM", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|MER RMS", "AC [dB]", "CALC:DTV:RES? MARM", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|MER RMS", "Layer A [dB]", "CALC:DTV:RES:A? MERR", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|MER RMS", "Layer B [dB]", "CALC:DTV:RES:B? MERR", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|MER RMS", "Layer C [dB]", "CALC:DTV:RES:C? MERR", 1, 0, 0, 2, -1, 1.0, kStandardMinimum},
    {"Values|BER|before Viterbi", "Layer A [10-6]", "CALC:DTV:RES:A? BBV", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|before Viterbi", "Layer B [10-6]", "CALC:DTV:RES:B? BBV", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|before Viterbi", "Layer C [10-6]", "CALC:DTV:RES:C? BBV", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|before Reed Solomon", "Layer A [10-6]", "CALC:DTV:RES:A? BBRS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|before Reed Solomon", "Layer B [10-6]", "CALC:DTV:RES:B? BBRS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|before Reed Solomon", "Layer C [10-6]", "CALC:DTV:RES:C? BBRS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|after Reed Solomon", "Layer A [10-6]", "CALC:DTV:RES:A? BARS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|after Reed Solomon", "Layer B [10-6]", "CALC:DTV:RES:B? BARS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
    {"Values|BER|after Reed Solomon", "Layer C [10-6]", "CALC:DTV:RES:C? BARS", 0, 1, 1, 3, -1, 1000000.0, kStandardMinimum},
};

const ValueRow kDvbt2Values[] = {
    {"Values", "Level", "CALC:DTV:RES? LEV", 2, 0, 0, -1, -1, 1.0, kStandardMinimum},
    {"Values", "Sync", kSyncQuery, 0, 0, 3, 0, -1, 1.0, kStandardMinimum},
    {"Values", "PLP Sync", "CALC:DTV:RES:PLP:SYNC?", 0, 0, 3, 1, -1, 1.0, kStandardMinimum},
    {"Values|MER|RMS", "L1 [dB]", "CALC:DTV:RES? MERR", 1, 0, 0, 1, -1, 1.0, kStandardMinimum},
    {"Values|MER|RMS", "PLP [dB]", "CALC:DTV:RES? MPRM", 1, 0, 0, 1, -1, 1.0, kStandardMinimum},
    {"Values|MER|Peak", "L1 [dB]", "CALC:DTV:RES? MERP", 1, 0, 0, 1, -1, 1.0, kStandardMinimum},
    {"Values|MER|Peak", "PLP [dB]", "CALC:DTV:RES? MPP", 1, 0, 0, 1, -1, 1.0, kStandardMinimum},
    {"Values|BER", "before LDPC [10-6]", "CALC:DTV:RES? BLDP", 0, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
    {"Values|BER", "LDPC Iterations", "CALC:DTV:RES? ILDP", 0, 1, 1, 2, -1, 1.0, kStandardMinimum},
    {"Values|BER", "before BCH [10-6]", "CALC:DTV:RES? BBCH", 0, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
    {"Values", "BBFRAME Error Ratio [10-6]", "CALC:DTV:RES? BBFR", 3, 1, 1, 2, -1, 1000000.0, kStandardMinimum},
};

// ---------------------------------------------------------------- graphs

// The analyzer returns the echo pattern as a peak list (transfer kind 2).
// group, name, longName, points, x label/min/max, y label/min/max, queryGroup, modeIndex, query, transferKind, minFirmware
const GraphRow kEchoGraphs[] = {
    {"Graphs", "Echo Pattern", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250", "Echo power [dB]", "-40", "0", 1, 1,
     "CALC:DTV:EPAT:PLIST:DATA?", 2, kStandardMinimum},
};
const GraphRow kDvbt2Graphs[] = {
    {"Graphs", "Echo Pattern (SISO/MISO Group 1)", "Echo Pattern", 501, kEchoTimeLabel, "-250", "250",
     "Echo power [dB]", "-40", "0", 1, 1, "CALC:DTV:EPAT:PLIST:DATA?", 2, kStandardMinimum},
};

// ---------------------------------------------------------------- read-outs

// group, name, query, width, minFirmware
const InfoRow kDvbtInfo[] = {
    {"Parameters", "Sideband", "CALC:DTV:RES? SBP", 10, kStandardMinimum},
    {"Parameters|TPS", "FFT Mode", "CALC:DTV:RES:TPS? FFTM", 10, kStandardMinimum},
    {"Parameters|TPS", "Cell ID", "CALC:DTV:RES:TPS? CID", 10, kStandardMinimum},
    {"Parameters|TPS", "Reserved", "CALC:DTV:RES:TPS? RESF", 40, kStandardMinimum},
    {"Parameters|TPS", "MPE FEC LP", "CALC:DTV:RES:TPS? FECL", 10, kStandardMinimum},
    {"Parameters|TPS", "MPE FEC HP", "CALC:DTV:RES:TPS? FECH", 10, kStandardMinimum},
    {"Parameters|TPS", "Time Slicing LP", "CALC:DTV:RES:TPS? TSL", 10, kStandardMinimum},
    {"Parameters|TPS", "Time Slicing HP", "CALC:DTV:RES:TPS? TSH", 10, kStandardMinimum},
    {"Parameters|TPS", "Length Indicator", "CALC:DTV:RES:TPS? LIND", 10, kStandardMinimum},
    {"Parameters|TPS", "Guard Interval", "CALC:DTV:RES:TPS? GINT", 10, kStandardMinimum},
    {"Parameters|TPS", "Interleaver", "CALC:DTV:RES:TPS? INT", 10, kStandardMinimum},
    {"Parameters|TPS", "Constellation", "CALC:DTV:RES:TPS? CONS", 10, kStandardMinimum},
    {"Parameters|TPS", "Coderate LP", "CALC:DTV:RES:TPS? CRLP", 10, kStandardMinimum},
    {"Parameters|TPS", "Coderate HP", "CALC:DTV:RES:TPS? CRHP", 10, kStandardMinimum},
};

const InfoRow kIsdbtInfo[] = {
    {"Parameters", "Sideband", "CALC:DTV:RES? SBP", 10, kStandardMinimum},
    {"Parameters", "Transmission Mode", "CALC:DTV:RES? TMOD", 10, kStandardMinimum},
    {"Parameters|TMCC", "System Identification", "CALC:DTV:RES:TMCC? SID", 10, kStandardMinimum},
    {"Parameters|TMCC", "Parameter Switching Indicator", "CALC:DTV:RES:TMCC? PSIN", 10, kStandardMinimum},
    {"Parameters|TMCC", "Emergency Alarm Broadcasting", "CALC:DTV:RES:TMCC? EMER", 10, kStandardMinimum},
    {"Parameters|TMCC", "Current Partial Reception", "CALC:DTV:RES:TMCC? PREC", 10, kStandardMinimum},
    {"Parameters|TMCC", "Phase Shift Correction", "CALC:DTV:RES:TMCC? PSH", 10, kStandardMinimum},
    {"Parameters|TMCC", "Reserved", "CALC:DTV:RES:TMCC? RES", 10, kStandardMinimum},
    {"Parameters|TMCC|Constellation", "Layer A", "CALC:DTV:RES:TMCC:A? CONS", 10, kStandardMinimum},
    {"Parameters|TMCC|Constellation", "Layer B", "CALC:DTV:RES:TMCC:B? CONS", 10, kStandardMinimum},
    {"Parameters|TMCC|Constellation", "Layer C", "CALC:DTV:RES:TMCC:C? CONS", 10, kStandardMinimum},
    {"Parameters|TMCC|Coderate", "Layer A", "CALC:DTV:RES:TMCC:A? CRAT", 10, kStandardMinimum},
    {"Parameters|TMCC|Coderate", "Layer B", "CALC:DTV:RES:TMCC:B? CRAT", 10, kStandardMinimum},
    {"Parameters|TMCC|Coderate", "Layer C", "CALC:DTV:RES:TMCC:C? CRAT", 10, kStandardMinimum},
    {"Parameters|TMCC|Segments", "Layer A", "CALC:DTV:RES:TMCC:A? SEGM", 10, kStandardMinimum},
    {"Parameters|TMCC|Segments", "Layer B", "CALC:DTV:RES:TMCC:B? SEGM", 10, kStandardMinimum},
    {"Parameters|TMCC|Segments", "Layer C", "CALC:DTV:RES:TMCC:C? SEGM", 10, kStandardMinimum},
    {"Parameters|TMCC|Time Deinterleaver", "Layer A", "CALC:DTV:RES:TMCC:A? TDE", 10, kStandardMinimum},
    {"Parameters|TMCC|Time Deinterleaver", "Layer B", "CALC:DTV:RES:TMCC:B? TDE", 10, kStandardMinimum},
    {"Parameters|TMCC|Time Deinterleaver", "Layer C", "CALC:DTV:RES:TMCC:C? TDE", 10, kStandardMinimum},
};

const InfoRow kDvbt2Info[] = {
    {"Parameters|L1", "Bandwidth Extension", "CALC:DTV:RES:L1PR? BWEX", 10, kStandardMinimum},
    {"Parameters|L1", "Guard Interval", "CALC:DTV:RES:L1PR? GINT", 10, kStandardMinimum},
    {"Parameters|L1", "Pilot Pattern", "CALC:DTV:RES:L1PR? PPAT", 10, kStandardMinimum},
    {"Parameters|L1", "Transmission System", "CALC:DTV:RES:L1PR? TSYS", 10, kStandardMinimum},
    {"Parameters|L1", "Data Symbols per Frame", "CALC:DTV:RES:L1PR? LDAT", 10, kStandardMinimum},
    {"Parameters|L1", "Post Constellation", "CALC:DTV:RES:L1PR? CONS", 10, kStandardMinimum},
    {"Parameters|L1", "Post Size", "CALC:DTV:RES:L1PR? LPS", 10, kStandardMinimum},
    {"Parameters|L1", "Post Extension", "CALC:DTV:RES:L1PR? LPEX", 10, kStandardMinimum},
    {"Parameters|L1", "Repetition", "CALC:DTV:RES:L1PR? LREP", 10, kStandardMinimum},
    {"Parameters|L1", "Post Code Rate", "CALC:DTV:RES:L1PR? LPCR", 10, kStandardMinimum},
    {"Parameters|L1", "Post FEC Type", "CALC:DTV:RES:L1PR? LPF", 10, kStandardMinimum},
    {"Parameters|L1", "PAPR", "CALC:DTV:RES:L1PR? PAPR", 10, kStandardMinimum},
    {"Parameters|L1", "Stream Type", "CALC:DTV:RES:L1PR? STYP", 10, kStandardMinimum},
    {"Parameters|L1", "T2 Version", "CALC:DTV:RES:L1PR? T2V", 10, kStandardMinimum},
    {"Parameters|L1", "System ID", "CALC:DTV:RES:L1PR? SID", 10, kStandardMinimum},
    {"Parameters|L1", "Cell ID", "CALC:DTV:RES:L1PR? CID", 10, kStandardMinimum},
    {"Parameters|L1", "Network ID", "CALC:DTV:RES:L1PR? NID", 10, kStandardMinimum},
    {"Parameters|L1", "Frames per Superframe", "CALC:DTV:RES:L1PR? NT2", 10, kStandardMinimum},
    {"Parameters|L1", "TX ID Availability", "CALC:DTV:RES:L1PR? TID", 10, kStandardMinimum},
    {"Parameters|L1", "Post Info Size", "CALC:DTV:RES:L1PR? LPIS", 10, kStandardMinimum},
    {"Parameters|L1", "Regeneration Flag", "CALC:DTV:RES:L1PR? RFL", 10, kStandardMinimum},
};

// ---------------------------------------------------------------- standards

// name, code, validDataHold, settleTimeout, syncQuery, syncAnswer, syncHold, syncTimeout, extraTime,
// options, modes, steps, parameters, minFirmware of the measurements, values, graphs, read-outs
const StandardTable kBelkoDvbt = {"DVB-T / DVB-H", "t", 2, 4, kSync, "SYNC", 1, 6, 7,
                                  kDvbtOptions, kModes, kDvbtSteps, kDvbtParameters,
                                  "4.10", kDvbtValues, kEchoGraphs, kDvbtInfo};
const StandardTable kBelkoIsdbt = {"ISDB-T", "i", 2, 4, kSync, "SYNC", 1, 5, 12,
                                   kIsdbtOptions, kModes, kIsdbtSteps, kIsdbtParameters,
                                   "4.10", kIsdbtValues, kEchoGraphs, kIsdbtInfo};

const StandardTable kCendraDvbt = {"DVB-T / DVB-H", "t", 2, 4, kSync, "SYNC", 1, 6, 7,
                                   kDvbtOptions, kModes, kDvbtSteps, kDvbtParameters,
                                   "1.10", kDvbtValues, kEchoGraphs, kDvbtInfo};
const StandardTable kCendraIsdbt = {"ISDB-T", "i", 2, 4, kSync, "SYNC", 1, 5, 12,
                                    kIsdbtOptions, kModes, kIsdbtSteps, kIsdbtParameters,
                                    "1.10", kIsdbtValues, kEchoGraphs, kIsdbtInfo};
const StandardTable kCendraDvbt2 = {"DVB-T2", "u", 2, 4, kSync, "SYNC", 4, 8, 7,
                                    kDvbt2Options, kModes, kDvbt2Steps, kDvbt2Parameters,
                                    "1.00", kDvbt2Values, kDvbt2Graphs, kDvbt2Info};

const StandardTable* const kBelkoStandards[] = {&kBelkoDvbt, &kBelkoIsdbt};
const StandardTable* const kCendraStandards[] = {&kCendraDvbt, &kCendraIsdbt, &kCendraDvbt2};

// ---------------------------------------------------------------- family records

const MacPrefix kBelkoMacPrefixes[] = {{0, 144, 184}, {12, 96, 118}};
const MacPrefix kCendraMacPrefixes[] = {{0, 192, 27}};

const GpsStepRow kGpa40Steps[] = {
    {"GPS Init 1", "SYST:POS:GPS", "0"},
    {"GPS Init 2", "SYST:POS:GPS", "1"},
};
const GpsReceiverRow kGpsReceivers[] = {{"Korvane GPA-40", kGpa40Steps, {}}};

const UnitRow kLevelUnits[] = {
    {kUnitDbm, "UNIT:POW", "DBM"},   {kUnitDbmv, "UNIT:POW", "DBMV"}, {kUnitDbuv, "UNIT:POW", "DBUV"},
    {"V", "UNIT:POW", "V"},          {"W", "UNIT:POW", "W"},          {kUnitDbuvPerM, "UNIT:POW", "DBUV"},
};
const UnitRow kInputImpedances[] = {{"50 Ohm", "INP:IMP", "50"}};

// Everything but name, firmware, prefixes, speed query and standards is common to both families.
constexpr FamilyTable DialectFamily(const char* modelName, const char* modelLetter, const char* minFirmware,
                                    std::span<const MacPrefix> macPrefixes, const char* speedQuery,
                                    std::span<const StandardTable* const> standards) {
    return {
        .modelName = modelName,
        .modelLetter = modelLetter,
        .minFirmware = minFirmware,
        .macPrefixes = macPrefixes,
        .scpiPort = 5555,
        .familyOptions = {},
        .gpsReceivers = kGpsReceivers,
        .gpsConnectedQuery = "SYST:POS:GPS:CONN?",
        .gpsEnableCommand = "SYST:POS:GPS 1",
        .gpsValidQuery = "SYST:POS:VAL?",
        .longitudeQuery = "SYST:POS:LONG?",
        .latitudeQuery = "SYST:POS:LAT?",
        .speedQuery = speedQuery,
        .transducerDirCommand = "MMEM:CDIR '\\public\\transducers'",
        .transducerListQuery = "MMEM:CAT?",
        .optionsQuery = "*OPT?",
        .validDataCommand = "*OPC",
        .validDataAnswer = "1",
        .errorQuery = "SYST:ERR?",
        .errorUndefinedHeader = "Undefined header",
        .errorFileNotFound = "File name not found",
        .refLevelQuery = "INP:ATT?",
        .attChangeQuery = "INP:ATT:CHAN?",
        .attChangeReset = "INP:ATT:CHAN:RST",
        .berResetCommand = "CALC:AVER:BER:CLE",
        .localCommand = "@LOC",
        .frequencyHeader = "FREQ:RF",
        .rangeLow = 0.5,
        .rangeDefault = 500.0,
        .rangeHigh = 3000.0,
        .transducerSelectHeader = "CORR:TRAN2:SEL",
        .transducerStateHeader = "CORR:TRAN2",
        .levelUnits = kLevelUnits,
        .inputImpedances = kInputImpedances,
        .standards = standards,
    };
}

}  // namespace

extern const FamilyTable kBelkoFamily =
    DialectFamily("Belko", "w", "4.40", kBelkoMacPrefixes, "", kBelkoStandards);
extern const FamilyTable kCendraFamily =
    DialectFamily("Cendra", "z", "1.10", kCendraMacPrefixes, "SYST:GPS:SPE?", kCendraStandards);

}  // namespace catalogue
