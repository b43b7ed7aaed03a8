#include "export/kmz/zipio.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <type_traits>
#include <vector>

#include "export/kmz/bmp.h"
#include "export/kmz/deflatepool.h"
#include "platform/datetime.h"
#include "platform/text.h"

static_assert(std::is_same_v<zipFile, void*>, "KmzArchive keeps minizip's handle as void*");

namespace {

zipFile Zip(const KmzArchive& archive) { return static_cast<zipFile>(archive.zip); }

int DeflateThreads(int asked) {
    if (asked >= 0) return asked;
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores <= 1) return 0;  // on one core the split only adds work
    return static_cast<int>(std::min(cores, 4u));
}

zip_fileinfo EntryInfoNow() {
    const LocalDateTime now = DateTime_Split(DateTime_ExportNow());
    zip_fileinfo info{};
    info.tmz_date.tm_sec = static_cast<uInt>(now.second);
    info.tmz_date.tm_min = static_cast<uInt>(now.minute);
    info.tmz_date.tm_hour = static_cast<uInt>(now.hour);
    info.tmz_date.tm_mday = static_cast<uInt>(now.day);
    info.tmz_date.tm_mon = static_cast<uInt>(now.month - 1);
    info.tmz_date.tm_year = static_cast<uInt>(now.year);
    info.dosDate = 0;  // 0: minizip takes the date from tmz_date
    info.internal_fa = 0;
    info.external_fa = 0;
    return info;
}

// Hands what waits in the buffer to the open entry and empties the buffer.
bool FlushBuffer(KmzArchive& archive, bool closesEntry) {
    const auto length = static_cast<std::size_t>(archive.bufferFill);
    archive.bufferFill = 0;
    if (length > 0) ++archive.bufferFlushes;
    return DeflatePool_Write(*archive.pool, archive.buffer.get(), length, closesEntry);
}

}  // namespace

KmzArchive::KmzArchive() = default;

KmzArchive::~KmzArchive() {
    if (zip != nullptr) kmzAbortArchive(*this);
}

bool kmzOpenArchive(const char* path, std::int32_t bufferCapacity, KmzArchive& archive, int deflateThreads) {
    if (archive.zip != nullptr || path == nullptr || bufferCapacity <= 0) return false;
    if (std::strlen(path) >= sizeof archive.path) return false;  // a cut path would name another file
    Text_Copy(archive.path, path);
    archive.bufferCapacity = bufferCapacity;
    archive.bufferFill = 0;
    archive.buffer.reset();
    archive.entryOpen = false;
    archive.created = false;
    archive.entriesOpened = 0;
    archive.bytesIn = 0;
    archive.bufferFlushes = 0;

    zipFile zip = zipOpen(archive.path, APPEND_STATUS_CREATE);
    if (zip == nullptr) return false;
    archive.zip = zip;
    archive.created = true;
    archive.pool = DeflatePool_Start(zip, DeflateThreads(deflateThreads));
    if (!archive.pool) {
        kmzAbortArchive(archive);
        return false;
    }
    return true;
}

bool Zip_IsSafeEntryName(const char* entryName) {
    if (entryName == nullptr || entryName[0] == '\0' || entryName[0] == '/' || entryName[0] == '\\') return false;
    return std::strstr(entryName, "..") == nullptr;
}

bool kmzOpenEntry(KmzArchive& archive, const char* entryName) {
    if (archive.zip == nullptr || archive.entryOpen || !Zip_IsSafeEntryName(entryName)) return false;
    if (DeflatePool_Failed(*archive.pool)) return false;
    try {
        archive.buffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(archive.bufferCapacity));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!DeflatePool_OpenEntry(*archive.pool, entryName, EntryInfoNow())) {
        archive.buffer.reset();
        return false;
    }
    archive.bufferFill = 0;
    archive.entryOpen = true;
    ++archive.entriesOpened;
    return true;
}

