// The wizard's worker through a fake view and a scripted network: search,
// check against simulated analyzers on loopback addresses, validation,
// table, selection rules, settings and the measurement tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "antenna/antenna.h"
#include "drivetest/basicsettings.h"
#include "drivetest/gpshost.h"
#include "drivetest/wizarddrive.h"
#include "drivetest/wizardfakes.h"
#include "instrument/receiverinfo.h"
#include "measure/drivetest.h"
#include "platform/paths.h"
#include "records/fileio.h"
#include "support/simprocess.h"
#include "support/testsupport.h"

namespace {

constexpr std::uint8_t kAlvra[3] = {0x00, 0xc0, 0x3a};
constexpr std::uint8_t kBelko[3] = {0x00, 0x90, 0xb8};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReceiverInfo_Init();
        Antenna_Init(nullptr, data.path());
        Network_SetAccess(&net);
        DriveTest_SetFreeSpaceProbe([this](const std::string&) { return freeBytes; });
        unsetenv("FIELDTRACE_INSTRUMENT_SERIAL");
    }
    void TearDown() override {
        net.release();
        GpsSetup_Close();
        GpsSetup_SetTiming({});
        DriveTest_Close();
        Network_SetAccess(nullptr);
        DriveTest_SetFreeSpaceProbe(nullptr);
        Antenna_Close();
    }
    void Start(const std::string& standard = "DVB-T / DVB-H", const std::string& levelUnit = "dBm") {
        BasicSettings basic = BasicSettings_Defaults(data.path());
        basic.standard = standard;
        basic.levelUnit = levelUnit;
        ASSERT_TRUE(BasicSettings_Save(data.file("basic.ini"), basic));
        WizardOptions options;
        options.dataDirectory = data.path();
        DriveTest_Init(view, nullptr, nullptr, options);
    }
    bool WaitForTable(int count = 1) {
        return view.waitFor([&] { return view.tablesShown >= count || view.noAnalyzerNotice; }) &&
               view.waitFor([] { return true; }) && WaitForWorker(kWorkerWaiting);
    }
    static bool WaitForWorker(int state) {
        for (int i = 0; i < 3000; ++i) {
            if (DriveTest_WorkerState() == state) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    static std::vector<std::string> Statuses() { return WizardFake_Statuses(); }

    TempDir data;
    FakeWizardView view;
    FakeNetwork net;
    std::int64_t freeBytes = std::int64_t{600} << 20;
};

TEST_F(WizardTest, SearchProbesEveryHostOfEachNetworkOnceAndReportsProgressToTheEnd) {
    net.addresses = {"10.0.0.5", "192.168.1.20"};
    net.hold = true;
    Start();
    ASSERT_TRUE(view.waitFor([&] { return !view.rangeText.empty(); }));
    EXPECT_EQ(view.rangeText, "10.0.0.[0..254]   or   192.168.1.[0..254]");
    // Half of the probes are done: the bar shows less than 100, and a refresh
    // names the state the worker is in and starts no second search.
    {
        std::unique_lock<std::mutex> l(net.m);
        ASSERT_TRUE(net.cv.wait_for(l, std::chrono::seconds(10), [&] { return net.sweeps == 1; }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    onDtRefresh();
    {
        std::lock_guard<std::mutex> l(view.m);
        for (double p : view.progress) EXPECT_LT(p, 100.0);
        EXPECT_EQ(view.searches, 1);
    }
    net.release();
    ASSERT_TRUE(WaitForTable());
    EXPECT_EQ(net.sweeps, 1);
    ASSERT_EQ(net.probes.size(), 2u * 254u);
    std::set<std::string> unique(net.probes.begin(), net.probes.end());
    EXPECT_EQ(unique.size(), net.probes.size());
    EXPECT_TRUE(unique.count("10.0.0.0") && unique.count("10.0.0.254") && unique.count("192.168.1.254"));
    EXPECT_FALSE(unique.count("10.0.0.5") || unique.count("192.168.1.20") || unique.count("10.0.0.255"));
    std::lock_guard<std::mutex> l(view.m);
    EXPECT_EQ(view.progress.back(), 100.0);
    EXPECT_TRUE(view.noAnalyzerNotice);
    EXPECT_FALSE(view.nextEnabled);
}

TEST_F(WizardTest, NoAddressStillReadsTheNeighbourTable) {
    // Only a neighbour outside any scanned network, and no address of our own.
    net.addNeighbour("127.0.2.40", kAlvra[0], kAlvra[1], kAlvra[2], 40);
    SimProcess sim("Alvra", "127.0.2.40", 5025, {"--serial", "100040"});
    ASSERT_TRUE(sim.ready());
    Start();
    ASSERT_TRUE(WaitForTable());
    EXPECT_EQ(view.rangeText, kNoAddressRange);
    EXPECT_EQ(net.sweeps, 0);
    ASSERT_EQ(DriveTest_AnalyzerTable().size(), 1u);
    EXPECT_EQ(Statuses()[0], "Korvane Alvra, 100040 | OK | Analyzer+GPS");
}

TEST_F(WizardTest, CheckKeepsUsableAnalyzersSortedWithTheirReasons) {
    SimProcess ok2("Alvra", "127.0.2.11", 5025, {"--serial", "1234.5678k22/101234"});
    SimProcess ok1("Alvra", "127.0.2.12", 5025, {"--serial", "100999", "--gps", "disconnected"});
    SimProcess old("Alvra", "127.0.2.13", 5025, {"--serial", "100001", "--firmware", "3.39"});
    SimProcess nopre("Alvra", "127.0.2.14", 5025, {"--serial", "100002", "--missing-option", "HW02"});
    SimProcess belko("Belko", "127.0.2.15", 5555, {"--serial", "200001"});
    SimProcess foreign("Alvra", "127.0.2.16", 5025, {"--serial", "300001"});
    for (auto* s : {&ok2, &ok1, &old, &nopre, &belko, &foreign}) ASSERT_TRUE(s->ready());
    for (int last : {11, 12, 13, 14}) net.addNeighbour("127.0.2." + std::to_string(last), kAlvra[0], kAlvra[1], kAlvra[2], last);
    net.addNeighbour("127.0.2.15", kBelko[0], kBelko[1], kBelko[2], 15);
    net.addNeighbour("127.0.2.16", 0x02, 0x00, 0x00, 16);                       // answers SCPI, but no family's MAC
    net.addNeighbour("127.0.2.17", kAlvra[0], kAlvra[1], kAlvra[2], 17);        // nobody there: "Fail", dropped
    Start();
    ASSERT_TRUE(WaitForTable());
    EXPECT_EQ(Statuses(), (std::vector<std::string>{
                              "Korvane Alvra, 100999 | OK | Analyzer",
                              "Korvane Alvra, 101234 | OK | Analyzer+GPS",
                              "Korvane Belko, 200001 | OK | Analyzer",
                              "Korvane Alvra, 100001 | Firmware version too low (3.39<3.40) | Nothing",
                              "Korvane Alvra, 100002 | 'RF Preselector' missing | Nothing",
                          }));
    const auto rows = DriveTest_AnalyzerTable();
    EXPECT_EQ(rows[0].colour, (RowColour{150, 255, 150}));
    EXPECT_EQ(rows[1].colour, (RowColour{150, 230, 150}));
    EXPECT_EQ(rows[3].colour, (RowColour{230, 150, 150}));
    EXPECT_FALSE(rows[3].roleEditable);
    EXPECT_EQ(rows[0].inputChoices, (std::vector<std::string>{"50 Ohm", "75 Ohm"}));

    // Another standard on the basic page: validated again, roles back to their defaults.
    onDtHwTable(2, 3, "Nothing");
    BasicSettings basic = view.readBasic();
    basic.standard = "DVB-T2";
    {
        std::lock_guard<std::mutex> l(view.m);
        view.basic = basic;
    }
    onDtBasicNext();
    ASSERT_TRUE(WaitForTable(2));
    const auto after = Statuses();
    EXPECT_EQ(after[0], "Korvane Alvra, 100999 | OK | Analyzer");
    EXPECT_EQ(after[1], "Korvane Alvra, 101234 | OK | Analyzer+GPS");
    EXPECT_NE(std::find(after.begin(), after.end(), "Korvane Belko, 200001 | 'DVB-T2' not supported | Nothing"), after.end());
}

TEST_F(WizardTest, TheAnalyzersOwnComputerIsListedFirstAndKeptWhenItsFirmwareIsNotRunning) {
    net.adapterList = {{"lo", {0, 0, 0, 0, 0, 0}}, {"eth0", {0x00, 0xc0, 0x3a, 1, 2, 3}}};
    TempDir etc;
    WriteWholeFile(etc.file("serial"), {'1', '0', '0'});
    setenv("FIELDTRACE_INSTRUMENT_SERIAL", etc.file("serial").c_str(), 1);
    Start();
    ASSERT_TRUE(WaitForTable());
    ASSERT_EQ(Statuses(), (std::vector<std::string>{"Korvane Alvra, ? | Firmware not running | Nothing"}));
    EXPECT_STREQ(DriveTest_Analyzers()[0].address, "127.0.0.1");
    // On a PC the same adapter's slot is dropped when nothing answers.
    unsetenv("FIELDTRACE_INSTRUMENT_SERIAL");
    onDtRefresh();
    ASSERT_TRUE(view.waitFor([&] { return view.noAnalyzerNotice; }));
}

// The selection rules run on a table the test fills through the worker.
class SelectionTest : public WizardTest {
protected:
    // CTest runs every case in a process of its own, in parallel: each case has its own addresses.
    void Fill(int base, const std::string& levelUnit = "dBm") {
        auto at = [&](int k) { return "127.0.3." + std::to_string(base + k); };
        sims.push_back(std::make_unique<SimProcess>("Alvra", at(1), 5025, std::vector<std::string>{"--serial", "100021"}));
        sims.push_back(std::make_unique<SimProcess>("Alvra", at(2), 5025, std::vector<std::string>{"--serial", "100022"}));
        sims.push_back(std::make_unique<SimProcess>(
            "Alvra", at(3), 5025,
            std::vector<std::string>{"--serial", "100023", "--gps", "disconnected", "--missing-option", "FW04"}));
        sims.push_back(std::make_unique<SimProcess>("Belko", at(4), 5555, std::vector<std::string>{"--serial", "200024"}));
        for (auto& s : sims) ASSERT_TRUE(s->ready());
        for (int k : {1, 2, 3}) net.addNeighbour(at(k), kAlvra[0], kAlvra[1], kAlvra[2], static_cast<std::uint8_t>(k));
        net.addNeighbour(at(4), kBelko[0], kBelko[1], kBelko[2], 4);
        Start("DVB-T / DVB-H", levelUnit);
        ASSERT_TRUE(WaitForTable());
        ASSERT_EQ(DriveTest_AnalyzerTable().size(), 4u);
    }
    std::string LastMessage() {
        std::lock_guard<std::mutex> l(view.m);
        return view.messages.empty() ? "" : view.messages.back();
    }
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(SelectionTest, RolesProviderAndTypeRules) {
    Fill(10);
    // Rows: 2 Alvra 100021 (GPS), 3 Alvra 100022, 4 Alvra 100023 (no receiver, no family option), 5 Belko.
    auto roles = [] {
        std::vector<std::string> r;
        for (const auto& row : DriveTest_AnalyzerTable()) r.push_back(row.role);
        return r;
    };
    EXPECT_EQ(roles(), (std::vector<std::string>{"Analyzer+GPS", "Analyzer", "Analyzer", "Analyzer"}));
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 0);
    EXPECT_EQ(LastMessage(),
              "If multiple TV Analyzers are selected, their type must be the same.\nTo control different types at the same "
              "time,\nstart a separate software instance for each.");
    onDtHwTable(5, 3, "Nothing");
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 1);

    // The second GPS provider wins; the first goes back to "Analyzer".
    onDtHwTable(3, 3, "Analyzer+GPS");
    EXPECT_EQ(roles(), (std::vector<std::string>{"Analyzer", "Analyzer+GPS", "Analyzer", "Nothing"}));
    // No receiver and no family option: refused with the reason.
    onDtHwTable(4, 3, "Analyzer+GPS");
    EXPECT_EQ(roles()[2], "Analyzer");
    EXPECT_EQ(LastMessage(), "'Measurement Log' missing");
    {
        std::lock_guard<std::mutex> l(view.m);
        EXPECT_EQ(view.rows[2].role, "Analyzer");
    }
    onDtHwTable(3, 3, "Analyzer");
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 0);
    EXPECT_EQ(LastMessage(), "Please also select, which TV Analyzer should provide the GPS coordinates.");
    for (int row : {2, 3, 4}) onDtHwTable(row, 3, "Nothing");
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 0);
    EXPECT_EQ(LastMessage(), "Please select at least one TV Analyzer.");
    // A red row cannot be chosen... and Next stays on the page while the check fails.
    const auto pages = view.pages.size();
    onDtHwNext();
    EXPECT_EQ(view.pages.size(), pages);
}

TEST_F(SelectionTest, FieldStrengthNeedsAnAntennaForEverySelectedAnalyzer) {
    Fill(20, "dB\xB5V/m");
    EXPECT_TRUE(DriveTest_AntennaColumn());
    EXPECT_EQ(DriveTest_AnalyzerTable()[0].antenna, kAntennaEditItem);
    onDtHwTable(5, 3, "Nothing");
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 0);
    EXPECT_EQ(LastMessage(), "Please assign an antenna type to every selected TV analyzer.");
    onDtHwTable(2, 5, kAntennaEditItem);
    EXPECT_EQ(view.antennaEditorOpened, 1);
    for (int row : {2, 3, 4}) onDtHwTable(row, 5, "Dipole");
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 1);
    // Help of the antenna column only while it is there.
    onDtHwTableMouse(1, 5);
    EXPECT_NE(view.help.find("K-Factors"), std::string::npos);
    onDtHwTableMouse(3, 5);
    EXPECT_EQ(view.help, "");
}

