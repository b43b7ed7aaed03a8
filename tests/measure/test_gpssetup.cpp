// The GPS receiver setup against simulated analyzers on loopback addresses,
// through a view and a wizard that record what they are told.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "instrument/tcpscpi.h"
#include "instrument/test_tcpscpi_peer.h"
#include "measure/gpssetup.h"
#include "platform/text.h"
#include "support/simprocess.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRow = 2;  // the first analyzer of the hardware table
constexpr const char* kNmea = "NMEA compatible with virtual COM port interface";
constexpr const char* kDetected = "result Status|GPS receiver detected|150,255,150";
constexpr const char* kNotYet = "result Status|GPS receiver not detected yet|255,255,150";
constexpr const char* kNotResponding = "result Status|TV analyzer not responding|255,150,150";
constexpr const char* kNoReply = "result Status|---|255,255,255";

std::string Colour(RowColour c) { return Text_Format("%d,%d,%d", c.r, c.g, c.b); }

// The panel and the wizard at once: every call becomes a line of one log
// (the wizard's lines start with "host"), so that tests can wait for a line
// and look at what came after a point.
class Fakes : public GpsSetupView, public GpsSetupHost {
public:
    // port 0: the family's SCPI port.
    Fakes(const char* family, const char* address, int port = 0) {
        ReceiverInfo_Init();
        ReceiverInfo_CopyFamily(slot_.family, ReceiverInfo_Families()[ReceiverInfo_FindFamilyByName(family) - 1]);
        Text_Copy(slot_.address, address);
        if (port) slot_.family.scpiPort = port;
    }
    void showReceivers(const std::vector<std::string>& names) override {
        std::string line = "receivers";
        for (const auto& n : names) line += "|" + n;
        add(line);
    }
    void setControlsEnabled(bool enabled) override { add(enabled ? "controls on" : "controls off"); }
    void showInputs(const std::vector<GpsSetupInputRow>& rows) override {
        std::string line = "inputs";
        for (const auto& r : rows)
            line += Text_Format("|%s %d..%d ", r.description.c_str(), r.minimum, r.maximum) + Colour(r.colour) + " " + r.help;
        add(line);
    }
    void showProgress(const std::string& caption, int percent) override {
        EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
        add("progress " + caption);
    }
    void showResult(const std::string& caption, const std::string& text, RowColour colour) override {
        add("result " + caption + "|" + text + "|" + Colour(colour));
    }
    void showPanel(bool shown) override { add(shown ? "panel shown" : "panel hidden"); }
    void setMainTabsEnabled(bool enabled) override { add(enabled ? "tabs on" : "tabs off"); }

    bool slot(int row, AnalyzerSlot& s) override {
        add(Text_Format("host slot %d", row));
        s = slot_;
        return true;
    }
    void storeSlot(int row, const AnalyzerSlot& s) override { add(Text_Format("host store %d gpsDetected=%d", row, s.gpsDetected)); }
    void setRoleAnalyzer(int row) override { add(Text_Format("host role %d", row)); }
    void recheckSelection(int row) override { add(Text_Format("host recheck %d", row)); }

    std::size_t size() { return since(0).size(); }
    std::vector<std::string> since(std::size_t from) {
        std::lock_guard<std::mutex> lock(m_);
        return {log_.begin() + static_cast<long>(std::min(from, log_.size())), log_.end()};
    }
    bool seen(const std::string& line, std::size_t from = 0) {
        const auto lines = since(from);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Waits up to 15 s until `line` was logged at or after position `from`.
    bool waitFor(const std::string& line, std::size_t from = 0) {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(15), [&] {
            return std::find(log_.begin() + static_cast<long>(std::min(from, log_.size())), log_.end(), line) != log_.end();
        });
    }
    std::vector<std::string> hostCalls() {
        std::vector<std::string> calls;
        for (const auto& line : since(0))
            if (line.rfind("host ", 0) == 0) calls.push_back(line.substr(5));
        return calls;
    }

private:
    void add(std::string line) {
        std::lock_guard<std::mutex> lock(m_);
        log_.push_back(std::move(line));
        cv_.notify_all();
    }
    AnalyzerSlot slot_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::string> log_;
};

const std::vector<std::string> kClosedDetected = {"slot 2", "store 2 gpsDetected=1", "recheck 2"};
// The slot is stored before the wizard looks at the role and the selection again.
const std::vector<std::string> kClosedNotDetected = {"slot 2", "store 2 gpsDetected=0", "role 2", "recheck 2"};

