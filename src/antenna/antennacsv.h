#pragma once
// One antenna's K-factor table exchanged with a CSV file: a header line
// "Frequency [MHz],K-Factor [dB/m]" and one "frequency,kFactor" line per
// point, numbers in the C locale. The messages the editor shows for each
// outcome are built here too, so that every caller words them alike.
//
// Messages are ASCII apart from the path, which is passed through as given
// (the desktop hands in UTF-8).
#include <string>
#include <string_view>

#include "antenna/antenna.h"

constexpr double kAntennaCsvMinFrequency = 0.0;  // MHz
constexpr double kAntennaCsvMaxFrequency = 3000.0;
constexpr double kAntennaCsvMinKFactor = -100.0;  // dB/m
constexpr double kAntennaCsvMaxKFactor = 100.0;
// Longer lines are cut here; the rest of such a line is skipped unread.
constexpr std::size_t kAntennaCsvMaxLineChars = 499;

inline constexpr const char* kAntennaCsvHeader = "Frequency [MHz],K-Factor [dB/m]\n";
inline constexpr const char* kAntennaCsvToolTip =
    "The following example shows the file format used for .csv import/export:\n\n"
    "Frequency [MHz],K-Factor [dB/m]\n100.000000,10.00\n200.000000,0.00\n...";

struct AntennaCsvImport {
    bool opened = false;    // false: the file could not be read at all
    int found = 0;          // lines that held a point in range
    int added = 0;          // of those, points whose frequency was new
    bool listFull = false;  // reading stopped at the 600-point limit
};

// A line as the import counts it: two numbers separated by a comma (blanks
// allowed before each number, anything after the second ignored), the
// frequency within 0..3000 MHz and the K-factor within -100..100 dB/m.
// A line holding a NUL byte is no text line and never counts.
bool AntennaCsv_ParseLine(std::string_view line, KFactorPoint& point);

// Adds the points of the CSV file at path to antenna antennaPosition of list.
// A frequency already in the table keeps its K-factor; reading stops when
// the table holds 600 points. Reads the file in bounded pieces, whatever its
// size or content.
AntennaCsvImport AntennaCsv_Import(const std::string& path, AntennaList& list, int antennaPosition);

// Writes the header and one "%.6lf,%.2lf" line per point; a file left
// incomplete by a failed write is removed. False on any failure.
bool AntennaCsv_Export(const std::string& path, const AntennaType& antenna);

// The message box text after an import or an export of path.
std::string AntennaCsv_ImportMessage(const AntennaCsvImport& result, std::string_view path);
std::string AntennaCsv_ExportMessage(bool written, std::string_view path);
