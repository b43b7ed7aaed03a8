// The window on an analyzer's own 1024 x 600 screen: placed with its whole
// frame on the screen, and every page laid out at the client size that is
// left there (and at the window's minimum) without a cut text, a control
// under another or a button off the window.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <string>
#include <vector>

#include "selection/fileselection.h"
#include "ui/antennaeditor.h"
#include "ui/coveragepages.h"
#include "ui/drivetestpages.h"
#include "ui/fileselectionpage.h"
#include "ui/hardwarepage.h"
#include "ui/mainwindow.h"
#include "ui/recordingpage.h"
#include "ui/startpage.h"
#include "ui/trackmapview.h"
#include "ui/uitest.h"
#include "ui/windowplacement.h"

namespace {

// 1024 x 600 less a title bar of 30 and a panel of 30.
constexpr QSize kSmallClient{1024, 540};

std::string Name(const QWidget* w) {
    QString name = w->accessibleName();
    if (name.isEmpty()) {
        if (const auto* l = qobject_cast<const QLabel*>(w)) name = l->text();
        else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) name = b->text();
    }
    return std::string(w->metaObject()->className()) + " \"" + name.left(40).toStdString() + "\"";
}

std::string Rect(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

// Parts of a composite control (a combo's editor, a table's cells and
// scroll bars) are the composite's business.
bool InsideComposite(const QWidget* w, const QWidget* page) {
    for (const QWidget* p = w->parentWidget(); p && p != page; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractSpinBox*>(p))
            return true;
    return false;
}

bool IsControl(const QWidget* w) {
    return qobject_cast<const TrackMapView*>(w) || qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QProgressBar*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w);
}

// A text shown whole: a wrapping label is tall enough for its lines, any
// other label or button at least as large as its text needs.
bool TextFits(const QWidget* w) {
    if (const auto* l = qobject_cast<const QLabel*>(w)) {
        if (l->text().isEmpty()) return true;
        if (l->wordWrap()) return l->heightForWidth(l->width()) <= l->height() + 1;
        return l->minimumSizeHint().width() <= l->width() && l->minimumSizeHint().height() <= l->height() + 1;
    }
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        if (b->text().isEmpty() || b->layout()) return true;  // a task area shows its text in labels
        return b->sizeHint().width() <= b->width() && b->sizeHint().height() <= b->height() + 1;
    }
    return true;
}

// Every fault of the page shown in window, one line each.
std::vector<std::string> LayoutFaults(QWidget* window, QWidget* page) {
    std::vector<std::string> faults;
    std::vector<std::pair<QWidget*, QRect>> controls;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisible() || !IsControl(w) || InsideComposite(w, page)) continue;
        const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!window->rect().contains(r)) faults.push_back(Name(w) + " at " + Rect(r) + " leaves the window");
        if (!TextFits(w)) faults.push_back(Name(w) + " cuts its text at " + Rect(r));
        // Squeezed below what it needs: the page asked for more room than the window has.
        const QSize needed = w->minimumSizeHint().expandedTo(w->minimumSize());
        if (!qobject_cast<QLabel*>(w) && (w->width() < needed.width() || w->height() < needed.height()))
            faults.push_back(Name(w) + " squeezed to " + Rect(r) + ", needs " + std::to_string(needed.width()) + "x" +
                             std::to_string(needed.height()));
        if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model() && view->model()->rowCount() > 0) {
            // At least the first rows show whole (a table may scroll the rest).
            const int rows = std::min(view->model()->rowCount(), 2);
            const int needed = rows * view->sizeHintForRow(0);
            if (view->viewport()->height() < needed)
                faults.push_back(Name(w) + " shows fewer than " + std::to_string(rows) + " rows");
        }
        controls.emplace_back(w, r);
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const auto& [a, ra] = controls[i];
            const auto& [b, rb] = controls[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
            if (ra.intersects(rb)) faults.push_back(Name(a) + " " + Rect(ra) + " overlaps " + Name(b) + " " + Rect(rb));
        }
    return faults;
}

