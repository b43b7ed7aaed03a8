#include "drivetest/measurementtree.h"

#include "instrument/configcheck.h"
#include "platform/text.h"

int MeasurementTree_InsertByPath(MeasurementTree& tree, const std::string& groupPath, const std::string& label,
                                 const std::string& tag, bool highlight) {
    int parent = -1;
    std::size_t start = 0;
    while (start <= groupPath.size()) {
        const std::size_t bar = groupPath.find('|', start);
        const std::string level = groupPath.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (!level.empty() && level != "Values") {
            int found = -1;
            for (std::size_t i = 0; i < tree.items.size(); ++i)
                if (tree.items[i].parent == parent && tree.items[i].tag.empty() && tree.items[i].label == level) {
                    found = static_cast<int>(i);
                    break;
                }
            if (found < 0) {
                tree.items.push_back({parent, level, "", false});
                tree.marks.push_back(false);
                found = static_cast<int>(tree.items.size() - 1);
            }
            if (highlight) tree.items[static_cast<std::size_t>(found)].highlighted = true;
            parent = found;
        }
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    tree.items.push_back({parent, label, tag, highlight});
    tree.marks.push_back(false);
    return static_cast<int>(tree.items.size() - 1);
}

MeasurementTree MeasurementTree_Build(const BroadcastStandard& standard, const char* firmwareVersion) {
    MeasurementTree tree;
    auto beyondFirmware = [&](const char* minimum) {
        return minimum[0] != 0 && !DriveTest_CheckFirmware(firmwareVersion, minimum);
    };
    int n = 0;
    for (const auto& v : standard.values)
        MeasurementTree_InsertByPath(tree, v.group, v.name, Text_Format("V%d", ++n), beyondFirmware(v.minFirmware));
    n = 0;
    for (const auto& g : standard.graphs)
        MeasurementTree_InsertByPath(tree, g.group, g.name, Text_Format("G%d", ++n), beyondFirmware(g.minFirmware));
    n = 0;
    for (const auto& it : standard.infoItems)
        MeasurementTree_InsertByPath(tree, it.group, it.name, Text_Format("P%d", ++n), beyondFirmware(it.minFirmware));
    return tree;
}

std::string MeasurementTree_Path(const MeasurementTree& tree, int item) {
    std::string path;
    for (int i = item; i >= 0; i = tree.items[static_cast<std::size_t>(i)].parent)
        path = tree.items[static_cast<std::size_t>(i)].label + (path.empty() ? "" : "-" + path);
    return path;
}

CategoryMatch MeasurementTree_MarkCategory(MeasurementTree& tree, const std::string& word) {
    CategoryMatch match;
    for (std::size_t i = 0; i < tree.items.size(); ++i) {
        if (MeasurementTree_Path(tree, static_cast<int>(i)).find(word) == std::string::npos) continue;
        tree.marks[i] = true;
        match.matched = true;
        if (tree.items[i].highlighted) match.highlighted = true;
    }
    return match;
}

void MeasurementTree_SetMark(MeasurementTree& tree, int item, bool marked) {
    if (item < 0 || static_cast<std::size_t>(item) >= tree.items.size()) return;
    tree.marks[static_cast<std::size_t>(item)] = marked;
    // Children always follow their parent in insertion order.
    for (std::size_t i = static_cast<std::size_t>(item) + 1; i < tree.items.size(); ++i)
        for (int p = tree.items[i].parent; p >= 0; p = tree.items[static_cast<std::size_t>(p)].parent)
            if (p == item) {
                tree.marks[i] = marked;
                break;
            }
}

std::vector<std::string> MeasurementTree_MarkedTags(const MeasurementTree& tree) {
    std::vector<std::string> tags;
    for (std::size_t i = 0; i < tree.items.size(); ++i)
        if (tree.marks[i] && !tree.items[i].tag.empty()) tags.push_back(tree.items[i].tag);
    return tags;
}
