#include "drivetest/measurementselection.h"

#include <algorithm>

#include "platform/text.h"

std::string DriveTest_MeasurementPath(const char* group, const char* name) {
    std::string path;
    std::string g = group;
    std::size_t start = 0;
    while (start <= g.size()) {
        std::size_t bar = g.find('|', start);
        std::string level = g.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (!level.empty() && level != "Values") path += level + "-";
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return path + name;
}

std::vector<MeasurementItem> DriveTest_MeasurementItems(const BroadcastStandard& standard) {
    std::vector<MeasurementItem> items;
    int n = 0;
    for (const auto& v : standard.values)
        items.push_back({Text_Format("V%d", ++n), DriveTest_MeasurementPath(v.group, v.name), v.name, v.minFirmware});
    n = 0;
    for (const auto& g : standard.graphs)
        items.push_back({Text_Format("G%d", ++n), DriveTest_MeasurementPath(g.group, g.name), g.name, g.minFirmware});
    n = 0;
    for (const auto& it : standard.infoItems)
        items.push_back({Text_Format("P%d", ++n), DriveTest_MeasurementPath(it.group, it.name), it.name, it.minFirmware});
    return items;
}

std::vector<std::string> DriveTest_MarkCategory(const std::vector<MeasurementItem>& items, const std::string& word) {
    std::vector<std::string> tags;
    for (const auto& it : items)
        if (it.path.find(word) != std::string::npos) tags.push_back(it.tag);
    return tags;
}

const std::vector<std::string>& DriveTest_DefaultCategories() {
    static const std::vector<std::string> categories = {"Level", "Sync", "SNR", "MER", "BER", "PER", "Echo"};
    return categories;
}

std::vector<std::string> DriveTest_SelectDefaultMeasurements(const BroadcastStandard& standard) {
    const auto items = DriveTest_MeasurementItems(standard);
    std::vector<std::string> tags;
    for (const auto& word : DriveTest_DefaultCategories())
        for (const auto& tag : DriveTest_MarkCategory(items, word))
            if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(tag);
    return tags;
}
