// The search: every host of each local /24 is sent one ICMP echo so that the
// kernel resolves it into the neighbour table; then the table and the PC's own
// adapters are read, and every MAC address whose prefix belongs to an
// analyzer family becomes a slot.
#include <cstring>

#include "drivetest/wizardstate.h"
#include "instrument/receiverinfo.h"
#include "platform/network.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

AnalyzerSlot NewSlot(const char* address, int family) {
    AnalyzerSlot slot;
    Text_Copy(slot.address, address);
    ReceiverInfo_CopyFamily(slot.family, ReceiverInfo_Families()[static_cast<std::size_t>(family - 1)]);
    return slot;
}

// One sweep of every scanned network from one socket; each finished probe
// leaves its network's active count.
void SweepThread(Wizard* w, std::vector<std::string> addresses, std::vector<std::size_t> scanOf) {
    Network_Access().sweep(addresses, kSearchProbeTimeoutMs, [&](std::size_t i, bool) {
        Lock lock(w->driveTestLock);
        w->search.scans[scanOf[i]].active -= 1;
    });
}

}  // namespace

void DriveTest_SearchStart(Wizard& w) {
    SearchContext& sc = w.search;
    if (sc.sweep.joinable()) sc.sweep.join();  // a finished search leaves its thread to be joined
    sc.lastProgressTime = 0.0;
    w.view->hideResults();
    w.view->showProgress("Step 1 of 2: Searching for available TV analyzers", 0.0);
    DriveTest_ClearAnalyzers(w);

    std::vector<std::string> local;
    std::string error;
    if (!Network_Access().hostAddresses(local, error)) {
        local.clear();
        w.view->message(Text_Format("GetHostIpAdresses error: %s.", error.c_str()));
    }
    std::string range;
    std::vector<std::string> probes;
    std::vector<std::size_t> scanOf;
    {
        Lock lock(w.driveTestLock);
        sc.scans.assign(local.size(), AddressScan{});
        for (std::size_t i = 0; i < local.size(); ++i) {
            const std::string& a = local[i];
            const auto dot = a.rfind('.');
            if (a == "127.0.0.1" || dot == std::string::npos) continue;
            long long own = -1;
            if (!Text_ParseInt(a.substr(dot + 1), own)) continue;
            AddressScan& scan = sc.scans[i];
            scan.prefix = a.substr(0, dot);
            scan.ownHost = static_cast<int>(own);
            if (!range.empty()) range += "   or   ";
            range += scan.prefix + ".[0..254]";
            // Hosts 0 to 254 are claimed at once; the own host is not pinged.
            for (int host = 0; host < 255; ++host) {
                if (host == scan.ownHost) continue;
                probes.push_back(Text_Format("%s.%d", scan.prefix.c_str(), host));
                scanOf.push_back(i);
                scan.active += 1;
            }
            scan.next = 255;
        }
        if (range.empty()) range = kNoAddressRange;
        w.rangeText = range;
    }
    w.view->showRangeText(range);
    if (!probes.empty()) sc.sweep = std::thread(SweepThread, &w, std::move(probes), std::move(scanOf));
}

int DriveTest_SearchPoll(Wizard& w) {
    SearchContext& sc = w.search;
    int total = 0, done = 0;
    {
        Lock lock(w.driveTestLock);
        for (const auto& scan : sc.scans) {
            if (scan.prefix.empty()) continue;
            total += 255;
            done += scan.next - scan.active;
        }
    }
    if (done < total) {
        DriveTest_ShowProgress(w, sc.lastProgressTime, 100.0 * done / total);
        return -kWorkerSearching;
    }
    if (sc.sweep.joinable()) sc.sweep.join();
    if (total > 0) w.view->setProgress(100.0);
    return Network_FindAnalyzers(w) == 0 ? -kWorkerWaiting : -kWorkerChecking;
}

int Network_FindAnalyzers(Wizard& w) {
    NetworkAccess& net = Network_Access();
    std::vector<AnalyzerSlot> found;
    std::vector<NetworkAdapter> adapters;
    if (net.adapters(adapters)) {
        for (const auto& a : adapters) {
            if (a.hardwareAddress.size() != 6) continue;
            const int family = ReceiverInfo_FindFamilyByMac(a.hardwareAddress[0], a.hardwareAddress[1], a.hardwareAddress[2]);
            if (family > 0) {  // the program runs on the analyzer's own computer
                found.push_back(NewSlot("127.0.0.1", family));
                break;
            }
        }
    }
    std::vector<NetworkNeighbour> neighbours;
    if (net.neighbours(neighbours)) {
        for (const auto& n : neighbours) {
            const int family = ReceiverInfo_FindFamilyByMac(n.mac[0], n.mac[1], n.mac[2]);
            if (family > 0) found.push_back(NewSlot(n.address.c_str(), family));
        }
    }
    Lock lock(w.driveTestLock);
    for (auto& s : found) w.analyzerList.push_back(std::move(s));
    return static_cast<int>(w.analyzerList.size());
}
