#include "export/kmz/deflatepool.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// libdeflate's level 7 deflates the export's KML and bitmaps to within 1 % of
// zlib's default level in some two thirds of the time; its level 6 is quicker
// still but some 10 % bigger, the graph bitmaps most.
constexpr int kWholeLevel = 7;
// An entry up to this size is held and deflated in one call; a bigger one
// streams through zlib in pieces, so memory stays bounded. libdeflate's gain
// is in the many small bitmaps; on big KML texts zlib is about as quick.
constexpr std::size_t kWholeEntryBytes = 1u << 20;
// Pieces of a streamed entry. Priming costs about as much as deflating the
// 32 KiB again: some 6 % of a 100 kB piece, 1 % of this one.
constexpr std::size_t kPieceBytes = 512u << 10;
// Entries are handed to the workers in batches of about this size, so a
// worker wakes once for dozens of small entries.
constexpr std::size_t kBatchBytes = 256u << 10;
// Bounds what waits for a worker or for storing, whatever the entry sizes, and
// so how much the writer hands over before it learns that the disk is full.
constexpr std::size_t kMaxInFlightBytes = 4u << 20;
// A batch whose buffers grew beyond this (a big entry went through) is not kept for reuse.
constexpr std::size_t kKeepBytes = 2u << 20;
// Deflate looks back at most 32 KiB, so priming a piece with the 32 KiB before
// it loses next to nothing against deflating the entry in one go.
constexpr std::size_t kWindowBytes = 32768;
constexpr int kMemLevel = 8;  // minizip's own, for the streamed pieces

// The bytes of one entry inside a batch, or one piece of a streamed entry.
struct Segment {
    std::size_t begin = 0;  // in the batch's input
    std::size_t length = 0;
    bool opensEntry = false;
    bool closesEntry = false;
    bool streamed = false;  // a piece deflated by zlib; otherwise the whole entry at once
    std::string entryName;  // with opensEntry
    zip_fileinfo info{};
    std::size_t outputBegin = 0;
    std::size_t outputLength = 0;
    std::uint32_t crc = 0;
};

// Only the first segment of a batch may continue an entry begun in an earlier batch.
struct Batch {
    std::vector<std::uint8_t> input;
    std::vector<Segment> segments;
    std::vector<std::uint8_t> dictionary;  // the entry's 32 KiB before a continuing first segment
    std::vector<std::uint8_t> output;
    bool deflated = false;  // the result is ready (or dropped after a failure)
    bool ok = false;
};

// One thread's compressors.
struct Deflater {
    libdeflate_compressor* whole = nullptr;
    z_stream stream{};
    bool streamReady = false;

    Deflater() = default;
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() {
        libdeflate_free_compressor(whole);
        if (streamReady) deflateEnd(&stream);
    }
    bool start() {
        whole = libdeflate_alloc_compressor(kWholeLevel);
        return whole != nullptr;
    }
};

void Grow(std::vector<std::uint8_t>& bytes, std::size_t size) {
    if (bytes.size() < size) bytes.resize(size);
}

// A piece that does not end the entry ends with a sync flush: byte-aligned and
// without the final-block bit, so the next piece's blocks follow on.
bool DeflatePiece(Deflater& d, const std::uint8_t* input, std::size_t length, const std::vector<std::uint8_t>* dictionary,
                  bool last, std::vector<std::uint8_t>& output, std::size_t at, std::size_t& written) {
    z_stream& stream = d.stream;
    if (!d.streamReady) {
        if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        d.streamReady = true;
    } else if (deflateReset(&stream) != Z_OK) {
        return false;
    }
    if (dictionary != nullptr && !dictionary->empty() &&
        deflateSetDictionary(&stream, dictionary->data(), static_cast<uInt>(dictionary->size())) != Z_OK)
        return false;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    Grow(output, at + deflateBound(&stream, length) + 16);
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = static_cast<uInt>(length);
    written = 0;
    for (;;) {
        stream.next_out = output.data() + at + written;
        stream.avail_out = static_cast<uInt>(output.size() - at - written);
        const int rc = deflate(&stream, flush);
        written = output.size() - at - stream.avail_out;
        if (rc == Z_STREAM_ERROR) return false;
        if (last && rc == Z_STREAM_END) return true;
        if (!last && stream.avail_in == 0 && stream.avail_out > 0) return true;
        output.resize(output.size() * 2);  // out of room: go on into a bigger buffer
    }
}

