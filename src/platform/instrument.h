#pragma once
// Whether the program runs on an analyzer's own computer. There the analyzer
// keeps its serial number in a small file; on a PC the file is absent.
#include <string>

// The file that stands for the analyzer's serial number: FIELDTRACE_INSTRUMENT_SERIAL
// when set, else "/etc/fieldtrace/instrument-serial".
std::string Platform_InstrumentSerialPath();
// 1 when that file exists and is not empty, else 0.
int Platform_RunsOnInstrument();
