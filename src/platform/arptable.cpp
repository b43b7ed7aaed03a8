#include "platform/arptable.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <string>

namespace {

constexpr unsigned kFlagComplete = 0x2;  // ATF_COM
// Far above any real table (the kernel keeps at most a few thousand entries).
constexpr std::size_t kMaxTableBytes = 8u << 20;

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool ParseFlags(std::string_view text, unsigned& flags) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data() + 2, end, flags, 16);
    return ec == std::errc() && ptr == end;
}

// "00:c0:3a:01:01:14": exactly six two-digit hex bytes.
bool ParseMac(std::string_view text, std::uint8_t (&mac)[6]) {
    if (text.size() != 17) return false;
    for (int i = 0; i < 6; ++i) {
        const std::string_view byte = text.substr(static_cast<std::size_t>(i) * 3, 2);
        if (i < 5 && text[static_cast<std::size_t>(i) * 3 + 2] != ':') return false;
        unsigned value = 0;
        const auto [ptr, ec] = std::from_chars(byte.data(), byte.data() + 2, value, 16);
        if (ec != std::errc() || ptr != byte.data() + 2) return false;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

struct ParsedEntry {
    std::uint32_t key;  // host order, for sorting
    NetworkNeighbour neighbour;
};

bool ParseLine(std::string_view line, ParsedEntry& entry) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 4) return false;
    const std::string address(fields[0]);
    in_addr a{};
    unsigned flags = 0;
    if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;  // also the header line
    if (!ParseFlags(fields[2], flags) || !(flags & kFlagComplete)) return false;
    if (!ParseMac(fields[3], entry.neighbour.mac)) return false;
    if (std::all_of(std::begin(entry.neighbour.mac), std::end(entry.neighbour.mac), [](std::uint8_t b) { return b == 0; }))
        return false;
    entry.key = ntohl(a.s_addr);
    entry.neighbour.address = address;
    return true;
}

}  // namespace

std::vector<NetworkNeighbour> Network_ParseArpTable(std::string_view text) {
    std::vector<ParsedEntry> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ParsedEntry entry;
        if (ParseLine(line, entry)) entries.push_back(std::move(entry));
    }
    // Stable: one address on two devices keeps the table's order.
    std::stable_sort(entries.begin(), entries.end(), [](const ParsedEntry& a, const ParsedEntry& b) { return a.key < b.key; });
    std::vector<NetworkNeighbour> neighbours;
    neighbours.reserve(entries.size());
    for (ParsedEntry& e : entries) neighbours.push_back(std::move(e.neighbour));
    return neighbours;
}

bool Network_ReadArpTable(const char* path, std::vector<NetworkNeighbour>& neighbours) {
    // Only a regular file is opened, and without waiting (a FIFO would block
    // the open, a device may act on it); checked again on what was opened.
    // procfs reports size 0, so the text is read to its end, up to a bound.
    struct stat st {};
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[16384];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
        } else if (text.size() + static_cast<std::size_t>(n) > kMaxTableBytes) {
            ok = false;
        } else {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    if (ok) neighbours = Network_ParseArpTable(text);
    return ok;
}
