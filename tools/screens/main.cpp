// fieldtrace-screenshots [--size WxH] DIR: builds the main window with
// generated record files and antenna types, walks through the pages the way a
// user would (through the pages' own callbacks) and saves each page as
// DIR/<name>.png, the window at WxH (default 1100x720). It never starts the
// drive-test search: nothing here touches a network. The coverage page's
// database target is shown tested against the server FIELDTRACE_SCREENS_PG
// names (scripts/screenshots.sh starts a throwaway one on a Unix socket).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "antenna/antenna.h"
#include "synthrecord.h"
#include "export/csv/csvmodule.h"
#include "coveragewizard/coveragewizard.h"
#include "export/kmz/kmzwizard.h"
#include "instrument/receiverinfo.h"
#include "pilotactions.h"
#include "platform/paths.h"
#include "selection/fileselection.h"
#include "selection/fsini.h"
#include "ui/antennaeditor.h"
#include "ui/coveragepages.h"
#include "ui/csvprogresspage.h"
#include "ui/fileselectionpage.h"
#include "ui/kmzcolourpage.h"
#include "ui/kmzpages.h"
#include "ui/mainwindow.h"
#include "ui/uishell.h"

namespace {

QString outDir;
int failures = 0;

void Serve(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool ServeUntil(const std::function<bool()>& pred, int timeoutMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

void Save(QWidget* window, const char* name) {
    Serve(300);
    const QString path = outDir + "/" + name + ".png";
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "fieldtrace-screenshots: cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

class Conversions : public FileSelectionTarget {
public:
    void startKmz(const std::vector<RecordFileEntry>& marked) override {
        const auto slash = marked.front().path.rfind('/');
        Kmz_Start(marked, marked.front().path.substr(0, slash));
    }
    void startCsv(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        if (Csv_Start(marked, directory)) Ui_ShowPage(kPageCsvProgress);
    }
    void startCoverage(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        CoverageWizard_Start(marked, directory);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QSize size(1100, 720);
    if (argc == 4 && std::strcmp(argv[1], "--size") == 0) size = Pilot_ParseSize(argv[2]);
    if ((argc != 2 && argc != 4) || size.isEmpty()) {
        std::fprintf(stderr, "usage: fieldtrace-screenshots [--size WxH] DIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[argc - 1]);
    QDir().mkpath(outDir);
    QTemporaryDir work;
    const std::string data = work.path().toStdString() + "/data", records = work.path().toStdString() + "/records";
    QDir().mkpath(QString::fromStdString(data));
    QDir().mkpath(QString::fromStdString(records));
    Platform_SetDataDirectory(data);

    // A morning's drive: three frequencies of one analyzer.
    const struct {
        double mhz;
        const char* description;
        long long samples;
        int day;
    } channels[] = {{474.0, "Ch21 Munich", 900, 1},
                    {474.0, "Ch21 Autobahn A9", 120000, 2},
                    {482.0, "Ch22 Regional", 900, 1},
                    {690.0, "Ch48 SFN", 900, 1}};
    std::uint64_t seed = 7;
    for (const auto& c : channels) {
        SynthRecordOptions o;
        o.samples = c.samples;
        o.start.day = c.day;
        o.seed = seed++;
        o.frequencyMHz = c.mhz;
        o.description = c.description;
        o.outputDirectory = records;
        std::string path, error;
        if (!Synth_WriteRecordFile(o, path, error)) {
            std::fprintf(stderr, "fieldtrace-screenshots: %s\n", error.c_str());
            return 1;
        }
    }
    FileSelection_SaveDirectory(data, records);

    // Nobody is there to answer: messages go to stderr, questions are answered no.
    Ui_SetDialogHandlers([](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); },
                         [](const QString& text) {
                             std::fprintf(stderr, "question (no): %s\n", qPrintable(text));
                             return false;
                         });
    ReceiverInfo_Init();
    MainWindow window;
    window.resize(size);
    Antenna_Init(window.antennas(), data);
    Antenna_Update([](AntennaList& list) {
        int at = 0;
        list.addAntenna("Dipole UHF", &at);
        for (auto p : {KFactorPoint{170.0, 12.5}, {300.0, 16.0}, {470.0, 19.5}, {600.0, 21.0}, {862.0, 24.5}})
            list.addPoint(at, p);
        list.addAntenna("Log-periodic LP-1000", &at);
        for (auto p : {KFactorPoint{200.0, 9.0}, {500.0, 14.0}, {1000.0, 20.5}}) list.addPoint(at, p);
        return AntennaEdit::Ok;
    });
    Antenna_Save(data);
    Antenna_Load(data);  // shows the list and selects the first antenna
    Conversions conversions;
    FileSelection_Init(*window.files(), conversions, data);
    Kmz_Init(*window.kmz(), window.kmz()->levelTableView(), data);
    Csv_Init(*window.csv());
    CoverageWizard_Init(*window.coverage());
    window.show();

    Ui_ShowPage(kPageStart);
    Save(&window, "start");

    FileSelection_Show(0);
    FileSelection_Refresh();
    Ui_ShowPage(kPageFileSelection);
    onFileSelectionTable(1, 1);
    onFileSelectionTable(2, 1);
    Save(&window, "files-kmz");

    onFileSelectionNext();
    ServeUntil([] { return Ui_CurrentPage() == kPageKmzLevels; });
    Save(&window, "kmz-levels");
    onKmzLevelConfigurationNext();
    ServeUntil([] { return Ui_CurrentPage() == kPageKmzScope; });
    // The files load (slowly on a busy machine): the selection comes back when they are in.
    ServeUntil([&window] { return window.kmz()->scopePage().stack->currentIndex() == 0 && Kmz_State() == kKmzStateScope; },
               120000);
    Save(&window, "kmz-scope");
    onKmzScopeNext();
    ServeUntil([&window] { return Ui_CurrentPage() == kPageKmzColours && window.kmz()->colourPage().tree->isVisible(); }, 60000);
    onKmzColorsAuto();
    window.kmz()->colourPage().profiles->setEditText("Munich UHF");
    Save(&window, "kmz-colours");
    onKmzColorsNext();
    ServeUntil([] { return Ui_CurrentPage() == kPageKmzProgress; });
    Serve(1500);  // under way
    Save(&window, "kmz-progress");
    ServeUntil([] { return Kmz_WaitFinished(0); }, 60000);
    Serve(500);

    FileSelection_Show(1);
    FileSelection_Refresh();
    Ui_ShowPage(kPageFileSelection);
    onFileSelectionAll();
    Save(&window, "files-csv");
    onFileSelectionNext();
    Serve(700);  // the short drive is done, the long one under way
    Save(&window, "csv-progress");
    ServeUntil([] { return Csv_State() == kCsvIdle; }, 60000);

    FileSelection_Show(kSelectionModeCoverage);
    FileSelection_Refresh();
    Ui_ShowPage(kPageFileSelection);
    onFileSelectionAll();
    Save(&window, "files-coverage");
    onFileSelectionNext();
    ServeUntil([] { return Ui_CurrentPage() == kPageCoverage; });
    // The planning's minimum median field strength for the level, typed as a user would, and a report.
    window.coverage()->settingsPage().thresholds->item(0, kCoverageColThreshold)->setText("60");
    window.coverage()->settingsPage().report->setChecked(true);
    Save(&window, "coverage");
    onCoverageNext();
    ServeUntil([] { return Ui_CurrentPage() == kPageCoverageProgress; });
    Serve(1500);  // the long drive under way
    Save(&window, "coverage-progress");
    ServeUntil([] { return CoverageWizard_WaitIdle(0); }, 120000);
    Serve(300);

    // The campaign database as target, its connection tested against the
    // throwaway server scripts/screenshots.sh started (none: no picture).
    if (const char* database = std::getenv("FIELDTRACE_SCREENS_PG")) {
        FileSelection_Show(kSelectionModeCoverage);
        FileSelection_Refresh();
        Ui_ShowPage(kPageFileSelection);
        onFileSelectionAll();
        onFileSelectionNext();
        ServeUntil([] { return Ui_CurrentPage() == kPageCoverage; });
        const CoverageSettingsPage& p = window.coverage()->settingsPage();
        p.format->setCurrentIndex(p.format->findData(QString(kCoverageDatabaseFormat)));
        p.connection->setText(database);
        p.connection->setCursorPosition(0);
        onCoverageTestConnection();
        ServeUntil([&p] { return CoverageWizard_WaitIdle(0) && p.testConnection->isEnabled(); }, 60000);
        Save(&window, "coverage-database");
        Ui_ShowPage(kPageStart);
    }

    window.antennas()->open();
    window.antennas()->resize(size.boundedTo(QSize(1100, 600)));
    Save(window.antennas(), "antenna-editor");
    window.antennas()->hide();

    Kmz_Close();
    Csv_Close();
    CoverageWizard_Close();
    FileSelection_Close();
    Antenna_Close();
    return failures ? 1 : 0;
}
