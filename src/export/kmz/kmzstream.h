#pragma once
// The samples of one open record file, read on a thread of their own a batch
// at a time, so that reading and checking the file's blocks overlaps with the
// conversion of the samples read before. The batches circulate between the
// two threads; nothing is allocated per sample.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "records/recording.h"

class KmzSampleStream {
public:
    // Starts reading at once; ctx and file must stay open and unchanged until the stream is destroyed.
    KmzSampleStream(FileContainer& ctx, RecordFile& file, int levelSlot, double offset);
    ~KmzSampleStream();  // stops the reader and waits for it
    KmzSampleStream(const KmzSampleStream&) = delete;
    KmzSampleStream& operator=(const KmzSampleStream&) = delete;

    // The next sample (valid until the next call); null at the end of the file or
    // at its first damaged sample. bytesRead: bytes of the file read up to it.
    const RecordSample* next(std::int64_t& bytesRead);
    // The reader ran out of memory (the stream then ends early).
    bool outOfMemory() const { return outOfMemory_; }

private:
    struct Batch {
        std::vector<RecordSample> samples;
        std::size_t count = 0;
        std::int64_t bytesRead = 0;
        bool last = false;
    };
    void read();

    FileContainer& ctx_;
    RecordFile& file_;  // the reader counts its skipped samples there
    const int levelSlot_;
    const double offset_;

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Batch> batches_;
    std::deque<Batch*> free_, full_;
    bool stop_ = false;
    bool outOfMemory_ = false;

    Batch* current_ = nullptr;  // the consumer's batch
    std::size_t position_ = 0;
    bool ended_ = false;
    std::thread reader_;
};
