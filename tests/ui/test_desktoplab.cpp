// The whole window in the network lab (tests/tools/lab_desktop.sh): the
// hardware page's own search finds three simulated analyzers, and the test
// runs drive tests through the pages as a user would, with clicks, choices and
// typed values. Outside the lab every case is skipped: the search would sweep
// the machine's own networks.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "app/application.h"
#include "app/gui.h"
#include "drivetest/wizarddrive.h"
#include "export/kmz/kmzwizard.h"
#include "measure/drivetest.h"
#include "measure/gpssetup.h"
#include "measure/recordcontrols.h"
#include "pilotactions.h"
#include "platform/network.h"
#include "platform/paths.h"
#include "support/testsupport.h"
#include "ui/basicpage.h"
#include "ui/drivetestpages.h"
#include "ui/fileselectionpage.h"
#include "ui/frequencypage.h"
#include "ui/gpspanel.h"
#include "ui/hardwarepage.h"
#include "ui/kmzcolourpage.h"
#include "ui/kmzlevelpage.h"
#include "ui/kmzpages.h"
#include "ui/kmzscopepage.h"
#include "ui/mainwindow.h"
#include "ui/measurementpage.h"
#include "ui/recordingpage.h"
#include "ui/startpage.h"
#include "uitest.h"

namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& done, int seconds = 60) { return Pilot_WaitFor(done, seconds); }

void Click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(Pilot_Click(button)) << button->text().toStdString() << " is dimmed";
}

void Choose(QComboBox* combo, const QString& text) {
    ASSERT_NE(combo, nullptr);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    ASSERT_TRUE(Pilot_Choose(combo, text)) << text.toStdString() << " from " << items.join("|").toStdString()
                                           << (combo->isEnabled() ? "" : " (dimmed)");
}

void TypeIntoCell(QTableWidget* table, int row, int column, const QString& text, bool enter = true) {
    const std::string problem = Pilot_TypeIntoCell(table, row, column, text, enter);
    ASSERT_TRUE(problem.empty()) << problem;
}

int SamplesOf(std::size_t thread) {
    const auto threads = DriveTest_Threads();
    if (thread >= threads.size()) return 0;
    int n = 0;
    for (int c : threads[thread].sampleCounts) n += c;
    return n;
}

class DesktopLab : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("FIELDTRACE_LAB")) GTEST_SKIP() << "runs inside the network lab (tests/tools/lab_desktop.sh)";
        UiTest_App();
        Gui_ResetQuit();
        Platform_SetDataDirectory(data.path());
        dialogs = std::make_unique<UiTestDialogs>(true);
        window = std::make_unique<MainWindow>();
        WizardOptions options;
        options.dataDirectory = data.path();
        app = std::make_unique<Application>(*window, Network_System(), options, [this] { loopEnded = true; });
        window->resize(1100, 760);
        window->show();
        Pilot_Serve(200);  // the window is up and has shown what the modules sent, before the first click
        GpsSetup_SetTiming({5.0, 0.2});
    }
    void TearDown() override {
        app.reset();
        window.reset();
        dialogs.reset();
    }

    DriveTestPages& dt() { return *window->driveTest(); }
    int page() { return window->stack()->currentIndex(); }
    // The page shows, and what it was sent on the way has arrived (a user looks before clicking).
    bool OnPage(int p, int seconds = 30) {
        if (!WaitFor([&] { return page() == p; }, seconds)) return false;
        Pilot_Serve(200);
        return true;
    }

    // Start page → basic page (DVB-T, dBm) → hardware page with the three analyzers checked.
    void ToHardwarePage() {
        QTest::mouseClick(window->start()->task(1), Qt::LeftButton);
        ASSERT_TRUE(OnPage(kPageDtBasic));
        Choose(dt().basic()->standard(), "DVB-T / DVB-H");
        Choose(dt().basic()->levelUnit(), "dBm");
        Click(dt().basic()->next());
        ASSERT_TRUE(OnPage(kPageDtHardware));
        QTableWidget* table = dt().hardware()->table();
        ASSERT_TRUE(WaitFor([&] { return table->isVisible() && table->rowCount() == 3; }, 90))
            << "analyzers in the table: " << table->rowCount();
        ASSERT_TRUE(WaitFor([] { return DriveTest_WorkerState() == kWorkerWaiting; }));
        Ui_Flush();
        for (int r = 0; r < 3; ++r) EXPECT_EQ(table->item(r, 1)->text(), "OK") << "row " << r;
    }
    QComboBox* Role(int row) { return dt().hardware()->choice(row, 3); }

    // Hardware page → frequency page with analyzers (table rows) as roles; the others "Nothing".
    void Engage(const std::vector<std::pair<int, QString>>& roles) {
        for (int row = 2; row <= 4; ++row) {
            QString role = "Nothing";
            for (const auto& [r, text] : roles)
                if (r == row) role = text;
            Choose(Role(row), role);
        }
        Click(dt().hardware()->next());
        ASSERT_TRUE(OnPage(kPageDtFrequencies)) << (dialogs->messages.empty() ? "" : dialogs->messages.back().toStdString());
    }

    TempDir data;
    std::unique_ptr<UiTestDialogs> dialogs;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Application> app;
    bool loopEnded = false;
};

