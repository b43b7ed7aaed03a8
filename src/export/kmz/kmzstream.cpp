#include "export/kmz/kmzstream.h"

#include <new>

namespace {
constexpr std::size_t kBatches = 3;
constexpr std::size_t kBatchSamples = 256;
constexpr std::size_t kReadBufferBytes = 1u << 20;
}  // namespace

KmzSampleStream::KmzSampleStream(FileContainer& ctx, RecordFile& file, int levelSlot, double offset)
    : ctx_(ctx), file_(file), levelSlot_(levelSlot), offset_(offset), batches_(kBatches) {
    // The reader's buffer is its refill size: a larger one reads the file in far fewer calls.
    if (ctx_.buffer.size() < kReadBufferBytes) ctx_.buffer.resize(kReadBufferBytes);
    for (Batch& b : batches_) {
        b.samples.resize(kBatchSamples);
        free_.push_back(&b);
    }
    reader_ = std::thread([this] { read(); });
}

KmzSampleStream::~KmzSampleStream() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void KmzSampleStream::read() {
    for (;;) {
        Batch* batch;
        {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait(guard, [&] { return stop_ || !free_.empty(); });
            if (stop_) return;
            batch = free_.front();
            free_.pop_front();
        }
        batch->count = 0;
        batch->last = false;
        try {
            while (batch->count < batch->samples.size() &&
                   Recording_ReadSample(ctx_, file_, batch->samples[batch->count], levelSlot_, offset_))
                ++batch->count;
        } catch (const std::bad_alloc&) {
            outOfMemory_ = true;
            batch->last = true;
        }
        if (batch->count < batch->samples.size()) batch->last = true;
        batch->bytesRead = ctx_.fileSize - FileIO_Available(ctx_);
        {
            std::lock_guard<std::mutex> guard(lock_);
            full_.push_back(batch);
        }
        changed_.notify_all();
        if (batch->last) return;
    }
}

const RecordSample* KmzSampleStream::next(std::int64_t& bytesRead) {
    if (ended_) return nullptr;
    while (current_ == nullptr || position_ >= current_->count) {
        std::unique_lock<std::mutex> guard(lock_);
        if (current_ != nullptr) {
            const bool last = current_->last;
            free_.push_back(current_);
            current_ = nullptr;
            changed_.notify_all();
            if (last) {
                ended_ = true;
                return nullptr;
            }
        }
        changed_.wait(guard, [&] { return !full_.empty(); });
        current_ = full_.front();
        full_.pop_front();
        position_ = 0;
    }
    bytesRead = current_->bytesRead;
    return &current_->samples[position_++];
}
