#include "export/kmz/entrysink.h"

#include <new>

namespace {
// Enough to keep the deflating busy across a cell of many samples, small beside the data set.
constexpr std::size_t kQueueBytes = 8u << 20;
}  // namespace

KmzEntrySink::KmzEntrySink(KmzArchive& archive, bool queued) : archive_(archive), queued_(queued) {
    if (queued_) writer_ = std::thread([this] { run(); });
}

KmzEntrySink::~KmzEntrySink() { cancel(); }

bool KmzEntrySink::openEntry(const std::string& name) {
    if (!queued_) return kmzOpenEntry(archive_, name.c_str());
    if (open_) return false;
    current_ = Entry{};
    current_.name = name;
    open_ = true;
    return true;
}

bool KmzEntrySink::write(std::string_view data) {
    if (!queued_) return kmzWrite(archive_, data.data(), data.size());
    if (!open_) return false;
    try {
        current_.bytes.append(data);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool KmzEntrySink::closeEntry() {
    if (!queued_) return kmzCloseEntry(archive_);
    if (!open_) return false;
    open_ = false;
    return push(std::move(current_));
}

bool KmzEntrySink::writeBitmap(const std::string& name, int width, int bytesPerRow, int height,
                               std::vector<std::uint8_t> pixels) {
    if (!queued_) return kmzWriteBitmapEntry(archive_, name.c_str(), width, bytesPerRow, height, pixels.data());
    if (open_) return false;
    Entry e;
    e.name = name;
    e.width = width;
    e.bytesPerRow = bytesPerRow;
    e.height = height;
    try {
        e.bytes.assign(pixels.begin(), pixels.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return push(std::move(e));
}

bool KmzEntrySink::push(Entry entry) {
    std::unique_lock<std::mutex> guard(lock_);
    producerWaits_ = true;
    changed_.wait(guard, [&] { return queuedBytes_ < kQueueBytes || failed_ || stop_; });
    producerWaits_ = false;
    if (failed_ || stop_) return false;
    queuedBytes_ += entry.bytes.size() + entry.name.size();
    queue_.push_back(std::move(entry));
    // Only a writer that waits needs waking; one at work takes the new entry with its next batch.
    if (writerIdle_) changed_.notify_all();
    return true;
}

bool KmzEntrySink::store(Entry& e) {
    if (e.width > 0) {
        auto* pixels = reinterpret_cast<std::uint8_t*>(e.bytes.data());
        return static_cast<std::size_t>(e.bytesPerRow) * static_cast<std::size_t>(e.height) == e.bytes.size() &&
               kmzWriteBitmapEntry(archive_, e.name.c_str(), e.width, e.bytesPerRow, e.height, pixels);
    }
    if (!kmzOpenEntry(archive_, e.name.c_str())) return false;
    const bool written = kmzWrite(archive_, e.bytes.data(), e.bytes.size());
    const bool closed = kmzCloseEntry(archive_);
    return written && closed;
}

void KmzEntrySink::run() {
    std::deque<Entry> batch;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            writerIdle_ = true;
            changed_.wait(guard, [&] { return !queue_.empty() || done_ || stop_; });
            writerIdle_ = false;
            if (stop_ || (queue_.empty() && done_)) return;
            batch.swap(queue_);
            queuedBytes_ = 0;
            if (producerWaits_) changed_.notify_all();
        }
        for (Entry& e : batch) {
            if (!store(e)) {
                std::lock_guard<std::mutex> guard(lock_);
                failed_ = true;
                changed_.notify_all();
                return;
            }
            e = Entry{};  // the bytes go as soon as they are stored
        }
        batch.clear();
    }
}

bool KmzEntrySink::finish() {
    if (!queued_) return true;
    if (open_) return false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        done_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
    std::lock_guard<std::mutex> guard(lock_);
    return !failed_ && !stop_;
}

void KmzEntrySink::cancel() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        queue_.clear();
        queuedBytes_ = 0;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
}
