#include "records/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/text.h"

namespace {

// The 32-bit Windows C runtime's srand/rand sequence, kept private so that no
// other thread can disturb it between the seed and the 80th draw, and so that
// the fingerprints match files written on that platform.
class WindowsRand {
public:
    explicit WindowsRand(std::uint32_t seed) : state_(seed) {}
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

private:
    std::uint32_t state_;
};

// Sum of the bytes taken as signed, wrapping. The fixed-size inner loop is
// what lets the compiler vectorise it; a sample's blocks are summed on every
// write and every read, so this is the hot loop of reading record files.
std::uint32_t SignedByteSum(const std::int8_t* p, std::int32_t length) {
    constexpr std::int32_t kChunk = 64;
    std::uint32_t sum = 0;
    std::int32_t i = 0;
    for (; i + kChunk <= length; i += kChunk) {
        std::int32_t part = 0;  // at most 64 * 128 in magnitude
        for (std::int32_t k = 0; k < kChunk; ++k) part += p[i + k];
        sum += static_cast<std::uint32_t>(part);
    }
    for (; i < length; ++i) sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(p[i]));
    return sum;
}

// x mod d for 32-bit x and d > 0 by multiplication (Lemire's fastmod): the 80
// fingerprint positions of a block share one divisor.
class FastMod {
public:
    explicit FastMod(std::uint32_t d) : d_(d), m_(~std::uint64_t{0} / d + 1) {}
    std::uint32_t of(std::uint32_t x) const {
        const std::uint64_t low = m_ * x;
        return static_cast<std::uint32_t>((static_cast<unsigned __int128>(low) * d_) >> 64);
    }

private:
    std::uint32_t d_;
    std::uint64_t m_;
};

