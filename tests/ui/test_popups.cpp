// The popup service: a worker's message or question reaches the main thread
// and waits for it; once quitting is confirmed nothing is shown any more.
#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <thread>

#include "app/gui.h"
#include "ui/uitest.h"

namespace {

// Runs fn on a worker thread while the main thread serves events.
template <class F>
void OnWorker(F fn) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        fn();
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    t.join();
}

TEST(Popups, WorkerMessagesAndQuestionsAreServedOnTheMainThread) {
    Gui_ResetQuit();
    UiTestDialogs dialogs(true);
    int answer = -1;
    OnWorker([&] {
        Gui_ThreadMessage("Could not create file(s).");
        answer = Gui_ThreadConfirm("Overwrite profile?", 0);
    });
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Could not create file(s).");
    EXPECT_EQ(answer, 1);
    EXPECT_FALSE(Gui_QuitConfirmed());  // an ordinary question confirms nothing
}

TEST(Popups, AfterAConfirmedQuitMessagesAreDroppedAndQuestionsAnsweredNo) {
    Gui_ResetQuit();
    UiTestDialogs dialogs(true);
    int quit = 0, later = -1;
    OnWorker([&] {
        quit = Gui_ThreadConfirm("Do you really want to quit?", 1);
        Gui_ThreadMessage("The drive test had to be stopped");
        later = Gui_ThreadConfirm("Overwrite?", 0);
    });
    EXPECT_EQ(quit, 1);
    EXPECT_TRUE(Gui_QuitConfirmed());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.questions.size(), 1u);  // only the quit question was shown
    EXPECT_EQ(later, 0);
    Gui_ResetQuit();
}

// The program ends without its event loop (the display is gone): a worker
// waiting for an answer gets no at once, and nothing is asked any more.
TEST(Popups, ClosingTheServiceAnswersAWaitingQuestionNoAndLaterOnesAtOnce) {
    Gui_ResetQuit();
    UiTestDialogs dialogs(true);
    std::atomic<int> answer{-1};
    std::thread asker([&] { answer = Gui_ThreadConfirm("Do you really want to quit?", 1); });
    QThread::msleep(200);  // the main thread serves nothing
    EXPECT_EQ(answer, -1);
    Gui_ClosePopups();
    asker.join();
    EXPECT_EQ(answer, 0);
    std::thread later([&] {
        Gui_ThreadMessage("The drive test had to be stopped");
        answer = Gui_ThreadConfirm("Overwrite?", 1);
    });
    later.join();
    EXPECT_EQ(answer, 0);
    QCoreApplication::processEvents();  // the first question's turn comes after all
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(Gui_QuitConfirmed());
    Gui_ResetQuit();
}

TEST(Popups, NoToTheQuitQuestionConfirmsNothing) {
    Gui_ResetQuit();
    UiTestDialogs dialogs(false);
    int quit = -1;
    OnWorker([&] { quit = Gui_ThreadConfirm("Do you really want to quit?", 1); });
    EXPECT_EQ(quit, 0);
    EXPECT_FALSE(Gui_QuitConfirmed());
    EXPECT_EQ(Gui_WindowTitle(), "Fieldtrace (3.20)");
}

}  // namespace
