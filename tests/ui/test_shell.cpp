// The window around the pages: the quit sequence, one instance per title,
// the notice of settings that could not be saved, the end when the display
// goes away, the start page's tasks and the window's pages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QLocalServer>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "antenna/antenna.h"
#include "app/application.h"
#include "app/gui.h"
#include "app/quit.h"
#include "app/singleinstance.h"
#include "platform/network.h"
#include "platform/paths.h"
#include "support/testsupport.h"
#include "ui/antennaeditor.h"
#include "ui/coveragepages.h"
#include "ui/drivetestpages.h"
#include "ui/mainwindow.h"
#include "ui/startpage.h"
#include "ui/uitest.h"

namespace {

template <class Pred>
bool ServeUntil(Pred pred, int timeoutMs = 5000) {
    return UiTest_ServeUntil(pred, timeoutMs);
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

// An instance that a "Yes" started answers too: once the first has quit, a
// later start still finds it, asks, and on "No" raises it.
TEST(SingleInstance, AnInstanceStartedAfterYesAnswersOnceTheFirstHasQuit) {
    UiTest_App();
    const QString name = QString("Fieldtrace test %1 after yes").arg(QCoreApplication::applicationPid());
    auto first = std::make_unique<SingleInstance>(name);
    ASSERT_TRUE(first->claim([] { return true; }, [] {}));
    int askedSecond = 0, raisedSecond = 0;
    SingleInstance second(name);
    ASSERT_TRUE(second.claim([&] { return ++askedSecond, true; }, [&] { ++raisedSecond; }));
    EXPECT_EQ(askedSecond, 1);
    EXPECT_FALSE(second.listening().isEmpty());
    EXPECT_NE(second.listening(), first->listening());
    first.reset();  // the first instance quits

    int askedThird = 0;
    SingleInstance third(name);
    EXPECT_FALSE(third.claim([&] { return ++askedThird, false; }, [] {}));
    EXPECT_EQ(askedThird, 1) << "the second instance was not found";
    EXPECT_TRUE(ServeUntil([&] { return raisedSecond == 1; }));
    EXPECT_TRUE(third.listening().isEmpty()) << "an instance that ends does not listen";
}

// The desktop's modules behind a window, with the test's own data directory
// and no network; quit() answers the question yes and waits for the end.
struct DesktopRun {
    explicit DesktopRun(const std::string& data) {
        Platform_SetDataDirectory(data);
        WizardOptions options;
        options.dataDirectory = data;
        options.search = false;
        app = std::make_unique<Application>(window, Network_None(), options, [this] { ended = true; });
    }
    ~DesktopRun() { app.reset(); }
    bool quit() {
        app->requestQuit();
        return ServeUntil([&] { return ended; });
    }
    MainWindow window;
    bool ended = false;
    std::unique_ptr<Application> app;
};

// A data directory that can never be made (a file stands in its path, which
// stops root too): the user is told once, not at every save of the run.
TEST(SettingsNotice, AnUnwritableDataDirectoryIsToldOnceNotAtEverySave) {
    Gui_ResetQuit();
    TempDir tmp;
    WriteWholeFile(tmp.file("file"), {'x'});
    const std::string data = tmp.file("file/fieldtrace");
    UiTestDialogs dialogs(true);
    {
        DesktopRun run(data);
        ServeUntil([&] { return !dialogs.messages.empty(); }, 2000);
        EXPECT_FALSE(Antenna_Save());  // the antenna editor closes
        ASSERT_TRUE(run.quit());       // basic.ini
    }                                  // fs.ini
    EXPECT_FALSE(Gui_ShowHeldSettingsNotice());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(data))) << dialogs.messages[0].toStdString();
    Platform_SetDataDirectory("");
    Gui_ResetQuit();
}

// The quit rule drops boxes while the modules close: a settings file that
// fails then is told once they are closed.
TEST(SettingsNotice, ASaveThatFailsWhileQuittingIsToldAfterTheModulesClosed) {
    Gui_ResetQuit();
    TempDir tmp;
    const std::string data = tmp.file("data");
    UiTestDialogs dialogs(true);
    {
        DesktopRun run(data);
        ASSERT_TRUE(FileExists(data)) << "made at start-up";
        std::filesystem::remove_all(data);  // gone while the program runs
        ASSERT_TRUE(run.quit());
        EXPECT_TRUE(dialogs.messages.empty());
    }
    EXPECT_TRUE(Gui_ShowHeldSettingsNotice());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].contains("basic.ini")) << dialogs.messages[0].toStdString();
    EXPECT_FALSE(Gui_ShowHeldSettingsNotice());
    Platform_SetDataDirectory("");
    Gui_ResetQuit();
}

// Quitting while the antenna editor is open keeps its edits, as its Close button would.
TEST(Quit, TheAntennaEditorsEditsSurviveAQuitWhileItIsOpen) {
    Gui_ResetQuit();
    TempDir tmp;
    UiTestDialogs dialogs(true);
    {
        DesktopRun run(tmp.path());
        run.window.antennas()->open();
        ASSERT_EQ(Antenna_Update([](AntennaList& list) { return list.addAntenna("Yagi"); }), AntennaEdit::Ok);
        ASSERT_TRUE(run.quit());
    }
    AntennaList saved;
    ASSERT_TRUE(AntennaList_Load(tmp.file("antennas.ini"), saved));
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(std::string(saved.antenna(1)->name), "Yagi");
    Platform_SetDataDirectory("");
    Gui_ResetQuit();
}

// Qt's window system calls exit(1) when the display's connection breaks. The
// modules' threads are stopped and joined on the way out instead of aborting
// the process in their destructors, and a quit question nobody can answer
// any more is answered no.
[[noreturn]] void ExitUnderTheRunningWindow() {
    alarm(60);  // a thread that is never joined hangs the exit: fail, do not wait forever
    static const std::string data = TempDir().path() + "-exit";
    std::atexit([] { std::filesystem::remove_all(data); });
    UiTestDialogs dialogs(true);
    // Never destroyed, as the program's window and modules are not when exit() comes.
    auto* run = new DesktopRun(data);
    run->app->requestQuit();  // the question waits for a main thread that serves no more
    std::exit(1);
}

TEST(ShellDeathTest, AnExitUnderTheRunningWindowEndsInOrder) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitUnderTheRunningWindow(), testing::ExitedWithCode(1), "");
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

TEST(MainWindow, FifteenPages) {
    UiTest_App();
    MainWindow window;
    EXPECT_EQ(window.stack()->count(), 15);
    EXPECT_EQ(window.stack()->count(), kPageCount);
    for (int page : {kPageCsvProgress, kPageCoverage, kPageCoverageProgress}) {
        Ui_ShowPage(page);
        EXPECT_EQ(Ui_CurrentPage(), page);
    }
    EXPECT_EQ(window.stack()->widget(kPageCoverage), window.coverage()->page(kPageCoverage));
    EXPECT_EQ(window.stack()->widget(kPageCoverageProgress), window.coverage()->page(kPageCoverageProgress));
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
