#include "export/kmz/deflatepool.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Deflate looks back at most 32 KiB, so priming a piece with the 32 KiB before
// it loses next to nothing against deflating the entry in one go.
constexpr std::size_t kWindowBytes = 32768;
// minizip's own parameters, so the pieces match what it would have produced.
constexpr int kMemLevel = 8;
// Buffer flushes are gathered into pieces of this size. Priming costs about
// as much as deflating the 32 KiB again: some 6 % of a 100 kB piece, 1 % of
// this one, while two such pieces per worker still keep memory small.
constexpr std::size_t kPieceBytes = 512 * 1024;

struct Piece {
    bool opensEntry = false;
    bool closesEntry = false;
    std::string entryName;
    zip_fileinfo info{};
    std::unique_ptr<std::uint8_t[]> input;  // pieceCapacity bytes; the first length bytes are the piece
    std::size_t length = 0;
    std::vector<std::uint8_t> dictionary;  // the entry's bytes just before the piece
    std::vector<std::uint8_t> output;
    std::size_t outputLength = 0;
    uLong crc = 0;
    bool deflated = false;  // the result is ready (or dropped after a failure)
    bool ok = false;
};

// Keeps the last 32 KiB of an entry's bytes, across pieces of any size.
void KeepWindow(std::vector<std::uint8_t>& window, const std::uint8_t* data, std::size_t length) {
    if (length >= kWindowBytes) {
        window.assign(data + length - kWindowBytes, data + length);
        return;
    }
    const std::size_t keep = std::min(window.size(), kWindowBytes - length);
    window.erase(window.begin(), window.end() - static_cast<std::ptrdiff_t>(keep));
    window.insert(window.end(), data, data + length);
}

}  // namespace

struct KmzDeflatePool {
    zipFile zip = nullptr;
    std::size_t pieceCapacity = 0;
    std::size_t maxInFlight = 0;

    std::mutex mutex;
    std::condition_variable workReady;  // a piece waits for a worker, or the pool stops
    std::condition_variable stored;     // a piece left the pool: room for more, or drained
    std::deque<std::unique_ptr<Piece>> inFlight;  // handed over, not yet stored; hand-over order
    std::deque<Piece*> waiting;                   // of those, not yet taken by a worker
    std::vector<std::unique_ptr<Piece>> spare;    // stored pieces kept for their buffers
    bool storing = false;  // one worker at a time stores the finished head of inFlight
    bool stop = false;
    std::atomic<bool> failed{false};
    std::vector<std::thread> workers;

    // The entry being stored; touched only by the storing worker.
    uLong entryCrc = 0;
    std::uint64_t entrySize = 0;

    // The entry being handed over; touched only by the caller.
    std::unique_ptr<Piece> filling;  // the piece the caller's bytes go into
    bool nextOpensEntry = false;
    std::string entryName;
    zip_fileinfo entryInfo{};
    std::vector<std::uint8_t> window;  // the entry's last 32 KiB handed over
};

