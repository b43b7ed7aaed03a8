#pragma once
// The text of the CSV outputs of a record file: the configuration file, the
// measurements file and one file per graph. Every number is written in the C
// locale, whatever the process locale is; line ends are line feeds. The
// Append functions add to a line buffer so that a sample costs no allocation.
#include <string>

#include "records/recording.h"

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
