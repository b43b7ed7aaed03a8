#pragma once
// Ordering and filtering of the listed record files: the table order, the
// choices of the standard and frequency filters, and which entries pass them.
#include <string>
#include <vector>

#include "selection/recordentry.h"

inline constexpr const char* kFilterAll = "-- All --";

// Modes of the selection page: the first step of the KMZ or of the CSV conversion.
enum FileSelectionMode : int {
    kSelectionModeNone = -1,  // before the page was first shown
    kSelectionModeKmz = 0,
    kSelectionModeCsv = 1,
    kSelectionModeCoverage = 2,  // the first step of the coverage analysis
};

// Description ascending in byte order; equal descriptions newest first by
// the time their created text names, texts that name no time after them in
// descending text order. Stable, so equal pairs keep their order.
void FileSelection_SortEntries(std::vector<RecordFileEntry>& entries);

// A filter passes an entry when it is "-- All --" or equal to the entry's field.
bool FileSelection_PassesFilters(const RecordFileEntry& entry, const std::string& standard,
                                 const std::string& frequency);

// Items of the standard filter: "-- All --" first in the CSV and coverage modes, then the
// distinct standards in byte order.
std::vector<std::string> FileSelection_StandardChoices(const std::vector<RecordFileEntry>& entries, int mode);
// Items of the frequency filter: "-- All --" first in the CSV and coverage modes, then the
// distinct frequency texts of the entries passing the standard filter, in byte
// order ("1000.000000 MHz" before "474.000000 MHz").
std::vector<std::string> FileSelection_FrequencyChoices(const std::vector<RecordFileEntry>& entries,
                                                        const std::string& standard, int mode);

// Index of the previous choice among items when still offered, else 0 (the
// first item); -1 for no items.
int FileSelection_KeepChoice(const std::vector<std::string>& items, const std::string& previous);