void PutInt32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::int32_t GetInt32(const std::uint8_t* p) {
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                      static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

std::atomic<long long> writeCount{0};
std::atomic<long long> faultAt{0};  // the write number that fails; 0: none
std::once_flag faultFromEnvironment;

// True when this write is the one armed to fail.
bool TakeWriteFault() {
    std::call_once(faultFromEnvironment, [] {
        const char* text = std::getenv("FIELDTRACE_WRITE_FAULT");
        const long long n = text ? std::atoll(text) : 0;
        if (n > 0) faultAt = writeCount.load() + n;
    });
    const long long number = ++writeCount;
    return number == faultAt.load();
}

// Writes all bytes, continuing after interrupted or partial writes; false when
// the operating system accepts fewer (disk full, I/O error). An injected fault
// behaves as a disk that fills up mid-write: half the bytes land, then ENOSPC.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t length) {
    if (TakeWriteFault()) {
        if (length > 1 && ::write(fd, data, length / 2) < 0) return false;
        errno = ENOSPC;
        return false;
    }
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// After a failed write: the file is cut back to the bytes of the last good
// write, so that it ends on a whole block or sample instead of a fragment,
// and nothing more is written (a retry at the close would append a second
// copy behind the fragment of the first).
void FailWrite(FileContainer& ctx) {
    const int saved = errno;
    if (::ftruncate(ctx.handle, ctx.bytesWritten) == 0) ::lseek(ctx.handle, ctx.bytesWritten, SEEK_SET);
    ctx.bufferHeld = 0;
    ctx.writeFailed = true;
    errno = saved;
}

std::size_t ReadAll(int fd, std::uint8_t* data, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        ssize_t n = ::read(fd, data + got, length - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

void ResetContext(FileContainer& ctx) {
    ctx.handle = -1;
    ctx.writing = false;
    ctx.bytesWritten = 0;
    ctx.writeFailed = false;
    ctx.fileSize = 0;
    ctx.bytesTaken = 0;
    ctx.nextTag = 0;
    ctx.nextLength = -1;
    ctx.nextHeaderOffset = -1;
    std::memset(ctx.nextHeader, 0, sizeof ctx.nextHeader);
    ctx.format = 1;
    ctx.version = 0;
    ctx.buffer.clear();
    ctx.buffer.shrink_to_fit();
    ctx.bufferHeld = 0;
    ctx.bufferPos = 0;
}

bool OpenForWriting(const char* path, std::size_t bufferSize, std::int32_t version, FileContainer& ctx) {
    if (ctx.handle >= 0) FileIO_Close(ctx);
    ResetContext(ctx);
    Text_Copy(ctx.path, path);
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ctx.handle = fd;
    ctx.writing = true;
    ctx.version = version;
    ctx.buffer.assign(bufferSize > 0 ? bufferSize : 1, 0);
    return true;
}

// Appends bytes to the write buffer. When a request does not fit, the buffer
// is filled to capacity and written whole, as often as needed; the remainder
// waits for the next request or the close.
bool BufferedWrite(FileContainer& ctx, const std::uint8_t* data, std::size_t length) {
    if (ctx.handle < 0 || !ctx.writing || ctx.writeFailed) return false;
    const std::size_t capacity = ctx.buffer.size();
    while (length > 0) {
        std::size_t room = capacity - ctx.bufferHeld;
        if (length <= room) {
            std::memcpy(ctx.buffer.data() + ctx.bufferHeld, data, length);
            ctx.bufferHeld += length;
            return true;
        }
        std::memcpy(ctx.buffer.data() + ctx.bufferHeld, data, room);
        data += room;
        length -= room;
        if (!WriteAll(ctx.handle, ctx.buffer.data(), capacity)) {
            FailWrite(ctx);
            return false;
        }
        ctx.bytesWritten += static_cast<std::int64_t>(capacity);
        ctx.bufferHeld = 0;
    }
    return true;
}

// Hands out bytes of the read buffer, refilling it with the next
// min(capacity, bytes left in the file) bytes whenever it runs dry.
bool BufferedRead(FileContainer& ctx, std::uint8_t* dest, std::size_t length) {
    if (ctx.handle < 0 || ctx.writing) return false;
    while (length > 0) {
        std::size_t held = ctx.bufferHeld - ctx.bufferPos;
        if (held >= length) {
            std::memcpy(dest, ctx.buffer.data() + ctx.bufferPos, length);
            ctx.bufferPos += length;
            return true;
        }
        std::memcpy(dest, ctx.buffer.data() + ctx.bufferPos, held);
        dest += held;
        length -= held;
        ctx.bufferPos = ctx.bufferHeld = 0;
        std::int64_t left = ctx.fileSize - ctx.bytesTaken;
        std::size_t refill = left < static_cast<std::int64_t>(ctx.buffer.size()) ? static_cast<std::size_t>(left)
                                                                                : ctx.buffer.size();
        if (refill == 0) return false;
        std::size_t got = ReadAll(ctx.handle, ctx.buffer.data(), refill);
        if (got != refill) return false;
        ctx.bytesTaken += static_cast<std::int64_t>(refill);
        ctx.bufferHeld = refill;
    }
    return true;
}

// Offset in the file of the next byte the read buffer hands out.
std::int64_t ReadPosition(const FileContainer& ctx) {
    return ctx.bytesTaken - static_cast<std::int64_t>(ctx.bufferHeld - ctx.bufferPos);
}

// Takes the next block header; fewer than 100 bytes left is the normal end of the file.
void ReadNextHeader(FileContainer& ctx) {
    const std::int64_t at = ReadPosition(ctx);
    if (FileIO_Available(ctx) < kBlockHeaderBytes || !BufferedRead(ctx, ctx.nextHeader, kBlockHeaderBytes)) {
        ctx.nextLength = -1;
        ctx.nextHeaderOffset = -1;
        return;
    }
    ctx.nextHeaderOffset = at;
    ctx.format = GetInt32(ctx.nextHeader);
    ctx.version = GetInt32(ctx.nextHeader + 4);
    ctx.nextTag = GetInt32(ctx.nextHeader + 8);
    ctx.nextLength = GetInt32(ctx.nextHeader + 12);
    if (ctx.nextLength < 0) ctx.nextLength = -1;
}

void MarkEnd(FileContainer& ctx) {
    ctx.bufferPos = ctx.bufferHeld;
    ctx.nextLength = -1;
    ctx.nextHeaderOffset = -1;
}

// Moves the read position to offset: inside the buffer when it still holds
// that byte (a step back after a false start costs no read), else by seeking.
bool MoveTo(FileContainer& ctx, std::int64_t offset) {
    const std::int64_t bufferStart = ctx.bytesTaken - static_cast<std::int64_t>(ctx.bufferHeld);
    if (offset >= bufferStart && offset <= ctx.bytesTaken) {
        ctx.bufferPos = static_cast<std::size_t>(offset - bufferStart);
        return true;
    }
    if (offset < 0 || offset > ctx.fileSize || ::lseek(ctx.handle, offset, SEEK_SET) != offset) return false;
    ctx.bytesTaken = offset;
    ctx.bufferHeld = ctx.bufferPos = 0;
    return true;
}

// Keeps the unread bytes and tops the buffer up from the file; false when
// the file has nothing more or the read falls short.
bool TopUp(FileContainer& ctx) {
    const std::size_t held = ctx.bufferHeld - ctx.bufferPos;
    const std::int64_t left = ctx.fileSize - ctx.bytesTaken;
    const std::size_t room = ctx.buffer.size() - held;
    if (left <= 0 || room == 0) return false;
    std::memmove(ctx.buffer.data(), ctx.buffer.data() + ctx.bufferPos, held);
    ctx.bufferPos = 0;
    ctx.bufferHeld = held;
    const std::size_t want = left < static_cast<std::int64_t>(room) ? static_cast<std::size_t>(left) : room;
    if (ReadAll(ctx.handle, ctx.buffer.data() + held, want) != want) return false;
    ctx.bytesTaken += static_cast<std::int64_t>(want);
    ctx.bufferHeld += want;
    return true;
}

}  // namespace

FileContainer::~FileContainer() {
    if (handle < 0) return;
    if (writing)
        FileIO_Close(*this);
    else
        FileIO_CloseRead(*this);
}

void FileIO_MakeBlockHeader(const void* data, std::int32_t length, std::int32_t format, std::int32_t version,
                            std::int32_t tag, std::uint8_t header[kBlockHeaderBytes]) {
    const auto* payload = static_cast<const std::int8_t*>(data);
    // Two's-complement wrapping sum, each payload byte taken as signed.
    std::uint32_t checksum = static_cast<std::uint32_t>(format) + static_cast<std::uint32_t>(version) +
                             static_cast<std::uint32_t>(tag) + static_cast<std::uint32_t>(length);
    checksum += SignedByteSum(payload, length);

    PutInt32(header, static_cast<std::uint32_t>(format));
    PutInt32(header + 4, static_cast<std::uint32_t>(version));
    PutInt32(header + 8, static_cast<std::uint32_t>(tag));
    PutInt32(header + 12, static_cast<std::uint32_t>(length));
    PutInt32(header + 16, checksum);
    if (length <= 0) {
        std::memset(header + 20, 0, 80);
        return;
    }
    WindowsRand rand(checksum);
    const FastMod mod(static_cast<std::uint32_t>(length));
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (int i = 0; i < 80; ++i) header[20 + i] = bytes[mod.of(static_cast<std::uint32_t>(rand.next()))];
}

bool FileIO_OpenWrite(const char* path, std::size_t bufferSize, std::int32_t version, FileContainer& ctx) {
    return OpenForWriting(path, bufferSize, version, ctx);
}

bool FileIO_OpenWriteText(const char* path, std::size_t bufferSize, FileContainer& ctx) {
    return OpenForWriting(path, bufferSize, 0, ctx);
}

bool FileIO_WriteBlock(FileContainer& ctx, const void* data, std::int32_t tag, std::int32_t length) {
    if (length < 0) return false;
    std::uint8_t header[kBlockHeaderBytes];
    FileIO_MakeBlockHeader(data, length, ctx.format, ctx.version, tag, header);
    if (!BufferedWrite(ctx, header, kBlockHeaderBytes)) return false;
    return BufferedWrite(ctx, static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length));
}

bool FileIO_WriteRaw(FileContainer& ctx, const void* data, std::size_t length) {
    return BufferedWrite(ctx, static_cast<const std::uint8_t*>(data), length);
}

bool FileIO_Flush(FileContainer& ctx) {
    if (ctx.handle < 0 || !ctx.writing || ctx.writeFailed) return false;
    if (ctx.bufferHeld == 0) return true;
    if (!WriteAll(ctx.handle, ctx.buffer.data(), ctx.bufferHeld)) {
        FailWrite(ctx);
        return false;
    }
    ctx.bytesWritten += static_cast<std::int64_t>(ctx.bufferHeld);
    ctx.bufferHeld = 0;
    return true;
}

bool FileIO_Close(FileContainer& ctx) {
    if (ctx.handle < 0) return false;
    bool ok = !ctx.writing || FileIO_Flush(ctx);
    if (::close(ctx.handle) != 0) ok = false;
    ResetContext(ctx);
    return ok;
}

bool FileIO_CloseAndDelete(FileContainer& ctx) {
    if (ctx.handle >= 0) FileIO_Close(ctx);
    return ::unlink(ctx.path) == 0;
}

bool FileIO_OpenRead(const char* path, std::size_t bufferSize, FileContainer& ctx) {
    if (ctx.handle >= 0) FileIO_CloseRead(ctx);
    ResetContext(ctx);
    Text_Copy(ctx.path, path);
    // A FIFO would block the open and the reads for ever, a device may act on
    // being opened: only regular files are opened, and without waiting.
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Checked again on what was opened: the name may have been replaced meanwhile.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= kBlockHeaderBytes ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;  // a lone header cannot hold a block of any use
    }
    ctx.handle = fd;
    ctx.fileSize = st.st_size;
    ctx.buffer.assign(bufferSize >= kBlockHeaderBytes ? bufferSize : kBlockHeaderBytes, 0);
    ReadNextHeader(ctx);
    return true;
}

