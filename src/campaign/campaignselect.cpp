#include "campaign/campaignselect.h"

#include <cctype>
#include <cmath>
#include <ctime>

#include "campaign/campaigndb.h"
#include "platform/text.h"

namespace {

// Reads exactly n digits at text[i].
bool Digits(std::string_view text, std::size_t& i, int n, int& value) {
    value = 0;
    for (int k = 0; k < n; ++k, ++i) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool Expect(std::string_view text, std::size_t& i, char c) {
    if (i >= text.size() || text[i] != c) return false;
    ++i;
    return true;
}

std::string Timestamp(double utcSeconds) { return "to_timestamp(" + Campaign_SqlNumber(utcSeconds) + ")"; }

std::string FrequencyCondition(const char* column, double mhz) {
    // The record files state the frequency to the Hz ("474.000000 MHz").
    return std::string(" AND abs(") + column + " - " + Campaign_SqlNumber(mhz) + ") < 0.0005";
}

}  // namespace

bool Campaign_ParseTime(std::string_view text, bool endOfDay, double& utcSeconds) {
    std::size_t i = 0;
    std::tm tm{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    double fraction = 0.0;
    if (!Digits(text, i, 4, year) || !Expect(text, i, '-') || !Digits(text, i, 2, month) || !Expect(text, i, '-') ||
        !Digits(text, i, 2, day))
        return false;
    const bool dateOnly = i == text.size();
    if (!dateOnly) {
        if (text[i] != 'T' && text[i] != 't' && text[i] != ' ') return false;
        ++i;
        if (!Digits(text, i, 2, hour) || !Expect(text, i, ':') || !Digits(text, i, 2, minute)) return false;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!Digits(text, i, 2, second)) return false;
            if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
                double scale = 0.1;
                ++i;
                if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
                for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, scale /= 10)
                    fraction += (text[i] - '0') * scale;
            }
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
    bool zoned = false;
    long offset = 0;  // seconds east of UTC
    if (i < text.size()) {
        if (text[i] == 'Z' || text[i] == 'z') {
            zoned = true;
            ++i;
        } else if (text[i] == '+' || text[i] == '-') {
            const int sign = text[i] == '-' ? -1 : 1;
            ++i;
            int oh = 0, om = 0;
            if (!Digits(text, i, 2, oh)) return false;
            if (i < text.size() && text[i] == ':') ++i;
            if (i < text.size() && !Digits(text, i, 2, om)) return false;
            if (oh > 14 || om > 59) return false;
            zoned = true;
            offset = sign * (oh * 3600L + om * 60L);
        }
    }
    if (i != text.size()) return false;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day + (dateOnly && endOfDay ? 1 : 0);
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = zoned ? timegm(&tm) - offset : std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return false;
    utcSeconds = static_cast<double>(t) + fraction;
    return true;
}

namespace {

// A time span meets the selection when its end (endColumn) is not before the
// selection's start and its start (startColumn) is before the selection's end.
std::string Condition(const CampaignSelection& s, const char* startColumn, const char* endColumn) {
    std::string sql = "TRUE";
    if (s.fromUtc) sql += std::string(" AND ") + endColumn + " >= " + Timestamp(*s.fromUtc);
    if (s.toUtc) sql += std::string(" AND ") + startColumn + " < " + Timestamp(*s.toUtc);
    if (!s.standard.empty()) sql += " AND lower(standard) = lower(" + Campaign_SqlText(s.standard) + ")";
    if (s.frequencyMHz) sql += FrequencyCondition("frequency_mhz", *s.frequencyMHz);
    return sql;
}

}  // namespace

std::string Campaign_SampleCondition(const CampaignSelection& s) { return Condition(s, "time_utc", "time_utc"); }

std::string Campaign_DriveCondition(const CampaignSelection& s) { return Condition(s, "start_utc", "end_utc"); }
