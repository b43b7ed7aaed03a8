#pragma once
// Block file container: the one way the program writes and reads its binary
// files. A file is a sequence of blocks, each a 100-byte header (format,
// version, tag, length, checksum, 80-byte payload fingerprint) followed by its
// payload. The same buffered writer, without headers, writes text exports.
#include <cstdint>
#include <string>
#include <vector>

constexpr int kBlockHeaderBytes = 100;

struct FileContainer {
    char path[500] = {};
    int handle = -1;  // -1 while closed
    bool writing = false;

    // writing
    std::int64_t bytesWritten = 0;  // bytes handed to the operating system so far
    bool writeFailed = false;       // a write fell short: every later write and the close fail

    // reading
    std::int64_t fileSize = 0;
    std::int64_t bytesTaken = 0;  // bytes read from the file into the buffer so far
    std::int32_t nextTag = 0;
    std::int32_t nextLength = -1;  // -1: no further block
    std::int64_t nextHeaderOffset = -1;  // where the next block's header starts in the file; -1 at the end
    std::uint8_t nextHeader[kBlockHeaderBytes] = {};

    // both
    std::int32_t format = 1;
    std::int32_t version = 0;
    std::vector<std::uint8_t> buffer;  // capacity = buffer.size()
    std::size_t bufferHeld = 0;        // bytes waiting (writing) or not yet handed out (reading)
    std::size_t bufferPos = 0;         // reading: first byte not yet handed out

    FileContainer() = default;
    FileContainer(const FileContainer&) = delete;
    FileContainer& operator=(const FileContainer&) = delete;
    ~FileContainer();  // closes without reporting; owners close explicitly
};

// Header of a block: checksum and fingerprint from the private generator that
// reproduces the 32-bit Windows C runtime's rand sequence.
void FileIO_MakeBlockHeader(const void* data, std::int32_t length, std::int32_t format, std::int32_t version,
                            std::int32_t tag, std::uint8_t header[kBlockHeaderBytes]);

bool FileIO_OpenWrite(const char* path, std::size_t bufferSize, std::int32_t version, FileContainer& ctx);
bool FileIO_OpenWriteText(const char* path, std::size_t bufferSize, FileContainer& ctx);
bool FileIO_WriteBlock(FileContainer& ctx, const void* data, std::int32_t tag, std::int32_t length);
bool FileIO_WriteRaw(FileContainer& ctx, const void* data, std::size_t length);
// Hands what waits in the buffer to the operating system in one write.
bool FileIO_Flush(FileContainer& ctx);
bool FileIO_Close(FileContainer& ctx);
bool FileIO_CloseAndDelete(FileContainer& ctx);

// Refuses anything that is not a regular file (a FIFO or device would block
// or have side effects) before reading a byte of it.
bool FileIO_OpenRead(const char* path, std::size_t bufferSize, FileContainer& ctx);
bool FileIO_ReadBlock(FileContainer& ctx, void* dest, std::int32_t tag, std::int32_t length);

// How a block read ended. Damaged: the header named the expected tag and
// length, so the payload was taken and the reader stands at the following
// block, but header and payload disagree. Unexpected: the next header is
// another block's, missing, or longer than the rest of the file; nothing was read.
enum class FileBlockStatus { Ok, Damaged, Unexpected };
FileBlockStatus FileIO_TryReadBlock(FileContainer& ctx, void* dest, std::int32_t tag, std::int32_t length);
// Takes the header at offset of the file as the next block's; false when
// fewer than 100 bytes start there (the reader is then at the end).
bool FileIO_SeekBlock(FileContainer& ctx, std::int64_t offset);
// Scans forward from offset for a block header of format 1 with the given
// version, tag and length, and takes it as the next block's. Returns its
// offset, or -1 when the file holds none (the reader is then at the end).
// One pass through the read buffer: the cost follows the bytes scanned.
std::int64_t FileIO_FindBlock(FileContainer& ctx, std::int64_t offset, std::int32_t version, std::int32_t tag,
                              std::int32_t length);
// Bytes of the file not yet consumed by the reader (buffered bytes included).
std::int64_t FileIO_Available(const FileContainer& ctx);
void FileIO_CloseRead(FileContainer& ctx);

// Names the user types: not empty and none of " * / : < > ? \ |
bool FileIO_IsValidFileName(const char* name);
bool FileIO_IsDirectory(const char* path);

// Test hook: the n-th write to the operating system from now on (n >= 1)
// fails with ENOSPC, as on a full disk; 0 switches the fault off. The
// environment variable FIELDTRACE_WRITE_FAULT=N, read at the first write of
// the process, arms the same fault for a whole program.
void FileIO_SetWriteFault(long long n);
// Writes handed to the operating system by this process so far.
long long FileIO_WriteCount();

// Writes a settings-style block file atomically: blocks go to "<path>.tmp",
// which replaces path only when every block and the close succeeded.
bool FileIO_OpenWriteAtomic(const char* path, std::size_t bufferSize, std::int32_t version, FileContainer& ctx);
bool FileIO_CommitAtomic(FileContainer& ctx, const char* path);
void FileIO_AbandonAtomic(FileContainer& ctx);
