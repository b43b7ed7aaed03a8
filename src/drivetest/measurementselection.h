#pragma once
// The measurement tree of a standard: every value, graph and read-out placed
// by its group path, tagged "V%d", "G%d" or "P%d", and the default selection
// by category words.
#include <string>
#include <vector>

#include "instrument/receiverinfo.h"

struct MeasurementItem {
    std::string tag;   // "V3"
    std::string path;  // tree path joined by "-": "MER-RMS [dB]" (a "Values" level adds none)
    std::string name;
    const char* minFirmware = "";
};

// Values, then graphs, then read-outs, each in catalogue order.
std::vector<MeasurementItem> DriveTest_MeasurementItems(const BroadcastStandard& standard);
// The tree path of an entry: group levels other than "Values", then the name, joined by "-".
std::string DriveTest_MeasurementPath(const char* group, const char* name);
// Tags of the items whose path holds word (case-sensitive).
std::vector<std::string> DriveTest_MarkCategory(const std::vector<MeasurementItem>& items, const std::string& word);
// The default categories in order.
const std::vector<std::string>& DriveTest_DefaultCategories();
// Tags of the default selection: every item of the default categories.
std::vector<std::string> DriveTest_SelectDefaultMeasurements(const BroadcastStandard& standard);
