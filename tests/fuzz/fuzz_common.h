#pragma once
// Shared pieces of the fuzz targets: a per-process scratch directory for
// readers that take a path, and the block-header repair that lets mutations
// reach the parsers behind the block checksums.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include "records/fileio.h"
#include "records/recording.h"

namespace fuzz {

// One scratch directory per process, emptied and removed at exit. Its name
// lives in a static array, which outlives every exit handler. It lies in
// /dev/shm when there is one: a disk file system costs most of each run.
inline void Fuzz_RemoveDirectory();

inline const char* Fuzz_DirectoryName() {
    static char name[64];
    static const bool made = [] {
        std::snprintf(name, sizeof name, "%s/fieldtrace-fuzz-XXXXXX", ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        if (!::mkdtemp(name)) std::abort();
        std::atexit(Fuzz_RemoveDirectory);
        return true;
    }();
    (void)made;
    return name;
}

inline void Fuzz_RemoveDirectory() {
    const std::string d = Fuzz_DirectoryName();
    if (DIR* dir = ::opendir(d.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                ::unlink((d + "/" + e->d_name).c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(d.c_str());
}

inline std::string Fuzz_Directory() { return Fuzz_DirectoryName(); }

// Writes the bytes to "<scratch>/<name>" (the same file every run) and returns its path.
inline std::string Fuzz_WriteFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = Fuzz_Directory() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

inline void Fuzz_Remove(const std::string& path) { ::unlink(path.c_str()); }

// Rewrites checksum and fingerprint of every complete block from the start,
// keeping format, version, tag and length as they stand. Stops at the first
// header whose length does not fit the rest of the bytes.
inline void Fuzz_RepairBlocks(std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (bytes.size() - at >= static_cast<std::size_t>(kBlockHeaderBytes)) {
        std::int32_t field[4];
        std::memcpy(field, bytes.data() + at, sizeof field);  // little-endian host
        const std::int32_t length = field[3];
        if (length < 0 || static_cast<std::size_t>(length) > bytes.size() - at - kBlockHeaderBytes) return;
        std::uint8_t* header = bytes.data() + at;
        FileIO_MakeBlockHeader(header + kBlockHeaderBytes, length, field[0], field[1], field[2], header);
        at += kBlockHeaderBytes + static_cast<std::size_t>(length);
    }
}

// The input as a file, its blocks repaired first.
inline std::string Fuzz_WriteRepaired(const char* name, const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    Fuzz_RepairBlocks(bytes);
    return Fuzz_WriteFile(name, bytes.data(), bytes.size());
}

// Opens a record file and reads every sample, as the file selection and the
// conversions do.
inline void Fuzz_ReadRecordFile(const std::string& path) {
    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (Recording_OpenFile(ctx, file, path.c_str(), message)) {
        RecordSample sample;
        Recording_AllocSample(file, sample);
        while (Recording_ReadSample(ctx, file, sample, 0, 1.5)) {
        }
        Recording_FreeSample(sample);
    }
    FileIO_CloseRead(ctx);
    Recording_FreeFile(file);
}

// The axes a graph decoder is tried on, picked by the first input byte:
// ordinary, reversed, empty, huge, not-a-number and single-point ranges.
struct FuzzAxis {
    const char* xMin;
    const char* xMax;
    int count;
};
inline const FuzzAxis& Fuzz_Axis(std::uint8_t pick) {
    static constexpr FuzzAxis kAxes[] = {{"-250", "250", 501},    {"0", "10", 11},  {"0", "0", 11}, {"10", "0", 11},
                                         {"-1e300", "1e300", 2}, {"nan", "inf", 5}, {"0", "4", 1}, {"-5", "5", 1001}};
    return kAxes[pick % (sizeof kAxes / sizeof kAxes[0])];
}

// The input as a NUL-terminated text (embedded NULs end it early, as on the wire).
inline std::string Fuzz_Text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fuzz