// Fakes for each setup, a short settling pause; the step time-out keeps its product value unless a test shortens it.
class GpsSetupTest : public ::testing::Test {
protected:
    void start(const char* family, const char* address, double stepTimeoutSeconds = 40.0, int port = 0) {
        TcpScpi_Init();
        GpsSetup_Close();  // the setup of an earlier case still talks to its fakes
        fakes_ = std::make_unique<Fakes>(family, address, port);
        GpsSetup_SetTiming({stepTimeoutSeconds, 0.2});
        GpsSetup_Init(fakes_.get(), fakes_.get());
    }
    void TearDown() override {
        GpsSetup_Close();
        GpsSetup_SetTiming(GpsSetupTiming{});
    }
    std::unique_ptr<Fakes> fakes_;
};

SimProcess Sim(const char* family, const char* address, std::vector<std::string> extra) {
    ReceiverInfo_Init();
    return SimProcess(family, address, ReceiverInfo_Families()[ReceiverInfo_FindFamilyByName(family) - 1].scpiPort, extra);
}

// A first-family analyzer played by the test on 127.0.0.1: it takes
// connection after connection, each served on a thread of its own, confirms
// and reads back every setting, and hands each receiver query to `gps` with
// its number (1-based, counted over all connections). `gps` answers on the
// link or not; false ends the connection.
class ScriptedAnalyzer {
public:
    using Gps = std::function<bool(int query, PeerLink& link, ScriptedAnalyzer& analyzer)>;

    explicit ScriptedAnalyzer(Gps gps) : gps_(std::move(gps)) {
        listener_ = LoopbackListener(port_);
        if (listener_ < 0) return;
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~ScriptedAnalyzer() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        refuse();
        for (auto& t : served_) t.join();
    }
    int port() const { return port_; }
    int connections() const { return connections_; }
    // Stops listening: connecting again is refused, as by an analyzer switched off.
    void refuse() {
        std::lock_guard<std::mutex> lock(m_);
        if (listener_ >= 0) close(listener_);
        listener_ = -1;
    }

private:
    void acceptLoop() {
        while (!stop_) {
            int listener;
            {
                std::lock_guard<std::mutex> lock(m_);
                listener = listener_;
            }
            if (listener < 0) return;
            pollfd p{listener, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            served_.emplace_back([this, fd] { serve(fd); });
        }
    }
    void serve(int fd) {
        PeerLink link(fd);
        std::map<std::string, std::string> values;
        while (!stop_) {
            auto line = link.ReadLine(100);
            if (!line) {
                if (link.WaitForEndOfStream(0)) return;
                continue;
            }
            if (*line == "SYST:POS:GPS:CONN?") {
                if (!gps_(++queries_, link, *this)) return;
            } else if (const auto opc = line->find(";*OPC?"); opc != std::string::npos) {
                const auto blank = line->find(' ');
                values[line->substr(0, blank)] = line->substr(blank + 1, opc - blank - 1);
                link.Send("1\n");
            } else if (line->back() == '?') {
                link.Send(values[line->substr(0, line->size() - 1)] + "\n");
            }
        }
    }

    Gps gps_;
    std::mutex m_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0}, queries_{0};
    std::thread acceptor_;
    std::vector<std::thread> served_;  // only the acceptor adds, only the destructor joins after it
};

}  // namespace

TEST_F(GpsSetupTest, ReceiverWithoutInputsIsSetUpAndDetected) {
    struct Case {
        const char* family;
        const char* address;
        const char* receiver;
        const char* ring;
    } cases[] = {
        {"Alvra", "127.0.45.1", "Korvane GNX-P2", "receivers|Korvane GNX-P2|Korvane GNX-P1|" },
        // Steps that switch one header off and on again.
        {"Belko", "127.0.45.2", "Korvane GPA-40", "receivers|Korvane GPA-40"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        SimProcess sim = Sim(c.family, c.address, {"--gps-receiver", c.receiver});
        ASSERT_TRUE(sim.ready());
        start(c.family, c.address);
        GpsSetup_Open(kRow);
        ASSERT_TRUE(fakes_->waitFor(kDetected));
        EXPECT_EQ(GpsSetup_Stage(), kGpsStageWatching);
        const auto log = fakes_->since(0);
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log[0], "tabs off");
        EXPECT_EQ(log[1], "panel shown");
        EXPECT_EQ(log[2], "host slot 2");
        EXPECT_EQ(log[3].rfind(c.ring, 0), 0u) << log[3];
        // Two setup steps: settle, open, then set and check each.
        EXPECT_TRUE(fakes_->seen("progress Initializing TV analyzer (1 of 7)"));
        EXPECT_TRUE(fakes_->seen("inputs"));  // no rows: the table is hidden
        for (const auto& line : log) EXPECT_EQ(line.find("GPS receiver setup"), std::string::npos) << line;
        EXPECT_EQ(std::find(log.begin(), log.end(), "controls on") - log.begin(),
                  std::find(log.begin(), log.end(), kDetected) - log.begin() - 1);

        onGsClose();
        EXPECT_EQ(GpsSetup_Stage(), kGpsStageIdle);
        EXPECT_EQ(fakes_->hostCalls(), kClosedDetected);
        const auto closing = fakes_->since(fakes_->size() - 3);
        EXPECT_EQ(closing, (std::vector<std::string>{"controls on", "panel hidden", "tabs on"}));
    }
}

