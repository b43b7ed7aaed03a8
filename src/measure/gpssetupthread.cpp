// The GPS setup thread: a step machine that makes at most one exchange with
// the analyzer per pass, so that the user's requests and a close are noticed
// between any two commands. Between passes it blocks on the module's
// condition variable, which every request wakes.
#include <algorithm>
#include <chrono>
#include <memory>

#include "instrument/tcpscpi.h"
#include "measure/gpssetupstate.h"
#include "platform/text.h"

namespace {

constexpr auto kPass = std::chrono::milliseconds(100);
constexpr int kSessionTimeoutMs = 800;
constexpr double kPollSeconds = 1.0;     // watching: one question a second
constexpr double kCaptionSeconds = 0.5;  // progress refreshed at most this often
constexpr std::size_t kReplyBytes = 499;

constexpr RowColour kWhite{255, 255, 255};
constexpr RowColour kGrey{230, 230, 230};
constexpr RowColour kRed{255, 150, 150};
constexpr RowColour kGreen{150, 255, 150};
constexpr RowColour kYellow{255, 255, 150};
constexpr const char* kStatusCaption = "Status";
constexpr const char* kNotResponding = "TV analyzer not responding";

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// What one setup thread owns.
struct GpsSetupRun {
    GpsSetupRun(GpsSetupShared& s, GpsSetupView& v, GpsSetupHost& h, int r, unsigned n, GpsSetupTiming t)
        : shared(s), view(v), host(h), row(r), run(n), timing(t) {}

    GpsSetupShared& shared;
    GpsSetupView& view;
    GpsSetupHost& host;
    int row;
    unsigned run;
    GpsSetupTiming timing;

    AnalyzerSlot slot;
    bool haveSlot = false;
    std::unique_ptr<ScpiSession> session = std::make_unique<ScpiSession>();
    GpsReceiverChoice receiver{};  // the ring's choice when stage 1 began
    std::vector<int> values;       // the inputs when stage 2 began

