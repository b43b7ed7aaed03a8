// The window around the pages: the quit sequence, one instance per title,
// the start page's tasks and the window's pages.
#include <gtest/gtest.h>

#include <QLocalServer>
#include <QTest>
#include <atomic>

#include "app/gui.h"
#include "app/quit.h"
#include "app/singleinstance.h"
#include "ui/drivetestpages.h"
#include "ui/mainwindow.h"
#include "ui/startpage.h"
#include "ui/uitest.h"

namespace {

// Serves events until pred holds or timeoutMs passed.
template <class Pred>
bool ServeUntil(Pred pred, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

TEST(Quit, TwoQuickClosesAskOnceAndNoLeavesEverythingRunning) {
    Gui_ResetQuit();
    UiTestDialogs dialogs(false);
    std::atomic<int> closed{0}, ended{0};
    QuitSequence quit([&] { ++closed; }, [&] { ++ended; });
    quit.request();
    quit.request();
    ASSERT_TRUE(ServeUntil([&] { return !quit.running(); }));
    EXPECT_EQ(dialogs.questions, std::vector<QString>{"Do you really want to quit?"});
    EXPECT_EQ(closed, 0);
    EXPECT_FALSE(Gui_QuitConfirmed());
    // A later close asks again; yes closes the modules, then ends the loop.
    dialogs.answer = true;
    quit.request();
    ASSERT_TRUE(ServeUntil([&] { return ended == 1; }));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(Gui_QuitConfirmed());
    Gui_ResetQuit();
}

TEST(SingleInstance, ASecondInstanceAsksAndOnNoRaisesTheFirst) {
    UiTest_App();
    const QString name = QString("Fieldtrace test %1").arg(QCoreApplication::applicationPid());
    int raised = 0;
    SingleInstance first(name);
    ASSERT_TRUE(first.claim([] { return true; }, [&] { ++raised; }));
    int asked = 0;
    SingleInstance second(name);
    EXPECT_FALSE(second.claim([&] { return ++asked, false; }, [] {}));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(ServeUntil([&] { return raised == 1; }));
    // Yes starts an independent second instance; the first is not raised.
    SingleInstance third(name);
    EXPECT_TRUE(third.claim([] { return true; }, [] {}));
    QTest::qWait(100);
    EXPECT_EQ(raised, 1);
}

// The offscreen platform has no cursor to move: the move event the window
// system would send is sent to the widget under the mouse.
void MoveMouse(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

TEST(StartPage, ExactlyOneTaskIsHighlightedAndClicksLeadToTheirPages) {
    UiTest_App();
    int chosen = 0;
    StartPage page([&](int n) { chosen = n; }, {});
    page.resize(900, 500);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    MoveMouse(page.task(1), QPoint(20, 20));
    EXPECT_EQ(page.highlighted(), 1);
    MoveMouse(page.task(3), QPoint(20, 20));  // straight from task 1 to task 3
    EXPECT_EQ(page.highlighted(), 3);
    EXPECT_EQ(page.task(3)->colour(), QColor(200, 200, 255));
    EXPECT_EQ(page.task(1)->colour(), QColor(234, 234, 234));
    EXPECT_EQ(page.task(2)->colour(), QColor(244, 244, 244));
    MoveMouse(&page, QPoint(2, 2));  // the background
    EXPECT_EQ(page.task(3)->colour(), QColor(234, 234, 234));
    QTest::mouseClick(page.task(2), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(page.task(1)->accessibleName(), "Record a drive test");
    EXPECT_EQ(page.task(2)->accessibleName(), "Convert to KMZ");
    EXPECT_EQ(page.task(3)->accessibleName(), "Convert to CSV");
}

TEST(MainWindow, ThirteenPages) {
    UiTest_App();
    MainWindow window;
    EXPECT_EQ(window.stack()->count(), 13);
    Ui_ShowPage(kPageCsvProgress);
    EXPECT_EQ(Ui_CurrentPage(), kPageCsvProgress);
}

// The output folder chooser of the drive test starts at a folder named in
// UTF-8 and hands back the bytes on disk, so that the record files land there.
TEST(MainWindow, TheOutputFolderChooserKeepsAFolderNamedBeyondAscii) {
    UiTest_App();
    MainWindow window;
    const std::string munich = "/media/drives/M\xC3\xBCnchen";
    QString started;
    window.driveTest()->setDirectoryChooser([&started](const QString&, const QString& start) {
        started = start;
        return QString::fromUtf8("/media/drives/München Nord");
    });
    const auto chosen = window.driveTest()->chooseDirectory("Directory selection", munich);
    EXPECT_EQ(started.toStdString(), munich);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, "/media/drives/M\xC3\xBCnchen Nord");
}

}  // namespace
