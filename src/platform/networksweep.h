#pragma once
// The sweep behind Network_System(): one ICMP socket, one echo per address,
// one wait for all replies.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// See NetworkAccess::sweep. Addresses that are not dotted IPv4 finish
// unanswered at once, and so does every address when no ICMP socket can be
// opened or its echo cannot be sent (no route, refused by a filter). The
// wait for replies lasts at most timeoutMs after the last echo went out.
void Network_Sweep(const std::vector<std::string>& addresses, int timeoutMs,
                   const std::function<void(std::size_t index, bool answered)>& finished);