std::int64_t FileIO_Available(const FileContainer& ctx) {
    if (ctx.handle < 0 || ctx.writing) return 0;
    return ctx.fileSize - ctx.bytesTaken + static_cast<std::int64_t>(ctx.bufferHeld - ctx.bufferPos);
}

bool FileIO_ReadBlock(FileContainer& ctx, void* dest, std::int32_t tag, std::int32_t length) {
    return FileIO_TryReadBlock(ctx, dest, tag, length) == FileBlockStatus::Ok;
}

FileBlockStatus FileIO_TryReadBlock(FileContainer& ctx, void* dest, std::int32_t tag, std::int32_t length) {
    if (ctx.handle < 0 || ctx.writing) return FileBlockStatus::Unexpected;
    if (ctx.nextLength < 0 || tag != ctx.nextTag || length != ctx.nextLength) return FileBlockStatus::Unexpected;
    if (static_cast<std::int64_t>(length) > FileIO_Available(ctx)) return FileBlockStatus::Unexpected;
    if (length > 0 && !BufferedRead(ctx, static_cast<std::uint8_t*>(dest), static_cast<std::size_t>(length)))
        return FileBlockStatus::Unexpected;
    std::uint8_t expected[kBlockHeaderBytes];
    FileIO_MakeBlockHeader(dest, length, ctx.format, ctx.version, tag, expected);
    const bool intact = std::memcmp(expected, ctx.nextHeader, kBlockHeaderBytes) == 0;
    // The length was the expected one, so the next header follows the payload either way.
    ReadNextHeader(ctx);
    return intact ? FileBlockStatus::Ok : FileBlockStatus::Damaged;
}

