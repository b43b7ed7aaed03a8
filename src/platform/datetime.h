#pragma once
// Local date-time values: seconds since 1900-01-01 00:00:00 local time as a
// double, the date-time number that record files store and compare.
#include <cstddef>
#include <string_view>

struct LocalDateTime {
    int year = 1900;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Current local date-time value, with sub-second resolution.
double DateTime_Now();
// Makes DateTime_Now run `factor` times as fast as the wall clock from now on
// (1 restores it), so that a soak test records hours in minutes. Call it
// before any thread reads the clock. Waits that aim at a DateTime_Now value
// divide their real length by DateTime_TimeScale().
void DateTime_SetTimeScale(double factor);
double DateTime_TimeScale();
// The time stamped into exported files: the current time, or the time given
// by SOURCE_DATE_EPOCH (seconds since 1970) so that an export can be repeated
// byte for byte.
double DateTime_ExportNow();
// The broken-down local time of a date-time value (seconds truncated).
LocalDateTime DateTime_Split(double dateTime);
// The date-time value of a broken-down local time.
double DateTime_Make(const LocalDateTime& t);
// "%02d.%02d.%04d %02d:%02d:%02d": day, month, year, hour, minute, second.
void DateTime_FormatInto(const LocalDateTime& t, char* buffer, std::size_t size);
// Reads that form back ("01.06.2026 10:00:00"); false for any other text or
// a date or time out of range.
bool DateTime_ParseText(std::string_view text, LocalDateTime& t);

// The export time (DateTime_ExportNow) as "%02d.%02d.%04d %02d:%02d:%02d" (day first); used to stamp outputs.
void Gui_FormatNow(char* buffer, std::size_t size);
