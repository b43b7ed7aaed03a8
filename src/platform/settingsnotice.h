#pragma once
// Settings files that could not be written (basic.ini, the signals lists,
// antennas.ini, cad.ini, the colour profiles, fs.ini). Every failure is
// printed on stderr; the first of a run also goes to the notice the desktop
// installs (one message box titled "Fieldtrace"), so that the user learns
// once that changes will not be kept instead of never, or at every save.
#include <functional>
#include <string>

// path (a settings file or the data directory) could not be written; error
// is the errno of the failure, 0 when unknown.
void Platform_SettingsNotSaved(const std::string& path, int error);
// The text of the notice for path and error.
std::string Platform_SettingsNotSavedText(const std::string& path, int error);
// notice receives the text (the file system's bytes) of the first failure.
void Platform_SetSettingsNotice(std::function<void(const std::string& text)> notice);
// Tests: the next failure is told again.
void Platform_ResetSettingsNotice();

// Makes the data directory (with its parents) before the first file is
// saved there; a directory that cannot be made is told as above.
bool Platform_PrepareDataDirectory();
