#include "coveragewizard/lastconnection.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "campaign/campaigndb.h"
#include "platform/paths.h"
#include "platform/settingsnotice.h"

namespace {

constexpr const char* kKey = "connection=";
constexpr std::size_t kLongest = 4096;  // far beyond any libpq text; a longer line is not ours

bool Usable(const std::string& text) {
    std::string error;
    return !text.empty() && text.size() <= kLongest && text.find_first_of("\r\n") == std::string::npos &&
           Campaign_CheckConnection(text, error);
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string LastConnection_Load(const std::string& dataDirectory) {
    std::ifstream in(Platform_JoinPath(dataDirectory, kLastConnectionFile), std::ios::binary);
    std::string line;
    while (in && line.size() <= kLongest && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(kKey, 0) != 0) continue;
        const std::string text = line.substr(std::char_traits<char>::length(kKey));
        return Usable(text) ? text : std::string();
    }
    return {};
}

bool LastConnection_Save(const std::string& dataDirectory, const std::string& connection) {
    if (!Usable(connection)) return false;
    const std::string path = Platform_JoinPath(dataDirectory, kLastConnectionFile);
    const std::string temporary = Platform_TemporaryNameBeside(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    int error = ok ? 0 : errno;
    if (ok) {
        ok = WriteAll(fd, kKey + connection + "\n") && ::fsync(fd) == 0;
        if (!ok) error = errno;
        if (::close(fd) != 0 && ok) ok = false, error = errno;
    }
    if (ok && !Platform_ReplaceFile(path, temporary)) ok = false, error = errno;
    if (!ok) {
        ::unlink(temporary.c_str());
        Platform_SettingsNotSaved(path, error);
    }
    return ok;
}
