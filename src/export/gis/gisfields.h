#pragma once
// What the GIS layers write besides the statistics: field names a database
// accepts without quoting, and times in UTC.
#include <string>
#include <string_view>
#include <vector>

#include "records/recordtypes.h"

// A display name as a field name: lower-case ASCII letters, digits and
// underscores ("Level [dBuV]" -> "level_dbuv", "BER before Reed Solomon [10-6]"
// -> "ber_before_reed_solomon_10_6"); the micro sign becomes "u", a name that
// would start with a digit gets "v_" in front, an empty one is "value".
std::string Gis_FieldName(std::string_view latin1);

// Field names for the given display names that differ from each other and
// from every name in taken ("_2", "_3" ... appended where needed).
std::vector<std::string> Gis_UniqueFieldNames(const std::vector<std::string>& latin1Names,
                                               const std::vector<std::string>& taken);

// A time in UTC, broken down.
struct GisUtc {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0;
    double second = 0.0;
};

// Local date-time values (seconds since 1900 in local time, as record files
// store them) to UTC with the time-zone rules of this machine (TZ); the
// offset is looked up once per local hour.
class GisUtcClock {
public:
    GisUtc toUtc(double localDateTime);

private:
    long long hour_ = -1;
    long long offset_ = 0;  // local minus UTC, seconds
};

// A header item of a record file ("TV Analyzer", "Serial number"), Latin-1; empty when missing.
std::string Gis_InfoValue(const std::vector<DtrInfoEntry>& info, const char* group, const char* key);

// "2026-06-01 08:00:00.250000+00", as SQL takes a time stamp with time zone.
std::string Gis_UtcText(const GisUtc& t);