// The whole job: two analyzers (one the GPS provider), two frequencies for the
// first and one for the second, the default measurements, 10 samples with a
// Pause and Record in between, Stop, the files in lock-step, then their KMZ
// archive through the conversion pages.
TEST_F(DesktopLab, DriveTestFromTheFirstClickToTheKmzArchive) {
    ToHardwarePage();
    // The second analyzer has no receiver: as GPS provider it opens the setup
    // panel, and closing it without a receiver makes it an analyzer again.
    Choose(Role(3), "Analyzer+GPS");
    GpsPanel* gps = dt().gps();
    ASSERT_TRUE(WaitFor([&] { return gps->isVisible(); }, 10));
    EXPECT_FALSE(window->stack()->isEnabled());
    ASSERT_TRUE(WaitFor([] { return GpsSetup_Stage() == kGpsStageWatching || GpsSetup_Stage() == kGpsStageFailed; }));
    Click(gps->closeButton());
    ASSERT_TRUE(WaitFor([&] { return !gps->isVisible() && Role(3)->currentText() == "Analyzer"; }, 10));
    EXPECT_TRUE(window->stack()->isEnabled());
    EXPECT_EQ(Role(2)->currentText(), "Analyzer+GPS");

    Engage({{2, "Analyzer+GPS"}, {3, "Analyzer"}});
    FrequencyPage* freq = dt().frequencies();
    QTableWidget* ft = freq->frequencyTable();
    ASSERT_TRUE(WaitFor([&] { return ft->rowCount() == 2; }));
    // [+] on the first analyzer's row adds a second row to its block.
    Pilot_ClickCell(ft, 0, 1);
    ASSERT_TRUE(WaitFor([&] { return ft->rowCount() == 3; }, 5));
    // The second analyzer measures the first one's 474 MHz too, so that two files share a map.
    TypeIntoCell(ft, 0, 2, "North Ch21");
    TypeIntoCell(ft, 0, 3, "474");
    TypeIntoCell(ft, 1, 2, "North Ch22");
    TypeIntoCell(ft, 1, 3, "482");
    TypeIntoCell(ft, 2, 2, "South Ch21");
    TypeIntoCell(ft, 2, 3, "474", false);  // Next straight from the open cell: the value counts
    Click(freq->nextButton());
    ASSERT_TRUE(OnPage(kPageDtMeasurements)) << (dialogs->messages.empty() ? "" : dialogs->messages.back().toStdString());
    ASSERT_EQ(DriveTest_FrequencyBlock(1).size(), 2u);
    ASSERT_EQ(DriveTest_FrequencyBlock(2).size(), 1u);
    EXPECT_DOUBLE_EQ(DriveTest_FrequencyBlock(2)[0].frequencyMHz, 474.0);
    EXPECT_TRUE(dt().measurements()->defaultOption()->isChecked());
    Click(dt().measurements()->nextButton());
    ASSERT_TRUE(OnPage(kPageDtRecording));

    // The status table: two rows for the first analyzer, a separator, one for the second.
    RecordingPage* rec = dt().recording();
    ASSERT_TRUE(WaitFor([&] { return rec->statusTable()->rowCount() == 4; }, 30));
    ASSERT_TRUE(WizardDrive_WaitPrepared(2));
    Click(rec->recordButton());
    ASSERT_TRUE(WaitFor([&] { return rec->recordButton()->text() == "Pause" && rec->recordButton()->isEnabled(); }));
    ASSERT_TRUE(WaitFor([] { return SamplesOf(1) >= 4; }, 90));
    Click(rec->recordButton());
    ASSERT_TRUE(WaitFor([&] { return rec->recordButton()->text() == "Record" && rec->recordButton()->isEnabled(); }));
    const int paused = SamplesOf(1);
    QTest::qWait(2500);
    EXPECT_LE(SamplesOf(1), paused + 1) << "samples went on while paused";
    Click(rec->recordButton());
    ASSERT_TRUE(WaitFor([] { return SamplesOf(1) >= 10; }, 90));
    Click(rec->stopButton());
    ASSERT_TRUE(WaitFor([&] { return !dialogs->messages.empty(); }, 60));
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 3u);
    const QString report = dialogs->messages.back();
    EXPECT_TRUE(report.startsWith("All drive test results have been successfully written to\n")) << report.toStdString();
    for (const auto& f : files) EXPECT_TRUE(report.contains(QString::fromStdString(f))) << f;
    ASSERT_TRUE(WaitFor([&] { return rec->recordButton()->text() == "Record" && rec->homeButton()->isEnabled(); }));

    // Lock-step: the first analyzer's two frequencies share the second's sample clock.
    auto fileOf = [&](const char* description) {
        for (const auto& f : files)
            if (f.find(description) != std::string::npos) return f;
        ADD_FAILURE() << "no record file for " << description;
        return std::string();
    };
    auto a = WizardDrive_CycleStarts(fileOf("North Ch21"));
    const auto a2 = WizardDrive_CycleStarts(fileOf("North Ch22"));
    const auto b = WizardDrive_CycleStarts(fileOf("South Ch21"));
    a.insert(a.end(), a2.begin(), a2.end());
    std::sort(a.begin(), a.end());
    EXPECT_GE(b.size(), 10u);
    EXPECT_EQ(a, b);

    // Home, then the three files through the KMZ pages: a map shows one
    // frequency, so the two files of 474 MHz make one archive and 482 MHz another.
    Click(rec->homeButton());
    ASSERT_TRUE(OnPage(kPageStart));
    EXPECT_TRUE(DriveTest_Threads().empty());
    QTest::mouseClick(window->start()->task(2), Qt::LeftButton);
    ASSERT_TRUE(OnPage(kPageFileSelection));
    FileSelectionPage* selection = window->files();
    for (const auto& archive : {std::pair{"474.000000 MHz", 2}, std::pair{"482.000000 MHz", 1}}) {
        const char* mhz = archive.first;  // plain locals: lambdas cannot capture structured bindings in clang 14
        const int count = archive.second;
        SCOPED_TRACE(mhz);
        ASSERT_TRUE(WaitFor([&] { return selection->frequencyFilter()->findText(mhz) >= 0; }, 10));
        Choose(selection->frequencyFilter(), mhz);
        ASSERT_TRUE(WaitFor([&] { return selection->table()->rowCount() == count; }, 10));
        Click(selection->markAllButton());
        Click(selection->nextButton());
        ASSERT_TRUE(OnPage(kPageKmzLevels));
        KmzPages& kmz = *window->kmz();
        Click(kmz.levelPage().frame.next);
        ASSERT_TRUE(WaitFor([&] { return kmz.scopePage().stack->currentIndex() == 0 && Kmz_State() == kKmzStateScope; }));
        Ui_Flush();
        Click(kmz.scopePage().frame.next);
        const KmzColourPage& colours = kmz.colourPage();
        ASSERT_TRUE(WaitFor([&] { return colours.tree->isVisibleTo(colours.page); }));
        Click(colours.autoButton);
        colours.profiles->lineEdit()->clear();
        QTest::keyClicks(colours.profiles->lineEdit(), "Drive");
        Click(colours.frame.next);
        ASSERT_TRUE(WaitFor([] { return Kmz_State() == kKmzStateFinished; }, 120))
            << "page " << page() << ": " << dialogs->messages.back().toStdString();
        ASSERT_TRUE(OnPage(kPageStart));
        EXPECT_TRUE(dialogs->messages.back().startsWith("Drive test results have been successfully written to"))
            << dialogs->messages.back().toStdString();
        QTest::mouseClick(window->start()->task(2), Qt::LeftButton);
        ASSERT_TRUE(OnPage(kPageFileSelection));
    }
    int archives = 0;
    for (const auto& e : fs::directory_iterator(data.path())) archives += e.path().extension() == ".kmz";
    EXPECT_EQ(archives, 2);
}