bool DeflateBatch(Deflater& d, Batch& batch) {
    std::size_t at = 0;
    for (Segment& s : batch.segments) {
        const std::uint8_t* input = batch.input.data() + s.begin;
        s.crc = libdeflate_crc32(0, input, s.length);
        s.outputBegin = at;
        if (s.streamed) {
            const std::vector<std::uint8_t>* dictionary = s.opensEntry ? nullptr : &batch.dictionary;
            if (!DeflatePiece(d, input, s.length, dictionary, s.closesEntry, batch.output, at, s.outputLength))
                return false;
        } else {
            const std::size_t bound = libdeflate_deflate_compress_bound(d.whole, s.length);
            Grow(batch.output, at + bound);
            s.outputLength = libdeflate_deflate_compress(d.whole, input, s.length, batch.output.data() + at, bound);
            if (s.outputLength == 0) return false;  // even an empty entry deflates to a few bytes
        }
        at += s.outputLength;
    }
    return true;
}

}  // namespace

struct KmzDeflatePool {
    zipFile zip = nullptr;
    std::size_t maxInFlight = 0;

    std::mutex mutex;
    std::condition_variable workReady;  // a batch waits for a worker, or the pool stops
    std::condition_variable stored;     // a batch left the pool: room for more, or drained
    std::deque<std::unique_ptr<Batch>> inFlight;  // handed over, not yet stored; hand-over order
    std::deque<Batch*> waiting;                   // of those, not yet taken by a worker
    std::size_t inFlightBytes = 0;
    std::vector<std::unique_ptr<Batch>> spare;    // stored batches kept for their buffers
    bool storing = false;  // one thread at a time stores the finished head of inFlight
    bool stop = false;
    std::atomic<bool> failed{false};
    std::vector<std::thread> workers;
    std::unique_ptr<Deflater> own;  // without workers: the caller's compressors

    // The entry being stored; touched only by the thread that stores.
    uLong entryCrc = 0;
    std::uint64_t entrySize = 0;

    // The batch being filled; touched only by the caller.
    std::unique_ptr<Batch> filling;
    bool entryOpen = false;
    bool streaming = false;  // the open entry is too big to deflate at once
    std::vector<std::uint8_t> window;
};

