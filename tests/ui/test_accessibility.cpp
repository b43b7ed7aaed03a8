// The window as screen readers and GUI automation see it. The case below only
// hosts the window on the accessibility bus; tests/tools/ui_accessibility.sh
// runs it under Xvfb with a checker that finds and presses the controls
// through AT-SPI. Without FIELDTRACE_A11Y_HOST it is skipped.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "antenna/antenna.h"
#include "export/csv/csvmodule.h"
#include "export/kmz/kmzwizard.h"
#include "instrument/receiverinfo.h"
#include "platform/paths.h"
#include "selection/fileselection.h"
#include "ui/antennaeditor.h"
#include "ui/csvprogresspage.h"
#include "ui/fileselectionpage.h"
#include "ui/kmzpages.h"
#include "ui/mainwindow.h"
#include "ui/uitest.h"

namespace {

class NoConversion : public FileSelectionTarget {
public:
    void startKmz(const std::vector<RecordFileEntry>&) override {}
    void startCsv(const std::vector<RecordFileEntry>&, const std::string&) override {}
    void startCoverage(const std::vector<RecordFileEntry>&, const std::string&) override {}
};

TEST(Accessibility, HostTheWindowForTheChecker) {
    const QByteArray done = qgetenv("FIELDTRACE_A11Y_HOST");
    if (done.isEmpty()) GTEST_SKIP() << "run by tests/tools/ui_accessibility.sh";
    UiTest_App();
    QTemporaryDir data;
    Platform_SetDataDirectory(data.path().toStdString());
    ReceiverInfo_Init();
    MainWindow window;
    Antenna_Init(window.antennas(), data.path().toStdString());
    NoConversion target;
    FileSelection_Init(*window.files(), target, data.path().toStdString());
    window.resize(1000, 700);
    window.show();
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(QString::fromLocal8Bit(done)) && t.elapsed() < 90000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    FileSelection_Close();
    Antenna_Close();
    EXPECT_TRUE(QFile::exists(QString::fromLocal8Bit(done))) << "the checker never finished";
}

}  // namespace
