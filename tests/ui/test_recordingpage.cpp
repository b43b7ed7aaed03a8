// The recording page with real measurement threads behind it (simulated
// analyzers on loopback): a row per frequency with a separator between the
// analyzers, live status, Record / Pause / Record / Stop with the stop
// message; and the map, the two-line status and the titles drawn as they must be.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "measure/simdrivetest.h"
#include "support/simprocess.h"
#include "ui/recordingpage.h"
#include "ui/trackmapview.h"
#include "ui/uitest.h"

namespace {

void Spin() { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); }

QString Cell(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text() : QString();
}

QColor Background(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->background().color() : QColor();
}

}  // namespace

TEST(RecordingPage, LiveDriveTestRecordPauseStop) {
    if (SimProcess_Binary().empty()) GTEST_SKIP() << "simulator not built";
    UiTestDialogs dialogs;
    SimProcess a("Alvra", "127.0.8.21", 5025, {"--settle-ms", "100"});
    SimProcess b("Alvra", "127.0.8.22", 5025, {"--settle-ms", "100"});
    ASSERT_TRUE(a.ready());
    ASSERT_TRUE(b.ready());
    TempDir dir;
    DriveTest_SetFreeSpaceProbe([](const std::string&) { return std::int64_t(10000) << 20; });
    auto page = std::make_unique<RecordingPage>(nullptr);
    page->resize(1000, 700);
    page->show();
    std::string error;
    ASSERT_TRUE(DriveTest_Start(SimDriveTest_Setup(dir, {SimDriveTest_Analyzer("127.0.8.21", false, {474.0, 482.0}, "A"),
                                                        SimDriveTest_Analyzer("127.0.8.22", true, {506.0}, "B")}),
                                *page, error))
        << error;
    DriveTest_RequestState(kStateMonitoring);
    Ui_Flush();

    // Rows in analyzer order, an empty separator row between the analyzers,
    // coloured white and grey by the parity of their 1-based row number.
    QTableWidget* status = page->statusTable();
    ASSERT_EQ(status->rowCount(), 4);
    const char* labels[] = {"A1", "A2", "", "B1"};
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(Cell(status, r, 0), labels[r]);
        EXPECT_EQ(Background(status, r, 0), r % 2 == 0 ? QColor(230, 230, 230) : QColor(255, 255, 255)) << r;
    }
    // The status cells follow the threads until both wait for the first sample.
    ASSERT_TRUE(SimDriveTest_WaitFor(
        [&] { return Cell(status, 3, 1).startsWith("Sample #1: Preparing") && SimDriveTest_AllWaiting(); }, Spin, 90))
        << Cell(status, 3, 1).toStdString();
    EXPECT_TRUE(SimDriveTest_WaitFor([&] { return page->gpsLabel()->text() == "GPS\nok"; }, Spin, 20));
    EXPECT_EQ(page->gpsLabel()->palette().color(QPalette::Window), QColor(150, 255, 150));

    // Record, Pause, Record: the button dims, changes its label at once and comes back.
    QPushButton* record = page->recordButton();
    for (const char* label : {"Pause", "Record", "Pause"}) {
        QTest::mouseClick(record, Qt::LeftButton);
        Ui_Flush();
        EXPECT_EQ(record->text(), label);
        EXPECT_FALSE(page->homeButton()->isEnabled());
        EXPECT_FALSE(page->previousButton()->isEnabled());
        EXPECT_TRUE(page->stopButton()->isEnabled());
        ASSERT_TRUE(SimDriveTest_WaitFor([&] { return record->isEnabled(); }, Spin)) << label;
        EXPECT_TRUE(SimDriveTest_AllIn(std::string(label) == "Pause" ? kStateRecording : kStatePaused)) << label;
    }
    // A stored sample writes the free space into the summary.
    ASSERT_TRUE(SimDriveTest_WaitFor([&] { return page->summaryTable()->item(4, 1)->text() == "10000"; }, Spin));

    QTest::mouseClick(page->stopButton(), Qt::LeftButton);
    ASSERT_TRUE(SimDriveTest_WaitFor([&] { return !dialogs.messages.empty() && record->isEnabled(); }, Spin));
    EXPECT_EQ(record->text(), "Record");
    EXPECT_FALSE(page->stopButton()->isEnabled());
    EXPECT_TRUE(page->homeButton()->isEnabled());
    EXPECT_TRUE(page->previousButton()->isEnabled());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const QString& shown = dialogs.messages[0];
    EXPECT_TRUE(shown.startsWith("All drive test results have been successfully written to\n")) << shown.toStdString();
    const auto files = DriveTest_RecordFiles();
    ASSERT_EQ(files.size(), 3u);
    for (const auto& f : files) EXPECT_TRUE(shown.contains(QString::fromStdString(f))) << f;

    // The controls' threads end before the drive test goes, and the page, which
    // the engine's threads draw on, only after it.
    RecordControls_Join();
    DriveTest_Release();
    page.reset();
    DriveTest_SetFreeSpaceProbe(nullptr);
}

