#include "platform/paths.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex dataDirectoryMutex;
std::string dataDirectoryOverride;
}  // namespace

std::string Platform_ProgramDirectory() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string Platform_DataDirectory() {
    {
        std::lock_guard<std::mutex> lock(dataDirectoryMutex);
        if (!dataDirectoryOverride.empty()) return dataDirectoryOverride;
    }
    const char* env = std::getenv("FIELDTRACE_DATA_DIR");
    if (env && *env) return env;
    return Platform_ProgramDirectory();
}

void Platform_SetDataDirectory(const std::string& directory) {
    std::lock_guard<std::mutex> lock(dataDirectoryMutex);
    dataDirectoryOverride = directory;
}

std::int64_t Platform_FreeDiskBytes(const std::string& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

std::string Platform_JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

bool Platform_ReplaceFile(const std::string& path, const std::string& temporaryPath) {
    if (std::rename(temporaryPath.c_str(), path.c_str()) != 0) {
        std::remove(temporaryPath.c_str());
        return false;
    }
    return true;
}