namespace {

bool DeflatePiece(z_stream& stream, Piece& piece) {
    if (deflateReset(&stream) != Z_OK) return false;
    if (!piece.dictionary.empty() &&
        deflateSetDictionary(&stream, piece.dictionary.data(), static_cast<uInt>(piece.dictionary.size())) != Z_OK)
        return false;
    piece.crc = crc32(0L, piece.input.get(), static_cast<uInt>(piece.length));

    // A piece that does not end the entry ends with a sync flush: byte-aligned
    // and without the final-block bit, so the next piece's blocks follow on.
    const int flush = piece.closesEntry ? Z_FINISH : Z_SYNC_FLUSH;
    std::size_t capacity = deflateBound(&stream, piece.length) + 16;
    if (piece.output.size() < capacity) piece.output.resize(capacity);
    stream.next_in = piece.input.get();
    stream.avail_in = static_cast<uInt>(piece.length);
    piece.outputLength = 0;
    for (;;) {
        stream.next_out = piece.output.data() + piece.outputLength;
        stream.avail_out = static_cast<uInt>(piece.output.size() - piece.outputLength);
        const int rc = deflate(&stream, flush);
        piece.outputLength = piece.output.size() - stream.avail_out;
        if (rc == Z_STREAM_ERROR) return false;
        if (flush == Z_FINISH && rc == Z_STREAM_END) return true;
        if (flush == Z_SYNC_FLUSH && stream.avail_in == 0 && stream.avail_out > 0) return true;
        piece.output.resize(piece.output.size() * 2);  // out of room: go on into a bigger buffer
    }
}

bool StorePiece(KmzDeflatePool& pool, Piece& piece) {
    if (!piece.ok) return false;
    if (piece.opensEntry) {
        // Raw mode: the bytes are deflated already; minizip only frames them.
        if (zipOpenNewFileInZip2(pool.zip, piece.entryName.c_str(), &piece.info, nullptr, 0, nullptr, 0, "",
                                 Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) != ZIP_OK)
            return false;
        pool.entryCrc = crc32(0L, Z_NULL, 0);
        pool.entrySize = 0;
    }
    if (piece.outputLength > 0 &&
        zipWriteInFileInZip(pool.zip, piece.output.data(), static_cast<unsigned>(piece.outputLength)) != ZIP_OK)
        return false;
    pool.entryCrc = crc32_combine(pool.entryCrc, piece.crc, static_cast<z_off_t>(piece.length));
    pool.entrySize += piece.length;
    if (piece.closesEntry) return zipCloseFileInZipRaw(pool.zip, pool.entrySize, pool.entryCrc) == ZIP_OK;
    return true;
}

// Stores finished pieces at the head of the queue, in order, until the head is
// not finished yet. Called with the lock held and storing claimed.
void StoreFinished(KmzDeflatePool& pool, std::unique_lock<std::mutex>& lock) {
    while (!pool.inFlight.empty() && pool.inFlight.front()->deflated) {
        Piece& piece = *pool.inFlight.front();
        lock.unlock();
        const bool ok = !pool.failed && StorePiece(pool, piece);
        lock.lock();
        if (!ok) pool.failed = true;
        if (pool.spare.size() < pool.maxInFlight) pool.spare.push_back(std::move(pool.inFlight.front()));
        pool.inFlight.pop_front();
        pool.stored.notify_all();
    }
}

void Worker(KmzDeflatePool& pool) {
    z_stream stream{};
    const bool ready = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, kMemLevel,
                                    Z_DEFAULT_STRATEGY) == Z_OK;
    std::unique_lock<std::mutex> lock(pool.mutex);
    for (;;) {
        pool.workReady.wait(lock, [&] { return pool.stop || !pool.waiting.empty(); });
        if (pool.waiting.empty()) break;  // stopping and nothing left
        Piece* piece = pool.waiting.front();
        pool.waiting.pop_front();
        lock.unlock();
        try {
            piece->ok = ready && !pool.failed && DeflatePiece(stream, *piece);
        } catch (...) {
            piece->ok = false;  // no memory for the output; the archive fails
        }
        lock.lock();
        piece->deflated = true;
        if (!piece->ok) pool.failed = true;
        if (!pool.storing) {
            pool.storing = true;
            StoreFinished(pool, lock);
            pool.storing = false;
        }
    }
    lock.unlock();
    if (ready) deflateEnd(&stream);
}

void StopWorkers(KmzDeflatePool& pool) {
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.stop = true;
    }
    pool.workReady.notify_all();
    for (std::thread& worker : pool.workers) worker.join();
    pool.workers.clear();
}

// Hands the filling piece over to the workers. Waits while too many pieces are
// in flight.
bool Submit(KmzDeflatePool& pool, bool closesEntry) {
    Piece* piece = pool.filling.get();
    piece->closesEntry = closesEntry;
    try {
        if (!closesEntry) KeepWindow(pool.window, piece->input.get(), piece->length);
    } catch (...) {
        pool.failed = true;
        return false;
    }
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.stored.wait(lock, [&] { return pool.inFlight.size() < pool.maxInFlight; });
    try {
        pool.waiting.push_back(piece);
        pool.inFlight.push_back(std::move(pool.filling));
    } catch (...) {
        if (!pool.waiting.empty() && pool.waiting.back() == piece) pool.waiting.pop_back();
        pool.failed = true;
        return false;
    }
    lock.unlock();
    pool.workReady.notify_one();
    return !pool.failed;
}

