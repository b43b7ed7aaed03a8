#include "export/gis/gisfields.h"

#include <cmath>
#include <ctime>
#include <set>

#include "platform/datetime.h"
#include "platform/text.h"

namespace {

constexpr long long kSeconds1900To1970 = 25567LL * 86400LL;

}  // namespace

std::string Gis_FieldName(std::string_view latin1) {
    std::string out;
    bool gap = false;
    for (unsigned char c : latin1) {
        char m = 0;
        if (c >= 'A' && c <= 'Z') m = static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) m = static_cast<char>(c);
        else if (c == 0xB5) m = 'u';
        if (m == 0) {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out += '_';
        gap = false;
        out += m;
    }
    if (out.empty()) return "value";
    if (out.front() >= '0' && out.front() <= '9') out = "v_" + out;
    return out;
}

std::vector<std::string> Gis_UniqueFieldNames(const std::vector<std::string>& latin1Names,
                                               const std::vector<std::string>& taken) {
    std::set<std::string> used(taken.begin(), taken.end());
    std::vector<std::string> names;
    for (const std::string& n : latin1Names) {
        const std::string base = Gis_FieldName(n);
        std::string name = base;
        for (int k = 2; used.count(name); ++k) name = base + "_" + std::to_string(k);
        used.insert(name);
        names.push_back(name);
    }
    return names;
}

GisUtc GisUtcClock::toUtc(double localDateTime) {
    const double whole = std::floor(localDateTime);
    const long long naive = static_cast<long long>(whole) - kSeconds1900To1970;  // local time read as if UTC
    const long long hour = naive / 3600 - (naive % 3600 < 0 ? 1 : 0);
    if (hour != hour_) {
        const LocalDateTime t = DateTime_Split(whole);
        std::tm tm{};
        tm.tm_year = t.year - 1900;
        tm.tm_mon = t.month - 1;
        tm.tm_mday = t.day;
        tm.tm_hour = t.hour;
        tm.tm_min = t.minute;
        tm.tm_sec = t.second;
        tm.tm_isdst = -1;
        const std::time_t utc = std::mktime(&tm);
        offset_ = utc == static_cast<std::time_t>(-1) ? 0 : naive - static_cast<long long>(utc);
        hour_ = hour;
    }
    const std::time_t utc = static_cast<std::time_t>(naive - offset_);
    std::tm out{};
    gmtime_r(&utc, &out);
    GisUtc u;
    u.year = out.tm_year + 1900;
    u.month = out.tm_mon + 1;
    u.day = out.tm_mday;
    u.hour = out.tm_hour;
    u.minute = out.tm_min;
    u.second = out.tm_sec + (localDateTime - whole);
    return u;
}

std::string Gis_InfoValue(const std::vector<DtrInfoEntry>& info, const char* group, const char* key) {
    for (const auto& e : info)
        if (Text_View(e.group) == group && Text_View(e.key) == key) return std::string(Text_View(e.value));
    return {};
}

std::string Gis_UtcText(const GisUtc& t) {
    return Text_Format("%04d-%02d-%02d %02d:%02d:%09.6f+00", t.year, t.month, t.day, t.hour, t.minute, t.second);
}
