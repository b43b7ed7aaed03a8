#pragma once
// The modules behind the window, started in their fixed order and closed in
// the order the quit sequence and the end of the event loop give them. The
// desktop program and its end-to-end tests share this one wiring.
#include <functional>
#include <memory>

#include "app/quit.h"
#include "drivetest/wizard.h"
#include "selection/fileselection.h"

class MainWindow;
class NetworkAccess;

class Application {
public:
    // network: what the drive-test wizard searches (the PC's own networks in
    // the program). endLoop runs on the main thread after a confirmed quit.
    Application(MainWindow& window, NetworkAccess& network, const WizardOptions& options = {},
                std::function<void()> endLoop = {});
    // Closes the modules still open (after the event loop has ended).
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The window's close request (also what a test uses to quit).
    void requestQuit() { quit_->request(); }
    bool quitRunning() { return quit_->running(); }
    // Ends without the question, when nobody can answer it any more (the
    // display or the session is gone, the program was told to end): quitting
    // counts as confirmed, so a recording is stopped with "Program quit
    // command" and its files closed; a question still open is answered no;
    // every module is closed. Main thread. The event loop is the caller's.
    void endNow();

private:
    class ConversionStart;
    void close();
    MainWindow& window_;
    std::unique_ptr<ConversionStart> conversions_;
    std::unique_ptr<QuitSequence> quit_;
    bool closed_ = false;
};
