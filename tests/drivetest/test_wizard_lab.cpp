// The wizard against the machine's real network access, inside the network
// lab only (tests/tools/lab_wizard.sh builds the labs these cases expect).
// Outside a lab every case is skipped; in the machine's own network
// namespace every case fails before it could sweep anything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "antenna/antenna.h"
#include "drivetest/basicsettings.h"
#include "drivetest/wizarddrive.h"
#include "instrument/receiverinfo.h"
#include "instrument/tcpscpi.h"
#include "measure/drivetest.h"
#include "support/testsupport.h"

namespace {

std::vector<std::string> Words(const char* variable) {
    std::vector<std::string> out;
    const char* v = std::getenv(variable);
    std::istringstream in(v ? v : "");
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The system's network, with every sweep, probe and neighbour list kept.
class RecordingNetwork : public NetworkAccess {
public:
    bool hostAddresses(std::vector<std::string>& a, std::string& e) override { return Network_System().hostAddresses(a, e); }
    bool adapters(std::vector<NetworkAdapter>& a) override { return Network_System().adapters(a); }
    bool neighbours(std::vector<NetworkNeighbour>& n) override {
        const bool ok = Network_System().neighbours(n);
        std::lock_guard<std::mutex> l(m);
        lastNeighbours = n;
        return ok;
    }
    void sweep(const std::vector<std::string>& a, int timeoutMs,
               const std::function<void(std::size_t, bool)>& finished) override {
        {
            std::lock_guard<std::mutex> l(m);
            ++sweeps;
            probes.insert(probes.end(), a.begin(), a.end());
        }
        Network_System().sweep(a, timeoutMs, finished);
    }
    std::mutex m;
    int sweeps = 0;
    std::vector<std::string> probes;
    std::vector<NetworkNeighbour> lastNeighbours;
};

class WizardLabBase : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("FIELDTRACE_LAB")) GTEST_SKIP() << "runs only inside the network lab (scripts/lab.sh)";
        ASSERT_FALSE(Network_InInitialNamespace()) << "refusing to sweep the machine's own networks";
        TcpScpi_Init();
        ReceiverInfo_Init();
        Antenna_Init(nullptr, data.path());
        Network_SetAccess(&net);
        DriveTest_SetFreeSpaceProbe([](const std::string&) { return std::int64_t{600} << 20; });
    }
    void TearDown() override {
        DriveTest_Close();
        Network_SetAccess(nullptr);
        DriveTest_SetFreeSpaceProbe(nullptr);
        Antenna_Close();
    }
    void Start(const char* standard = "DVB-T / DVB-H") {
        WizardOptions options;
        options.dataDirectory = data.path();
        options.basic = BasicSettings_Defaults(data.path());
        options.basic->standard = standard;
        DriveTest_Init(view, nullptr, nullptr, options);
    }
    void WaitForTable(int count = 1) {
        ASSERT_TRUE(view.waitFor([&] { return view.tablesShown >= count || view.noAnalyzerNotice; }, 60000));
        ASSERT_TRUE(WizardDrive_WaitWorker(kWorkerWaiting));
    }
    static std::vector<std::string> Statuses() { return WizardFake_Statuses(); }
    TempDir data;
    FakeWizardView view;
    RecordingNetwork net;
};

// Lab: --net 10.1.1 --net 10.2.2,pc=254 with Alvra 10.1.1.20 (101234),
// Alvra 10.1.1.21 (firmware 3.39), Alvra 10.2.2.30 (no HW02), Belko
// 10.2.2.31 (200031), Alvra 10.2.2.32 (options query fails), a foreign-MAC
// Alvra 10.1.1.40, a silent Alvra 10.1.1.50 and an Alvra 10.9.9.9 (100099)
// outside both networks.
using WizardLab = WizardLabBase;