bool FileIO_SeekBlock(FileContainer& ctx, std::int64_t offset) {
    if (ctx.handle < 0 || ctx.writing) return false;
    if (!MoveTo(ctx, offset)) {
        MarkEnd(ctx);
        return false;
    }
    ReadNextHeader(ctx);
    return ctx.nextHeaderOffset >= 0;
}

std::int64_t FileIO_FindBlock(FileContainer& ctx, std::int64_t offset, std::int32_t version, std::int32_t tag,
                              std::int32_t length) {
    if (ctx.handle < 0 || ctx.writing) return -1;
    std::uint8_t pattern[16];
    PutInt32(pattern, 1);
    PutInt32(pattern + 4, static_cast<std::uint32_t>(version));
    PutInt32(pattern + 8, static_cast<std::uint32_t>(tag));
    PutInt32(pattern + 12, static_cast<std::uint32_t>(length));
    if (!MoveTo(ctx, offset)) {
        MarkEnd(ctx);
        return -1;
    }
    for (;;) {
        const std::size_t held = ctx.bufferHeld - ctx.bufferPos;
        if (held < kBlockHeaderBytes) {
            if (!TopUp(ctx)) {
                MarkEnd(ctx);  // fewer than 100 bytes remain: no header can start there
                return -1;
            }
            continue;
        }
        // Only starts whose whole header is in the buffer; the last 99 bytes wait for the next top-up.
        const std::uint8_t* begin = ctx.buffer.data() + ctx.bufferPos;
        const std::size_t span = held - kBlockHeaderBytes + sizeof pattern;
        if (const void* hit = ::memmem(begin, span, pattern, sizeof pattern)) {
            ctx.bufferPos += static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - begin);
            ReadNextHeader(ctx);
            return ctx.nextHeaderOffset;
        }
        ctx.bufferPos = ctx.bufferHeld - (kBlockHeaderBytes - 1);
    }
}

