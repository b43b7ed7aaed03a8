// The basic page, the hardware page and the GPS setup panel driven as a user
// drives them, with the wizard searching a scripted network whose neighbours
// are simulated analyzers on 127.0.6.x.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMouseEvent>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>

#include "antenna/antenna.h"
#include "drivetest/basicsettings.h"
#include "drivetest/gpshost.h"
#include "drivetest/wizardfakes.h"
#include "instrument/receiverinfo.h"
#include "measure/drivetest.h"
#include "platform/paths.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "drivetest/frequencylist.h"
#include "ui/antennaeditor.h"
#include "ui/basicpage.h"
#include "ui/drivetestpages.h"
#include "ui/gpspanel.h"
#include "ui/hardwarepage.h"
#include "ui/mainwindow.h"
#include "ui/startpage.h"
#include "ui/uitest.h"

namespace {

constexpr std::uint8_t kAlvra[3] = {0x00, 0xc0, 0x3a};
constexpr std::uint8_t kBelko[3] = {0x00, 0x90, 0xb8};

// The wizard's view: the basic and hardware parts are the real pages; the
// window's part records what it is asked, as for the headless wizard.
class PagesView : public FakeWizardView {
public:
    PagesView(QStackedWidget& stack, BasicPage& basic, HardwarePage& hardware)
        : stack_(stack), basic_(basic), hardware_(hardware) {}
    // Called on the main thread by the buttons these tests press.
    void showPage(WizardPage page) override {
        FakeWizardView::showPage(page);
        if (page == WizardPage::Basic) stack_.setCurrentWidget(&basic_);
        if (page == WizardPage::Hardware) stack_.setCurrentWidget(&hardware_);
    }
    void setChoices(const std::vector<std::string>& s, const std::vector<std::string>& l,
                    const std::vector<std::string>& d) override {
        basic_.setChoices(s, l, d);
    }
    void showBasic(const BasicSettings& settings) override { basic_.showBasic(settings); }
    BasicSettings readBasic() override { return basic_.readBasic(); }
    void showProgress(const std::string& label, double percent) override { hardware_.showProgress(label, percent); }
    void setProgress(double percent) override { hardware_.setProgress(percent); }
    void hideResults() override { hardware_.hideResults(); }
    void showRangeText(const std::string& text) override { hardware_.showRangeText(text); }
    void showNoAnalyzerNotice() override { hardware_.showNoAnalyzerNotice(); }
    void showAnalyzerTable(const std::vector<AnalyzerTableRow>& rows, bool antennaColumn,
                           const std::vector<std::string>& antennas) override {
        hardware_.showAnalyzerTable(rows, antennaColumn, antennas);
    }
    void setActionsEnabled(bool next, bool refresh) override { hardware_.setActionsEnabled(next, refresh); }
    void setCell(int row, int column, const std::string& text) override { hardware_.setCell(row, column, text); }
    void showHelp(const std::string& text) override { hardware_.showHelp(text); }

