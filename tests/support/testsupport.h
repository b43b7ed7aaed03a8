#pragma once
// Helpers shared by the unit tests: a temporary directory removed at the end
// of the test, and whole-file reads and writes.
#include <cstdint>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);
// The names in dir, hidden ones left out, sorted; empty when dir does not read.
std::vector<std::string> DirectoryNames(const std::string& dir);

// AddressSanitizer keeps freed memory in quarantine: resident sizes say
// nothing about the program's own use there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif
