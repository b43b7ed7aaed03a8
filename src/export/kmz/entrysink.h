#pragma once
// Where the writers of one KMZ archive put their entries: straight into the
// archive on the writers' own thread (the archive's deflate workers already
// deflate beside them), or through a queue to a thread of its own that hands
// them to the archive. Queued, entries reach the archive whole and in the
// order they were made. The queue is bounded in bytes, so memory stays small
// however large the archive grows.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "export/kmz/zipio.h"

class KmzEntrySink {
public:
    // queued: a writer thread stores the entries; the archive must be open.
    KmzEntrySink(KmzArchive& archive, bool queued);
    ~KmzEntrySink();  // stops a writer thread still running; what waits is dropped
    KmzEntrySink(const KmzEntrySink&) = delete;
    KmzEntrySink& operator=(const KmzEntrySink&) = delete;

    bool openEntry(const std::string& name);
    bool write(std::string_view data);
    bool closeEntry();
    // A 32-bit BMP entry: height rows of bytesPerRow bytes, top row first.
    bool writeBitmap(const std::string& name, int width, int bytesPerRow, int height, std::vector<std::uint8_t> pixels);

    // Waits until every entry is in the archive; false when any write failed.
    bool finish();
    // Drops what waits and stops the writer thread.
    void cancel();

private:
    struct Entry {
        std::string name;
        std::string bytes;
        int width = 0;  // a bitmap when above 0
        int bytesPerRow = 0;
        int height = 0;
    };
    bool push(Entry entry);
    bool store(Entry& entry);
    void run();

    KmzArchive& archive_;
    const bool queued_;
    Entry current_;
    bool open_ = false;

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Entry> queue_;
    std::size_t queuedBytes_ = 0;
    bool done_ = false;     // no more entries will come
    bool stop_ = false;     // drop what waits
    bool failed_ = false;   // a store failed
    bool writerIdle_ = false;    // the writer thread waits for entries
    bool producerWaits_ = false; // the writers wait for room
    std::thread writer_;
};
