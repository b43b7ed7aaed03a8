#pragma once
// Reachability test: one ICMP echo with a time-out. It goes through an
// unprivileged ICMP datagram socket where the system allows one (Linux:
// net.ipv4.ping_group_range), else through a raw socket (root or
// CAP_NET_RAW).

// 1: the host answered within timeoutMs; 0: no answer in time, or the address
// is not a dotted IPv4 address; -1: this process may not send ICMP at all, so
// reachability cannot be tested.
int Platform_Ping(const char* address, int timeoutMs);
