#include "platform/datetime.h"

#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/text.h"

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long kDays1900To1970 = 25567;

}  // namespace

double DateTime_Make(const LocalDateTime& t) {
    long long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) + kDays1900To1970;
    return static_cast<double>(days) * 86400.0 + t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

LocalDateTime DateTime_Split(double dateTime) {
    double whole = std::floor(dateTime);
    long long secs = static_cast<long long>(whole);
    long long days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    long long rest = secs - days * 86400;
    LocalDateTime t;
    CivilFromDays(days - kDays1900To1970, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>((rest / 60) % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

namespace {

double LocalValue(const timespec& ts) {
    std::tm local{};
    time_t secs = ts.tv_sec;
    localtime_r(&secs, &local);
    LocalDateTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    return DateTime_Make(t) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The soak tests' faster clock (DateTime_SetTimeScale); 1 is the wall clock.
double gTimeScale = 1.0;
timespec gScaleOrigin{};

}  // namespace

void DateTime_SetTimeScale(double factor) {
    gTimeScale = factor > 0.0 ? factor : 1.0;
    clock_gettime(CLOCK_REALTIME, &gScaleOrigin);
}

double DateTime_TimeScale() { return gTimeScale; }

double DateTime_Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    if (gTimeScale != 1.0) {
        // The scaled clock starts where the wall clock stood when the scale was set.
        const double origin = static_cast<double>(gScaleOrigin.tv_sec) + static_cast<double>(gScaleOrigin.tv_nsec) / 1e9;
        const double elapsed = static_cast<double>(ts.tv_sec - gScaleOrigin.tv_sec) +
                               static_cast<double>(ts.tv_nsec - gScaleOrigin.tv_nsec) / 1e9;
        const double now = origin + elapsed * gTimeScale;
        const double whole = std::floor(now);
        ts.tv_sec = static_cast<time_t>(whole);
        ts.tv_nsec = std::min(static_cast<long>((now - whole) * 1e9), 999999999L);
    }
    return LocalValue(ts);
}

double DateTime_ExportNow() {
    // SOURCE_DATE_EPOCH: the reproducible-builds convention for fixing the
    // time that generated files carry.
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    long long seconds = 0;
    if (epoch && Text_ParseInt(epoch, seconds) && seconds >= 0) {
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(seconds);
        return LocalValue(ts);
    }
    return DateTime_Now();
}

void DateTime_FormatInto(const LocalDateTime& t, char* buffer, std::size_t size) {
    Text_FormatInto(buffer, size, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

bool DateTime_ParseText(std::string_view text, LocalDateTime& t) {
    // "dd.mm.yyyy hh:mm:ss": digits, with these separators at these places.
    static constexpr std::string_view kShape = "00.00.0000 00:00:00";
    if (text.size() != kShape.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) return false;
    }
    auto number = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (text[i] - '0');
        return v;
    };
    LocalDateTime r{number(6, 4), number(3, 2), number(0, 2), number(11, 2), number(14, 2), number(17, 2)};
    if (r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || r.hour > 23 || r.minute > 59 || r.second > 59)
        return false;
    t = r;
    return true;
}

void Gui_FormatNow(char* buffer, std::size_t size) {
    DateTime_FormatInto(DateTime_Split(DateTime_ExportNow()), buffer, size);
}
