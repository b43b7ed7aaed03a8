#include "platform/network.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/arptable.h"
#include "platform/networksweep.h"

namespace {

// getifaddrs' list, freed with the object.
class InterfaceList {
public:
    InterfaceList() {
        if (getifaddrs(&list_) != 0) {
            error_ = errno;
            list_ = nullptr;
        }
    }
    ~InterfaceList() {
        if (list_) freeifaddrs(list_);
    }
    InterfaceList(const InterfaceList&) = delete;
    InterfaceList& operator=(const InterfaceList&) = delete;

    bool ok() const { return list_ != nullptr || error_ == 0; }
    int error() const { return error_; }
    const ifaddrs* first() const { return list_; }

private:
    ifaddrs* list_ = nullptr;
    int error_ = 0;
};

class SystemNetwork final : public NetworkAccess {
public:
    bool hostAddresses(std::vector<std::string>& addresses, std::string& error) override {
        addresses.clear();
        const InterfaceList interfaces;
        if (!interfaces.ok()) {
            error = std::strerror(interfaces.error());
            return false;
        }
        for (const ifaddrs* i = interfaces.first(); i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
            if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) addresses.emplace_back(text);
        }
        return true;
    }

    // Loopback and adapters whose hardware address is all zero (tunnels,
    // virtual links) are left out: such an address names no adapter.
    bool adapters(std::vector<NetworkAdapter>& adapters) override {
        adapters.clear();
        const InterfaceList interfaces;
        if (!interfaces.ok()) return false;
        std::vector<std::pair<int, NetworkAdapter>> found;
        for (const ifaddrs* i = interfaces.first(); i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_PACKET || (i->ifa_flags & IFF_LOOPBACK)) continue;
            const auto* link = reinterpret_cast<const sockaddr_ll*>(i->ifa_addr);
            const std::size_t length = std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
            NetworkAdapter adapter;
            adapter.name = i->ifa_name ? i->ifa_name : "";
            adapter.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
            if (std::all_of(adapter.hardwareAddress.begin(), adapter.hardwareAddress.end(), [](std::uint8_t b) { return b == 0; }))
                continue;
            found.emplace_back(link->sll_ifindex, std::move(adapter));
        }
        std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& f : found) adapters.push_back(std::move(f.second));
        return true;
    }

    bool neighbours(std::vector<NetworkNeighbour>& neighbours) override {
        neighbours.clear();
        return Network_ReadArpTable("/proc/net/arp", neighbours);
    }

    void sweep(const std::vector<std::string>& addresses, int timeoutMs,
               const std::function<void(std::size_t, bool)>& finished) override {
        Network_Sweep(addresses, timeoutMs, finished);
    }
};

class NoNetwork final : public NetworkAccess {
public:
    bool hostAddresses(std::vector<std::string>& addresses, std::string&) override {
        addresses.clear();
        return true;
    }
    bool adapters(std::vector<NetworkAdapter>& adapters) override {
        adapters.clear();
        return true;
    }
    bool neighbours(std::vector<NetworkNeighbour>& neighbours) override {
        neighbours.clear();
        return true;
    }
    void sweep(const std::vector<std::string>& addresses, int,
               const std::function<void(std::size_t, bool)>& finished) override {
        for (std::size_t i = 0; i < addresses.size(); ++i) finished(i, false);
    }
};

std::atomic<NetworkAccess*> gAccess{nullptr};

// Newer kernels give the initial network namespace this fixed number; older
// ones number it like any other (from 0xF0000000 up), so it is never a new one's.
constexpr ino_t kInitialNetNamespaceInode = 0xEFFFFFF9;

// Process 1 may hide its namespaces even from root (a sandbox's init). The
// kernel's thread daemon kthreadd, process 2 with parent 0, always lives in
// the initial namespace, and is visible only from the initial process namespace.
bool IsKernelThreadDaemon(int pid) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char text[512] = {};
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return false;
    const std::string_view stat(text, static_cast<std::size_t>(n));
    // "2 (kthreadd) S 0 ...": name, state, parent.
    const std::size_t end = stat.rfind(')');
    if (end == std::string_view::npos || !stat.substr(0, end).ends_with(" (kthreadd")) return false;
    const std::string_view rest = stat.substr(end + 1);
    return rest.size() > 5 && rest[0] == ' ' && rest[2] == ' ' && rest.substr(3).starts_with("0 ");
}

}  // namespace

NetworkAccess& Network_System() {
    static SystemNetwork system;
    return system;
}

NetworkAccess& Network_None() {
    static NoNetwork none;
    return none;
}

NetworkAccess& Network_Access() {
    NetworkAccess* access = gAccess.load(std::memory_order_acquire);
    return access ? *access : Network_None();
}

void Network_SetAccess(NetworkAccess* access) { gAccess.store(access, std::memory_order_release); }

bool Network_InInitialNamespace() {
    // Whenever the answer is not certain it is the one that keeps sweeps off
    // a real network.
    struct stat self {};
    if (stat("/proc/self/ns/net", &self) != 0) return true;
    if (self.st_ino == kInitialNetNamespaceInode) return true;
    struct stat initial {};
    if (stat("/proc/1/ns/net", &initial) != 0 && !(IsKernelThreadDaemon(2) && stat("/proc/2/ns/net", &initial) == 0))
        return true;
    return self.st_ino == initial.st_ino && self.st_dev == initial.st_dev;
}