// Content as a drive test and a conversion show it: the longest texts the pages carry.
void FillPages(MainWindow& window) {
    DriveTestPages& dt = *window.driveTest();
    AnalyzerTableRow row;
    row.type = "Korvane ETL, 1234.5678k22/101234";
    row.status = "OK";
    row.colour = {150, 255, 150};
    row.roleEditable = true;
    row.role = "Analyzer+GPS";
    row.inputChoices = {"RF 1", "RF 2"};
    row.input = "RF 1";
    std::vector<AnalyzerTableRow> rows(3, row);
    rows[1].role = rows[2].role = "Analyzer";
    rows[2].status = "Option K22 (DVB-T/H) missing";
    rows[2].colour = {255, 150, 150};
    dt.showRangeText("10.77.1.0 - 10.77.1.255, 192.168.178.0 - 192.168.178.255");
    dt.showAnalyzerTable(rows, false, {});
    RecordingPage& rec = *dt.recording();
    for (int r = 1; r <= 6; ++r) {
        rec.statusRowAdded(r, r == 3 ? "" : "Ch" + std::to_string(20 + r) + " Munich", {255, 255, 255});
        rec.statusCell(r, 2, "Sample #25: Preparing 69.2%  --", {150, 255, 150});
        rec.statusCell(r, 3, "-41.2", {150, 255, 150});
    }
    rec.gpsIndicator("GPS\nok", {150, 255, 150});
    FileSelectionPage& files = *window.files();
    files.setPageTexts("Step 1 of 5: File Selection", "Select the drive test record file for conversion.");
    files.showDirectory("/home/drive/Messfahrten/2025/M\xC3\xBCnchen Nord");
    std::vector<FileSelectionRow> list;
    for (int r = 0; r < 6; ++r) list.push_back({"Ch21 Autobahn A9", "02.03.2025 08:15:42", "120000", {255, 255, 255}});
    files.setRows(list);
    CoveragePages& coverage = *window.coverage();
    std::vector<CoverageThresholdRow> thresholds;
    for (const char* channel : {"Level", "Sync", "MER RMS", "BER before Reed Solomon", "BER after Reed Solomon", "PER"})
        thresholds.push_back({channel, "ratio", "0.0002", "", false});
    coverage.setThresholdRows(thresholds);
    CoverageSettings settings;
    settings.output = "/home/drive/Messfahrten/2025/M\xC3\xBCnchen Nord/2025-03-02 Coverage.gpkg";
    coverage.setSettings(settings);
    coverage.showStep("Frequency 2 of 3: file 10 of 12");
    Ui_Flush();
}

TEST(SmallScreen, TheWindowKeepsItsWholeFrameOnTheAvailableArea) {
    const QSize minimum = MainWindow::kMinimumSize;
    const struct {
        const char* what;
        QRect available;
        QSize wanted;
        QMargins frame;
    } cases[] = {
        {"an analyzer's screen with a panel", {0, 0, 1024, 570}, {1100, 760}, {4, 30, 4, 4}},
        {"an analyzer's screen, no frame", {0, 0, 1024, 600}, {1100, 760}, {}},
        {"a panel on the left", {48, 0, 976, 600}, {1100, 760}, kUiFrameAllowance},
        {"a second monitor to the right", {1920, 0, 1024, 600}, {1100, 760}, {8, 38, 8, 8}},
        {"a second monitor above and left", {-1024, -600, 1024, 600}, {900, 520}, kUiFrameAllowance},
        {"a large screen", {0, 27, 1920, 1053}, {1100, 760}, kUiFrameAllowance},
    };
    for (const auto& c : cases) {
        const QRect placed = Ui_PlaceWindow(c.available, c.wanted, minimum, c.frame);
        const QRect outer = placed.marginsAdded(c.frame);
        EXPECT_TRUE(c.available.contains(outer)) << c.what << ": frame at " << Rect(outer);
        EXPECT_GE(placed.width(), minimum.width()) << c.what;
        EXPECT_GE(placed.height(), minimum.height()) << c.what;
        EXPECT_LE(placed.width(), c.wanted.width()) << c.what;
        // Centred: the space left and right (above and below) differs by at most a pixel.
        EXPECT_LE(std::abs((outer.left() - c.available.left()) - (c.available.right() - outer.right())), 1) << c.what;
        EXPECT_LE(std::abs((outer.top() - c.available.top()) - (c.available.bottom() - outer.bottom())), 1) << c.what;
    }
    // The window gets all the room there is on the analyzer's screen.
    EXPECT_EQ(Ui_PlaceWindow({0, 0, 1024, 570}, {1100, 760}, minimum, {4, 30, 4, 4}), QRect(4, 30, 1016, 536));
    // A screen smaller than the minimum: the title bar stays reachable at the top-left corner.
    const QRect tiny = Ui_PlaceWindow({100, 50, 640, 480}, {1100, 760}, minimum, {4, 30, 4, 4});
    EXPECT_EQ(tiny.topLeft(), QPoint(104, 80));
    EXPECT_EQ(tiny.size(), minimum);
}

