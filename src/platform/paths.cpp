#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex dataDirectoryMutex;
std::string dataDirectoryOverride;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeDirectory() {
    std::string home = Environment("HOME");
    if (!home.empty()) return home;
    // Started without a login environment: the password database knows it.
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

// Platform_SetDataDirectory's or FIELDTRACE_DATA_DIR; empty when neither is set.
std::string ChosenDataDirectory() {
    {
        std::lock_guard<std::mutex> lock(dataDirectoryMutex);
        if (!dataDirectoryOverride.empty()) return dataDirectoryOverride;
    }
    return Environment("FIELDTRACE_DATA_DIR");
}

// A portable copy: a program directory the user may write. A program under
// /usr was installed (by a package or "cmake --install"), also when root,
// who may write anywhere, runs it.
bool IsPortableCopy(const std::string& programDirectory) {
    if (programDirectory == "/usr" || programDirectory.rfind("/usr/", 0) == 0) return false;
    return faccessat(AT_FDCWD, programDirectory.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserDataDirectory() {
    // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rules ask.
    std::string base = Environment("XDG_DATA_HOME");
    if (base.empty() || base.front() != '/') base = Platform_JoinPath(HomeDirectory(), ".local/share");
    return Platform_JoinPath(base, "fieldtrace");
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string Platform_ProgramDirectory() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string Platform_DataDirectory() { return Platform_DataDirectoryFor(Platform_ProgramDirectory()); }

std::string Platform_OutputDirectory() { return Platform_OutputDirectoryFor(Platform_ProgramDirectory()); }

std::string Platform_DataDirectoryFor(const std::string& programDirectory) {
    std::string chosen = ChosenDataDirectory();
    if (!chosen.empty()) return chosen;
    return IsPortableCopy(programDirectory) ? programDirectory : UserDataDirectory();
}

std::string Platform_OutputDirectoryFor(const std::string& programDirectory) {
    if (ChosenDataDirectory().empty() && !IsPortableCopy(programDirectory))
        return Platform_JoinPath(HomeDirectory(), "Fieldtrace");
    return Platform_DataDirectoryFor(programDirectory);
}

bool Platform_MakeDirectory(const std::string& directory) {
    if (directory.empty()) {
        errno = ENOENT;
        return false;
    }
    // Parents first; one that exists already is fine, whoever made it.
    for (std::size_t slash = directory.find('/', 1); slash != std::string::npos; slash = directory.find('/', slash + 1))
        if (::mkdir(directory.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (IsDirectory(directory)) return true;
    errno = ENOTDIR;
    return false;
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

std::string Platform_DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool Platform_CanCreateFileIn(const std::string& directory) {
    const std::string probe =
        Platform_JoinPath(directory, ".fieldtrace-probe-" + std::to_string(static_cast<long>(::getpid())));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST;  // a probe of this process that is still there
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool Platform_ReplaceFile(const std::string& path, const std::string& temporaryPath) {
    if (std::rename(temporaryPath.c_str(), path.c_str()) != 0) {
        std::remove(temporaryPath.c_str());
        return false;
    }
    return true;
}

std::string Platform_TemporaryNameBeside(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = base.rfind('.');
    const std::string stem = path.substr(0, path.size() - (dot == std::string::npos ? 0 : base.size() - dot));
    const std::string ext = dot == std::string::npos ? "" : base.substr(dot);
    return stem + ".partial-" + std::to_string(static_cast<long>(getpid())) + ext;
}

bool Platform_CheckNewFile(const std::string& path, bool overwrite, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = "The output '" + path + "' is a directory.";
            return false;
        }
        if (!overwrite) {
            error = "The output '" + path + "' exists already.";
            return false;
        }
    }
    const std::string dir = Platform_DirectoryOf(path);
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "The folder '" + dir + "' does not exist.";
        return false;
    }
    // Made and removed for real: access() says yes to root for any folder.
    if (!Platform_CanCreateFileIn(dir)) {
        error = "The folder '" + dir + "' is not writable.";
        return false;
    }
    return true;
}
