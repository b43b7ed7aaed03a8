#include "selection/selectionfilter.h"

#include <algorithm>
#include <set>
#include <utility>

#include "platform/datetime.h"

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
    // The KMZ map shows one standard and frequency; the others take many.
    if (mode == kSelectionModeCsv || mode == kSelectionModeCoverage) items.emplace_back(kFilterAll);
    items.insert(items.end(), values.begin(), values.end());
    return items;
}

// Where an entry goes among those of the same description: the created
// text "dd.mm.yyyy hh:mm:ss" compared as text puts days before months and
// years, so the time it names is compared. Texts that name no time follow,
// in descending text order.
struct CreatedKey {
    bool timed = false;
    double time = 0.0;
};

CreatedKey CreatedKeyOf(const std::string& created) {
    LocalDateTime t;
    if (!DateTime_ParseText(created, t)) return {};
    return {true, DateTime_Make(t)};
}

}  // namespace

void FileSelection_SortEntries(std::vector<RecordFileEntry>& entries) {
    std::vector<std::pair<CreatedKey, RecordFileEntry>> keyed;
    keyed.reserve(entries.size());
    for (auto& e : entries) keyed.emplace_back(CreatedKeyOf(e.created), std::move(e));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) {
        const RecordFileEntry &a = x.second, &b = y.second;
        if (a.description != b.description) return ByteLess(a.description, b.description);
        if (x.first.timed != y.first.timed) return x.first.timed;
        if (x.first.timed && x.first.time != y.first.time) return x.first.time > y.first.time;
        return ByteLess(b.created, a.created);
    });
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = std::move(keyed[i].second);
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