TEST(SmallScreen, TheWindowsMinimumFitsAnAnalyzersScreen) {
    UiTest_App();
    MainWindow window;
    EXPECT_LE(window.minimumSize().width(), kSmallClient.width() - 8);
    EXPECT_LE(window.minimumSize().height(), kSmallClient.height());
    // No page needs more than the window's minimum (it would be squeezed into overlaps).
    const QSize pages = window.stack()->minimumSizeHint();
    EXPECT_LE(pages.width(), window.minimumSize().width());
    EXPECT_LE(pages.height(), window.minimumSize().height());
    // Placed on a 1024 x 600 screen, the whole frame is on it.
    window.placeOn({0, 0, 1024, 600});
    EXPECT_TRUE(QRect(0, 0, 1024, 600).contains(window.geometry().marginsAdded(kUiFrameAllowance)));
}

TEST(SmallScreen, EveryPageLaysOutOnAnAnalyzersScreen) {
    UiTestDialogs dialogs;
    MainWindow window;
    FillPages(window);
    for (const QSize size : {kSmallClient, MainWindow::kMinimumSize}) {
        window.resize(size);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (int page = kPageStart; page < kPageCount; ++page) {
            if (page == kPageKmzExtra) continue;  // an empty page nothing shows
            Ui_ShowPage(page);
            QCoreApplication::processEvents();
            for (const std::string& fault : LayoutFaults(&window, window.stack()->currentWidget()))
                ADD_FAILURE() << size.width() << "x" << size.height() << " page " << page << ": " << fault;
        }
    }
    // The antenna editor is a window of its own: it opens on the screen, its
    // title bar on it (at the top-left corner when its minimum is wider).
    AntennaEditor& editor = *window.antennas();
    editor.open();
    QCoreApplication::processEvents();
    const QRect available = window.screen()->availableGeometry();
    const QRect outer = editor.geometry().marginsAdded(kUiFrameAllowance);
    EXPECT_TRUE(available.contains(outer.topLeft())) << Rect(outer) << " on " << Rect(available);
    EXPECT_LE(outer.width(), std::max(available.width(), editor.minimumSizeHint().width() + 8)) << Rect(outer);
    EXPECT_LE(outer.bottom(), available.bottom()) << Rect(outer);
    EXPECT_LE(editor.minimumSizeHint().width(), kSmallClient.width() - 8);
    editor.resize(kSmallClient);
    QCoreApplication::processEvents();
    EXPECT_LE(editor.minimumSizeHint().height(), kSmallClient.height());
    for (const std::string& fault : LayoutFaults(&editor, &editor)) ADD_FAILURE() << "antenna editor: " << fault;
    editor.hide();
}

// The four start tasks share the width: every word of a title fits its task
// (a title may take two lines, but never loses a word's end).
TEST(SmallScreen, TheStartTasksTitlesStayWhole) {
    UiTest_App();
    MainWindow window;
    window.resize(kSmallClient);
    window.show();
    Ui_ShowPage(kPageStart);
    QCoreApplication::processEvents();
    for (int n = 1; n <= StartPage::kTasks; ++n) {
        StartTask* task = window.start()->task(n);
        const QLabel* title = task->findChildren<QLabel*>().value(0);
        ASSERT_TRUE(title);
        EXPECT_EQ(title->text(), task->text());
        for (const QString& word : title->text().split(' '))
            EXPECT_LE(title->fontMetrics().horizontalAdvance(word), title->contentsRect().width())
                << word.toStdString() << " of task " << n;
    }
}

// The recording page's map and summary share the side column: at the
// smallest window the summary lies below the map, not over it.
TEST(SmallScreen, TheSummaryTableLiesBelowTheTrackMap) {
    UiTest_App();
    MainWindow window;
    window.resize(MainWindow::kMinimumSize);
    window.show();
    Ui_ShowPage(kPageDtRecording);
    QCoreApplication::processEvents();
    RecordingPage& rec = *window.driveTest()->recording();
    const QRect map(rec.map()->mapTo(&window, QPoint()), rec.map()->size());
    const QRect summary(rec.summaryTable()->mapTo(&window, QPoint()), rec.summaryTable()->size());
    EXPECT_GE(summary.top(), map.bottom()) << Rect(map) << " " << Rect(summary);
    EXPECT_GE(map.height(), 60 * 3 + 2) << "every map pixel at least a 3 x 3 square";
}

}  // namespace
