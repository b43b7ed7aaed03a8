#pragma once
// One record file as the file selection lists it: the texts of its header
// that the table and the filters show, its sample count, and what the
// conversions need to correct its levels.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Units found in the long name of a file's "Level" value descriptor.
enum RecordLevelUnit : std::int32_t {
    kRecordLevelNone = -1,
    kRecordLevelDbuVPerM = 0,  // "dBµV/m"
    kRecordLevelDbm = 1,
    kRecordLevelDbmV = 2,
    kRecordLevelDbuV = 3,
};

struct RecordFileEntry {
    int row = 0;               // 1-based file row of the table showing it, 0 while the filters hide it
    std::string path;          // full path of the file
    std::string standard;      // "File" / "Standard"
    std::string frequency;     // "TV Analyzer" / "Frequency", the recorder's "%.6lf MHz" text
    std::string description;   // "File" / "Description"
    std::string created;       // "File" / "Created"
    std::int32_t sampleCount = 0;
    std::string type = "---";  // "TV Analyzer" / "Type"
    std::string input = "---"; // "TV Analyzer" / "Input"
    std::string kFactorText;   // "Antenna" / "K-Factor [dB/m]", empty without antenna
    std::string softwareVersion;  // "Software" / "Version"
    std::int32_t levelIndex = -1;  // 0-based position of the value descriptor named "Level"
    std::int32_t levelUnit = kRecordLevelNone;
    double inputNumber = 0.0;  // the input text read as a number ("50 Ohm" gives 50)
    double kFactor = 0.0;      // kFactorText read as a number, 0 when empty
    std::int32_t oldFile = 0;  // 1 for software 2.50 and older, whose dBµV/m levels already hold the K-factor
    double levelOffset = 0.0;  // dB the conversions add to every valid level
};

// A header text read as a number the way a plain decimal conversion reads it:
// the leading number counts ("50 Ohm" gives 50); no leading number gives 0.
double FileSelection_TextNumber(std::string_view text);

// The level unit named in a "Level" descriptor's long name ("Level [dBµV/m]"),
// searched in the order dBµV/m, dBmV, dBµV, dBm; kRecordLevelNone for V, W or none.
std::int32_t FileSelection_LevelUnitOf(const char* longName);

// Reads one record file's descriptive part into entry. Returns true when the
// file reads and names its standard, frequency, description and creation time,
// i.e. when it belongs in the list. entry holds what could be read either way
// (path always; levelIndex -1 when the file did not open).
bool FileSelection_ReadEntry(const std::string& path, RecordFileEntry& entry);

// Every listable record file (*.dtr, any case) of directory, file names in
// byte order. An unreadable directory gives an empty list.
std::vector<RecordFileEntry> FileSelection_ReadDirectory(const std::string& directory);