    std::string lastMessage() {
        std::lock_guard<std::mutex> l(m);
        return messages.empty() ? "" : messages.back();
    }

private:
    QStackedWidget& stack_;
    BasicPage& basic_;
    HardwarePage& hardware_;
};

template <class Cond>
bool WaitFor(Cond cond, int seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Picks text in a combo with the arrow keys, as a user without the mouse does.
void Choose(QComboBox* combo, const QString& text) {
    ASSERT_NE(combo, nullptr);
    const int target = combo->findText(text, Qt::MatchExactly);
    ASSERT_GE(target, 0) << text.toStdString();
    combo->setFocus();
    for (int i = 0; i < 20 && combo->currentIndex() != target; ++i)
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(combo->currentIndex(), target);
    Ui_Flush();
}

void MouseMove(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    Ui_Flush();
}

QColor Background(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->background().color() : QColor();
}

class HardwarePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Platform_SetDataDirectory(data.path());
        ReceiverInfo_Init();
        Antenna_Init(nullptr, data.path());
        Network_SetAccess(&net);
        DriveTest_SetFreeSpaceProbe([this](const std::string&) { return freeBytes.load(); });
        unsetenv("FIELDTRACE_INSTRUMENT_SERIAL");
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(stack);
        stack->addWidget(basic);
        stack->addWidget(hardware);
        window.resize(1000, 700);
        window.show();
    }
    void TearDown() override {
        GpsSetup_Close();
        GpsSetup_SetTiming({});
        DriveTest_Close();
        Ui_Flush();
        Network_SetAccess(nullptr);
        DriveTest_SetFreeSpaceProbe(nullptr);
        Antenna_Close();
    }
    void Start(const std::string& levelUnit = "dBm") {
        BasicSettings settings = BasicSettings_Defaults(data.path());
        settings.standard = "DVB-T / DVB-H";
        settings.levelUnit = levelUnit;
        ASSERT_TRUE(BasicSettings_Save(data.file("basic.ini"), settings));
        WizardOptions options;
        options.dataDirectory = data.path();
        DriveTest_Init(view, nullptr, nullptr, options);
        Ui_Flush();
    }
    // Simulators on 127.0.6.<host>, each a neighbour with its family's MAC prefix.
    void Sim(const std::string& family, int host, std::vector<std::string> extra) {
        const std::string address = "127.0.6." + std::to_string(host);
        sims.push_back(std::make_unique<SimProcess>(family, address, family == "Belko" ? 5555 : 5025, extra));
        ASSERT_TRUE(sims.back()->ready());
        const std::uint8_t* mac = family == "Belko" ? kBelko : kAlvra;
        net.addNeighbour(address, mac[0], mac[1], mac[2], static_cast<std::uint8_t>(host));
    }
    // The table filled with rows analyzers and columns columns, the worker waiting.
    bool WaitForTable(int rows, int columns = 4) {
        QTableWidget* t = hardware->table();
        const bool shown = WaitFor([&] {
            return !t->isHidden() && t->rowCount() == rows && t->columnCount() == columns &&
                   DriveTest_WorkerState() == kWorkerWaiting;
        });
        // The worker posted its last calls (Next enabled) before it was waiting.
        Ui_Flush();
        return shown;
    }
    std::vector<std::string> CoreRoles() {
        std::vector<std::string> roles;
        for (const auto& row : DriveTest_AnalyzerTable()) roles.push_back(row.role);
        return roles;
    }

