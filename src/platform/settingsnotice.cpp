#include "platform/settingsnotice.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/paths.h"

namespace {
std::mutex noticeLock;
std::function<void(const std::string&)> notice;
bool told = false;
}  // namespace

std::string Platform_SettingsNotSavedText(const std::string& path, int error) {
    std::string text = "The settings could not be saved to:\n" + path;
    if (error != 0) text += "\n(" + std::string(std::strerror(error)) + ")";
    return text + "\nChanges to settings, signals lists, antennas and colour profiles are kept only until "
                  "Fieldtrace ends.";
}

void Platform_SettingsNotSaved(const std::string& path, int error) {
    std::fprintf(stderr, "%s: settings not saved: %s: %s\n", program_invocation_short_name, path.c_str(),
                 error != 0 ? std::strerror(error) : "write failed");
    std::function<void(const std::string&)> tell;
    {
        std::lock_guard<std::mutex> lock(noticeLock);
        if (told || !notice) return;
        told = true;
        tell = notice;
    }
    tell(Platform_SettingsNotSavedText(path, error));  // outside the lock: it may post to another thread
}

void Platform_SetSettingsNotice(std::function<void(const std::string& text)> handler) {
    std::lock_guard<std::mutex> lock(noticeLock);
    notice = std::move(handler);
}

void Platform_ResetSettingsNotice() {
    std::lock_guard<std::mutex> lock(noticeLock);
    told = false;
}

bool Platform_PrepareDataDirectory() {
    const std::string directory = Platform_DataDirectory();
    if (Platform_MakeDirectory(directory)) return true;
    Platform_SettingsNotSaved(directory, errno);
    return false;
}
