#pragma once
// The network as analyzer discovery sees it: the host's own IPv4 addresses,
// its adapters' hardware addresses, the neighbour (ARP) table and a sweep of
// ICMP echoes that makes the kernel resolve every host of a network into
// that table.
//
// Everything goes through one injected NetworkAccess. The process starts with
// Network_None(), which has no address, no adapter and no neighbour, so that
// nothing is ever swept by accident; the programs that are meant to search
// the real network install Network_System() explicitly.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct NetworkAdapter {
    std::string name;                           // "eth0"
    std::vector<std::uint8_t> hardwareAddress;  // 6 bytes for Ethernet; other lengths for other links
};

struct NetworkNeighbour {
    std::string address;  // dotted IPv4
    std::uint8_t mac[6] = {};
};

class NetworkAccess {
public:
    virtual ~NetworkAccess() = default;
    // IPv4 addresses of the up, non-loopback interfaces, dotted, in interface
    // order. False (and a text for the user in error) when they cannot be read.
    virtual bool hostAddresses(std::vector<std::string>& addresses, std::string& error) = 0;
    // The adapters in interface order; false when the list cannot be read.
    virtual bool adapters(std::vector<NetworkAdapter>& adapters) = 0;
    // Complete entries of the neighbour table only (a host that never answered
    // leaves an incomplete entry with a zero MAC, which is not listed), sorted
    // by address in numeric order. False when the table cannot be read.
    virtual bool neighbours(std::vector<NetworkNeighbour>& neighbours) = 0;
    // One ICMP echo to every address, sent from one socket, then one wait for
    // the replies of at most timeoutMs. finished(i) is called exactly once for
    // every address (index into addresses) when its reply arrived or its time
    // ran out, from the calling thread; the call returns after the last one.
    virtual void sweep(const std::vector<std::string>& addresses, int timeoutMs,
                       const std::function<void(std::size_t index, bool answered)>& finished) = 0;
};

// The machine's own network (getifaddrs, /proc/net/arp, ICMP).
NetworkAccess& Network_System();
// No address, no adapter, no neighbour; a sweep finishes every probe at once, unanswered.
NetworkAccess& Network_None();

// The access discovery uses; Network_None() until a program installs another.
NetworkAccess& Network_Access();
// Installs access (nullptr restores Network_None()). The object must outlive its use.
void Network_SetAccess(NetworkAccess* access);

// True when this process runs in the machine's initial network namespace
// (the one of process 1). A sweep of real networks must never run there on
// development and test machines; tests assert false before sweeping.
bool Network_InInitialNamespace();