// One map pixel becomes a sharp square at the largest scale the room allows,
// and at the smallest one: no smoothing bleeds into its neighbours.
TEST(RecordingPage, MapScalesWithoutSmoothing) {
    UiTest_App();
    RecordingPage page(nullptr);
    MapImage map;
    Map_Clear(map);
    Map_SetPixel(map, 30, 30, kMapBlack);
    Map_SetPixel(map, 31, 30, kMapTrack);
    page.trackMap(map);
    Ui_Flush();
    for (const int side : {400, 130}) {
        page.map()->resize(side, side);
        const int s = side / kMapSize;
        ASSERT_EQ(page.map()->scale(), std::min(s, TrackMapView::kMaxScale)) << side;
        const QImage shown = page.map()->picture();
        ASSERT_EQ(shown.size(), QSize(kMapSize * page.map()->scale(), kMapSize * page.map()->scale()));
        const int k = page.map()->scale(), top = (59 - 30) * k;  // the map's rows run from north to south
        for (int dy = -1; dy <= k; ++dy)
            for (int dx = -1; dx <= 2 * k; ++dx) {
                QColor expected = Qt::white;
                if (dy >= 0 && dy < k && dx >= 0 && dx < 2 * k) expected = dx < k ? QColor(Qt::black) : QColor(0, 0, 255);
                EXPECT_EQ(shown.pixelColor(30 * k + dx, top + dy), expected) << side << ": " << dx << "," << dy;
            }
    }
}

// A status with a second line makes its row taller and back again; the
// titles are retitled by the level unit and the distance unit.
TEST(RecordingPage, TwoLineStatusAndTitles) {
    UiTest_App();
    RecordingPage page(nullptr);
    QTableWidget* status = page.statusTable();
    page.statusRowAdded(1, "Ch21", {255, 255, 255});
    page.statusRowAdded(2, "Ch22", {230, 230, 230});
    Ui_Flush();
    const int oneLine = status->rowHeight(0);
    page.statusCell(1, 2, "ReInit  --\nInit step 3 -> Timeout", {255, 150, 150});
    Ui_Flush();
    EXPECT_GE(status->rowHeight(0), oneLine + status->fontMetrics().lineSpacing());
    EXPECT_EQ(status->rowHeight(1), oneLine);
    EXPECT_EQ(Background(status, 0, 1), QColor(255, 150, 150));
    page.statusCell(1, 2, "Init 50.0%", {255, 255, 150});
    page.statusRowRemoved(2);
    Ui_Flush();
    EXPECT_EQ(status->rowHeight(0), oneLine);
    EXPECT_EQ(status->rowCount(), 1);

    QTableWidget* summary = page.summaryTable();
    EXPECT_EQ(status->horizontalHeaderItem(2)->text(), "Level [dBm]");
    page.setLevelTitle("Level [dB\xb5V]");
    page.setDistanceTitles("Grid spacing [mi]", "Track length [mi]", "Speed [mph]");
    Ui_Flush();
    EXPECT_EQ(status->horizontalHeaderItem(2)->text(), QString::fromUtf8("Level [dBµV]"));
    const char* titles[] = {"GPS fix ratio [%]", "Grid spacing [mi]", "Track length [mi]", "Speed [mph]",
                            "Free memory [MB]"};
    for (int r = 0; r < 5; ++r) EXPECT_EQ(summary->item(r, 0)->text(), titles[r]);
}