    int stage = kGpsStageStarting;  // the stage of this pass
    unsigned request = 0;           // the user's request the stage began with
    int step = 0, lastStep = -1, stepCount = 0;
    double stepStart = 0.0, lastShown = -1.0, lastPoll = -1.0;
};

// The thread's own stage changes give way to a request the user made meanwhile.
bool Advance(GpsSetupRun& r, int to) {
    std::lock_guard<std::mutex> lock(r.shared.lock);
    if (r.shared.stage != r.stage || r.shared.request != r.request) return false;
    r.shared.stage = to;
    r.shared.wake.notify_all();
    return true;
}

// Forgets the connection at once, without a shutdown the analyzer would have
// to confirm: whatever it still sends goes to a closed socket. The next
// connect opens a new connection to the same address.
void DropSession(GpsSetupRun& r) {
    auto fresh = std::make_unique<ScpiSession>();
    Text_Copy(fresh->address, r.session->address);
    fresh->port = r.session->port;
    fresh->timeoutMs = r.session->timeoutMs;
    r.session = std::move(fresh);  // the old session closes its socket without a word
}

// Back to local operation. An analyzer that left a query unanswered will not
// confirm a shutdown either: its socket is dropped at once, so that a close
// waits for one session time-out at most.
void CloseSession(GpsSetupRun& r) {
    ScpiSession& s = *r.session;
    if (s.state != kScpiStateConnected) {
        TcpScpi_Disconnect(s);
        return;
    }
    TcpScpi_Write(s, r.slot.family.localCommand);
    if (s.pendingQuery[0]) return DropSession(r);
    TcpScpi_Disconnect(s);
}

void ShowResult(GpsSetupRun& r, const char* text, RowColour colour) {
    r.view.showResult(kStatusCaption, text, colour);
}

// The analyzer does not answer: the setup waits for the user, with the ring
// and the table usable again so that the user can try once more.
void Fail(GpsSetupRun& r) {
    CloseSession(r);
    r.slot.gpsDetected = 0;
    if (!Advance(r, kGpsStageFailed)) return;
    ShowResult(r, kNotResponding, kRed);
    r.view.setControlsEnabled(true);
}

// The time-out of the current step of stages 1 and 2, and its progress
// caption. False once the step has taken too long (the setup has failed).
bool StepClock(GpsSetupRun& r, const char* captionFormat) {
    const double now = Seconds();
    if (r.step != r.lastStep) {
        r.stepStart = now - 0.5;
        r.lastStep = r.step;
    }
    const double used = now - r.stepStart;
    if (used >= r.timing.stepTimeoutSeconds) {
        Fail(r);
        return false;
    }
    if (r.step > 0 && (r.lastShown < 0.0 || now - r.lastShown >= kCaptionSeconds)) {
        r.lastShown = now;
        const int percent = static_cast<int>(100.0 * used / r.timing.stepTimeoutSeconds);
        r.view.showProgress(Text_Format(captionFormat, r.step, r.stepCount), std::clamp(percent, 0, 100));
    }
    return true;
}

// One pass of stage 0: the analyzer's slot and the ring of its receivers.
void Begin(GpsSetupRun& r) {
    r.haveSlot = r.host.slot(r.row, r.slot);
    std::vector<std::string> names;
    for (const auto& g : r.slot.family.gpsReceivers) names.emplace_back(Text_View(g.name));
    r.view.showReceivers(names);
    std::lock_guard<std::mutex> lock(r.shared.lock);
    r.shared.receiver = 0;
    r.shared.receiverCount = static_cast<int>(names.size());
    if (r.shared.stage == kGpsStageStarting) r.shared.stage = kGpsStageInitialising;
}

// Stage 1 step 0: the chosen receiver, its input table and the step count.
// A receiver found before no longer counts while the analyzer is set up anew.
void ChooseReceiver(GpsSetupRun& r) {
    r.slot.gpsDetected = 0;
    r.view.setControlsEnabled(false);
    std::vector<GpsSetupInputRow> rows;
    {
        std::lock_guard<std::mutex> lock(r.shared.lock);
        const auto& all = r.slot.family.gpsReceivers;
        const auto chosen = static_cast<std::size_t>(r.shared.receiver);
        r.receiver = chosen < all.size() ? all[chosen] : GpsReceiverChoice{};
        r.shared.inputValues.clear();
        r.shared.inputLimits.clear();
        for (const auto& in : r.receiver.inputs) {
            const GpsSetupInputLimit limit{in.minimum, std::max(in.minimum, in.maximum)};
            r.shared.inputValues.push_back(limit.minimum);
            r.shared.inputLimits.push_back(limit);
            rows.push_back({std::string(Text_View(in.description)), limit.minimum, limit.maximum,
                            std::string(Text_View(in.help)), rows.size() % 2 ? kGrey : kWhite});
        }
    }
    r.view.showInputs(rows);
    r.stepCount = 2 * static_cast<int>(r.receiver.setupSteps.size()) + 3;
    r.step = 1;
    r.lastShown = Seconds();
    r.view.showProgress(Text_Format("Initializing TV analyzer (%d of %d)", r.step, r.stepCount), 0);
}

// Stage 1: a pause for the analyzer, a new session, then each setup step of
// the receiver set and read back.
void Initialise(GpsSetupRun& r) {
    if (!StepClock(r, "Initializing TV analyzer (%d of %d)")) return;
    if (r.step == 0) {
        ChooseReceiver(r);
    } else if (r.step == 1) {
        if (Seconds() - (r.stepStart + 0.5) >= r.timing.settleSeconds) r.step = 2;
    } else if (r.step == 2) {
        if (!TcpScpi_Open(*r.session, r.slot.address, r.slot.family.scpiPort, kSessionTimeoutMs)) return Fail(r);
        r.step = 3;
    } else if (r.step < r.stepCount) {
        // Steps 3 and 4 set and check the first setup step, 5 and 6 the second, ...
        const GpsSetupStep& s = r.receiver.setupSteps[static_cast<std::size_t>((r.step - 3) / 2)];
        char error[100];
        TcpScpi_SetAndConfirm(*r.session, r.step % 2 == 0, r.step, s.header, s.value, nullptr, false, error);
    }
    if (r.step >= r.stepCount) Advance(r, kGpsStageInputs);
}

// Stage 2: each input of the receiver set to the table's value and read back.
void SendInputs(GpsSetupRun& r) {
    if (r.step == 0) {
        r.slot.gpsDetected = 0;
        r.stepCount = 2 * static_cast<int>(r.receiver.inputs.size()) + 2;
        if (r.receiver.inputs.empty()) {
            r.view.setControlsEnabled(true);
            Advance(r, kGpsStageWatching);
            return;
        }
        r.view.setControlsEnabled(false);
        std::lock_guard<std::mutex> lock(r.shared.lock);
        r.values = r.shared.inputValues;
        r.values.resize(r.receiver.inputs.size(), 0);
        r.step = 1;
    }
    if (!StepClock(r, "GPS receiver setup (%d of %d)")) return;
    if (r.step == 1) {
        if (!TcpScpi_Connect(*r.session)) return Fail(r);
        r.step = 2;
    } else if (r.step < r.stepCount) {
        // Steps 2 and 3 set and check the first input, 4 and 5 the second, ...
        const std::size_t k = static_cast<std::size_t>(r.step / 2 - 1);
        const std::string value = Text_Format("%d", r.values[k]);
        char error[100];
        TcpScpi_SetAndConfirm(*r.session, r.step % 2 == 1, r.step, r.receiver.inputs[k].header, value.c_str(),
                              nullptr, false, error);
    }
    if (r.step >= r.stepCount && Advance(r, kGpsStageWatching)) r.view.setControlsEnabled(true);
}

// Stage 3: once a second, is the receiver there? Only an analyzer that
// cannot be connected ends the watch. A query without a reply (late, lost, or
// its connection closed) shows "---" and the watch goes on; the connection
// goes with it, so that a reply arriving late lands in a closed socket instead
// of passing for the answer to a later query, and the next poll reconnects.
void Watch(GpsSetupRun& r) {
    const double now = Seconds();
    if (r.lastPoll >= 0.0 && now - r.lastPoll < kPollSeconds) return;
    r.lastPoll = now;
    if (!TcpScpi_Connect(*r.session)) return Fail(r);
    char reply[kReplyBytes];
    const bool answered = TcpScpi_Query(*r.session, r.slot.family.gpsConnectedQuery, reply, sizeof reply);
    if (!answered) DropSession(r);
    long long state = 0;
    if (!answered || !reply[0]) {
        r.slot.gpsDetected = 0;
        ShowResult(r, "---", kWhite);
    } else if (Text_ParseInt(reply, state) && state == 1) {
        r.slot.gpsDetected = 1;
        ShowResult(r, "GPS receiver detected", kGreen);
    } else {
        r.slot.gpsDetected = 0;
        ShowResult(r, "GPS receiver not detected yet", kYellow);
    }
}

void Pass(GpsSetupRun& r) {
    switch (r.stage) {
    case kGpsStageInitialising: Initialise(r); break;
    case kGpsStageInputs: SendInputs(r); break;
    case kGpsStageWatching: Watch(r); break;
    default: break;  // failed: waits for the user
    }
}

// The analyzer back to local operation, the result back to the wizard.
void End(GpsSetupRun& r) {
    CloseSession(r);
    if (r.haveSlot) r.host.storeSlot(r.row, r.slot);
    if (!r.slot.gpsDetected) r.host.setRoleAnalyzer(r.row);
    r.host.recheckSelection(r.row);
    std::lock_guard<std::mutex> lock(r.shared.lock);
    r.shared.stage = kGpsStageIdle;
    r.shared.analyzer = -1;
    r.shared.endedRun = r.run;
    r.shared.wake.notify_all();
}

}  // namespace

void GpsSetup_Thread(int row, unsigned run, GpsSetupTiming timing) {
    GpsSetupShared& shared = GpsSetup_Shared();
    GpsSetupView* view;
    GpsSetupHost* host;
    {
        std::lock_guard<std::mutex> lock(shared.lock);
        view = shared.view;
        host = shared.host;
    }
    GpsSetupRun r(shared, *view, *host, row, run, timing);
    Begin(r);
    std::unique_lock<std::mutex> lock(shared.lock);
    for (;;) {
        if (shared.stage == kGpsStageClosing) break;
        if (shared.stage != r.stage || shared.request != r.request) {
            r.stage = shared.stage;
            r.request = shared.request;
            r.step = 0;
            r.lastStep = -1;
            r.lastShown = -1.0;
            r.lastPoll = -1.0;
        }
        lock.unlock();
        Pass(r);
        lock.lock();
        // The next pass comes after 100 ms, or at once when the stage or a request changed.
        shared.wake.wait_for(lock, kPass,
                             [&] { return shared.stage != r.stage || shared.request != r.request; });
    }
    lock.unlock();
    End(r);
}
