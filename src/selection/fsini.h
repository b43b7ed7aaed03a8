#pragma once
// fs.ini: the directory the file selection showed last, kept in the data
// directory as a block file of one 700-byte block.
#include <cstdint>
#include <string>

inline constexpr const char* kFsIniName = "fs.ini";
constexpr std::int32_t kFsIniVersion = 210;
constexpr std::int32_t kFsIniMaxVersion = 320;
constexpr std::int32_t kFsIniTag = 3;
constexpr std::int32_t kFsIniDirectoryBytes = 700;
constexpr std::size_t kFsIniBufferBytes = 10000;

// Reads "<dataDirectory>/fs.ini"; false (directory untouched) when the file is
// missing, foreign, damaged or newer than 3.20.
bool FileSelection_LoadDirectory(const std::string& dataDirectory, std::string& directory);
// Writes the directory (cut to 699 bytes) to a temporary file that replaces
// fs.ini only when complete, so a failed save keeps the previous file.
bool FileSelection_SaveDirectory(const std::string& dataDirectory, const std::string& directory);