bool kmzWrite(KmzArchive& archive, const void* data, std::size_t length) {
    if (!archive.entryOpen) return false;
    if (length == 0) return true;
    if (data == nullptr) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const auto capacity = static_cast<std::size_t>(archive.bufferCapacity);
    // Data that exactly fills the buffer stays there until the next write or
    // the close, so an entry of exactly one buffer is written in one piece.
    while (length > capacity - static_cast<std::size_t>(archive.bufferFill)) {
        const std::size_t part = capacity - static_cast<std::size_t>(archive.bufferFill);
        std::memcpy(archive.buffer.get() + archive.bufferFill, bytes, part);
        archive.bufferFill = archive.bufferCapacity;
        if (!FlushBuffer(archive, false)) return false;
        bytes += part;
        length -= part;
        archive.bytesIn += static_cast<std::int64_t>(part);
    }
    std::memcpy(archive.buffer.get() + archive.bufferFill, bytes, length);
    archive.bufferFill += static_cast<std::int32_t>(length);
    archive.bytesIn += static_cast<std::int64_t>(length);
    return true;
}

bool kmzCloseEntry(KmzArchive& archive) {
    if (!archive.entryOpen) return false;
    archive.entryOpen = false;
    const bool written = FlushBuffer(archive, true);  // the pool closes the entry once it is stored
    archive.buffer.reset();
    return written;
}

bool kmzCloseArchive(KmzArchive& archive) {
    if (archive.zip == nullptr) return false;
    bool ok = true;
    if (archive.entryOpen) ok = kmzCloseEntry(archive);
    ok = DeflatePool_Finish(*archive.pool) && ok;
    archive.pool.reset();
    ok = zipClose(Zip(archive), "") == ZIP_OK && ok;
    archive.zip = nullptr;
    archive.buffer.reset();
    archive.bufferFill = 0;
    return ok;
}

void kmzAbortArchive(KmzArchive& archive) {
    archive.pool.reset();  // stops the workers; what they held is dropped
    if (archive.zip != nullptr) {
        zipClose(Zip(archive), nullptr);
        archive.zip = nullptr;
    }
    // Only a file this archive created is deleted: a path that could not be
    // opened may name someone else's file.
    if (archive.created) {
        std::remove(archive.path);
        archive.created = false;
    }
    archive.buffer.reset();
    archive.bufferFill = 0;
    archive.entryOpen = false;
}

bool kmzWriteBitmapEntry(KmzArchive& archive, const char* entryName, int width, int bytesPerRow, int height,
                         std::uint8_t* pixels) {
    std::uint8_t header[kBmpHeaderBytes];
    if (pixels == nullptr || !Bmp_MakeHeader(width, bytesPerRow, height, header)) return false;
    Bmp_ReverseRows(pixels, bytesPerRow, height);
    if (!kmzOpenEntry(archive, entryName)) return false;
    const bool written = kmzWrite(archive, header, sizeof header) &&
                         kmzWrite(archive, pixels, static_cast<std::size_t>(bytesPerRow) * height);
    const bool closed = kmzCloseEntry(archive);
    return written && closed;
}

double Zip_DeflateFloorSeconds(const void* data, std::size_t length) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return -1.0;
    std::vector<std::uint8_t> out(1 << 18);  // output is dropped, as a writer would hand it on
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const auto start = std::chrono::steady_clock::now();
    int rc = Z_OK;
    do {
        const std::size_t part = std::min<std::size_t>(length, 1u << 30);
        stream.next_in = const_cast<Bytef*>(bytes);
        stream.avail_in = static_cast<uInt>(part);
        bytes += part;
        length -= part;
        const int flush = length == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            rc = deflate(&stream, flush);
        } while (rc == Z_OK && (stream.avail_out == 0 || stream.avail_in > 0 || flush == Z_FINISH));
    } while (rc == Z_OK && length > 0);
    const auto stop = std::chrono::steady_clock::now();
    deflateEnd(&stream);
    if (rc != Z_STREAM_END) return -1.0;
    return std::chrono::duration<double>(stop - start).count();
}
