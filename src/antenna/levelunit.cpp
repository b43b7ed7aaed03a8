#include "antenna/levelunit.h"

#include <array>
#include <string>

namespace {

constexpr std::array<LevelUnit, 6> kLevelUnits{{
    {"dBm", "DBM", false},
    {"dBmV", "DBMV", false},
    {"dB\xB5V", "DBUV", false},
    {"V", "V", false},
    {"W", "W", false},
    {"dB\xB5V/m", "DBUV", true},
}};

// The micro sign as a user may type it: UTF-8 (two bytes) or the letter u.
std::string MicroSignToLatin1(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == "\xC2\xB5") {
            out += '\xB5';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::span<const LevelUnit> LevelUnit_List() { return kLevelUnits; }

const LevelUnit* LevelUnit_Find(std::string_view name) {
    for (const LevelUnit& unit : kLevelUnits)
        if (name == unit.name) return &unit;
    return nullptr;
}

int LevelUnit_Position(std::string_view name) {
    const LevelUnit* unit = LevelUnit_Find(name);
    return unit ? static_cast<int>(unit - kLevelUnits.data()) + 1 : 0;
}

const LevelUnit* LevelUnit_Parse(std::string_view text) {
    if (const LevelUnit* unit = LevelUnit_Find(MicroSignToLatin1(text))) return unit;
    if (text == "dBuV") return LevelUnit_Find("dB\xB5V");
    if (text == "dBuV/m") return LevelUnit_Find(kLevelUnitFieldStrength);
    return nullptr;
}
