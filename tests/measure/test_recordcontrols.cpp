// Record / Pause / Stop against simulated analyzers: the one button toggles
// and stays dimmed until every thread has answered, the free-space rule
// refuses without touching the controls, and every kind of stop hands the
// controls back with the button reading "Record".
#include <gtest/gtest.h>

#include <future>
#include <mutex>

#include "measure/recordcontrols.h"
#include "measure/simdrivetest.h"
#include "support/simprocess.h"

namespace {

struct Controls {
    std::string label;
    bool button = false, stop = false, page = false;
    bool operator==(const Controls&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Controls& c) {
    return os << c.label << (c.button ? " on" : " dim") << ", Stop " << (c.stop ? "on" : "dim") << ", Home/Previous "
              << (c.page ? "on" : "dim");
}

const Controls kReady{"Record", true, false, true};

class ControlsView : public NullDriveTestView, public RecordControlsView {
public:
    void message(const std::string& text) override {
        std::lock_guard<std::mutex> l(m);
        messages.push_back(text);
    }
    void recordingStopped() override { RecordControls_Stopped(); }
    void setRecordButton(const std::string& label, bool enabled) override {
        std::lock_guard<std::mutex> l(m);
        now.label = label;
        now.button = enabled;
        ++calls;
    }
    void setStopEnabled(bool enabled) override {
        std::lock_guard<std::mutex> l(m);
        now.stop = enabled;
        ++calls;
    }
    void setPageButtonsEnabled(bool enabled) override {
        std::lock_guard<std::mutex> l(m);
        now.page = enabled;
        ++calls;
    }
    Controls controls() {
        std::lock_guard<std::mutex> l(m);
        return now;
    }
    std::vector<std::string> shown() {
        std::lock_guard<std::mutex> l(m);
        return messages;
    }
    std::mutex m;
    Controls now;
    int calls = 0;
    std::vector<std::string> messages;
};

void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

class RecordControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (SimProcess_Binary().empty()) GTEST_SKIP() << "simulator not built";
        DriveTest_SetFreeSpaceProbe([](const std::string&) { return std::int64_t(10000) << 20; });
    }
    void TearDown() override {
        RecordControls_Close(view);
        DriveTest_Release();
        DriveTest_SetFreeSpaceProbe(nullptr);
    }
    // One analyzer at address, monitoring and prepared; the controls on view.
    void Start(const std::string& address) {
        sim = std::make_unique<SimProcess>("Alvra", address, 5025, std::vector<std::string>{"--settle-ms", "100"});
        ASSERT_TRUE(sim->ready());
        std::string error;
        ASSERT_TRUE(DriveTest_Start(SimDriveTest_Setup(dir, {SimDriveTest_Analyzer(address, true, {474.0, 482.0}, "C")}),
                                    view, error))
            << error;
        DriveTest_RequestState(kStateMonitoring);
        ASSERT_TRUE(SimDriveTest_WaitFor(SimDriveTest_AllWaiting, Nap));
        RecordControls_Init(view);
        ASSERT_EQ(view.controls(), kReady);
    }
    bool WaitControls(const Controls& c) {
        return SimDriveTest_WaitFor([&] { return view.controls() == c; }, Nap);
    }
    TempDir dir;
    ControlsView view;
    std::unique_ptr<SimProcess> sim;
};

}  // namespace

