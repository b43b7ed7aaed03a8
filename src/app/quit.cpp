#include "app/quit.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/gui.h"
#include "ui/uishell.h"

QuitSequence::QuitSequence(std::function<void()> closeModules, std::function<void()> endLoop)
    : closeModules_(std::move(closeModules)), endLoop_(std::move(endLoop)) {}

QuitSequence::~QuitSequence() {
    if (thread_.joinable()) thread_.join();
}

void QuitSequence::request() {
    std::lock_guard<std::mutex> lock(quitLock_);
    if (quitThreadRunning_) return;
    quitThreadRunning_ = true;
    if (thread_.joinable()) thread_.join();  // the thread of an earlier "No" has ended
    thread_ = std::thread(&QuitSequence::run, this);
}

bool QuitSequence::running() {
    std::lock_guard<std::mutex> lock(quitLock_);
    return quitThreadRunning_;
}

void QuitSequence::run() {
    if (!Gui_ThreadConfirm("Do you really want to quit?", 1)) {
        std::lock_guard<std::mutex> lock(quitLock_);
        quitThreadRunning_ = false;
        return;
    }
    if (closeModules_) closeModules_();
    auto end = endLoop_;
    Ui_Post([end] { QTimer::singleShot(100, qApp, [end] { if (end) end(); }); });
}