    QApplication& app = UiTest_App();  // before the widgets below
    TempDir data;
    FakeNetwork net;
    std::atomic<std::int64_t> freeBytes{std::int64_t{600} << 20};
    QWidget window;
    QStackedWidget* stack = new QStackedWidget(&window);
    BasicPage* basic = new BasicPage(stack);
    HardwarePage* hardware = new HardwarePage(stack);
    PagesView view{*stack, *basic, *hardware};
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(HardwarePageTest, BasicPageReadsBackTheUsersChoicesAndChecksTheDisk) {
    Start();
    ASSERT_EQ(basic->standard()->currentText(), "DVB-T / DVB-H");
    ASSERT_EQ(basic->levelUnit()->currentText(), "dBm");
    Choose(basic->levelUnit(), Ui_Text("dB\xB5V/m"));
    Choose(basic->distanceUnit(), "miles [mi]");
    BasicSettings read = basic->readBasic();
    EXPECT_EQ(read.levelUnit, "dB\xB5V/m");  // Latin-1, as the core compares it
    EXPECT_EQ(read.distanceUnit, "miles [mi]");
    EXPECT_EQ(read.standard, "DVB-T / DVB-H");

    // The directory dialog's choice, its trailing slash dropped, is shown and read back.
    const std::string chosen = data.file("drives");
    std::filesystem::create_directory(chosen);
    view.chosenDirectory = chosen + "/";
    QTest::mouseClick(basic->directoryButton(), Qt::LeftButton);
    Ui_Flush();
    EXPECT_EQ(basic->directory()->text().toStdString(), chosen);
    EXPECT_EQ(basic->readBasic().outputDirectory, chosen);

    freeBytes = std::int64_t{499} << 20;
    QTest::mouseClick(basic->next(), Qt::LeftButton);
    EXPECT_EQ(view.lastMessage(),
              "Not enough free diskspace (499 MB) in selected output directory: At least 500 MB are required.\nSelect "
              "another output directory.");
    EXPECT_TRUE(view.pages.empty());
    freeBytes = std::int64_t{500} << 20;
    QTest::mouseClick(basic->next(), Qt::LeftButton);
    EXPECT_EQ(view.pages, std::vector<WizardPage>{WizardPage::Hardware});
    EXPECT_EQ(DriveTest_Basic().levelUnit, "dB\xB5V/m");
    EXPECT_EQ(DriveTest_Basic().distanceUnit, "miles [mi]");

    // A standard the choices lack cannot be shown: what is read is what the page shows.
    BasicSettings unknown = read;
    unknown.standard = "No such standard";
    basic->showBasic(unknown);
    Ui_Flush();
    EXPECT_EQ(basic->readBasic().standard, Ui_Latin1(basic->standard()->currentText()));
    EXPECT_EQ(basic->readBasic().levelUnit, "dB\xB5V/m");

    // The scripted network has no address and no neighbour: the notice instead of a table.
    ASSERT_TRUE(WaitFor([&] { return !hardware->notice()->isHidden(); }));
    EXPECT_TRUE(hardware->notice()->isVisible());
    EXPECT_FALSE(hardware->table()->isVisible());
    EXPECT_FALSE(hardware->progressBar()->isVisible());
    EXPECT_EQ(hardware->rangeText()->text(), kNoAddressRange);
    EXPECT_FALSE(hardware->next()->isEnabled());
    EXPECT_TRUE(hardware->refresh()->isEnabled());
}

TEST_F(HardwarePageTest, TableChoicesFollowTheSelectionRules) {
    Sim("Alvra", 1, {"--serial", "100021"});
    Sim("Alvra", 2, {"--serial", "100022"});
    Sim("Alvra", 3, {"--serial", "100023", "--gps", "disconnected", "--missing-option", "FW04"});
    Sim("Belko", 4, {"--serial", "200024"});
    Sim("Alvra", 5, {"--serial", "100025", "--firmware", "3.39"});
    Start();
    ASSERT_TRUE(WaitForTable(5));
    stack->setCurrentWidget(hardware);
    QTableWidget* t = hardware->table();
    EXPECT_EQ(t->item(0, 0)->text(), "Korvane Alvra, 100021");
    EXPECT_TRUE(t->item(4, 1)->text().startsWith("Firmware version too low (3.39<")) << t->item(4, 1)->text().toStdString();
    EXPECT_EQ(Background(t, 0, 1), QColor(150, 255, 150));
    EXPECT_EQ(Background(t, 1, 1), QColor(150, 230, 150));
    EXPECT_EQ(Background(t, 4, 2), QColor(255, 150, 150));
    // A red row offers no role; the first analyzer with a receiver provides GPS.
    EXPECT_EQ(hardware->choice(6, 3), nullptr);
    EXPECT_EQ(t->item(4, 2)->text(), "Nothing");
    EXPECT_EQ(hardware->choice(2, 3)->currentText(), "Analyzer+GPS");
    EXPECT_EQ(hardware->choice(2, 4)->currentText().toStdString(), DriveTest_AnalyzerTable()[0].input);
    EXPECT_TRUE(hardware->next()->isEnabled());

    QTest::mouseClick(hardware->next(), Qt::LeftButton);
    EXPECT_EQ(view.lastMessage(),
              "If multiple TV Analyzers are selected, their type must be the same.\nTo control different types at the same "
              "time,\nstart a separate software instance for each.");
    EXPECT_TRUE(view.pages.empty());

    Choose(hardware->choice(5, 3), "Nothing");
    // A second provider: the first goes back to "Analyzer" in the core and on screen.
    Choose(hardware->choice(3, 3), "Analyzer+GPS");
    EXPECT_EQ(hardware->choice(2, 3)->currentText(), "Analyzer");
    EXPECT_EQ(t->item(0, 2)->text(), "Analyzer");
    // No receiver and no family option: refused with the reason, the cell shows the role kept.
    Choose(hardware->choice(4, 3), "Analyzer+GPS");
    EXPECT_EQ(view.lastMessage(), "'Measurement Log' missing");
    EXPECT_EQ(hardware->choice(4, 3)->currentText(), "Analyzer");
    EXPECT_EQ(CoreRoles(), (std::vector<std::string>{"Analyzer", "Analyzer+GPS", "Analyzer", "Nothing", "Nothing"}));

    for (int row : {2, 3, 4}) Choose(hardware->choice(row, 3), "Nothing");
    QTest::mouseClick(hardware->next(), Qt::LeftButton);
    EXPECT_EQ(view.lastMessage(), "Please select at least one TV Analyzer.");
    EXPECT_TRUE(view.pages.empty());
}

TEST_F(HardwarePageTest, FieldStrengthAddsTheAntennaColumnAndTitleCellsShowTheirHelp) {
    Antenna_Update([](AntennaList& list) { return list.addAntenna("Dipole"); });
    Sim("Alvra", 11, {"--serial", "100031"});
    Start();
    ASSERT_TRUE(WaitForTable(1));
    stack->setCurrentWidget(hardware);

    QHeaderView* header = hardware->table()->horizontalHeader();
    auto titleCentre = [&](int column) {
        return QPoint(header->sectionViewportPosition(column - 1) + header->sectionSize(column - 1) / 2,
                      header->height() / 2);
    };
    MouseMove(header->viewport(), titleCentre(3));
    ASSERT_TRUE(hardware->helpBox()->isVisible());
    EXPECT_TRUE(hardware->helpBox()->text().startsWith("[Nothing]\nNot used."));
    MouseMove(header->viewport(), titleCentre(1));
    EXPECT_EQ(hardware->helpBox()->text(), "Type and serial number of the available TV analyzers.");
    MouseMove(hardware->table()->viewport(), hardware->table()->visualItemRect(hardware->table()->item(0, 1)).center());
    EXPECT_FALSE(hardware->helpBox()->isVisible());
    MouseMove(header->viewport(), titleCentre(2));
    EXPECT_TRUE(hardware->helpBox()->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(header->viewport(), &leave);
    Ui_Flush();
    EXPECT_FALSE(hardware->helpBox()->isVisible());

    // Back to the basic page for a field strength unit: the table is refilled with the antenna column.
    QTest::mouseClick(hardware->previous(), Qt::LeftButton);
    EXPECT_EQ(view.pages.back(), WizardPage::Basic);
    Choose(basic->levelUnit(), Ui_Text("dB\xB5V/m"));
    QTest::mouseClick(basic->next(), Qt::LeftButton);
    ASSERT_TRUE(WaitForTable(1, 5));
    EXPECT_EQ(hardware->table()->horizontalHeaderItem(4)->text(), "Antenna");
    QComboBox* antenna = hardware->choice(2, 5);
    ASSERT_NE(antenna, nullptr);
    EXPECT_EQ(antenna->currentText(), "Dipole");
    // The edit entry opens the editor and the cell keeps the antenna the wizard holds.
    antenna->setFocus();
    QTest::keyClick(antenna, Qt::Key_End);
    EXPECT_EQ(view.antennaEditorOpened, 1);
    EXPECT_EQ(antenna->currentText(), "Dipole");
    EXPECT_EQ(DriveTest_AnalyzerTable()[0].antenna, "Dipole");
    MouseMove(header->viewport(), titleCentre(5));
    EXPECT_TRUE(hardware->helpBox()->text().contains("K-Factors"));

    QTest::mouseClick(hardware->previous(), Qt::LeftButton);
    Choose(basic->levelUnit(), "dBm");
    QTest::mouseClick(basic->next(), Qt::LeftButton);
    ASSERT_TRUE(WaitForTable(1, 4));
}

TEST_F(HardwarePageTest, GpsProviderWithoutReceiverOpensThePanelAndClosingSetsTheRoleBack) {
    Sim("Alvra", 21, {"--serial", "100071"});
    Sim("Alvra", 22, {"--serial", "100072", "--gps-receiver", "Korvane GNX-P1"});
    GpsSetup_SetTiming({40.0, 0.1});
    GpsPanel panel(stack, &window);
    GpsSetup_Init(&panel, &DriveTest_GpsHost());
    struct Closer {
        ~Closer() { GpsSetup_Close(); }  // before the panel goes
    } closer;
    Start();
    ASSERT_TRUE(WaitForTable(2));
    stack->setCurrentWidget(hardware);
    ASSERT_EQ(hardware->choice(2, 3)->currentText(), "Analyzer+GPS");

    Choose(hardware->choice(3, 3), "Analyzer+GPS");
    ASSERT_TRUE(WaitFor([&] { return panel.isVisible() && panel.receivers()->count() == 3; }));
    EXPECT_FALSE(stack->isEnabled());
    EXPECT_TRUE(panel.closeButton()->isEnabled());
    EXPECT_TRUE(panel.rect().contains(panel.card()->geometry()));  // nothing of the card is cut

    // The NMEA receiver has one input, the COM port: it starts at its minimum and is held to [1, 16].
    ASSERT_TRUE(WaitFor([&] { return panel.receivers()->isEnabled(); }));
    panel.receivers()->setFocus();
    QTest::keyClick(panel.receivers(), Qt::Key_End);
    ASSERT_EQ(panel.receivers()->currentText(), "NMEA compatible with virtual COM port interface");
    QTableWidget* inputs = panel.inputs();
    ASSERT_TRUE(WaitFor([&] { return !panel.inputBox()->isHidden() && inputs->rowCount() == 1 && inputs->isEnabled(); }));
    EXPECT_EQ(inputs->item(0, 0)->text(), "Virtual COM port");
    EXPECT_EQ(inputs->item(0, 2)->data(Qt::EditRole).toInt(), 1);
    inputs->setFocus();
    inputs->setCurrentCell(0, 2);
    QSpinBox* spin = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (spin = inputs->findChild<QSpinBox*>()) != nullptr; }, 5));  // opened by itself
    EXPECT_EQ(spin->maximum(), 16);
    spin->selectAll();
    QTest::keyClicks(spin, "99");  // the second 9 would leave the range
    QTest::keyClick(spin, Qt::Key_Return);  // committed by a queued call
    EXPECT_TRUE(WaitFor([&] { return inputs->findChild<QSpinBox*>() == nullptr; }, 5));
    EXPECT_EQ(inputs->item(0, 2)->data(Qt::EditRole).toInt(), 9);
    EXPECT_EQ(inputs->currentColumn(), 0);

    QTest::mouseClick(panel.closeButton(), Qt::LeftButton);  // returns once the setup has ended
    Ui_Flush();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(stack->isEnabled());
    EXPECT_EQ(hardware->choice(3, 3)->currentText(), "Analyzer");
    EXPECT_EQ(hardware->table()->item(1, 2)->text(), "Analyzer");
    EXPECT_EQ(hardware->choice(2, 3)->currentText(), "Analyzer+GPS");
    EXPECT_EQ(CoreRoles(), (std::vector<std::string>{"Analyzer+GPS", "Analyzer"}));
}