TEST_F(GpsSetupTest, ChosenReceiverAndInputValueReachTheAnalyzer) {
    // Only the NMEA receiver on COM port 5 answers.
    SimProcess sim = Sim("Alvra", "127.0.45.3", {"--gps-receiver", kNmea, "--gps-port", "5"});
    ASSERT_TRUE(sim.ready());
    start("Alvra", "127.0.45.3");
    GpsSetup_Open(kRow);
    ASSERT_TRUE(fakes_->waitFor(kNotYet));  // the ring's first receiver is another one

    // Choosing the NMEA receiver while watching starts over with the analyzer's setup.
    std::size_t mark = fakes_->size();
    onGsRing(2);
    ASSERT_TRUE(fakes_->waitFor(kNotYet, mark));
    auto log = fakes_->since(mark);
    EXPECT_EQ(log.front(), "controls off");
    EXPECT_EQ(log[1],
              "inputs|Virtual COM port 1..16 255,255,255 The Korvane Alvra's windows device manager can provide this value.");
    EXPECT_EQ(log[2], "progress Initializing TV analyzer (1 of 7)");
    // One input: connect, then set and check it.
    EXPECT_TRUE(fakes_->seen("progress GPS receiver setup (1 of 4)", mark));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageWatching);

    // Requests for rows or receivers the panel does not have change nothing.
    mark = fakes_->size();
    onGsTable(2, 5);
    onGsTable(0, 5);
    onGsRing(3);
    onGsRing(-1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageWatching);
    for (const auto& line : fakes_->since(mark)) EXPECT_EQ(line, kNotYet);

    // The port value the user enters is what the analyzer gets; the analyzer is not initialised again.
    mark = fakes_->size();
    onGsTable(1, 5);
    ASSERT_TRUE(fakes_->waitFor(kDetected, mark));
    log = fakes_->since(mark);
    for (const auto& line : log) EXPECT_EQ(line.find("Initializing"), std::string::npos) << line;

    // A value outside the cell's range is held to it: 99 becomes 16, which the receiver does not use.
    mark = fakes_->size();
    onGsTable(1, 99);
    ASSERT_TRUE(fakes_->waitFor(kNotYet, mark));
}

TEST_F(GpsSetupTest, AnalyzerThatStopsAnsweringShowsNoReplyUntilItCannotBeReached) {
    SimProcess sim = Sim("Alvra", "127.0.45.5", {});
    ASSERT_TRUE(sim.ready());
    start("Alvra", "127.0.45.5");
    GpsSetup_Open(kRow);
    ASSERT_TRUE(fakes_->waitFor(kDetected));

    // Silent for a while: each unanswered question shows "---", and the watch
    // finds the receiver again once the analyzer answers.
    std::size_t mark = fakes_->size();
    sim.pause();
    ASSERT_TRUE(fakes_->waitFor(kNoReply, mark));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageWatching);
    sim.resume();
    mark = fakes_->size();
    ASSERT_TRUE(fakes_->waitFor(kDetected, mark));
    EXPECT_FALSE(fakes_->seen(kNotResponding));

    // Gone: the connection cannot be made again, which ends the watch.
    mark = fakes_->size();
    sim.stop();
    ASSERT_TRUE(fakes_->waitFor(kNotResponding, mark));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageFailed);
    // The setup waits for the user: the ring is usable, and nothing more is asked or shown.
    EXPECT_TRUE(fakes_->waitFor("controls on", mark));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageFailed);
    EXPECT_EQ(fakes_->since(mark).back(), "controls on");

    // Once it is back, choosing a receiver sets it up anew.
    SimProcess back = Sim("Alvra", "127.0.45.5", {});
    ASSERT_TRUE(back.ready());
    mark = fakes_->size();
    onGsRing(0);
    ASSERT_TRUE(fakes_->waitFor(kDetected, mark));
    onGsClose();
    EXPECT_EQ(fakes_->hostCalls(), kClosedDetected);
}

