// The conversion thread of the application: state, Home, shutdown.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "export/csv/csvmodule.h"
#include "records/recordfixture.h"
#include "support/testsupport.h"

namespace {

// Records the page calls; can hold the conversion thread at the start of a file.
class FakePage : public CsvPageView {
public:
    void showFileLabel(const std::string& label) override {
        std::unique_lock<std::mutex> lock(mutex_);
        labels.push_back(label);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !hold_; });
    }
    void setProgress(int) override {}
    void finish(const std::string& message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messages.push_back(message);
        changed_.notify_all();
    }

    void hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = true;
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = false;
        changed_.notify_all();
    }
    void waitEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return entered_; });
    }
    std::string waitMessage() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !messages.empty(); });
        return messages.back();
    }

    std::vector<std::string> labels, messages;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false, entered_ = false;
};

RecordFileEntry WriteEntry(const TempDir& dir, const char* name, int samples) {
    RecordFile file;
    PrepareTestFile(file);
    EXPECT_TRUE(WriteTestSamples(dir.path(), name, file, samples));
    RecordFileEntry e;
    EXPECT_TRUE(FileSelection_ReadEntry(dir.file(name), e));
    return e;
}

std::size_t FileCount(const TempDir& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
    return n;
}

TEST(CsvModule, ARunFinishesWithItsMessageAndGoesIdle) {
    TempDir dir;
    FakePage page;
    Csv_Init(page);
    EXPECT_EQ(Csv_State(), kCsvIdle);
    auto a = WriteEntry(dir, "a.dtr", 5), b = WriteEntry(dir, "b.dtr", 5);
    ASSERT_TRUE(Csv_Start({a, b}, dir.path()));
    EXPECT_EQ(page.waitMessage(),
              "All 2 drive test result files have been successfully exported to .csv files in folder\n" + dir.path());
    Csv_Close();  // joins the finished thread
    EXPECT_EQ(Csv_State(), kCsvIdle);
    EXPECT_EQ(page.labels, (std::vector<std::string>{"File 1 of 2", "File 2 of 2"}));
    EXPECT_EQ(FileCount(dir), 2u * 4u);
}

TEST(CsvModule, HomeCancelsBeforeTheNextSample) {
    TempDir dir;
    FakePage page;
    Csv_Init(page);
    auto a = WriteEntry(dir, "a.dtr", 5);
    page.hold();
    ASSERT_TRUE(Csv_Start({a}, dir.path()));
    page.waitEntered();
    EXPECT_EQ(Csv_State(), kCsvRunning);
    EXPECT_FALSE(Csv_Start({a}, dir.path()));  // one conversion at a time
    onCsvProgHome();
    EXPECT_EQ(Csv_State(), kCsvCancelRequested);
    page.release();
    EXPECT_EQ(page.waitMessage(), "Drive test result file conversion aborted by user.");
    Csv_Close();
    EXPECT_EQ(FileCount(dir), 1u);  // only the record file
    onCsvProgHome();                // idle: nothing to cancel
    EXPECT_EQ(Csv_State(), kCsvIdle);
}

TEST(CsvModule, CloseStopsARunningConversionAndWaitsForIt) {
    TempDir dir;
    FakePage page;
    Csv_Init(page);
    auto a = WriteEntry(dir, "a.dtr", 5);
    page.hold();
    ASSERT_TRUE(Csv_Start({a}, dir.path()));
    page.waitEntered();
    // Release the thread only once Close has asked it to stop.
    std::thread releaser([&] {
        while (Csv_State() != kCsvCancelRequested) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        page.release();
    });
    Csv_Close();
    releaser.join();
    EXPECT_EQ(Csv_State(), kCsvIdle);
    ASSERT_EQ(page.messages.size(), 1u);
    EXPECT_EQ(page.messages[0], "Drive test result file conversion aborted by user.");
    EXPECT_EQ(FileCount(dir), 1u);
}

}  // namespace