TEST_F(RecordControlsTest, RecordPauseRecordStop) {
    Start("127.0.8.11");
    // Each press dims at once; the button comes back once every thread is there.
    const struct {
        Controls pressed, done;
        int state;
    } steps[] = {
        {{"Pause", false, true, false}, {"Pause", true, true, false}, kStateRecording},
        {{"Record", false, true, false}, {"Record", true, true, false}, kStatePaused},
        {{"Pause", false, true, false}, {"Pause", true, true, false}, kStateRecording},
    };
    for (const auto& step : steps) {
        onRecordPause();
        const Controls pressed = view.controls();
        if (pressed != step.done) {  // unless the request was that quick
            EXPECT_EQ(pressed, step.pressed);
        }
        ASSERT_TRUE(WaitControls(step.done)) << view.controls();
        EXPECT_TRUE(SimDriveTest_AllIn(step.state)) << "the button came back before the threads were there";
        EXPECT_EQ(RecordControls_Label(), step.done.label);
    }
    onFinish();
    ASSERT_TRUE(WaitControls(kReady)) << view.controls();
    EXPECT_TRUE(SimDriveTest_AllIn(kStateMonitoring));
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    const auto shown = view.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("All drive test results have been successfully written to\n", 0), 0u) << shown[0];
    for (const auto& f : files) EXPECT_NE(shown[0].find(f), std::string::npos) << f;
}

// 500 MB free refuses without dimming anything; 501 MB records. A stop that a
// thread raises (a write error) hands the controls back too, and a Pause that
// meets the stored stop returns instead of waiting for a state the monitoring
// threads never reach.
TEST_F(RecordControlsTest, FreeSpaceRuleAndStopFromAThread) {
    Start("127.0.8.12");
    DriveTest_SetFreeSpaceProbe([](const std::string&) { return std::int64_t(500) << 20; });
    const int callsBefore = view.calls;
    onRecordPause();
    ASSERT_EQ(view.shown().size(), 1u);
    EXPECT_EQ(view.shown()[0],
              "Not enough free diskspace (500 MB) in selected output directory: At least 500 MB are required.\nSelect "
              "another output directory.");
    EXPECT_EQ(view.calls, callsBefore) << "a refused Record touched the controls";
    EXPECT_TRUE(SimDriveTest_AllIn(kStateMonitoring));

    DriveTest_SetFreeSpaceProbe([](const std::string&) { return (std::int64_t(501) << 20) + 5; });
    onRecordPause();
    ASSERT_TRUE(WaitControls({"Pause", true, true, false})) << view.controls();
    ASSERT_TRUE(SimDriveTest_AllIn(kStateRecording));

    DriveTest_Stop(kStopFileWrite);
    auto pause = std::async(std::launch::async, [] { return DriveTest_Pause(); });
    ASSERT_EQ(pause.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "Pause hangs after a stop";
    EXPECT_FALSE(pause.get());
    ASSERT_TRUE(WaitControls(kReady)) << view.controls();
    ASSERT_EQ(view.shown().size(), 2u);
    EXPECT_EQ(view.shown()[1], "The drive test had to be stopped:\n\nFile write error");
    EXPECT_TRUE(SimDriveTest_AllIn(kStateMonitoring));
}

// Stop pressed right after Record must stop the recording that Record starts,
// not run ahead of it and leave the threads recording behind a "Record" button.
TEST_F(RecordControlsTest, StopRightAfterRecordStopsThatRecording) {
    Start("127.0.8.13");
    // Record's own look at the free space (in its request thread) is slow here,
    // so that the Stop thread would overtake it if it did not wait its turn.
    const auto mainThread = std::this_thread::get_id();
    DriveTest_SetFreeSpaceProbe([mainThread](const std::string&) {
        if (std::this_thread::get_id() != mainThread) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return std::int64_t(10000) << 20;
    });
    onRecordPause();
    onFinish();
    EXPECT_EQ(view.controls(), (Controls{"Pause", false, false, false}));
    ASSERT_TRUE(WaitControls(kReady)) << view.controls();
    EXPECT_EQ(DriveTest_StopReason(), kStopPressed);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(SimDriveTest_AllIn(kStateMonitoring));
    const auto shown = view.shown();
    ASSERT_EQ(shown.size(), 1u);
    ASSERT_EQ(DriveTest_RecordFiles().size(), 2u);
    EXPECT_NE(shown[0].find(DriveTest_RecordFiles()[0]), std::string::npos) << shown[0];
}
