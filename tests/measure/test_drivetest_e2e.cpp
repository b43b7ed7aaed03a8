// Drive tests against simulated analyzers on loopback addresses: lock-step
// samples, re-initialisation after faults, invalid results.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <thread>

#include "instrument/configcheck.h"
#include "drivetest/measurementselection.h"
#include "instrument/tcpscpi.h"
#include "measure/drivetest.h"
#include "platform/datetime.h"
#include "platform/text.h"
#include "records/recordfixture.h"
#include "records/recording.h"
#include "simcommands.h"
#include "simresults.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "measure/simdrivetest.h"

namespace {

constexpr int kPort = 5025;

struct FileSamples {
    RecordFile file;
    std::vector<RecordSample> samples;
};

FileSamples ReadAll(const std::string& path) {
    FileSamples fs;
    std::string msg;
    EXPECT_TRUE(ReadTestSamples(path, fs.file, fs.samples, &msg)) << path << ": " << msg;
    return fs;
}

// The shared analyzer, which must have passed the check and validation.
DriveTestAnalyzer Analyzer(const std::string& address, bool gps, const std::vector<double>& mhz,
                           const std::string& prefix) {
    DriveTestAnalyzer a = SimDriveTest_Analyzer(address, gps, mhz, prefix);
    EXPECT_STREQ(a.slot.status, "OK") << address;
    return a;
}

DriveTestSetup MakeSetup(const TempDir& dir, std::vector<DriveTestAnalyzer> analyzers) {
    return SimDriveTest_Setup(dir, std::move(analyzers));
}

// Monitoring until every analyzer is prepared and waits for the first sample, as a user would before Record.
void MonitorUntilPrepared(int timeoutSeconds) {
    DriveTest_RequestState(kStateMonitoring);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < until) {
        bool all = true;
        for (const auto& t : DriveTest_Threads()) all = all && t.phase == kPhaseWaiting;
        if (all) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// Records until the first analyzer has taken `samples` samples (or the time runs out).
bool RecordSamples(int samples, int timeoutSeconds) {
    MonitorUntilPrepared(60);
    if (!DriveTest_Record()) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < until) {
        auto threads = DriveTest_Threads();
        int taken = 0;
        for (int c : threads.front().sampleCounts) taken += c;
        if (taken >= samples) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    DriveTest_Stop(kStopPressed);
    return DriveTest_WaitStopped(60000);
}

class RecordingView : public NullDriveTestView {
public:
    void message(const std::string& text) override {
        std::lock_guard<std::mutex> l(m);
        messages.push_back(text);
    }
    void statusCell(int row, int column, const std::string& text, RowColour) override {
        std::lock_guard<std::mutex> l(m);
        if (column == 2) statusTexts.push_back({row, text});
    }
    // True when a status cell of the row showed text (row 0: any row).
    bool showed(const std::string& text, int row = 0) {
        std::lock_guard<std::mutex> l(m);
        for (const auto& [r, t] : statusTexts)
            if ((row == 0 || r == row) && t.find(text) != std::string::npos) return true;
        return false;
    }
    std::mutex m;
    std::vector<std::string> messages;
    std::vector<std::pair<int, std::string>> statusTexts;
};

class DriveTestE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (SimProcess_Binary().empty()) GTEST_SKIP() << "simulator not built";
        DriveTest_SetFreeSpaceProbe(nullptr);
    }
    void TearDown() override { DriveTest_Release(); }
    // The engine's threads use the view until the release in TearDown: it
    // must outlive the test body's locals.
    RecordingView view;
};

}  // namespace

