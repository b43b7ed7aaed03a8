#pragma once
// The checks of Next on the frequency page: descriptions valid and unique over
// the whole list, every frequency within the K-factor interval of its
// analyzer's antenna type, and no channel twice under one analyzer.
#include <string>

#include "drivetest/frequencytable.h"

inline constexpr const char* kFreqMessageDescriptions =
    "The descriptions must be unique and consist of at least one character.\n"
    "Do not use the following characters: \\ / * ? \" < > | :";
inline constexpr const char* kFreqMessageChannels = "Please enter unique channels for each TV analyzer.";

// Runs the checks in order and stops at the first that fails: 1 when all
// pass; otherwise 0 with the message to show in message. Clears the earlier
// marks first and marks the offending cells yellow.
int FrequencyCheck_Run(FrequencyTable& table, std::string& message);

// Each check alone, on a table whose marks are cleared: 1 when it passes.
int FrequencyCheck_Descriptions(FrequencyTable& table);
int FrequencyCheck_KFactors(FrequencyTable& table, std::string& message);
int FrequencyCheck_Channels(FrequencyTable& table);
