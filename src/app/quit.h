#pragma once
// The quit sequence: closing the window asks "Do you really want to quit?"
// on a thread of its own (the main thread keeps serving popups meanwhile);
// yes closes the modules and ends the event loop a tenth of a second later,
// no leaves everything running. A second close while the question is open
// asks nothing.
#include <functional>
#include <mutex>
#include <thread>

class QuitSequence {
public:
    // closeModules runs on the quit thread after a yes; endLoop on the main thread after it.
    QuitSequence(std::function<void()> closeModules, std::function<void()> endLoop);
    ~QuitSequence();
    // onPanel: the window's close request.
    void request();
    bool running();

private:
    void run();
    std::function<void()> closeModules_, endLoop_;
    std::mutex quitLock_;
    bool quitThreadRunning_ = false;
    std::thread thread_;
};
