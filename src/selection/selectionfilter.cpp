#include "selection/selectionfilter.h"

#include <algorithm>
#include <set>

namespace {

// std::string compares char, which is signed here; byte order needs unsigned bytes.
bool ByteLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

struct ByteOrder {
    bool operator()(const std::string& a, const std::string& b) const { return ByteLess(a, b); }
};

bool FilterPasses(const std::string& filter, const std::string& value) {
    return filter == kFilterAll || filter == value;
}

std::vector<std::string> Choices(const std::set<std::string, ByteOrder>& values, int mode) {
    std::vector<std::string> items;
    if (mode == kSelectionModeCsv) items.emplace_back(kFilterAll);
    items.insert(items.end(), values.begin(), values.end());
    return items;
}

}  // namespace

void FileSelection_SortEntries(std::vector<RecordFileEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const RecordFileEntry& a, const RecordFileEntry& b) {
        if (a.description != b.description) return ByteLess(a.description, b.description);
        return ByteLess(b.created, a.created);
    });
}

bool FileSelection_PassesFilters(const RecordFileEntry& entry, const std::string& standard,
                                 const std::string& frequency) {
    return FilterPasses(standard, entry.standard) && FilterPasses(frequency, entry.frequency);
}

std::vector<std::string> FileSelection_StandardChoices(const std::vector<RecordFileEntry>& entries, int mode) {
    std::set<std::string, ByteOrder> standards;
    for (const auto& e : entries) standards.insert(e.standard);
    return Choices(standards, mode);
}

std::vector<std::string> FileSelection_FrequencyChoices(const std::vector<RecordFileEntry>& entries,
                                                        const std::string& standard, int mode) {
    std::set<std::string, ByteOrder> frequencies;
    for (const auto& e : entries)
        if (FilterPasses(standard, e.standard)) frequencies.insert(e.frequency);
    return Choices(frequencies, mode);
}

int FileSelection_KeepChoice(const std::vector<std::string>& items, const std::string& previous) {
    if (items.empty()) return -1;
    auto it = std::find(items.begin(), items.end(), previous);
    return it == items.end() ? 0 : static_cast<int>(it - items.begin());
}
