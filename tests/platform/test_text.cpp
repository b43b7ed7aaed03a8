#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <thread>
#include <cstring>

#include "platform/datetime.h"
#include "platform/text.h"

TEST(Text, CopyCutsTerminatesAndClearsTheField) {
    char field[6];
    std::memset(field, 'x', sizeof field);
    Text_Copy(field, "abcdefgh");
    EXPECT_STREQ(field, "abcde");
    Text_Copy(field, "ab");
    EXPECT_EQ(std::memcmp(field, "ab\0\0\0\0", 6), 0) << "no stale bytes may remain in a stored field";
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(Text_View(unterminated), "abc");
}

// Numbers in files must not follow the user's locale.
TEST(Text, NumbersIgnoreACommaDecimalLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    EXPECT_STREQ(buf, "1,5") << "the locale is active, so the check below means something";
    EXPECT_EQ(Text_Format("%.6lf MHz", 474.0), "474.000000 MHz");
    EXPECT_EQ(Text_FormatFixed(-0.125, 2), "-0.12");
    char field[20];
    Text_FormatInto(field, sizeof field, "%.2lf", 12.345);
    EXPECT_STREQ(field, "12.35");
    double v = 0;
    EXPECT_TRUE(Text_ParseDouble("3.45", v));
    EXPECT_DOUBLE_EQ(v, 3.45);
    EXPECT_FALSE(Text_ParseDouble("3,45", v));
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Text, ParsingAcceptsWholeNumbersOnly) {
    double d = 0;
    EXPECT_TRUE(Text_ParseDouble(" 99.1e+36 ", d));
    EXPECT_DOUBLE_EQ(d, 99.1e36);
    EXPECT_TRUE(Text_ParseDouble("+5", d));
    EXPECT_FALSE(Text_ParseDouble("", d));
    EXPECT_FALSE(Text_ParseDouble("---", d));
    EXPECT_FALSE(Text_ParseDouble("1.5x", d));
    long long i = 0;
    EXPECT_TRUE(Text_ParseInt("5025", i));
    EXPECT_EQ(i, 5025);
    EXPECT_FALSE(Text_ParseInt("50.25", i));
}

TEST(Text, Latin1AndUtf8) {
    EXPECT_EQ(Text_Latin1ToUtf8("dB\xB5V"), "dB\xC2\xB5V");
    EXPECT_EQ(Text_Utf8ToLatin1("dB\xC2\xB5V/m"), "dB\xB5V/m");
    EXPECT_EQ(Text_Utf8ToLatin1("\xE2\x82\xAC"), "?") << "the euro sign has no Latin-1 byte";
    EXPECT_EQ(Text_Utf8ToLatin1("dB\xB5V"), "dB\xB5V") << "Latin-1 input passes unchanged";
}

TEST(DateTime, SplitAndMakeAreInverse) {
    const LocalDateTime cases[] = {{1900, 1, 1, 0, 0, 0}, {2000, 2, 29, 23, 59, 59}, {2026, 12, 6, 17, 2, 35},
                                   {2038, 1, 19, 3, 14, 8}};
    for (const auto& t : cases) {
        LocalDateTime back = DateTime_Split(DateTime_Make(t) + 0.75);
        EXPECT_EQ(back.year, t.year);
        EXPECT_EQ(back.month, t.month);
        EXPECT_EQ(back.day, t.day);
        EXPECT_EQ(back.hour, t.hour);
        EXPECT_EQ(back.minute, t.minute);
        EXPECT_EQ(back.second, t.second);
    }
    EXPECT_DOUBLE_EQ(DateTime_Make({1900, 1, 2, 0, 0, 0}), 86400.0) << "seconds since 1900-01-01";
    char text[56];
    DateTime_FormatInto({2026, 6, 1, 9, 5, 3}, text, sizeof text);
    EXPECT_STREQ(text, "01.06.2026 09:05:03");
    Gui_FormatNow(text, sizeof text);
    EXPECT_EQ(std::strlen(text), 19u);
    EXPECT_EQ(text[2], '.');
    EXPECT_EQ(text[10], ' ');
}

TEST(DateTime, ScaledClockRunsFasterFromWhereItWas) {
    const double before = DateTime_Now();
    DateTime_SetTimeScale(20.0);
    const double start = DateTime_Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double later = DateTime_Now();
    DateTime_SetTimeScale(1.0);
    const double after = DateTime_Now();
    EXPECT_GE(start, before);
    EXPECT_LT(start - before, 1.0) << "setting the scale must not jump the clock";
    EXPECT_GE(later - start, 0.95) << "50 ms at twenty times the speed";
    EXPECT_LT(after, later) << "back at scale 1 the clock is the wall clock again";
    DateTime_SetTimeScale(0.0);
    EXPECT_EQ(DateTime_TimeScale(), 1.0) << "a factor that is not positive means the wall clock";
}

TEST(Text, LeadingNumbers) {
    double v = 0;
    EXPECT_TRUE(Text_ParseLeadingDouble("-50.3 dBm", v));
    EXPECT_DOUBLE_EQ(v, -50.3);
    EXPECT_TRUE(Text_ParseLeadingDouble("  12.5e-6,x", v));
    EXPECT_DOUBLE_EQ(v, 12.5e-6);
    EXPECT_FALSE(Text_ParseLeadingDouble("SYNC", v));
    EXPECT_FALSE(Text_ParseLeadingDouble("", v));
}

TEST(Text, Utf8Recognition) {
    EXPECT_TRUE(Text_IsUtf8("dB\xC2\xB5V"));
    EXPECT_TRUE(Text_IsUtf8("plain"));
    EXPECT_FALSE(Text_IsUtf8("dB\xB5V")) << "a Latin-1 micro sign is no UTF-8";
    EXPECT_FALSE(Text_IsUtf8("\xC2")) << "a cut sequence";
}