// The editor moved and deleted antennas the table had chosen: each row keeps
// its antenna by name, the slot its position in the new list; a deleted one
// leaves the row without antenna instead of handing it another one.
TEST_F(SelectionTest, AntennaEditsKeepEachRowsAntennaByName) {
    for (const char* name : {"Dipole", "Yagi", "Zeta"})
        Antenna_Update([&](AntennaList& list) { return list.addAntenna(name); });
    Fill(30, "dB\xB5V/m");
    onDtHwTable(2, 5, "Yagi");
    onDtHwTable(3, 5, "Zeta");
    onDtHwTable(5, 3, "Nothing");  // the other family
    Antenna_Update([](AntennaList& list) { return list.addAntenna("Adcock"); });
    Antenna_Update([](AntennaList& list) { return list.removeAntenna(list.positionOf("Zeta")); });
    const int shown = view.tablesShown;
    DriveTest_AntennasChanged();

    std::vector<std::string> antennas;
    for (const auto& row : DriveTest_AnalyzerTable()) antennas.push_back(row.antenna);
    EXPECT_EQ(antennas, (std::vector<std::string>{"Yagi", kAntennaEditItem, "Dipole", "Dipole"}));
    std::vector<int> positions;
    for (const auto& slot : DriveTest_Analyzers()) positions.push_back(slot.antennaIndex);
    EXPECT_EQ(positions, (std::vector<int>{3, 0, 2, 2}));
    {
        std::lock_guard<std::mutex> l(view.m);
        EXPECT_EQ(view.tablesShown, shown + 1);
        ASSERT_EQ(view.rows.size(), 4u);
        EXPECT_EQ(view.rows[1].antenna, kAntennaEditItem);
        EXPECT_EQ(view.rows[3].role, "Nothing");  // the choices made so far stay
    }
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 0);
    EXPECT_EQ(LastMessage(), "Please assign an antenna type to every selected TV analyzer.");
    onDtHwTable(3, 5, "Adcock");
    EXPECT_EQ(DriveTest_CheckSelection(0, 1), 1);
}

