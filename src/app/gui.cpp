// The popup service: worker threads post a message or a question to the main
// thread and wait for the answer. Once quitting is confirmed, messages are
// dropped and questions answered no without being shown, so that nothing can
// hold up the shutdown.
#include "app/gui.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <mutex>

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

void Serve(PopupRequest& r) {
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
    std::lock_guard<std::mutex> l(r.lock);
    r.result = result;
    r.answered.notify_all();
}

int Ask(int kind, const std::string& text) {
    auto r = std::make_shared<PopupRequest>();
    r->kind = kind;
    r->text = Ui_Text(text);
    if (!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread()) {
        Serve(*r);  // already on the main thread: no one else could serve it
        return r->result;
    }
    Ui_Post([r] { Serve(*r); });
    std::unique_lock<std::mutex> l(r->lock);
    r->answered.wait(l, [&] { return r->result != kPending; });
    return r->result;
}

}  // namespace

void Gui_ThreadMessage(const std::string& text) { Ask(0, text); }

int Gui_ThreadConfirm(const std::string& text, int isQuitQuestion) {
    return Ask(isQuitQuestion ? 2 : 1, text) == kYes ? 1 : 0;
}

bool Gui_QuitConfirmed() { return Ui_QuitConfirmed(); }

void Gui_ResetQuit() { Ui_SetQuitConfirmed(false); }

void Gui_SetOnTop(int) {}  // a PC has no analyzer windows to stay above

std::string Gui_WindowTitle() { return Text_Format("%s (%.2lf%s", "Fieldtrace", 3.2, ")"); }
