#include "ui/mainwindow.h"

#include <QCloseEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "selection/fileselection.h"
#include "ui/antennaeditor.h"
#include "ui/coveragepages.h"
#include "ui/csvprogresspage.h"
#include "ui/drivetestpages.h"
#include "ui/fileselectionpage.h"
#include "ui/kmzpages.h"
#include "ui/startpage.h"
#include "ui/uishell.h"
#include "ui/windowplacement.h"

MainWindow::MainWindow() {
    setMinimumSize(kMinimumSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_);
    antennas_ = new AntennaEditor(this);
    antennas_->installEventFilter(this);
    start_ = new StartPage(
        [](int task) {
            if (task == 1) {
                Ui_ShowPage(kPageDtBasic);
            } else {
                // A change of mode refreshes the list.
                FileSelection_Show(task == 2 ? kSelectionModeKmz : task == 3 ? kSelectionModeCsv : kSelectionModeCoverage);
                FileSelection_Refresh();
                Ui_ShowPage(kPageFileSelection);
            }
        },
        [this] { driveTest_->editAntennas(start_); }, stack_);
    driveTest_ = new DriveTestPages(stack_, antennas_);
    files_ = new FileSelectionPage(stack_);
    kmz_ = new KmzPages(stack_);
    csv_ = new CsvProgressPage(stack_);
    coverage_ = new CoveragePages(stack_);
    QWidget* pages[kPageCount] = {};
    pages[kPageStart] = start_;
    for (int p = kPageDtBasic; p <= kPageDtRecording; ++p) pages[p] = driveTest_->page(p);
    pages[kPageFileSelection] = files_;
    for (int p : {kPageKmzLevels, kPageKmzScope, kPageKmzColours, kPageKmzProgress}) pages[p] = kmz_->page(p);
    pages[kPageCsvProgress] = csv_;
    pages[kPageKmzExtra] = new QWidget(stack_);  // only the KMZ export ever used it
    for (int p : {kPageCoverage, kPageCoverageProgress}) pages[p] = coverage_->page(p);
    for (QWidget* page : pages) stack_->addWidget(page);
    Ui_SetPageHandler([this](int page) { stack_->setCurrentIndex(page); }, [this] { return stack_->currentIndex(); });
}

MainWindow::~MainWindow() { Ui_SetPageHandler({}, {}); }

void MainWindow::placeOn(const QRect& available) {
    const QRect outer = frameGeometry(), inner = geometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                   outer.bottom() - inner.bottom());
    if (frame.isNull()) frame = kUiFrameAllowance;
    setGeometry(Ui_PlaceWindow(available, sizeHint(), minimumSize(), frame));
}

void MainWindow::raiseWindow() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placedOnce_) return;
    placedOnce_ = true;
    // The window manager tells the real frame only once the window is up: a
    // frame larger than assumed must not push the title bar or the buttons off the screen.
    QTimer::singleShot(500, this, [this] {
        if (const QScreen* s = screen(); s && !s->availableGeometry().contains(frameGeometry())) placeOn(s->availableGeometry());
    });
}

// The antenna editor opens on the window's screen, shrunk to fit when its size does not.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == antennas_ && event->type() == QEvent::Show) {
        const QScreen* s = screen();
        if (s && !s->availableGeometry().contains(antennas_->frameGeometry()))
            antennas_->setGeometry(Ui_PlaceWindow(s->availableGeometry(), antennas_->size(),
                                                  antennas_->minimumSizeHint(), kUiFrameAllowance));
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The quit sequence decides; the window closes when the event loop ends.
    event->ignore();
    if (closeHandler_) closeHandler_();
}