TEST_F(WizardTest, BasicPageDiskCheckAndDirectory) {
    Start();
    freeBytes = std::int64_t{499} << 20;
    onDtBasicNext();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0],
              "Not enough free diskspace (499 MB) in selected output directory: At least 500 MB are required.\nSelect "
              "another output directory.");
    EXPECT_TRUE(view.pages.empty());
    freeBytes = std::int64_t{500} << 20;
    onDtBasicNext();
    ASSERT_EQ(view.pages, std::vector<WizardPage>{WizardPage::Hardware});
    EXPECT_EQ(view.levelTitle, "Level [dBm]");

    view.chosenDirectory = data.path() + "/";
    onDtBasicDir();
    EXPECT_EQ(DriveTest_Basic().outputDirectory, data.path());
    view.chosenDirectory = "/";
    onDtBasicDir();
    EXPECT_EQ(DriveTest_Basic().outputDirectory, "/");
}

}  // namespace

namespace {

TEST_F(WizardTest, OptionsQueryThatFailsKeepsNetworkCommunicationErrorThroughRevalidation) {
    SimProcess sim("Alvra", "127.0.2.51", 5025, {"--serial", "100051", "--drop-after", "1"});
    ASSERT_TRUE(sim.ready());
    net.addNeighbour("127.0.2.51", kAlvra[0], kAlvra[1], kAlvra[2], 51);
    Start();
    ASSERT_TRUE(WaitForTable());
    ASSERT_EQ(Statuses(), (std::vector<std::string>{"Korvane Alvra, 100051 | Network communication error | Nothing"}));
    onDtBasicNext();
    ASSERT_TRUE(WaitForTable(2));
    EXPECT_EQ(Statuses()[0], "Korvane Alvra, 100051 | Network communication error | Nothing");
}

}  // namespace

