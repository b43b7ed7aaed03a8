// The popup service: worker threads post a message or a question to the main
// thread and wait for the answer. Once quitting is confirmed, messages are
// dropped and questions answered no without being shown, so that nothing can
// hold up the shutdown.
#include "app/gui.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/settingsnotice.h"
#include "platform/text.h"
#include "ui/uishell.h"

namespace {

enum PopupResult { kPending = 0, kShown = 1, kYes = 2, kNo = 3 };

struct PopupRequest {
    int kind = 0;  // 0 message, 1 question, 2 the quit question
    QString text;
    std::mutex lock;
    std::condition_variable answered;
    int result = kPending;
};

// Requests whose askers wait; answered at once after Gui_ClosePopups.
std::mutex pendingLock;
std::vector<std::shared_ptr<PopupRequest>> pending;
bool popupsClosed = false;

int Unshown(const PopupRequest& r) { return r.kind == 0 ? kShown : kNo; }

void Answer(PopupRequest& r, int result) {
    std::lock_guard<std::mutex> l(r.lock);
    if (r.result != kPending) return;
    r.result = result;
    r.answered.notify_all();
}

void Serve(PopupRequest& r) {
    {
        std::lock_guard<std::mutex> l(r.lock);
        if (r.result != kPending) return;  // answered while the service closed
    }
    int result;
    if (r.kind == 0) {
        if (!Ui_QuitConfirmed()) Ui_Message(r.text);
        result = kShown;
    } else if (Ui_QuitConfirmed()) {
        result = kNo;
    } else {
        result = Ui_Confirm(r.text) ? kYes : kNo;
        if (r.kind == 2 && result == kYes) Ui_SetQuitConfirmed(true);
    }
    Answer(r, result);
}

int Ask(int kind, const std::string& text) {
    auto r = std::make_shared<PopupRequest>();
    r->kind = kind;
    r->text = Ui_Text(text);
    if (!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread()) {
        Serve(*r);  // already on the main thread: no one else could serve it
        return r->result;
    }
    {
        std::lock_guard<std::mutex> l(pendingLock);
        if (popupsClosed) return Unshown(*r);
        pending.push_back(r);
    }
    Ui_Post([r] { Serve(*r); });
    {
        std::unique_lock<std::mutex> l(r->lock);
        r->answered.wait(l, [&] { return r->result != kPending; });
    }
    std::lock_guard<std::mutex> l(pendingLock);
    pending.erase(std::find(pending.begin(), pending.end(), r));
    return r->result;
}

// The settings notice: the first failed save of a run, until it is shown.
std::mutex noticeLock;
std::string heldNotice;

void ShowNotice() {
    std::string text;
    {
        std::lock_guard<std::mutex> l(noticeLock);
        if (Ui_QuitConfirmed()) return;  // held for the end of the run
        text.swap(heldNotice);
    }
    if (!text.empty()) Ui_Message(Ui_PathText(text));
}

}  // namespace

void Gui_ThreadMessage(const std::string& text) { Ask(0, text); }

int Gui_ThreadConfirm(const std::string& text, int isQuitQuestion) {
    return Ask(isQuitQuestion ? 2 : 1, text) == kYes ? 1 : 0;
}

bool Gui_QuitConfirmed() { return Ui_QuitConfirmed(); }

void Gui_ResetQuit() {
    Ui_SetQuitConfirmed(false);
    std::lock_guard<std::mutex> l(pendingLock);
    popupsClosed = false;
}

void Gui_ClosePopups() {
    std::lock_guard<std::mutex> l(pendingLock);
    popupsClosed = true;
    for (const auto& r : pending) Answer(*r, Unshown(*r));
}

void Gui_InstallSettingsNotice() {
    {
        std::lock_guard<std::mutex> l(noticeLock);
        heldNotice.clear();
    }
    Platform_ResetSettingsNotice();
    Platform_SetSettingsNotice([](const std::string& text) {
        {
            std::lock_guard<std::mutex> l(noticeLock);
            heldNotice = text;
        }
        Ui_Post(ShowNotice);  // the saver never waits for the box
    });
}

void Gui_RemoveSettingsNotice() { Platform_SetSettingsNotice({}); }

bool Gui_ShowHeldSettingsNotice() {
    std::string text;
    {
        std::lock_guard<std::mutex> l(noticeLock);
        text.swap(heldNotice);
    }
    if (text.empty()) return false;
    // Every module is closed: the quit rule, which keeps boxes from holding up
    // the shutdown, has nothing left to protect.
    Ui_SetQuitConfirmed(false);
    Ui_Message(Ui_PathText(text));
    return true;
}

void Gui_SetOnTop(int) {}  // a PC has no analyzer windows to stay above

std::string Gui_WindowTitle() { return Text_Format("%s (%.2lf%s", "Fieldtrace", 3.2, ")"); }
