#pragma once
// Ctrl-C for the long subcommands: while an InterruptCatcher lives, SIGINT
// (and SIGTERM) only sets a flag that the work polls, so a conversion or a
// recording ends the way the user interface's Home or Stop would.

class InterruptCatcher {
public:
    InterruptCatcher();   // clears the flag and installs the handlers
    ~InterruptCatcher();  // restores the previous handlers
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;
};

// True once Ctrl-C was pressed while a catcher was installed.
bool Cli_Interrupted();

// SIGUSR1 for the recording: while a ToggleCatcher lives, each SIGUSR1 asks to
// toggle Pause and Record, as the recording page's button does.
class ToggleCatcher {
public:
    ToggleCatcher();   // clears the count and installs the handler
    ~ToggleCatcher();  // restores the previous handler
    ToggleCatcher(const ToggleCatcher&) = delete;
    ToggleCatcher& operator=(const ToggleCatcher&) = delete;
};

// The number of SIGUSR1 received since the last call.
int Cli_TakeToggles();