namespace {

// Engaged analyzers on loopback addresses, as the frequency page finds them.
class EngagedTest : public WizardTest {
protected:
    // Each case on addresses of its own (CTest runs the cases in parallel).
    void Engage(int base) {
        for (int k : {1, 2}) {
            const std::string address = "127.0.4." + std::to_string(base + k);
            sims.push_back(std::make_unique<SimProcess>(
                "Alvra", address, 5025,
                std::vector<std::string>{"--serial", "10006" + std::to_string(k), "--settle-ms", "100", "--seed",
                                         std::to_string(base + k)}));
            ASSERT_TRUE(sims.back()->ready());
            net.addNeighbour(address, kAlvra[0], kAlvra[1], kAlvra[2], static_cast<std::uint8_t>(k));
        }
        Start();
        ASSERT_TRUE(WaitForTable());
        ASSERT_EQ(DriveTest_AnalyzerTable().size(), 2u);
    }
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(EngagedTest, DriveTestThroughThePagesRecordsInLockStep) {
    Engage(10);
    WizardDrive_Run(view, 3, 2);  // the second analyzer in table order provides GPS
    // The engaged slots kept their input and level unit.
    const auto slots = DriveTest_Analyzers();
    EXPECT_EQ(slots[0].inputIndex, 1);
    EXPECT_GT(slots[0].levelUnitIndex, 0);
    EXPECT_EQ(view.distanceTitles, (std::vector<std::string>{"Grid spacing [km]", "Track length [km]", "Speed [km/h]"}));
}

TEST_F(EngagedTest, EngagementBuildsBlocksTreeAndDefaultsAndHomeEndsEveryThread) {
    Engage(20);
    onDtHwTable(2, 3, "Nothing");
    onDtHwTable(3, 3, "Analyzer+GPS");
    onDtHwNext();
    ASSERT_EQ(view.pages.back(), WizardPage::Frequencies);
    // Only the selected analyzer has a context and a block; both slots got their input.
    EXPECT_EQ(DriveTest_Threads().size(), 1u);
    ASSERT_EQ(DriveTest_FrequencyBlockCount(), 1);
    EXPECT_EQ(DriveTest_FrequencyBlock(1)[0].frequencyMHz, 500.0);
    for (const auto& s : DriveTest_Analyzers()) EXPECT_EQ(s.inputIndex, 1);
    // Default measurements: marks set, tree hidden; "User defined:" shows the same marks.
    const auto defaults = DriveTest_MarkedTags();
    EXPECT_FALSE(defaults.empty());
    EXPECT_EQ(view.options, (std::vector<bool>{true, false, false}));
    for (const auto& ind : view.indicators) EXPECT_EQ(ind.text.substr(0, 2), "- ");
    onDtMeasUsr(true);
    EXPECT_EQ(view.options, (std::vector<bool>{false, true, true}));
    onDtMeasTreeMark(0, false);
    EXPECT_NE(DriveTest_MarkedTags(), defaults);
    onDtMeasDef(true);
    EXPECT_EQ(DriveTest_MarkedTags(), defaults);
    for (std::size_t i = 0; i < view.tree.size(); ++i) onDtMeasTreeMark(static_cast<int>(i), false);
    onDtMeasNext();
    EXPECT_EQ(view.messages.back(), "Please select at least one measurement.");
    EXPECT_NE(view.pages.back(), WizardPage::Recording);

    // Home while the analyzer is still being prepared: every thread ends before the home page shows.
    onDtFreqHome();
    EXPECT_EQ(view.pages.back(), WizardPage::Home);
    EXPECT_TRUE(DriveTest_Threads().empty());
    EXPECT_EQ(DriveTest_WorkerState(), kWorkerWaiting);
}

TEST_F(EngagedTest, QuittingWhileRecordingClosesEveryFile) {
    Engage(30);
    onDtHwNext();
    ASSERT_EQ(view.pages.back(), WizardPage::Frequencies);
    ASSERT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, 2, 3, "A"), 1);
    ASSERT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, 3, 3, "B"), 1);
    onDtFreqNext();
    onDtMeasNext();
    ASSERT_EQ(view.pages.back(), WizardPage::Recording);
    ASSERT_TRUE(WizardDrive_WaitPrepared(2));
    ASSERT_TRUE(DriveTest_Record());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    auto taken = [] {
        const auto t = DriveTest_Threads();
        return t.empty() || t.back().sampleCounts.empty() ? 0 : t.back().sampleCounts[0];
    };
    while (taken() < 2 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GE(taken(), 2);
    const auto files = DriveTest_RecordFiles();
    DriveTest_Close();  // program end
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(DriveTest_StopReason(), "");  // the drive test is gone
    // Both files open and hold the same clock; the quit may cut the last
    // sample of one analyzer before the other has stored it.
    auto first = WizardDrive_CycleStarts(files[0]), second = WizardDrive_CycleStarts(files[1]);
    if (first.size() < second.size()) std::swap(first, second);
    EXPECT_GE(second.size(), 1u);
    EXPECT_LE(first.size() - second.size(), 1u);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), first.begin()))
        << [&] {
               std::string t;
               for (double x : first) t += std::to_string(x) + " ";
               t += "/ ";
               for (double x : second) t += std::to_string(x) + " ";
               return t;
           }();
}

}  // namespace

