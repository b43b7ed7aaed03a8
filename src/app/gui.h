#pragma once
// The application shell: the popup service through which worker threads put
// a message or a question to the user, the quit-confirmed rule, the notice of
// settings that could not be saved, and the stand-ins of the window services.
#include <string>

// From any thread: shows text (Latin-1) in a message box on the main thread
// and returns once it was shown (or dropped because quitting is confirmed).
void Gui_ThreadMessage(const std::string& text);
// From any thread: asks text as a yes/no question; 1 for yes. isQuitQuestion:
// a yes confirms quitting, after which messages are dropped and questions answered no.
int Gui_ThreadConfirm(const std::string& text, int isQuitQuestion);
bool Gui_QuitConfirmed();
// Tests only: forget a confirmed quit (and reopen the popup service).
void Gui_ResetQuit();
// The main thread will serve no more popups (the program ends without its
// event loop): a thread still waiting is answered at once (a message as
// shown, a question no), and so is every later request.
void Gui_ClosePopups();

// The first settings file of a run that could not be saved is told in a
// message box titled "Fieldtrace"; one that fails while quitting is held
// until Gui_ShowHeldSettingsNotice, after the modules are closed.
void Gui_InstallSettingsNotice();
void Gui_RemoveSettingsNotice();
// Shows the held notice; false when there is none.
bool Gui_ShowHeldSettingsNotice();

// Keeps the window on top of the analyzer's own windows; nothing on a PC.
void Gui_SetOnTop(int onTop);
// "Fieldtrace (3.20)".
std::string Gui_WindowTitle();
