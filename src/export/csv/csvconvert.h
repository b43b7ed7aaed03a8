#pragma once
// Conversion of record files into CSV files beside them: per record file a
// configuration file, a measurements file and one file per graph. Runs
// synchronously in the caller's thread (the app's conversion thread or the
// command line); cancel is polled before every sample.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "records/recording.h"
#include "selection/recordentry.h"

inline constexpr const char* kCsvFailurePrefix = "Drive test result file conversion failure:\n";
inline constexpr const char* kCsvCouldNotCreate = "Could not create file(s).";
inline constexpr const char* kCsvCouldNotWrite = "Could not write file(s).";
inline constexpr const char* kCsvAborted = "Drive test result file conversion aborted by user.";
constexpr std::size_t kCsvBufferBytes = 100000;

// The progress page. Called from the converting thread.
class CsvProgressView {
public:
    virtual ~CsvProgressView() = default;
    // "File %d of %d"; the progress restarts at 0.
    virtual void showFileLabel(const std::string& label) = 0;
    virtual void setProgress(int percent) = 0;
};

enum class CsvOutcome { Success, Failure, Cancelled };

struct CsvResult {
    CsvOutcome outcome = CsvOutcome::Success;
    std::string message;  // the final message, Latin-1
    int filesConverted = 0;
    std::int64_t skippedSamples = 0;  // damaged samples stepped over in the converted files
};

// B of "B - Configuration.csv": the record file's path without its ".dtr".
std::string Csv_BaseName(const std::string& recordPath);
// L of "B - L.csv" for each graph: its long name with every character that
// cannot stand in a file name replaced, and names that would collide with
// another output of the same record file numbered " (2)", " (3)", ...
std::vector<std::string> Csv_GraphNames(const RecordFile& file);

// Converts the entries in order, stopping at the first failure or cancel;
// the outputs of the file in progress are then deleted, those of completed
// files stay. directory is the selection's, named in the final message.
// cancelRequested (may be empty) is asked before every sample; view may be null.
CsvResult Csv_Convert(const std::vector<RecordFileEntry>& entries, const std::string& directory,
                      CsvProgressView* view, const std::function<bool()>& cancelRequested);