TEST_F(DriveTestE2E, OneAnalyzerTwoFrequencies) {
    SimProcess sim("Alvra", "127.0.1.11", kPort, {"--seed", "11", "--settle-ms", "100"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.11", true, {474.0, 482.0}, "Ch")}), view, error)) << error;
    ASSERT_TRUE(RecordSamples(4, 90));
    ASSERT_EQ(DriveTest_StopReason(), kStopPressed);
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind("All drive test results have been successfully written to\n", 0), 0u);
    EXPECT_NE(view.messages[0].find(files[1]), std::string::npos);

    // Frequencies take turns: together the files hold every sample, each one second or more apart.
    std::vector<double> starts;
    for (const auto& path : files) {
        auto fs = ReadAll(path);
        EXPECT_GE(fs.samples.size(), 2u) << path;
        EXPECT_EQ(fs.file.header.valueCount, 8);
        EXPECT_EQ(fs.file.header.graphCount, 1);
        for (const auto& s : fs.samples) {
            starts.push_back(s.head.cycleStart.dateTime);
            EXPECT_STREQ(s.head.status, kStatusNoError);
            EXPECT_EQ(s.head.gps.gpsFix, 1);
            EXPECT_LE(s.head.cycleStart.dateTime, s.head.cycleEnd.dateTime);
            EXPECT_EQ(s.values[0], 1.0) << "the level is always measured";
        }
    }
    std::sort(starts.begin(), starts.end());
    for (std::size_t i = 1; i < starts.size(); ++i) EXPECT_GE(starts[i] - starts[i - 1], 1.0);
}

TEST_F(DriveTestE2E, TwoAnalyzersRecordInLockStep) {
    SimProcess a("Alvra", "127.0.1.21", kPort, {"--seed", "21", "--settle-ms", "100"});
    SimProcess b("Alvra", "127.0.1.22", kPort, {"--seed", "22", "--settle-ms", "100", "--latency-ms", "30"});
    ASSERT_TRUE(a.ready());
    ASSERT_TRUE(b.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.21", false, {474.0}, "A"),
                                            Analyzer("127.0.1.22", true, {474.0}, "B")}),
                                view, error))
        << error;
    ASSERT_TRUE(RecordSamples(6, 90));
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    auto fa = ReadAll(files[0]), fb = ReadAll(files[1]);
    ASSERT_GE(fa.samples.size(), 6u) << files[0] << " / " << fb.samples.size();
    ASSERT_EQ(fa.samples.size(), fb.samples.size());
    for (std::size_t i = 0; i < fa.samples.size(); ++i) {
        const auto &x = fa.samples[i].head, &y = fb.samples[i].head;
        EXPECT_EQ(x.cycleStart.dateTime, y.cycleStart.dateTime) << "sample " << i;
        EXPECT_EQ(x.cycleEnd.dateTime, y.cycleEnd.dateTime) << "sample " << i;
        EXPECT_EQ(std::memcmp(&x.gps, &y.gps, sizeof x.gps), 0) << "sample " << i;
    }
}

