#pragma once
// A whole drive test through the wizard's callbacks, as the pages will call
// them: two analyzers chosen on the hardware page (the first found as GPS
// provider), two frequencies for the first and one for the second, the
// default measurements, monitoring, 5 samples recorded, stop, and home. The
// record files are read back and must be in lock-step.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "drivetest/frequencylist.h"
#include "drivetest/wizardfakes.h"
#include "measure/drivetest.h"
#include "records/fileio.h"
#include "records/recording.h"

inline std::vector<double> WizardDrive_CycleStarts(const std::string& path) {
    std::vector<double> starts;
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    EXPECT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg)) << path << ": " << msg;
    RecordSample s;
    while (Recording_ReadSample(ctx, file, s)) starts.push_back(s.head.cycleStart.dateTime);
    FileIO_CloseRead(ctx);
    return starts;
}

inline bool WizardDrive_WaitWorker(int state, int seconds = 60) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (DriveTest_WorkerState() == state) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Waits until every measurement thread has prepared its analyzer and waits for a sample.
inline bool WizardDrive_WaitPrepared(std::size_t threads, int seconds = 90) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto t = DriveTest_Threads();
        if (t.size() == threads && std::all_of(t.begin(), t.end(), [](const auto& i) { return i.phase == kPhaseWaiting; }))
            return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// rowA and rowB are the analyzer table rows of the two analyzers to use;
// every other row is set to "Nothing".
inline void WizardDrive_Run(FakeWizardView& view, int rowA, int rowB) {
    const auto table = DriveTest_AnalyzerTable();
    for (int row = 2; row < static_cast<int>(table.size()) + 2; ++row)
        if (row != rowA && row != rowB) onDtHwTable(row, 3, "Nothing");
    onDtHwTable(rowA, 3, "Analyzer+GPS");
    onDtHwTable(rowB, 3, "Analyzer");
    ASSERT_EQ(DriveTest_CheckSelection(0, 1), 1) << (view.messages.empty() ? "" : view.messages.back());
    onDtHwNext();
    ASSERT_FALSE(view.pages.empty());
    ASSERT_EQ(view.pages.back(), WizardPage::Frequencies);
    ASSERT_EQ(DriveTest_WorkerState(), kWorkerEngaged);
    ASSERT_EQ(DriveTest_FrequencyBlockCount(), 2);

    // Block 1 at row 2, block 2 at row 3; the add button of row 2 opens a second row of block 1.
    auto set = [](int row, const char* description, const char* mhz) {
        ASSERT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, row, 3, description), 1);
        ASSERT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, row, 4, mhz), 1);
    };
    set(2, "Ch21", "474");
    onDtFreqTable(FreqTableEvent::ActiveCellChanged, 2, 2);
    set(3, "Ch22", "482");
    set(4, "Ch25", "506");
    onDtFreqNext();
    ASSERT_EQ(view.pages.back(), WizardPage::Measurements) << (view.messages.empty() ? "" : view.messages.back());
    ASSERT_EQ(DriveTest_FrequencyBlock(1).size(), 2u);
    ASSERT_EQ(DriveTest_FrequencyBlock(2).size(), 1u);

    onDtMeasNext();
    ASSERT_EQ(view.pages.back(), WizardPage::Recording);
    // Wait until both analyzers are prepared, then record 5 samples.
    ASSERT_TRUE(WizardDrive_WaitPrepared(2));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    ASSERT_TRUE(DriveTest_Record());
    auto taken = [] {
        const auto threads = DriveTest_Threads();
        int n = 0;
        if (!threads.empty())
            for (int c : threads.back().sampleCounts) n += c;
        return n;
    };
    while (taken() < 5 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GE(taken(), 5);
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 3u);

    // Lock-step: analyzer 1 alternates between its two frequencies, analyzer 2
    // measures its one frequency in every sample of the same clock.
    auto fileOf = [&](const char* description) {
        for (const auto& f : files)
            if (f.find(description) != std::string::npos) return f;
        ADD_FAILURE() << "no record file for " << description;
        return std::string();
    };
    auto a = WizardDrive_CycleStarts(fileOf("Ch21"));
    const auto a2 = WizardDrive_CycleStarts(fileOf("Ch22"));
    const auto b = WizardDrive_CycleStarts(fileOf("Ch25"));
    a.insert(a.end(), a2.begin(), a2.end());
    std::sort(a.begin(), a.end());
    EXPECT_GE(b.size(), 5u);
    EXPECT_EQ(a, b);

    onDtRecHome();
    EXPECT_EQ(view.pages.back(), WizardPage::Home);
    EXPECT_EQ(DriveTest_WorkerState(), kWorkerWaiting);
    EXPECT_TRUE(DriveTest_Threads().empty());
}