namespace {

bool StoreBatch(KmzDeflatePool& pool, const Batch& batch) {
    for (const Segment& s : batch.segments) {
        if (s.opensEntry) {
            // Raw mode: the bytes are deflated already; minizip only frames them.
            if (zipOpenNewFileInZip2(pool.zip, s.entryName.c_str(), &s.info, nullptr, 0, nullptr, 0, "", Z_DEFLATED,
                                     Z_DEFAULT_COMPRESSION, 1) != ZIP_OK)
                return false;
            pool.entryCrc = 0;
            pool.entrySize = 0;
        }
        if (s.outputLength > 0 && zipWriteInFileInZip(pool.zip, batch.output.data() + s.outputBegin,
                                                      static_cast<unsigned>(s.outputLength)) != ZIP_OK)
            return false;
        pool.entryCrc = crc32_combine(pool.entryCrc, s.crc, static_cast<z_off_t>(s.length));
        pool.entrySize += s.length;
        if (s.closesEntry && zipCloseFileInZipRaw(pool.zip, pool.entrySize, pool.entryCrc) != ZIP_OK) return false;
    }
    return true;
}

// Keeps a stored batch for its buffers, unless a big entry made them big.
// Called with the lock held; never allocates (spare has room reserved).
void Recycle(KmzDeflatePool& pool, std::unique_ptr<Batch>& batch) {
    if (pool.spare.size() < pool.spare.capacity() && batch->input.capacity() <= kKeepBytes &&
        batch->output.capacity() <= kKeepBytes)
        pool.spare.push_back(std::move(batch));
}

// Stores finished batches at the head of the queue, in order, until the head
// is not finished yet. Called with the lock held and storing claimed.
void StoreFinished(KmzDeflatePool& pool, std::unique_lock<std::mutex>& lock) {
    while (!pool.inFlight.empty() && pool.inFlight.front()->deflated) {
        Batch& batch = *pool.inFlight.front();
        lock.unlock();
        const bool ok = batch.ok && !pool.failed && StoreBatch(pool, batch);
        lock.lock();
        if (!ok) pool.failed = true;
        pool.inFlightBytes -= batch.input.size();
        Recycle(pool, pool.inFlight.front());
        pool.inFlight.pop_front();
        pool.stored.notify_all();
    }
}

void Worker(KmzDeflatePool& pool) {
    Deflater deflater;
    const bool ready = deflater.start();
    std::unique_lock<std::mutex> lock(pool.mutex);
    for (;;) {
        pool.workReady.wait(lock, [&] { return pool.stop || !pool.waiting.empty(); });
        if (pool.waiting.empty()) break;  // stopping and nothing left
        Batch* batch = pool.waiting.front();
        pool.waiting.pop_front();
        lock.unlock();
        bool ok = false;
        try {
            ok = ready && !pool.failed && DeflateBatch(deflater, *batch);
        } catch (...) {
            ok = false;  // no memory for the output; the archive fails
        }
        lock.lock();
        batch->ok = ok;
        batch->deflated = true;
        if (!ok) pool.failed = true;
        if (!pool.storing) {
            pool.storing = true;
            StoreFinished(pool, lock);
            pool.storing = false;
        }
    }
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

// Hands the filling batch on: to the workers, waiting while too much is in
// flight, or, without workers, deflates and stores it here and now.
bool Submit(KmzDeflatePool& pool) {
    Batch* batch = pool.filling.get();
    if (pool.workers.empty()) {
        bool ok = false;
        try {
            ok = !pool.failed && DeflateBatch(*pool.own, *batch) && StoreBatch(pool, *batch);
        } catch (...) {
            ok = false;
        }
        if (!ok) pool.failed = true;
        std::lock_guard<std::mutex> lock(pool.mutex);
        Recycle(pool, pool.filling);
        pool.filling.reset();
        return ok;
    }
    const std::size_t bytes = batch->input.size();
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.stored.wait(lock, [&] {
        return pool.inFlight.empty() ||
               (pool.inFlight.size() < pool.maxInFlight && pool.inFlightBytes + bytes <= kMaxInFlightBytes);
    });
    try {
        pool.waiting.push_back(batch);
        pool.inFlight.push_back(std::move(pool.filling));
    } catch (...) {
        if (!pool.waiting.empty() && pool.waiting.back() == batch) pool.waiting.pop_back();
        pool.failed = true;
        return false;
    }
    pool.inFlightBytes += bytes;
    lock.unlock();
    pool.workReady.notify_one();
    return !pool.failed;
}

// Makes sure a batch is being filled, taking a spare one when there is one.
bool StartBatch(KmzDeflatePool& pool) {
    if (pool.filling) return true;
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        if (!pool.spare.empty()) {
            pool.filling = std::move(pool.spare.back());
            pool.spare.pop_back();
        }
    }
    if (!pool.filling) {
        try {
            pool.filling = std::make_unique<Batch>();
        } catch (...) {
            pool.failed = true;
            return false;
        }
    }
    Batch& batch = *pool.filling;
    batch.input.clear();
    batch.segments.clear();
    batch.dictionary.clear();
    batch.deflated = false;
    batch.ok = false;
    return true;
}

// Begins a segment of the open entry in the filling batch.
bool StartSegment(KmzDeflatePool& pool, const char* entryName, const zip_fileinfo* info) {
    if (!StartBatch(pool)) return false;
    Batch& batch = *pool.filling;
    try {
        Segment& s = batch.segments.emplace_back();
        s.begin = batch.input.size();
        if (entryName != nullptr) {
            s.opensEntry = true;
            s.entryName = entryName;
            s.info = *info;
        }
    } catch (...) {
        pool.failed = true;
        return false;
    }
    return true;
}

}  // namespace

