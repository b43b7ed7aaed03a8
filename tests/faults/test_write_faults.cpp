// Write failures: the container after a failed write, a recording whose N-th
// write fails for every N of a short recording, and a recording into a disk
// that really fills up (a small tmpfs named by FIELDTRACE_FULL_DISK_DIR).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "measure/drivetest.h"
#include "measure/simdrivetest.h"
#include "records/fileio.h"
#include "records/recording.h"
#include "support/simprocess.h"
#include "support/testsupport.h"

namespace {

constexpr int kPort = 5025;

// Every sample the engine reported as written, per file.
class Acknowledged {
public:
    Acknowledged() {
        DriveTest_SetSampleWrittenHook([this](const std::string& path, int n) {
            std::lock_guard<std::mutex> l(m_);
            counts_[path] = n;
            if (firstWrite_ == 0) firstWrite_ = FileIO_WriteCount();
        });
    }
    ~Acknowledged() { DriveTest_SetSampleWrittenHook(nullptr); }
    std::map<std::string, int> take() {
        std::lock_guard<std::mutex> l(m_);
        auto c = counts_;
        counts_.clear();
        firstWrite_ = 0;
        return c;
    }
    // The write count when the first sample since take() was acknowledged.
    long long firstWrite() {
        std::lock_guard<std::mutex> l(m_);
        return firstWrite_;
    }

private:
    std::mutex m_;
    std::map<std::string, int> counts_;
    long long firstWrite_ = 0;
};

// Samples a record file reads back with; -1 when it does not open.
int ReadableSamples(const std::string& path) {
    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (!Recording_OpenFile(ctx, file, path.c_str(), message)) return -1;
    RecordSample s;
    int n = 0;
    while (Recording_ReadSample(ctx, file, s)) ++n;
    FileIO_CloseRead(ctx);
    Recording_FreeFile(file);
    return n;
}

// Records until a stop reason is stored or `samples` samples were taken (then Stop).
std::string RecordUntilStopped(int samples, int seconds) {
    if (!DriveTest_Record()) return "refused";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (DriveTest_StopReason().empty() && std::chrono::steady_clock::now() < until) {
        const auto threads = DriveTest_Threads();  // kept: front() of the temporary would dangle in the loop
        int taken = 0;
        for (int c : threads.front().sampleCounts) taken += c;
        if (taken >= samples) DriveTest_Stop(kStopPressed);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    DriveTest_WaitStopped(60000);
    return DriveTest_StopReason();
}

class WriteFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (SimProcess_Binary().empty()) GTEST_SKIP() << "simulator not built";
        DriveTest_SetFreeSpaceProbe([](const std::string&) { return std::int64_t{1} << 40; });
    }
    void TearDown() override {
        FileIO_SetWriteFault(0);
        DriveTest_Release();
        DriveTest_SetFreeSpaceProbe(nullptr);
    }
    // Used by the engine's threads until the release in TearDown.
    NullDriveTestView view;
};

}  // namespace

// Blocks of one write each; the failing write lands half its bytes. The file
// must end on the last whole block, refuse every later write and fail the close.
TEST(WriteFaultContainer, FailedWriteCutsBackToLastWholeWrite) {
    TempDir dir;
    constexpr int kBlocks = 6, kPayload = 300;
    for (int failAt = 1; failAt <= kBlocks + 1; ++failAt) {
        SCOPED_TRACE(failAt);
        const std::string path = dir.file("cut.bin");
        std::vector<std::uint8_t> payload(kPayload);
        FileContainer w;
        ASSERT_TRUE(FileIO_OpenWrite(path.c_str(), kPayload + kBlockHeaderBytes, 180, w));
        FileIO_SetWriteFault(failAt);
        int accepted = 0;
        for (int b = 0; b < kBlocks; ++b) {
            for (int i = 0; i < kPayload; ++i) payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b * 7 + i);
            // The buffer holds exactly one block: it leaves when the next one arrives.
            if (FileIO_WriteBlock(w, payload.data(), 15, kPayload)) ++accepted;
        }
        const bool closed = FileIO_Close(w);
        FileIO_SetWriteFault(0);
        const int written = failAt <= kBlocks ? failAt - 1 : kBlocks;
        EXPECT_EQ(closed, failAt > kBlocks);
        EXPECT_EQ(accepted, failAt <= kBlocks ? failAt : kBlocks) << "the block whose write failed was buffered first";
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, written * (kPayload + kBlockHeaderBytes)) << "no fragment, no second copy";
        if (written == 0) continue;
        FileContainer r;
        ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 1000, r));
        int read = 0;
        while (FileIO_ReadBlock(r, payload.data(), 15, kPayload)) {
            EXPECT_EQ(payload[0], static_cast<std::uint8_t>(read * 7));
            ++read;
        }
        EXPECT_EQ(read, written);
        FileIO_CloseRead(r);
    }
}

