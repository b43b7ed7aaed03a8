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