void KmzDeflatePoolDelete::operator()(KmzDeflatePool* pool) const {
    if (pool == nullptr) return;
    DeflatePool_Cancel(*pool);
    delete pool;
}

KmzDeflatePoolPtr DeflatePool_Start(zipFile zip, int threads) {
    KmzDeflatePoolPtr pool;
    try {
        pool.reset(new KmzDeflatePool);
        pool->zip = zip;
        // Two batches per worker keep every worker busy while the writer fills the next one.
        pool->maxInFlight = 2 * static_cast<std::size_t>(std::max(threads, 0)) + 2;
        pool->spare.reserve(pool->maxInFlight + 1);  // recycling never allocates
    } catch (...) {
        return nullptr;
    }
    for (int i = 0; i < threads; ++i) {
        try {
            pool->workers.emplace_back(Worker, std::ref(*pool));
        } catch (...) {
            break;  // fewer workers than asked still work; none leaves deflate to the caller
        }
    }
    if (pool->workers.empty()) {
        try {
            pool->own = std::make_unique<Deflater>();
        } catch (...) {
            return nullptr;
        }
        if (!pool->own->start()) return nullptr;
    }
    return pool;
}

bool DeflatePool_OpenEntry(KmzDeflatePool& pool, const char* entryName, const zip_fileinfo& info) {
    if (pool.failed || pool.entryOpen || entryName == nullptr) return false;
    if (!StartSegment(pool, entryName, &info)) return false;
    pool.entryOpen = true;
    pool.streaming = false;
    return true;
}

bool DeflatePool_Write(KmzDeflatePool& pool, const std::uint8_t* data, std::size_t length, bool closesEntry) {
    if (pool.failed || !pool.entryOpen) return false;
    Batch& batch = *pool.filling;
    try {
        if (length > 0) batch.input.insert(batch.input.end(), data, data + length);
    } catch (...) {
        pool.failed = true;
        return false;
    }
    Segment& s = batch.segments.back();
    s.length += length;
    if (closesEntry) {
        s.closesEntry = true;
        s.streamed = pool.streaming;
        pool.entryOpen = false;
        if (batch.input.size() >= kBatchBytes) return Submit(pool);
        return !pool.failed;
    }
    if (s.length < (pool.streaming ? kPieceBytes : kWholeEntryBytes)) return !pool.failed;

    // Too big to hold: the entry goes on in zlib pieces, each primed with the
    // 32 KiB before it (the end of this segment, which is longer than that).
    s.streamed = true;
    pool.streaming = true;
    try {
        pool.window.assign(batch.input.end() - static_cast<std::ptrdiff_t>(kWindowBytes), batch.input.end());
    } catch (...) {
        pool.failed = true;
        return false;
    }
    if (!Submit(pool) || !StartSegment(pool, nullptr, nullptr)) return false;
    pool.filling->dictionary.swap(pool.window);
    return true;
}

bool DeflatePool_Finish(KmzDeflatePool& pool) {
    if (pool.entryOpen) pool.failed = true;  // an unfinished entry would be framed wrongly
    if (!pool.failed && pool.filling && !pool.filling->segments.empty()) Submit(pool);
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