// A power cycle: the connection drops, the analyzer is off the network for
// two seconds and comes back with its power-on settings. The sample it was
// in is stored without values, with the reason; the setup read back after
// the reconnect no longer holds, so the analyzer is prepared again from the
// start, and recording goes on.
TEST_F(DriveTestE2E, PowerCycleLeadsToReInit) {
    SimProcess sim("Alvra", "127.0.1.31", kPort,
                   {"--seed", "31", "--settle-ms", "100", "--drop-at-seconds", "9", "--drop-down-seconds", "2",
                    "--drop-resets"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.31", true, {474.0}, "D")}), view, error)) << error;
    MonitorUntilPrepared(60);
    ASSERT_TRUE(DriveTest_Record());
    // Record until the re-initialisation is over and three good samples followed it.
    bool sawReinit = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < until) {
        auto t = DriveTest_Threads().front();
        if (!t.lastReinitReason.empty()) sawReinit = true;
        if (sawReinit && t.lastReinitReason.empty() && !t.sampleCounts.empty() && t.sampleCounts[0] >= 12) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    EXPECT_TRUE(sawReinit) << "the status must show the re-initialisation";
    EXPECT_TRUE(view.showed("State not acknowledged")) << "the setup read back tells the analyzer lost it";
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    auto fs = ReadAll(files[0]);
    int spoiled = -1;
    for (std::size_t i = 0; i < fs.samples.size(); ++i)
        if (std::strcmp(fs.samples[i].head.status, kStatusNoError) != 0 && spoiled < 0) spoiled = static_cast<int>(i);
    ASSERT_GE(spoiled, 0) << "the spoiled sample is stored";
    const auto& bad = fs.samples[static_cast<std::size_t>(spoiled)];
    EXPECT_NE(std::strstr(bad.head.status, " -> "), nullptr) << bad.head.status;
    for (double v : bad.values) EXPECT_EQ(v, 0.0) << "a spoiled sample carries no values";
    ASSERT_GT(fs.samples.size(), static_cast<std::size_t>(spoiled + 2)) << "recording went on";
    EXPECT_STREQ(fs.samples.back().head.status, kStatusNoError);
}

// A dropped connection to an analyzer that kept its settings is made again at
// once, without the watchdog and without preparing the analyzer again.
TEST_F(DriveTestE2E, DroppedConnectionIsMadeAgainWithoutPreparation) {
    SimProcess sim("Alvra", "127.0.1.32", kPort, {"--seed", "32", "--settle-ms", "100", "--drop-at-seconds", "9"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.32", true, {474.0}, "K")}), view, error)) << error;
    MonitorUntilPrepared(60);
    ASSERT_TRUE(DriveTest_Record());
    bool sawReinit = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until) {
        auto t = DriveTest_Threads().front();
        sawReinit = sawReinit || !t.lastReinitReason.empty() || t.phase == kPhaseInit;
        if (!t.sampleCounts.empty() && t.sampleCounts[0] >= 14) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    EXPECT_TRUE(view.showed("TV analyzer setup check")) << "the drop was seen and the setup read back";
    EXPECT_FALSE(sawReinit);
    EXPECT_FALSE(view.showed("ReInit"));
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    auto fs = ReadAll(files[0]);
    ASSERT_GE(fs.samples.size(), 14u);
    int spoiled = 0;
    for (const auto& s : fs.samples) spoiled += std::strcmp(s.head.status, kStatusNoError) != 0;
    EXPECT_LE(spoiled, 1) << "at most the sample the drop fell into";
}

// An analyzer that stops answering drops out of the samples after its
// re-initialisation starts; the other analyzer keeps recording.
TEST_F(DriveTestE2E, SilentAnalyzerDoesNotHoldUpTheOther) {
    SimProcess a("Alvra", "127.0.1.41", kPort, {"--seed", "41", "--settle-ms", "100"});
    SimProcess b("Alvra", "127.0.1.42", kPort, {"--seed", "42", "--settle-ms", "100"});
    ASSERT_TRUE(a.ready());
    ASSERT_TRUE(b.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.41", true, {474.0}, "A"),
                                            Analyzer("127.0.1.42", false, {474.0}, "B")}),
                                view, error))
        << error;
    MonitorUntilPrepared(60);
    ASSERT_TRUE(DriveTest_Record());
    auto countA = [] { return DriveTest_Threads().front().sampleCounts.front(); };
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (countA() < 3 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    b.pause();
    const int atSilence = countA();
    std::this_thread::sleep_for(std::chrono::seconds(20));
    const int after = countA();
    b.resume();
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    EXPECT_GE(after - atSilence, 5) << "analyzer A went on sampling while B was silent";
}

// Undefined results ("99.1e+36", "---") are stored as invalid, never as numbers.
TEST_F(DriveTestE2E, UndefinedResultsAreStoredInvalid) {
    SimProcess sim("Alvra", "127.0.1.51", kPort, {"--seed", "51", "--settle-ms", "100", "--undefined-share", "0.4"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.51", true, {474.0}, "U")}), view, error)) << error;
    ASSERT_TRUE(RecordSamples(6, 90));
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 1u);
    auto fs = ReadAll(files[0]);
    ASSERT_GE(fs.samples.size(), 6u);
    int invalid = 0;
    for (const auto& s : fs.samples)
        for (std::size_t i = 0; i + 1 < s.values.size(); i += 2) {
            if (s.values[i] == 0.0) {
                ++invalid;
                EXPECT_EQ(s.values[i + 1], 0.0);
            } else {
                EXPECT_LT(std::fabs(s.values[i + 1]), 1e30) << "an undefined result became a number";
            }
        }
    EXPECT_GT(invalid, 0);
}

// A sample that leaves less than 200 MB stops the drive test (the refusal of
// Record at 500 MB is RecordControlsTest.FreeSpaceRuleAndStopFromAThread's).
TEST_F(DriveTestE2E, LowFreeSpaceStopsTheRecording) {
    SimProcess sim("Alvra", "127.0.1.61", kPort, {"--seed", "61", "--settle-ms", "100"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.61", true, {474.0}, "F")}), view, error)) << error;
    DriveTest_RequestState(kStateMonitoring);
    std::atomic<std::int64_t> free{std::int64_t{501} << 20};
    DriveTest_SetFreeSpaceProbe([&](const std::string&) { return free.load(); });
    ASSERT_TRUE(DriveTest_Record());
    free = std::int64_t{200} << 20;
    std::this_thread::sleep_for(std::chrono::seconds(8));
    EXPECT_EQ(DriveTest_StopReason(), "") << "200 MB is still enough";
    free = std::int64_t{199} << 20;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (DriveTest_StopReason().empty() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(DriveTest_StopReason(), "Free diskspace (199 MB) below lower limit (200 MB)");
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    std::lock_guard<std::mutex> l(view.m);
    EXPECT_EQ(view.messages.back(), "The drive test had to be stopped:\n\nFree diskspace (199 MB) below lower limit (200 MB)");
    DriveTest_SetFreeSpaceProbe(nullptr);
}

// Record, Pause, Record, Stop: every file of the recording is in the stop
// report (the second Record used to empty the list); only a new recording
// starts a new list.
TEST_F(DriveTestE2E, PauseAndRecordKeepTheFilesInTheStopReport) {
    SimProcess sim("Alvra", "127.0.1.71", kPort, {"--seed", "71", "--settle-ms", "100"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.71", true, {474.0, 482.0}, "P")}), view, error))
        << error;
    auto samplesTaken = [] {
        const auto threads = DriveTest_Threads();
        int taken = 0;
        for (int c : threads.front().sampleCounts) taken += c;
        return taken;
    };
    auto recordUntil = [&](int samples) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (samplesTaken() < samples && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (samplesTaken() >= samples) return true;
        const auto t = DriveTest_Threads().front();
        ADD_FAILURE() << "state " << t.currentState << ", phase " << t.phase << ", step " << t.step << ": "
                      << t.stepDescription << " / " << t.stepError;
        return false;
    };
    MonitorUntilPrepared(60);
    ASSERT_TRUE(DriveTest_Record());
    ASSERT_TRUE(recordUntil(1));
    DriveTest_Pause();
    ASSERT_TRUE(DriveTest_Record());
    ASSERT_TRUE(recordUntil(3)) << "recording goes on after the pause";
    const auto first = DriveTest_RecordFiles();
    ASSERT_EQ(first.size(), 2u);
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    EXPECT_EQ(DriveTest_RecordFiles(), first);
    {
        std::lock_guard<std::mutex> l(view.m);
        ASSERT_EQ(view.messages.size(), 1u);
        for (const auto& f : first) EXPECT_NE(view.messages[0].find(f), std::string::npos) << f;
    }

    // A new recording lists its own files only.
    ASSERT_TRUE(DriveTest_Record());
    ASSERT_TRUE(recordUntil(1));
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    const auto second = DriveTest_RecordFiles();
    ASSERT_EQ(second.size(), 2u);
    for (const auto& f : second) EXPECT_EQ(std::find(first.begin(), first.end(), f), first.end()) << f;
    std::lock_guard<std::mutex> l(view.m);
    ASSERT_EQ(view.messages.size(), 2u);
    for (const auto& f : first) EXPECT_EQ(view.messages[1].find(f), std::string::npos) << f;
}

// An engaged analyzer that is prepared and idle sleeps between the passes of
// its thread instead of spinning. A spinning thread makes millions of passes
// in two seconds; one that sleeps 100 ms between them about twenty.
TEST_F(DriveTestE2E, IdleThreadSleepsBetweenPasses) {
    SimProcess sim("Alvra", "127.0.1.81", kPort, {"--seed", "81", "--settle-ms", "100"});
    ASSERT_TRUE(sim.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.81", true, {474.0}, "I")}), view, error)) << error;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (DriveTest_Threads().front().phase != kPhaseFrequencySetup && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto before = DriveTest_Threads().front();
    ASSERT_EQ(before.phase, kPhaseFrequencySetup) << before.stepDescription << ": " << before.stepError;
    ASSERT_EQ(before.currentState, kStateIdle);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto after = DriveTest_Threads().front();
    EXPECT_EQ(after.phase, kPhaseFrequencySetup);
    EXPECT_LE(after.passes - before.passes, 100u);
    // Still listening: a request is taken up at once.
    MonitorUntilPrepared(60);
    EXPECT_EQ(DriveTest_Threads().front().phase, kPhaseWaiting);
}

namespace {

// The value of a valid slot as the simulator's --tag-results answers it: the
// tag of the value's own query, or 0/1 for the sync state.
void ExpectOwnReplies(const FileSamples& fs, const BroadcastStandard& standard, const std::string& path) {
    for (std::size_t k = 0; k < fs.file.values.size(); ++k) {
        const MeasurementValue* v = nullptr;
        for (const auto& candidate : standard.values)
            if (!std::strcmp(candidate.group, fs.file.values[k].group) && !std::strcmp(candidate.name, fs.file.values[k].name))
                v = &candidate;
        ASSERT_NE(v, nullptr) << fs.file.values[k].longName;
        const bool sync = !v->query[0] || std::strcmp(v->query, standard.syncQuery) == 0;
        const double tag = static_cast<double>(SimResults_Tag(SimCommands_NormaliseQuery(v->query)));
        for (std::size_t i = 0; i < fs.samples.size(); ++i) {
            const auto& values = fs.samples[i].values;
            if (values[2 * k] == 0.0) continue;
            const double got = values[2 * k + 1];
            if (sync)
                EXPECT_TRUE(got == 0.0 || got == 1.0) << path << " sample " << i << " " << v->longName << ": " << got;
            else
                EXPECT_DOUBLE_EQ(got / v->scale, tag) << path << " sample " << i << " " << v->longName;
        }
    }
    for (std::size_t i = 0; i < fs.samples.size(); ++i) {
        const DriveTestSample& h = fs.samples[i].head;
        EXPECT_LT(h.attStart, 1000.0) << path << " sample " << i << ": a result taken for the attenuation";
        EXPECT_LT(h.attStop, 1000.0) << path << " sample " << i;
        if (h.gps.gpsFix) {
            EXPECT_NEAR(h.gps.latitude, 48.137, 0.5) << path << " sample " << i;
            EXPECT_NEAR(h.gps.longitude, 11.575, 0.5) << path << " sample " << i;
        }
    }
}

}  // namespace

// Three analyzers, two of which answer late now and then (late enough to be
// collected by the query's next attempt, or too late for that) or not at all.
// No stored value belongs to another query than its own, every stored sample
// carries the same times and position as the others of its sample, and the
// healthy analyzer records every sample and is never spoiled.
TEST_F(DriveTestE2E, LateAndLostRepliesStayWithTheirQueries) {
    SimProcess a("Alvra", "127.0.1.91", kPort,
                 {"--seed", "91", "--settle-ms", "100", "--tag-results", "--late-share", "0.05", "--late-ms", "600"});
    SimProcess b("Alvra", "127.0.1.92", kPort,
                 {"--seed", "92", "--settle-ms", "100", "--tag-results", "--late-share", "0.04", "--late-ms", "1000",
                  "--no-reply-share", "0.03"});
    SimProcess c("Alvra", "127.0.1.93", kPort, {"--seed", "93", "--settle-ms", "100", "--tag-results"});
    ASSERT_TRUE(a.ready());
    ASSERT_TRUE(b.ready());
    ASSERT_TRUE(c.ready());
    TempDir dir;
    std::string error;
    ASSERT_TRUE(DriveTest_Start(MakeSetup(dir, {Analyzer("127.0.1.91", true, {474.0}, "A"),
                                            Analyzer("127.0.1.92", false, {482.0}, "B"),
                                            Analyzer("127.0.1.93", false, {490.0}, "C")}),
                                view, error))
        << error;
    MonitorUntilPrepared(90);
    ASSERT_TRUE(DriveTest_Record());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    auto healthySamples = [] {
        const auto t = DriveTest_Threads().back();
        return t.sampleCounts.empty() ? 0 : t.sampleCounts.front();
    };
    while (std::chrono::steady_clock::now() < until && healthySamples() < 15)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    DriveTest_Stop(kStopPressed);
    ASSERT_TRUE(DriveTest_WaitStopped(60000));
    EXPECT_TRUE(view.showed("TCP read timeout")) << "the status shows what is retried";

    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 3u);
    const BroadcastStandard* standard = nullptr;
    for (const auto& st : ReceiverInfo_Families().front().standards)
        if (std::strcmp(st.name, "DVB-T / DVB-H") == 0) standard = &st;
    ASSERT_NE(standard, nullptr);
    // The healthy analyzer's samples first; every other sample must be one of them.
    std::vector<std::string> paths = files;
    std::stable_partition(paths.begin(), paths.end(),
                          [](const std::string& p) { return p.find(" C1.dtr") != std::string::npos; });
    ASSERT_NE(paths[0].find(" C1.dtr"), std::string::npos);
    std::vector<FileSamples> read;
    for (const auto& path : paths) {
        read.push_back(ReadAll(path));
        ExpectOwnReplies(read.back(), *standard, path);
    }
    std::map<double, std::pair<double, std::vector<char>>> samples;  // start -> end, position
    for (std::size_t f = 0; f < read.size(); ++f) {
        for (const auto& s : read[f].samples) {
            const auto& h = s.head;
            const std::vector<char> position(reinterpret_cast<const char*>(&h.gps),
                                             reinterpret_cast<const char*>(&h.gps) + sizeof h.gps);
            if (f == 0) {
                EXPECT_STREQ(h.status, kStatusNoError) << "the healthy analyzer is never spoiled";
                samples.emplace(h.cycleStart.dateTime, std::make_pair(h.cycleEnd.dateTime, position));
                continue;
            }
            const auto it = samples.find(h.cycleStart.dateTime);
            ASSERT_NE(it, samples.end()) << paths[f] << ": a sample the others did not take";
            EXPECT_EQ(it->second.first, h.cycleEnd.dateTime) << paths[f] << ": one sample, one end";
            EXPECT_EQ(it->second.second, position) << paths[f] << ": one sample, one position";
        }
    }
    EXPECT_GE(read[0].samples.size(), 15u);
}