// The whole window with its antenna editor, on one simulated analyzer that
// measures field strength. Antennas: Dipole 50..300 MHz, Yagi 400..800 MHz
// (10 to 14 dB/m), Zeta 850..900 MHz; the analyzer is given the Yagi.
class AntennaEditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Platform_SetDataDirectory(data.path());
        ReceiverInfo_Init();
        AntennaList list;
        const std::pair<const char*, std::vector<KFactorPoint>> antennas[] = {
            {"Dipole", {{50, 5}, {300, 8}}}, {"Yagi", {{400, 10}, {800, 14}}}, {"Zeta", {{850, 1}, {900, 2}}}};
        for (const auto& [name, points] : antennas) {
            int at = 0;
            ASSERT_EQ(list.addAntenna(name, &at), AntennaEdit::Ok);
            for (const auto& p : points) ASSERT_EQ(list.addPoint(at, p), AntennaEdit::Ok);
        }
        ASSERT_TRUE(AntennaList_Save(list, data.file("antennas.ini")));
        Antenna_Init(window.antennas(), data.path());
        Network_SetAccess(&net);
        DriveTest_SetFreeSpaceProbe([](const std::string&) { return std::int64_t{600} << 20; });
        unsetenv("FIELDTRACE_INSTRUMENT_SERIAL");
        window.resize(1000, 700);
        window.show();
    }
    // The analyzer on 127.0.6.<host> (each case on its own: CTest runs them in
    // parallel) on the hardware page, given the Yagi.
    void Open(int host) {
        const std::string address = "127.0.6." + std::to_string(host);
        sim = std::make_unique<SimProcess>("Alvra", address, 5025, std::vector<std::string>{"--serial", "100041"});
        ASSERT_TRUE(sim->ready());
        net.addNeighbour(address, kAlvra[0], kAlvra[1], kAlvra[2], static_cast<std::uint8_t>(host));
        BasicSettings settings = BasicSettings_Defaults(data.path());
        settings.standard = "DVB-T / DVB-H";
        settings.levelUnit = "dB\xB5V/m";
        ASSERT_TRUE(BasicSettings_Save(data.file("basic.ini"), settings));
        WizardOptions options;
        options.dataDirectory = data.path();
        DriveTestPages& pages = *window.driveTest();
        DriveTest_Init(pages, pages.frequencyView(), pages.recordingView(), options);
        Ui_Flush();
        onDtBasicNext();  // the antenna column comes with the field-strength unit
        ASSERT_TRUE(WaitFor([&] {
            return hardware()->table()->rowCount() == 1 && hardware()->table()->columnCount() == 5 &&
                   DriveTest_WorkerState() == kWorkerWaiting;
        }));
        Ui_Flush();
        ASSERT_EQ(Ui_CurrentPage(), kPageDtHardware);
        Choose(antennaChoice(), "Yagi");
        ASSERT_EQ(DriveTest_AnalyzerTable()[0].antenna, "Yagi");
    }
    void TearDown() override {
        DriveTest_Close();
        Ui_Flush();
        Network_SetAccess(nullptr);
        DriveTest_SetFreeSpaceProbe(nullptr);
        Antenna_Close();
    }
    HardwarePage* hardware() { return window.driveTest()->hardware(); }
    AntennaEditor* editor() { return window.antennas(); }
    // The analyzer's antenna drop-down (the refill replaces it).
    QComboBox* antennaChoice() { return hardware()->choice(2, 5); }
    static std::vector<std::string> Items(QComboBox* combo) {
        std::vector<std::string> items;
        for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
        return items;
    }
    // An antenna is added before the Yagi and one after it deleted: the Yagi
    // moves from position 2 to 3, and position 2 now holds the Dipole.
    void AddAdcockDeleteZeta() {
        QTableWidget* table = editor()->antennaTable();
        table->item(0, 1)->setText("Adcock");
        QTest::mouseClick(table->cellWidget(0, 0), Qt::LeftButton);
        ASSERT_EQ(table->item(4, 1)->text(), "Zeta");
        QTest::mouseClick(table->cellWidget(4, 0), Qt::LeftButton);
        Ui_Flush();
        ASSERT_EQ(Antenna_Snapshot().positionOf("Yagi"), 3);
        ASSERT_EQ(Antenna_Count(), 3);
    }
    void CloseEditor() {
        QTest::mouseClick(editor()->closeButton(), Qt::LeftButton);
        Ui_Flush();
        ASSERT_FALSE(editor()->isVisible());
    }

    QApplication& app = UiTest_App();
    UiTestDialogs dialogs{true};
    TempDir data;
    FakeNetwork net;
    MainWindow window;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(AntennaEditorWindowTest, HardwarePageWaitsForTheEditorAndKeepsTheChosenAntenna) {
    ASSERT_NO_FATAL_FAILURE(Open(41));
    antennaChoice()->setFocus();
    QTest::keyClick(antennaChoice(), Qt::Key_End);  // the edit entry
    Ui_Flush();
    ASSERT_TRUE(editor()->isVisible());
    // Next cannot engage the analyzers while positions may still shift.
    EXPECT_FALSE(hardware()->isEnabled());
    EXPECT_FALSE(hardware()->next()->isEnabled());
    QTest::mouseClick(hardware()->next(), Qt::LeftButton);
    Ui_Flush();
    EXPECT_EQ(Ui_CurrentPage(), kPageDtHardware);
    EXPECT_EQ(DriveTest_WorkerState(), kWorkerWaiting);

    AddAdcockDeleteZeta();
    CloseEditor();
    EXPECT_TRUE(hardware()->next()->isEnabled());
    ASSERT_NE(antennaChoice(), nullptr);
    EXPECT_EQ(Items(antennaChoice()), (std::vector<std::string>{"Adcock", "Dipole", "Yagi", kAntennaEditItem}));
    EXPECT_EQ(antennaChoice()->currentText(), "Yagi");
    EXPECT_EQ(DriveTest_AnalyzerTable()[0].antenna, "Yagi");
    EXPECT_EQ(DriveTest_Analyzers()[0].antennaIndex, 3);

    // Engaged, the frequency check and the K-factor are the Yagi's: 600 MHz
    // lies outside the Dipole's interval.
    QTest::mouseClick(hardware()->next(), Qt::LeftButton);
    Ui_Flush();
    ASSERT_EQ(Ui_CurrentPage(), kPageDtFrequencies);
    ASSERT_EQ(DriveTest_Analyzers()[0].antennaIndex, 3);
    ASSERT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, 2, 3, "Ch37"), 1);
    ASSERT_EQ(onDtFreqTable(FreqTableEvent::ValueCommitted, 2, 4, "600"), 1);
    EXPECT_EQ(DriveTest_CheckFrequencies(), 1);
    Ui_Flush();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().toStdString();
    EXPECT_DOUBLE_EQ(Antenna_KFactorAt(DriveTest_Analyzers()[0].antennaIndex, 600.0), 12.0);
}

TEST_F(AntennaEditorWindowTest, EditorOpenedFromTheStartPageRefillsTheHardwarePage) {
    ASSERT_NO_FATAL_FAILURE(Open(42));
    onDtHwHome();
    Ui_Flush();
    ASSERT_EQ(Ui_CurrentPage(), kPageStart);
    QPushButton* open = nullptr;
    for (QPushButton* b : window.start()->findChildren<QPushButton*>())
        if (b->accessibleName() == "Antenna editor") open = b;
    ASSERT_NE(open, nullptr);
    QTest::mouseClick(open, Qt::LeftButton);
    ASSERT_TRUE(editor()->isVisible());
    EXPECT_FALSE(window.start()->isEnabled());  // no drive test starts meanwhile

    AddAdcockDeleteZeta();
    CloseEditor();
    EXPECT_TRUE(window.start()->isEnabled());
    ASSERT_NE(antennaChoice(), nullptr);
    EXPECT_EQ(Items(antennaChoice()), (std::vector<std::string>{"Adcock", "Dipole", "Yagi", kAntennaEditItem}));
    EXPECT_EQ(antennaChoice()->currentText(), "Yagi");
    EXPECT_EQ(DriveTest_Analyzers()[0].antennaIndex, 3);
}

}  // namespace
