// Record / Pause / Stop: the free-space check on the main thread, the
// requests in threads of their own that take their turns in click order, and
// the controls restored after a stop.
#include "measure/recordcontrols.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "measure/drivetest.h"

namespace {

struct Request {
    std::thread thread;
    std::atomic<bool> done{false};
};

std::mutex lock;  // guards everything below
std::condition_variable turnChanged;
RecordControlsView* view = nullptr;
bool pauseShown = false;  // the button reads "Pause"
bool busy = false;        // a request runs; the button is dimmed
unsigned epoch = 0;       // counts stops: a request that finds it changed leaves the controls alone
// Requests run one after the other in the order of the clicks, so that a
// Stop right after Record finds the recording that Record started.
unsigned nextTicket = 0, serving = 0;
std::vector<std::unique_ptr<Request>> requests;

void Show(const char* label, bool buttonEnabled, bool stopEnabled, bool pageEnabled) {
    if (!view) return;
    view->setRecordButton(label, buttonEnabled);
    view->setStopEnabled(stopEnabled);
    view->setPageButtonsEnabled(pageEnabled);
}

void ShowReady() {
    pauseShown = false;
    busy = false;
    Show(kRecordLabel, true, false, true);
}

// Joins the requests that have finished (under lock).
void Reap() {
    for (auto it = requests.begin(); it != requests.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = requests.erase(it);
        } else {
            ++it;
        }
    }
}

// Runs work in a thread of its own after the requests started before it;
// done(result) follows under the lock unless a stop came in between (the
// stop restores the controls itself). Called under the lock.
template <class Work, class Done>
void Start(Work work, Done done) {
    Reap();
    auto request = std::make_unique<Request>();
    Request* r = request.get();
    const unsigned startEpoch = epoch, ticket = nextTicket++;
    r->thread = std::thread([r, startEpoch, ticket, work, done] {
        {
            std::unique_lock<std::mutex> guard(lock);
            turnChanged.wait(guard, [ticket] { return serving == ticket; });
        }
        const bool result = work();
        {
            std::lock_guard<std::mutex> guard(lock);
            if (epoch == startEpoch) done(result);
            ++serving;
        }
        turnChanged.notify_all();
        r->done = true;
    });
    requests.push_back(std::move(request));
}

std::vector<std::unique_ptr<Request>> TakeRequests() {
    std::lock_guard<std::mutex> guard(lock);
    return std::move(requests);
}

}  // namespace

void RecordControls_Init(RecordControlsView& v) {
    std::lock_guard<std::mutex> guard(lock);
    view = &v;
    ShowReady();
}

void RecordControls_Close(RecordControlsView& v) {
    RecordControls_Join();
    std::lock_guard<std::mutex> guard(lock);
    if (view == &v) view = nullptr;
}

void RecordControls_Join() {
    // Joined outside the lock: a finishing request takes it.
    for (auto& r : TakeRequests()) r->thread.join();
}

void RecordControls_Stopped() {
    std::lock_guard<std::mutex> guard(lock);
    ++epoch;
    Reap();
    ShowReady();
}

std::string RecordControls_Label() {
    std::lock_guard<std::mutex> guard(lock);
    return pauseShown ? kPauseLabel : kRecordLabel;
}

void onRecordPause() {
    std::unique_lock<std::mutex> guard(lock);
    if (busy) return;  // dimmed: a click that slipped through
    if (!pauseShown) {
        // Checked here, so that a refusal leaves the page exactly as it was.
        guard.unlock();
        if (!DriveTest_CheckRecordSpace()) return;
        guard.lock();
        if (busy || pauseShown) return;
        pauseShown = true;
        busy = true;
        Show(kPauseLabel, false, true, false);
        Start([] { return DriveTest_Record(); },
              [](bool recording) {
                  busy = false;
                  if (recording)
                      Show(kPauseLabel, true, true, false);
                  else  // the space ran out in between; the message has been shown
                      ShowReady();
              });
    } else {
        pauseShown = false;
        busy = true;
        Show(kRecordLabel, false, true, false);
        Start([] { return DriveTest_Pause(); },
              [](bool) {
                  busy = false;
                  Show(kRecordLabel, true, true, false);
              });
    }
}

void onFinish() {
    std::lock_guard<std::mutex> guard(lock);
    ++epoch;      // a request still under way must not hand the controls back
    busy = true;  // the stop sequence does that when the files are closed
    Show(pauseShown ? kPauseLabel : kRecordLabel, false, false, false);
    Start(
        [] {
            if (DriveTest_Threads().empty()) return false;  // no drive test: no stop sequence will follow
            DriveTest_Stop(kStopPressed);
            return true;
        },
        [](bool stopping) {
            if (!stopping) ShowReady();
        });
}
