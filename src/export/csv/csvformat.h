#pragma once
// The text of the CSV outputs of a record file: the configuration file, the
// measurements file and one file per graph. Every number is written in the C
// locale, whatever the process locale is; line ends are line feeds. Texts
// are stored as Latin-1 and written as UTF-8, which is what spreadsheets,
// scripts and the tools of this platform read; no byte-order mark, so that
// the first field reads back as written. The Append functions add to a line
// buffer so that a sample costs no allocation.
#include <string>
#include <string_view>

#include "records/recording.h"

// One text field, Latin-1 in, UTF-8 out; enclosed in double quotes, with
// inner quotes doubled, when it holds a quote, a comma or a line break, so
// that no text can shift or split a row. Read-outs turn commas into "-"
// first (commasToHyphens), as they always have, so only quotes and line
// breaks make them quoted.
void Csv_AppendField(std::string& line, std::string_view latin1, bool commasToHyphens = false);

// The whole configuration file: the info entries grouped, then the export
// trailer stamped with createdText ("%02d.%02d.%04d %02d:%02d:%02d").
std::string Csv_ConfigurationText(const RecordFile& file, const std::string& createdText);

// The header line of the measurements file.
std::string Csv_MeasurementsHeader(const RecordFile& file);
// The axis description and the header line of graph file graph.
std::string Csv_GraphHeader(const DtrGraphDescriptor& graph);

// Number, date and time of the cycle start, status and position, each
// followed by a comma (the start of every sample line).
void Csv_AppendSamplePart(std::string& line, long long number, const DriveTestSample& head);
// One line of the measurements file, line feed included.
void Csv_AppendMeasurementsLine(std::string& line, const RecordFile& file, long long number,
                                const RecordSample& sample);
// One line of graph file graph, line feed included; yMin is the descriptor's yMin read as a number.
void Csv_AppendGraphLine(std::string& line, const RecordFile& file, std::size_t graph, double yMin,
                         long long number, const RecordSample& sample);

// "%f" of a trace point followed by a comma, exactly as the C library's
// printf prints it in the C locale, without its cost.
void Csv_AppendPoint(std::string& line, float point);
