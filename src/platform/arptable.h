#pragma once
// The kernel's IPv4 neighbour (ARP) table as /proc/net/arp shows it.
#include <string_view>
#include <vector>

#include "platform/network.h"

// The complete entries of a table text (header line, then one line per entry:
// address, hardware type, flags, hardware address, mask, device), sorted by
// address in numeric order. Incomplete entries (flag 0x2 clear), zero or
// non-Ethernet hardware addresses and lines that do not parse are left out.
std::vector<NetworkNeighbour> Network_ParseArpTable(std::string_view text);

// Reads and parses the table file at path; false when it is not a readable
// regular file (a FIFO or device put in its place never blocks the caller).
bool Network_ReadArpTable(const char* path, std::vector<NetworkNeighbour>& neighbours);