// One analyzer, two frequencies, six samples. A run without fault counts the
// writes that create the files (the descriptive part may take several); then,
// for every N up to the last write, the recording stops with the right reason
// and every file holds exactly the samples reported as written.
TEST_F(WriteFaults, FailingWriteAtEveryN) {
    SimProcess sim("Alvra", "127.0.9.11", kPort, {"--seed", "91", "--settle-ms", "100"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    Acknowledged acknowledged;
    ASSERT_TRUE(DriveTest_Start(SimDriveTest_Setup(dir, {SimDriveTest_Analyzer("127.0.9.11", true, {474.0, 482.0}, "N")}),
                                view, error))
        << error;
    DriveTest_RequestState(kStateMonitoring);
    ASSERT_TRUE(SimDriveTest_WaitFor(SimDriveTest_AllWaiting, [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }));
    constexpr int kSamples = 6;
    long long createWrites = 0;
    for (long long n = 0; n == 0 || n <= createWrites + kSamples; ++n) {  // 0: no fault
        SCOPED_TRACE("fault at write " + std::to_string(n));
        const long long before = FileIO_WriteCount();
        FileIO_SetWriteFault(n);
        const std::string reason = RecordUntilStopped(kSamples, 60);
        FileIO_SetWriteFault(0);
        if (n == 0) {
            createWrites = acknowledged.firstWrite() - before - 1;
            ASSERT_GE(createWrites, 2) << "each of the two files takes a write at least";
            std::printf("fault-at-N: %lld writes create the files, N = 1 to %lld tested\n", createWrites,
                        createWrites + kSamples);
        }
        const auto ack = acknowledged.take();
        int total = 0;
        for (const auto& [path, count] : ack) total += count;
        if (n == 0) {
            EXPECT_EQ(reason, kStopPressed);
        } else if (n <= createWrites) {
            EXPECT_EQ(reason, kStopFileCreation);
        } else {
            EXPECT_EQ(reason, kStopFileWrite);
            EXPECT_EQ(total, n - 1 - createWrites) << "every write after the creation was a sample";
        }
        // Move this run's files aside: the next run may start within the same second, under the same names.
        const std::string keep = dir.file("run" + std::to_string(n));
        std::filesystem::create_directory(keep);
        for (const auto& path : DriveTest_RecordFiles()) {
            const int acked = ack.count(path) ? ack.at(path) : 0;
            const int readable = ReadableSamples(path);
            if (acked > 0 || readable >= 0) {  // a file cut at its first write does not open, and need not
                EXPECT_EQ(readable, acked) << path;
            }
            std::filesystem::rename(path, keep + "/" + std::filesystem::path(path).filename().string());
        }
    }
}

// A real full disk: the shell test mounts a small tmpfs, nearly fills it and
// names it. The recording stops with "File write error" and keeps every sample.
TEST_F(WriteFaults, FullDiskKeepsEverySampleWritten) {
    const char* full = std::getenv("FIELDTRACE_FULL_DISK_DIR");
    if (!full) GTEST_SKIP() << "needs FIELDTRACE_FULL_DISK_DIR (tests/tools/full_disk.sh)";
    SimProcess sim("Alvra", "127.0.9.12", kPort, {"--seed", "92", "--settle-ms", "100"});
    ASSERT_TRUE(sim.ready());
    TempDir unused;
    std::string error;
    Acknowledged acknowledged;
    DriveTestSetup setup = SimDriveTest_Setup(unused, {SimDriveTest_Analyzer("127.0.9.12", true, {474.0, 482.0}, "F")});
    setup.settings.outputDirectory = full;
    ASSERT_TRUE(DriveTest_Start(setup, view, error)) << error;
    DriveTest_RequestState(kStateMonitoring);
    ASSERT_TRUE(SimDriveTest_WaitFor(SimDriveTest_AllWaiting, [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }));
    EXPECT_EQ(RecordUntilStopped(1000, 150), kStopFileWrite);
    const auto ack = acknowledged.take();
    int total = 0;
    for (const auto& path : DriveTest_RecordFiles()) {
        const int acked = ack.count(path) ? ack.at(path) : 0;
        EXPECT_EQ(ReadableSamples(path), acked) << path;
        total += acked;
    }
    EXPECT_GT(total, 0) << "the disk should hold a few samples before it fills";
    std::printf("full disk: %d samples kept\n", total);
}