// One question of the watch goes wrong; the analyzer answers every other one
// with "receiver connected". A reply that comes after the question was given
// up ("0", sent late) must not be read as the answer to the next question.
TEST_F(GpsSetupTest, OneMissedReplyShowsNoReplyAndTheWatchGoesOn) {
    struct Case {
        const char* name;
        std::function<bool(PeerLink&, ScriptedAnalyzer&)> second;  // what becomes of the second question
        bool analyzerReachable;
    } cases[] = {
        {"reply too late",
         [](PeerLink& link, ScriptedAnalyzer&) {
             std::this_thread::sleep_for(std::chrono::milliseconds(1200));
             link.Send("0\n");
             return true;
         },
         true},
        {"connection closed by the analyzer", [](PeerLink&, ScriptedAnalyzer&) { return false; }, true},
        {"analyzer switched off",
         [](PeerLink&, ScriptedAnalyzer& analyzer) {
             analyzer.refuse();
             return false;
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAnalyzer analyzer([&c](int query, PeerLink& link, ScriptedAnalyzer& self) {
            if (query == 2) return c.second(link, self);
            return link.Send("1\n");
        });
        ASSERT_GT(analyzer.port(), 0);
        start("Alvra", "127.0.0.1", 40.0, analyzer.port());
        GpsSetup_Open(kRow);
        ASSERT_TRUE(fakes_->waitFor(kDetected));
        const std::size_t mark = fakes_->size();
        ASSERT_TRUE(fakes_->waitFor(kNoReply, mark));
        if (c.analyzerReachable) {
            ASSERT_TRUE(fakes_->waitFor(kDetected, mark));
            EXPECT_EQ(GpsSetup_Stage(), kGpsStageWatching);
            EXPECT_GE(analyzer.connections(), 2);
        } else {
            ASSERT_TRUE(fakes_->waitFor(kNotResponding, mark));
            EXPECT_EQ(GpsSetup_Stage(), kGpsStageFailed);
        }
        EXPECT_FALSE(fakes_->seen(kNotYet));
        EXPECT_EQ(fakes_->seen(kNotResponding), !c.analyzerReachable);
        onGsClose();
        EXPECT_EQ(fakes_->hostCalls(), c.analyzerReachable ? kClosedDetected : kClosedNotDetected);
    }
}

TEST_F(GpsSetupTest, StepWithoutAnswerTimesOut) {
    SimProcess sim = Sim("Alvra", "127.0.45.6", {});
    ASSERT_TRUE(sim.ready());
    start("Alvra", "127.0.45.6", 2.0);
    sim.pause();  // the connection is still accepted, but no step is confirmed
    GpsSetup_Open(kRow);
    ASSERT_TRUE(fakes_->waitFor(kNotResponding));
    EXPECT_TRUE(fakes_->seen("progress Initializing TV analyzer (3 of 7)"));
    EXPECT_FALSE(fakes_->seen("progress Initializing TV analyzer (4 of 7)"));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageFailed);
    onGsClose();
    EXPECT_EQ(fakes_->hostCalls(), kClosedNotDetected);
}

TEST_F(GpsSetupTest, CloseDuringAStepDoesNotWaitForItsTimeOut) {
    SimProcess sim = Sim("Alvra", "127.0.45.7", {});
    ASSERT_TRUE(sim.ready());
    start("Alvra", "127.0.45.7");  // the product's 40 s step time-out
    sim.pause();
    GpsSetup_Open(kRow);
    ASSERT_TRUE(fakes_->waitFor("progress Initializing TV analyzer (3 of 7)"));
    const auto begin = Clock::now();
    onGsClose();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    // The exchange under way ends within the session's time-out; nothing waits for the step's 40 s.
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageIdle);
    EXPECT_TRUE(fakes_->seen("panel hidden"));
}

TEST_F(GpsSetupTest, UnreachableAnalyzerFailsAndRequestsOutsideASetupAreIgnored) {
    start("Alvra", "127.0.45.8");  // nothing listens there
    onGsRing(0);
    onGsTable(1, 3);
    onGsClose();
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageIdle);
    EXPECT_EQ(fakes_->size(), 0u);

    GpsSetup_Open(kRow);
    GpsSetup_Open(3);  // one setup at a time
    ASSERT_TRUE(fakes_->waitFor(kNotResponding));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageFailed);
    onGsClose();
    EXPECT_EQ(fakes_->hostCalls(), kClosedNotDetected);

    // The panel opens again after a close.
    const std::size_t mark = fakes_->size();
    GpsSetup_Open(kRow);
    ASSERT_TRUE(fakes_->waitFor(kNotResponding, mark));
    EXPECT_EQ(GpsSetup_Stage(), kGpsStageFailed);
}
