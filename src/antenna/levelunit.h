#pragma once
// The level units offered for measurements and exports, with the analyzer
// setting that produces each. The field-strength unit is measured in dBuV and
// raised by the antenna's K-factor: level [dBuV/m] = level [dBuV] + K [dB/m].
#include <span>
#include <string_view>

struct LevelUnit {
    const char* name;             // Latin-1: the micro sign is the single byte 0xB5
    const char* analyzerSetting;  // value of the analyzer's power-unit command
    bool isFieldStrength;
};

inline constexpr const char* kLevelUnitFieldStrength = "dB\xB5V/m";

// "dBm", "dBmV", "dBuV", "V", "W", "dBuV/m" in this order (micro sign in Latin-1).
std::span<const LevelUnit> LevelUnit_List();
// The unit with exactly this Latin-1 name; nullptr when none.
const LevelUnit* LevelUnit_Find(std::string_view name);
// 1-based position in LevelUnit_List, 0 when no unit has this name.
int LevelUnit_Position(std::string_view name);
// Text typed by a user (command-line options): the Latin-1 name, the UTF-8
// spelling or the ASCII spelling with "u" for the micro sign ("dBuV",
// "dBuV/m"). Case-sensitive; nullptr when it names no unit.
const LevelUnit* LevelUnit_Parse(std::string_view text);
