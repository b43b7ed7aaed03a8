#include <gtest/gtest.h>

#include <string>

#include "antenna/levelunit.h"

TEST(LevelUnit, ListInOrderWithAnalyzerSettings) {
    const auto units = LevelUnit_List();
    ASSERT_EQ(units.size(), 6u);
    const char* names[] = {"dBm", "dBmV", "dB\xB5V", "V", "W", "dB\xB5V/m"};
    const char* settings[] = {"DBM", "DBMV", "DBUV", "V", "W", "DBUV"};
    for (std::size_t i = 0; i < units.size(); ++i) {
        EXPECT_STREQ(units[i].name, names[i]);
        EXPECT_STREQ(units[i].analyzerSetting, settings[i]);
        EXPECT_EQ(units[i].isFieldStrength, i == 5) << names[i];
        EXPECT_EQ(LevelUnit_Position(names[i]), static_cast<int>(i) + 1);
    }
    EXPECT_EQ(std::string(units[2].name).size(), 4u);  // the micro sign is one byte
    EXPECT_STREQ(kLevelUnitFieldStrength, units[5].name);
}

TEST(LevelUnit, FindTakesOnlyExactNames) {
    EXPECT_EQ(LevelUnit_Find("dBm"), &LevelUnit_List()[0]);
    for (const char* text : {"dbm", "dBuV", "dB\xC2\xB5V", "", "dBm ", "dB\xB5"}) {
        EXPECT_EQ(LevelUnit_Find(text), nullptr) << text;
        EXPECT_EQ(LevelUnit_Position(text), 0) << text;
    }
}

TEST(LevelUnit, ParseAcceptsTypedSpellings) {
    struct Case {
        const char* text;
        const char* name;  // nullptr: refused
    };
    const Case cases[] = {
        {"dBm", "dBm"},
        {"dBmV", "dBmV"},
        {"dBuV", "dB\xB5V"},
        {"dBuV/m", "dB\xB5V/m"},
        {"dB\xB5V/m", "dB\xB5V/m"},        // Latin-1
        {"dB\xC2\xB5V", "dB\xB5V"},        // UTF-8, as a shell passes it
        {"dB\xC2\xB5V/m", "dB\xB5V/m"},
        {"V", "V"},
        {"W", "W"},
        {"DBUV", nullptr},  // the analyzer setting is not a unit name
        {"dbuv", nullptr},
        {"dBuV/", nullptr},
        {"dBu", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const LevelUnit* unit = LevelUnit_Parse(c.text);
        if (!c.name) {
            EXPECT_EQ(unit, nullptr) << c.text;
            continue;
        }
        ASSERT_NE(unit, nullptr) << c.text;
        EXPECT_STREQ(unit->name, c.name) << c.text;
    }
    EXPECT_TRUE(LevelUnit_Parse("dBuV/m")->isFieldStrength);
    EXPECT_FALSE(LevelUnit_Parse("dBuV")->isFieldStrength);
}
