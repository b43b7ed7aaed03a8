#include "drivetest/recentlist.h"

#include <cstring>

int RecentList_Compare(const RecentEntry& a, const RecentEntry& b) {
    static const std::string kNone;
    const std::size_t fields = a.size() > b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < fields; ++i) {
        // A missing field compares as an empty text, as an empty cell does.
        const std::string& x = i < a.size() ? a[i] : kNone;
        const std::string& y = i < b.size() ? b[i] : kNone;
        const int order = std::strcmp(x.c_str(), y.c_str());
        if (order != 0) return order;
    }
    return 0;
}

int RecentList_Place(const std::vector<RecentEntry>& rows, const RecentEntry& entry) {
    std::size_t at = 0;
    for (; at < rows.size(); ++at) {
        const int order = RecentList_Compare(entry, rows[at]);
        if (order == 0) return -1;
        if (order < 0) break;
    }
    return static_cast<int>(at);
}
