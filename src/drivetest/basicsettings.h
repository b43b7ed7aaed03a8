#pragma once
// The four settings of the basic page that hold for a whole drive test, and
// basic.ini, the one block of 800 bytes that keeps them between runs.
#include <cstdint>
#include <string>
#include <vector>

#include "measure/receivercontext.h"

constexpr std::int32_t kBasicFileVersion = 70;
constexpr std::int32_t kBasicFileMaxVersion = 320;
constexpr std::size_t kBasicFileBufferBytes = 10000;
constexpr std::int32_t kBasicBlockBytes = 800;
inline constexpr const char* kBasicFileName = "basic.ini";

// The block as stored: standard[100], levelUnit[100], distanceUnit[100],
// outputDirectory[500], each NUL-terminated Latin-1 text, zero-filled.
struct BasicSettingsBlock {
    char standard[100];
    char levelUnit[100];
    char distanceUnit[100];
    char outputDirectory[500];
};
static_assert(sizeof(BasicSettingsBlock) == 800);
static_assert(offsetof(BasicSettingsBlock, levelUnit) == 100 && offsetof(BasicSettingsBlock, distanceUnit) == 200 &&
              offsetof(BasicSettingsBlock, outputDirectory) == 300);

BasicSettingsBlock BasicSettings_ToBlock(const BasicSettings& settings);
// A field without its NUL is cut at its size; nothing is read beyond the block.
BasicSettings BasicSettings_FromBlock(const BasicSettingsBlock& block);

// Reads path into settings; false (settings untouched) when the file is
// missing, not a block file, newer than 320 or without an intact first block.
bool BasicSettings_Load(const std::string& path, BasicSettings& settings);
// Writes through a temporary file that replaces path only when complete.
bool BasicSettings_Save(const std::string& path, const BasicSettings& settings);

// The choices of the basic page (Latin-1).
const std::vector<std::string>& BasicSettings_LevelUnits();     // "dBµV/m", "dBm", "dBmV", "dBµV"
const std::vector<std::string>& BasicSettings_DistanceUnits();  // "kilometers [km]", "miles [mi]"
// The page defaults: the catalogue's first standard, "dBµV", kilometres, outputDirectory.
BasicSettings BasicSettings_Defaults(const std::string& outputDirectory);
// What the basic page starts with: basic.ini of dataDirectory, whose output
// directory becomes outputDirectory when it no longer exists; the defaults
// when the file cannot be read.
BasicSettings BasicSettings_Initial(const std::string& dataDirectory, const std::string& outputDirectory);
// "dBµV/m": every analyzer needs an antenna type.
bool BasicSettings_NeedsAntenna(const std::string& levelUnit);