// Leaving the recording page backwards stops monitoring; Home on the frequency
// page ends every measurement thread before the start page shows; quitting
// while recording closes every file without a stop message.
TEST_F(DesktopLab, BackHomeAndQuitEndWhatRuns) {
    ToHardwarePage();
    Engage({{2, "Analyzer+GPS"}});
    // At once Home: the analyzer is still being prepared.
    ASSERT_FALSE(DriveTest_Threads().empty());
    bool threadsAtStart = true;
    QObject::connect(window->stack(), &QStackedWidget::currentChanged, [&](int p) {
        if (p == kPageStart) threadsAtStart = !DriveTest_Threads().empty();
    });
    Click(dt().frequencies()->homeButton());
    ASSERT_TRUE(OnPage(kPageStart));
    EXPECT_FALSE(threadsAtStart) << "measurement threads still ran when the start page appeared";

    ToHardwarePage();
    Engage({{2, "Analyzer+GPS"}});
    TypeIntoCell(dt().frequencies()->frequencyTable(), 0, 2, "Ch30");
    Click(dt().frequencies()->nextButton());
    ASSERT_TRUE(OnPage(kPageDtMeasurements));
    Click(dt().measurements()->nextButton());
    ASSERT_TRUE(OnPage(kPageDtRecording));
    ASSERT_TRUE(WaitFor([] {
        const auto t = DriveTest_Threads();
        return t.size() == 1 && t[0].currentState == kStateMonitoring;
    }));
    Click(dt().recording()->previousButton());
    ASSERT_TRUE(OnPage(kPageDtMeasurements));
    ASSERT_TRUE(WaitFor([] {
        const auto t = DriveTest_Threads();
        return t.size() == 1 && t[0].currentState == kStateIdle;
    }));

    Click(dt().measurements()->nextButton());
    ASSERT_TRUE(OnPage(kPageDtRecording));
    ASSERT_TRUE(WizardDrive_WaitPrepared(1));
    RecordingPage* rec = dt().recording();
    Click(rec->recordButton());
    ASSERT_TRUE(WaitFor([] { return SamplesOf(0) >= 2; }, 90));
    const auto files = DriveTest_RecordFiles();
    const std::size_t messagesBefore = dialogs->messages.size();
    app->requestQuit();
    ASSERT_TRUE(WaitFor([&] { return loopEnded; }, 60));
    EXPECT_EQ(dialogs->questions.back(), "Do you really want to quit?");
    EXPECT_EQ(dialogs->messages.size(), messagesBefore) << dialogs->messages.back().toStdString();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_GE(WizardDrive_CycleStarts(files[0]).size(), 2u);
    Gui_ResetQuit();
}

}  // namespace