// Makes sure a piece is being filled, taking a spare one when there is one.
bool StartPiece(KmzDeflatePool& pool) {
    if (pool.filling) return true;
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        if (!pool.spare.empty()) {
            pool.filling = std::move(pool.spare.back());
            pool.spare.pop_back();
        }
    }
    try {
        if (!pool.filling) pool.filling = std::make_unique<Piece>();
        Piece& piece = *pool.filling;
        if (!piece.input) piece.input = std::make_unique_for_overwrite<std::uint8_t[]>(pool.pieceCapacity);
        piece.opensEntry = pool.nextOpensEntry;
        if (piece.opensEntry) {
            piece.entryName = pool.entryName;
            piece.info = pool.entryInfo;
        }
        piece.dictionary = pool.window;
    } catch (...) {
        pool.filling.reset();
        pool.failed = true;  // out of memory: the entry cannot be completed
        return false;
    }
    Piece& piece = *pool.filling;
    piece.length = 0;
    piece.closesEntry = false;
    piece.deflated = false;
    piece.ok = false;
    pool.nextOpensEntry = false;
    return true;
}

}  // namespace

void KmzDeflatePoolDelete::operator()(KmzDeflatePool* pool) const {
    if (pool == nullptr) return;
    DeflatePool_Cancel(*pool);
    delete pool;
}

KmzDeflatePoolPtr DeflatePool_Start(zipFile zip, int threads, std::size_t bufferCapacity) {
    KmzDeflatePoolPtr pool(new KmzDeflatePool);
    pool->zip = zip;
    pool->pieceCapacity = std::max(bufferCapacity, kPieceBytes);
    // Two pieces per worker keep every worker busy while the writer fills the
    // next one, and bound the memory a big entry takes on its way through.
    pool->maxInFlight = 2 * static_cast<std::size_t>(threads) + 2;
    try {
        pool->spare.reserve(pool->maxInFlight);  // workers never allocate to give a piece back
        for (int i = 0; i < threads; ++i) pool->workers.emplace_back(Worker, std::ref(*pool));
    } catch (...) {
        // fewer threads than asked still work; none at all leaves deflate to minizip
    }
    if (pool->workers.empty()) return nullptr;
    return pool;
}

void DeflatePool_OpenEntry(KmzDeflatePool& pool, const char* entryName, const zip_fileinfo& info) {
    pool.nextOpensEntry = true;
    pool.entryName = entryName;
    pool.entryInfo = info;
    pool.window.clear();
}

bool DeflatePool_Write(KmzDeflatePool& pool, const std::uint8_t* data, std::size_t length, bool closesEntry) {
    if (pool.failed || !StartPiece(pool)) return false;
    while (length > 0) {
        Piece& piece = *pool.filling;
        const std::size_t part = std::min(length, pool.pieceCapacity - piece.length);
        std::memcpy(piece.input.get() + piece.length, data, part);
        piece.length += part;
        data += part;
        length -= part;
        if (piece.length == pool.pieceCapacity && (length > 0 || !closesEntry)) {
            if (!Submit(pool, false) || !StartPiece(pool)) return false;
        }
    }
    if (closesEntry) return Submit(pool, true);
    return !pool.failed;
}

bool DeflatePool_Finish(KmzDeflatePool& pool) {
    {
        std::unique_lock<std::mutex> lock(pool.mutex);
        pool.stored.wait(lock, [&] { return pool.inFlight.empty(); });
    }
    StopWorkers(pool);
    return !pool.failed;
}

void DeflatePool_Cancel(KmzDeflatePool& pool) {
    pool.failed = true;  // workers drop what is left without deflating it
    StopWorkers(pool);
    pool.filling.reset();
}

bool DeflatePool_Failed(const KmzDeflatePool& pool) { return pool.failed; }
