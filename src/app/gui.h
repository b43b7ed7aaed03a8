#pragma once
// The application shell: the popup service through which worker threads put
// a message or a question to the user, the quit-confirmed rule, and the
// stand-ins of the window services.
#include <string>

// From any thread: shows text (Latin-1) in a message box on the main thread
// and returns once it was shown (or dropped because quitting is confirmed).
void Gui_ThreadMessage(const std::string& text);
// From any thread: asks text as a yes/no question; 1 for yes. isQuitQuestion:
// a yes confirms quitting, after which messages are dropped and questions answered no.
int Gui_ThreadConfirm(const std::string& text, int isQuitQuestion);
bool Gui_QuitConfirmed();
// Tests only: forget a confirmed quit.
void Gui_ResetQuit();
// Keeps the window on top of the analyzer's own windows; nothing on a PC.
void Gui_SetOnTop(int onTop);
// "Fieldtrace (3.20)".
std::string Gui_WindowTitle();