namespace {

class NullGpsPanel : public GpsSetupView {
public:
    void showReceivers(const std::vector<std::string>& names) override {
        std::lock_guard<std::mutex> l(m);
        receivers = names;
    }
    void setControlsEnabled(bool) override {}
    void showInputs(const std::vector<GpsSetupInputRow>&) override {}
    void showProgress(const std::string& caption, int) override {
        std::lock_guard<std::mutex> l(m);
        captions += caption + "; ";
    }
    void showResult(const std::string&, const std::string& text, RowColour) override {
        std::lock_guard<std::mutex> l(m);
        result = text;
    }
    void showPanel(bool shown) override {
        std::lock_guard<std::mutex> l(m);
        panelShown = shown;
    }
    void setMainTabsEnabled(bool) override {}
    std::mutex m;
    std::string result, captions;
    std::vector<std::string> receivers;
    bool panelShown = false;
};

// A GPS provider without a detected receiver goes through the receiver setup.
TEST_F(WizardTest, GpsProviderWithoutReceiverOpensTheSetupAndKeepsTheRoleOnlyWhenFound) {
    SimProcess plain("Alvra", "127.0.2.71", 5025, {"--serial", "100071"});
    SimProcess bare("Alvra", "127.0.2.72", 5025, {"--serial", "100072", "--gps-receiver", "Korvane GNX-P1"});
    ASSERT_TRUE(plain.ready() && bare.ready());
    net.addNeighbour("127.0.2.71", kAlvra[0], kAlvra[1], kAlvra[2], 71);
    net.addNeighbour("127.0.2.72", kAlvra[0], kAlvra[1], kAlvra[2], 72);
    NullGpsPanel panel;
    GpsSetup_SetTiming({40.0, 0.1});
    GpsSetup_Init(&panel, &DriveTest_GpsHost());
    struct Closer {
        ~Closer() { GpsSetup_Close(); }  // before the panel goes
    } closer;
    Start();
    ASSERT_TRUE(WaitForTable());
    ASSERT_EQ(Statuses(), (std::vector<std::string>{"Korvane Alvra, 100071 | OK | Analyzer+GPS",
                                                    "Korvane Alvra, 100072 | OK | Analyzer"}));
    // Closed before the receiver was found: the role goes back, the first stays provider.
    onDtHwTable(3, 3, "Analyzer+GPS");
    EXPECT_TRUE(panel.panelShown);
    onGsClose();
    EXPECT_FALSE(panel.panelShown);
    EXPECT_EQ(Statuses()[1], "Korvane Alvra, 100072 | OK | Analyzer");
    EXPECT_EQ(Statuses()[0], "Korvane Alvra, 100071 | OK | Analyzer+GPS");

    // Its receiver chosen and found: the analyzer provides GPS, the other goes back.
    {
        std::lock_guard<std::mutex> l(panel.m);
        panel.receivers.clear();
    }
    onDtHwTable(3, 3, "Analyzer+GPS");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto ringFilled = [&] {
        std::lock_guard<std::mutex> l(panel.m);
        return !panel.receivers.empty();
    };
    while (!ringFilled() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    onGsRing(1);  // "Korvane GNX-P1"
    auto found = [&] {
        std::lock_guard<std::mutex> l(panel.m);
        return panel.result == "GPS receiver detected";
    };
    while (!found() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(found()) << panel.result << " " << panel.captions;
    onGsClose();
    EXPECT_EQ(DriveTest_Analyzers()[1].gpsDetected, 1);
    EXPECT_EQ(Statuses()[1], "Korvane Alvra, 100072 | OK | Analyzer+GPS");
    EXPECT_EQ(Statuses()[0], "Korvane Alvra, 100071 | OK | Analyzer");
}

}  // namespace