TEST_F(WizardLab, SearchProbesEachHostOnceAndTheCheckSortsTheAnalyzers) {
    Start();
    WaitForTable();
    const auto nets = Words("FIELDTRACE_LAB_NETS");
    const auto own = Words("FIELDTRACE_LAB_ADDRESSES");
    ASSERT_EQ(nets.size(), 2u);
    EXPECT_EQ(DriveTest_RangeText(), nets[0] + ".[0..254]   or   " + nets[1] + ".[0..254]");
    {
        std::lock_guard<std::mutex> l(net.m);
        EXPECT_EQ(net.sweeps, 1);
        std::multiset<std::string> probes(net.probes.begin(), net.probes.end());
        for (const auto& prefix : nets)
            for (int host = 0; host <= 255; ++host) {
                const std::string a = prefix + "." + std::to_string(host);
                const bool mine = std::find(own.begin(), own.end(), a) != own.end();
                EXPECT_EQ(probes.count(a), host == 255 || mine ? 0u : 1u) << a;
            }
        EXPECT_EQ(net.probes.size(), 2u * 254u);
        // Only hosts that answered are neighbours: no incomplete entry became one.
        const auto lab = Words("FIELDTRACE_LAB_ANALYZERS");
        for (const auto& n : net.lastNeighbours)
            EXPECT_NE(std::find(lab.begin(), lab.end(), n.address), lab.end()) << n.address;
    }
    EXPECT_EQ(Statuses(), (std::vector<std::string>{
                              "Korvane Alvra, 100099 | OK | Analyzer+GPS",
                              "Korvane Alvra, 101234 | OK | Analyzer",
                              "Korvane Belko, 200031 | OK | Analyzer",
                              "Korvane Alvra, 100021 | Firmware version too low (3.39<3.40) | Nothing",
                              "Korvane Alvra, 100030 | 'RF Preselector' missing | Nothing",
                              "Korvane Alvra, 100032 | Network communication error | Nothing",
                          }));
    EXPECT_STREQ(DriveTest_Analyzers()[0].address, "10.9.9.9");

    // Another standard: validated again from what the check learned.
    BasicSettings basic = view.readBasic();
    basic.standard = "DVB-T2";
    {
        std::lock_guard<std::mutex> l(view.m);
        view.basic = basic;
    }
    onDtBasicNext();
    WaitForTable(2);
    const auto after = Statuses();
    EXPECT_NE(std::find(after.begin(), after.end(), "Korvane Belko, 200031 | 'DVB-T2' not supported | Nothing"), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), "Korvane Alvra, 100032 | Network communication error | Nothing"),
              after.end());
}

TEST_F(WizardLab, RefreshDuringASearchStartsNoSecondSearch) {
    Start();
    onDtRefresh();  // the worker is still sweeping: acknowledged at once
    WaitForTable();
    std::lock_guard<std::mutex> l(net.m);
    EXPECT_EQ(net.sweeps, 1);
    EXPECT_EQ(net.probes.size(), 2u * 254u);
}

TEST_F(WizardLab, DriveTestFromSearchToRecordFiles) {
    Start();
    WaitForTable();
    ASSERT_GE(DriveTest_AnalyzerTable().size(), 2u);
    // Rows 2 and 3: the two usable Alvras, the one outside the networks first.
    WizardDrive_Run(view, 2, 3);
}

// Lab: --net 10.1.1,mac=00:c0:3a:.. (the PC carries an analyzer's adapter),
// with or without a simulator on 127.0.0.1 (--local Alvra,serial=100777).
using WizardLabOwn = WizardLabBase;

TEST_F(WizardLabOwn, TheAnalyzersOwnComputerIsFoundAt127001) {
    Start();
    WaitForTable();
    const auto slots = DriveTest_Analyzers();
    ASSERT_EQ(slots.size(), 2u);
    ASSERT_TRUE(net.lastNeighbours.size() >= 1u);
    if (std::getenv("FIELDTRACE_INSTRUMENT_SERIAL")) {
        // Its firmware does not answer: kept, red, after the usable analyzer.
        EXPECT_STREQ(slots[1].address, "127.0.0.1");
        EXPECT_EQ(Statuses()[1], "Korvane Alvra, ? | Firmware not running | Nothing");
    } else {
        EXPECT_STREQ(slots[0].address, "127.0.0.1");
        EXPECT_EQ(Statuses()[0], "Korvane Alvra, 100777 | OK | Analyzer+GPS");
    }
}

}  // namespace
