#pragma once
// The KMZ archive: a zip file written through minizip, with one write buffer
// per entry so that the document writers can append many short texts cheaply,
// and a writer for 32-bit BMP entries. Exactly one entry is open at a time;
// entries appear in the archive in the order they were opened.
//
// Entries are deflated by the pool of deflatepool.h, on worker threads beside
// the caller or on the caller's own thread: an entry of up to a few MiB by
// libdeflate in one call, a bigger one by zlib in pieces. minizip frames the
// deflated bytes in raw mode (zipOpenNewFileInZip2 with raw set, then
// zipWriteInFileInZip and zipCloseFileInZipRaw with the entry's CRC and size),
// strictly in the order the entries were opened; every entry is plain deflate.
// Small entries travel in batches and only a bounded number of bytes is in
// flight, so a big entry streams through in constant memory.
//
// Failures: as entries are batched, a failure of the zip file may be seen by a
// later call than the one whose bytes it concerns; from then on every call
// fails, kmzCloseArchive included. A failure is never reported as success.
#include <cstddef>
#include <cstdint>
#include <memory>

struct KmzDeflatePool;  // deflate workers (deflatepool.h)
struct KmzDeflatePoolDelete {
    void operator()(KmzDeflatePool* pool) const;  // cancels a pool still running
};
using KmzDeflatePoolPtr = std::unique_ptr<KmzDeflatePool, KmzDeflatePoolDelete>;

constexpr std::int32_t kKmzBufferCapacity = 100000;  // the KMZ export's buffer flush size

// Deflate threads for kmzOpenArchive: one per core (at most four, none on a
// single core), or none (the caller's thread deflates).
constexpr int kKmzDeflateAuto = -1;
constexpr int kKmzDeflateInline = 0;

struct KmzArchive {
    char path[500] = {};
    void* zip = nullptr;                // minizip's zipFile; null when not open
    std::int32_t bufferCapacity = 0;    // bytes per buffer flush
    std::int32_t bufferFill = 0;        // bytes waiting in the buffer
    std::unique_ptr<std::uint8_t[]> buffer;  // bufferCapacity bytes, held while an entry is open
    bool entryOpen = false;
    bool created = false;               // the archive file was created by this archive

    // Figures for checks and benchmarks.
    std::int64_t entriesOpened = 0;
    std::int64_t bytesIn = 0;        // uncompressed bytes accepted
    std::int64_t bufferFlushes = 0;  // buffer writes to the zip file (full buffers and closing rests)

    KmzDeflatePoolPtr pool;  // deflates and stores the entries; held while the archive is open

    KmzArchive();
    ~KmzArchive();  // an archive still open is aborted, so no unfinished file stays behind
    KmzArchive(const KmzArchive&) = delete;
    KmzArchive& operator=(const KmzArchive&) = delete;
};

// Creates the archive file (replacing one of that name). bufferCapacity must be positive.
bool kmzOpenArchive(const char* path, std::int32_t bufferCapacity, KmzArchive& archive,
                    int deflateThreads = kKmzDeflateAuto);
// Opens the next entry: time stamp now (local time), deflated. A name that is
// not Zip_IsSafeEntryName is refused.
bool kmzOpenEntry(KmzArchive& archive, const char* entryName);
// Whether an entry name stays inside the folder the archive is unpacked into
// and inside the archive for a reader that resolves references: not empty,
// not beginning with "/" or "\", no "..".
bool Zip_IsSafeEntryName(const char* entryName);
// Appends bytes to the open entry; true only when all of them were accepted.
bool kmzWrite(KmzArchive& archive, const void* data, std::size_t length);
// Writes what waits in the buffer and closes the entry.
bool kmzCloseEntry(KmzArchive& archive);
// Finishes the archive (empty global comment).
bool kmzCloseArchive(KmzArchive& archive);
// Closes the archive and deletes its file; nothing of a failed export is left.
void kmzAbortArchive(KmzArchive& archive);

// Writes one entry holding an uncompressed 32-bit BMP of height rows of
// bytesPerRow bytes, top row first. The rows of pixels are reversed in place
// (the BMP stores the bottom row first), so the caller's buffer is changed.
bool kmzWriteBitmapEntry(KmzArchive& archive, const char* entryName, int width, int bytesPerRow, int height,
                         std::uint8_t* pixels);

// Seconds zlib alone takes to deflate the bytes at the default level on one
// core: the floor a conversion's packaging time is compared with.
double Zip_DeflateFloorSeconds(const void* data, std::size_t length);
