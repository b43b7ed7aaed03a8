#pragma once
// The measurement tree of a standard as a model: every value, graph and
// read-out inserted by its "|"-separated group path (a "Values" level adds
// none), with a check mark and a highlight per item, and the default
// selection by category words.
#include <string>
#include <vector>

#include "drivetest/wizardviews.h"
#include "instrument/receiverinfo.h"

struct MeasurementTree {
    std::vector<MeasurementTreeItem> items;
    std::vector<bool> marks;
};

// Adds the leaf label (tag) under the group path, creating the missing groups;
// with highlight the groups on its path and the leaf are highlighted.
// Returns the leaf's index.
int MeasurementTree_InsertByPath(MeasurementTree& tree, const std::string& groupPath, const std::string& label,
                                 const std::string& tag, bool highlight);
// Values ("V%d"), then graphs ("G%d"), then read-outs ("P%d"). An entry is
// highlighted when the analyzer's firmware does not reach its minimum.
MeasurementTree MeasurementTree_Build(const BroadcastStandard& standard, const char* firmwareVersion);
// The item's path from the top, levels joined by "-".
std::string MeasurementTree_Path(const MeasurementTree& tree, int item);

struct CategoryMatch {
    bool matched = false;      // some item's path holds the word
    bool highlighted = false;  // and one of them is highlighted
};
// Marks every item whose path holds word (case-sensitive).
CategoryMatch MeasurementTree_MarkCategory(MeasurementTree& tree, const std::string& word);
// Sets the mark of item and of everything under it.
void MeasurementTree_SetMark(MeasurementTree& tree, int item, bool marked);
// Tags of the marked measurements, in tree order.
std::vector<std::string> MeasurementTree_MarkedTags(const MeasurementTree& tree);
