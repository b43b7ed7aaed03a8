#pragma once
// The recently used frequency entries of one analyzer family and standard,
// kept in "signals.s<modelLetter><standard code>" of the data directory: a
// block file of (column title, cell text) pairs, 200 bytes each. An entry is
// the run of pairs that starts with a pair named "Description".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::int32_t kSignalsFileVersion = 80;
constexpr std::int32_t kSignalsFileMaxVersion = 320;
constexpr std::size_t kSignalsFileBufferBytes = 10000;
constexpr std::int32_t kSignalsTagPair = 1;
constexpr std::int32_t kSignalsPairBytes = 200;  // name[100] + value[100]
constexpr std::size_t kSignalsFieldBytes = 100;
inline constexpr const char* kSignalsEntryStart = "Description";
// A list nobody typed by hand: entries beyond this many are not read, so a
// huge or hostile file cannot make the table grow without bound.
constexpr std::size_t kSignalsMaxEntries = 10000;

// "<directory>/signals.s<modelLetter><standardCode>".
std::string SignalsFile_Path(const std::string& directory, const std::string& modelLetter,
                             const std::string& standardCode);

// One 200-byte pair: both texts cut to 99 bytes, NUL-terminated, zero-filled.
void SignalsFile_MakePair(const std::string& name, const std::string& value,
                          std::uint8_t pair[kSignalsPairBytes]);

// Reads the entries of a signals file into rows of titles.size() texts: each
// pair goes to the field whose title equals its name, pairs of unknown names
// and pairs before the first "Description" are ignored. Reading stops at the
// first block that is not a sound pair, keeping the entries read so far, and
// after maxEntries entries. False (no entries) when the file is missing, not
// a block file or of a version above 320.
bool SignalsFile_Read(const std::string& path, const std::vector<std::string>& titles,
                      std::vector<std::vector<std::string>>& entries, std::size_t maxEntries = kSignalsMaxEntries);

// Writes every entry as one pair per field, named by titles, through a
// temporary file that replaces path only when every block was written.
bool SignalsFile_Write(const std::string& path, const std::vector<std::string>& titles,
                       const std::vector<std::vector<std::string>>& entries);