void FileIO_CloseRead(FileContainer& ctx) {
    if (ctx.handle >= 0) ::close(ctx.handle);
    ResetContext(ctx);
}

bool FileIO_IsValidFileName(const char* name) {
    if (!name || !*name) return false;
    return std::strpbrk(name, "\"*/:<>?\\|") == nullptr;
}

bool FileIO_IsDirectory(const char* path) {
    struct stat st {};
    return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileIO_OpenWriteAtomic(const char* path, std::size_t bufferSize, std::int32_t version, FileContainer& ctx) {
    std::string temporary = std::string(path) + ".tmp";
    return OpenForWriting(temporary.c_str(), bufferSize, version, ctx);
}

bool FileIO_CommitAtomic(FileContainer& ctx, const char* path) {
    if (ctx.handle < 0 || !ctx.writing) return false;
    bool ok = FileIO_Flush(ctx) && ::fsync(ctx.handle) == 0;
    std::string temporary = ctx.path;
    ok = FileIO_Close(ctx) && ok;
    if (ok) ok = std::rename(temporary.c_str(), path) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lives in the directory: without this a power cut may
    // still bring back the old name after the save was reported done.
    std::string directory = path;
    const auto slash = directory.rfind('/');
    directory = slash == std::string::npos ? "." : slash == 0 ? "/" : directory.substr(0, slash);
    const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void FileIO_SetWriteFault(long long n) {
    faultAt = n > 0 ? writeCount.load() + n : 0;
}

long long FileIO_WriteCount() { return writeCount.load(); }

void FileIO_AbandonAtomic(FileContainer& ctx) {
    FileIO_CloseAndDelete(ctx);
}
