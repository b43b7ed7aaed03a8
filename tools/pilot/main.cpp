// fieldtrace-pilot: a whole drive test through the window, the way a user
// does it, for the demo, the drive-test screenshots and the benchmark of the
// window's CPU use. It searches the networks of its namespace with the
// window's own search, so it refuses to run anywhere but in the network lab
// (scripts/lab.sh) with three analyzers of the first family.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "app/application.h"
#include "app/gui.h"
#include "measure/drivetest.h"
#include "measure/gpssetup.h"
#include "pilotactions.h"
#include "platform/network.h"
#include "platform/paths.h"
#include "ui/basicpage.h"
#include "ui/drivetestpages.h"
#include "ui/frequencypage.h"
#include "ui/gpspanel.h"
#include "ui/hardwarepage.h"
#include "ui/mainwindow.h"
#include "ui/measurementpage.h"
#include "ui/recordingpage.h"
#include "ui/startpage.h"
#include "ui/uishell.h"

namespace {

struct Options {
    int recordSeconds = 30;
    QString shots;   // screenshots of the drive-test pages go here when set
    QString output;  // the record files; default: a folder of the data directory
    bool cpu = false;
    QSize size{1100, 760};  // the window's size
};

const char* kUsage =
    "usage: fieldtrace-pilot [--record-seconds N] [--shots DIR] [--output DIR] [--size WxH] [--cpu]\n"
    "Runs a drive test through the window with three analyzers of the network lab:\n"
    "the first as GPS provider with two frequencies, the others with one each, the\n"
    "default measurements, N seconds of recording (default 30), Stop.\n"
    "  --shots DIR      save every drive-test page as DIR/dt-<page>.png\n"
    "  --output DIR     output directory of the record files\n"
    "  --size WxH       the window's size (default 1100x760)\n"
    "  --cpu            print the process's CPU use while recording, per 10 s window\n"
    "Only inside the network lab: scripts/lab.sh ... -- fieldtrace-pilot ...\n";

int failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "fieldtrace-pilot: %s\n", what.c_str());
    ++failures;
}

void Shot(QWidget* window, const Options& o, const char* name) {
    if (o.shots.isEmpty()) return;
    Pilot_Serve(400);
    const QString path = o.shots + "/" + name + ".png";
    if (!window->grab().save(path)) Fail("cannot write " + path.toStdString());
    else std::printf("%s\n", qPrintable(path));
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--record-seconds" && hasValue) o.recordSeconds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--shots" && hasValue) o.shots = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--output" && hasValue) o.output = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--size" && hasValue) o.size = Pilot_ParseSize(argv[++i]);
        else if (a == "--cpu") o.cpu = true;
        else return false;
    }
    return !o.size.isEmpty();
}

// The drive test, page by page; false at the first step that did not work.
bool Drive(MainWindow& window, const Options& o, std::vector<std::string>& messages) {
    DriveTestPages& dt = *window.driveTest();
    auto page = [&] { return window.stack()->currentIndex(); };
    auto onPage = [&](int p, double seconds = 30) { return Pilot_WaitFor([&] { return page() == p; }, seconds); };
    auto lastMessage = [&] { return messages.empty() ? std::string() : messages.back(); };

    Pilot_Click(window.start()->task(1));
    if (!onPage(kPageDtBasic)) return Fail("the basic page did not open"), false;
    Pilot_Choose(dt.basic()->standard(), "DVB-T / DVB-H");
    Pilot_Choose(dt.basic()->levelUnit(), "dBm");
    dt.setDirectoryChooser([&o](const QString&, const QString&) { return o.output; });
    Pilot_Click(dt.basic()->directoryButton());
    Shot(&window, o, "dt-basic");
    Pilot_Click(dt.basic()->next());
    if (!onPage(kPageDtHardware)) return Fail("the hardware page did not open: " + lastMessage()), false;

    HardwarePage& hw = *dt.hardware();
    if (!Pilot_WaitFor([&] { return hw.table()->isVisible() && DriveTest_WorkerState() == kWorkerWaiting; }, 120))
        return Fail("no analyzer table after the search"), false;
    Pilot_Serve(300);
    if (hw.table()->rowCount() < 3) return Fail("the search found " + std::to_string(hw.table()->rowCount()) + " analyzers, not 3"), false;

    // The second analyzer has no receiver: as GPS provider it opens the setup panel.
    Pilot_Choose(hw.choice(3, 3), "Analyzer+GPS");
    if (Pilot_WaitFor([&] { return dt.gps()->isVisible(); }, 10)) {
        Pilot_WaitFor([] { return GpsSetup_Stage() >= kGpsStageWatching; }, 30);
        Shot(&window, o, "dt-gps");
        Pilot_Click(dt.gps()->closeButton());
        Pilot_WaitFor([&] { return !dt.gps()->isVisible(); }, 30);
    }
    Pilot_Choose(hw.choice(2, 3), "Analyzer+GPS");
    Pilot_Choose(hw.choice(3, 3), "Analyzer");
    Pilot_Choose(hw.choice(4, 3), "Analyzer");
    Shot(&window, o, "dt-hardware");
    Pilot_Click(hw.next());
    if (!onPage(kPageDtFrequencies)) return Fail("the frequency page did not open: " + lastMessage()), false;

    QTableWidget* ft = dt.frequencies()->frequencyTable();
    if (!Pilot_WaitFor([&] { return ft->rowCount() == 3; })) return Fail("the frequency table has no block per analyzer"), false;
    Pilot_ClickCell(ft, 0, 1);  // [+]: a second frequency for the first analyzer
    if (!Pilot_WaitFor([&] { return ft->rowCount() == 4; }, 5)) return Fail("[+] added no row"), false;
    const struct {
        const char* description;
        const char* mhz;
    } rows[] = {{"Ch21 Munich", "474"}, {"Ch22 Regional", "482"}, {"Ch25 SFN", "506"}, {"Ch28 Local", "530"}};
    for (int r = 0; r < 4; ++r) {
        for (const auto& [column, text] : {std::pair{2, rows[r].description}, std::pair{3, rows[r].mhz}}) {
            const std::string problem = Pilot_TypeIntoCell(ft, r, column, text);
            if (!problem.empty()) return Fail(problem), false;
        }
    }
    Pilot_Click(dt.frequencies()->nextButton());
    if (!onPage(kPageDtMeasurements)) return Fail("the measurement page did not open: " + lastMessage()), false;
    Pilot_Click(dt.measurements()->userOption());
    Shot(&window, o, "dt-measurements");
    Pilot_Click(dt.measurements()->defaultOption());
    Pilot_Click(dt.measurements()->nextButton());
    if (!onPage(kPageDtRecording)) return Fail("the recording page did not open: " + lastMessage()), false;

    RecordingPage& rec = *dt.recording();
    const bool prepared = Pilot_WaitFor(
        [] {
            const auto t = DriveTest_Threads();
            return t.size() == 3 && std::all_of(t.begin(), t.end(), [](const auto& i) { return i.phase == kPhaseWaiting; });
        },
        120);
    if (!prepared) return Fail("the analyzers were not prepared in time"), false;
    Shot(&window, o, "dt-monitoring");
    Pilot_Click(rec.recordButton());
    const double start = CpuSeconds();
    std::vector<double> windows;  // CPU share of one core per 10 s of recording, in %
    double last = start;
    for (int s = 1; s <= o.recordSeconds; ++s) {
        Pilot_Serve(1000);
        if (s == std::min(o.recordSeconds, 20)) Shot(&window, o, "dt-recording");
        if (o.cpu && s % 10 == 0) {
            const double now = CpuSeconds();
            windows.push_back((now - last) * 100.0 / 10.0);
            last = now;
            std::printf("recording %3d s: %.2f %% of one core\n", s, windows.back());
            std::fflush(stdout);
        }
    }
    if (o.cpu && !windows.empty()) {
        std::vector<double> sorted = windows;
        std::sort(sorted.begin(), sorted.end());
        std::printf("window process while recording with 3 analyzers: median %.2f %%, max %.2f %% of one core over %zu windows of 10 s\n",
                    sorted[sorted.size() / 2], sorted.back(), sorted.size());
    }
    const std::size_t before = messages.size();
    Pilot_Click(rec.stopButton());
    if (!Pilot_WaitFor([&] { return messages.size() > before; }, 60)) return Fail("no stop message"), false;
    std::printf("%s\n", messages.back().c_str());
    Pilot_Click(rec.homeButton());
    if (!onPage(kPageStart)) return Fail("Home did not lead to the start page"), false;

    // A second drive test shows the frequencies of the first under "Recently used".
    if (o.shots.isEmpty()) return true;
    Pilot_Click(window.start()->task(1));
    if (!onPage(kPageDtBasic)) return Fail("the basic page did not open again"), false;
    Pilot_Click(dt.basic()->next());
    if (!onPage(kPageDtHardware)) return Fail("the hardware page did not open again"), false;
    if (!Pilot_WaitFor([&] { return hw.next()->isEnabled() && DriveTest_WorkerState() == kWorkerWaiting; }, 60))
        return Fail("no analyzer table the second time"), false;
    Pilot_Click(hw.next());
    if (!onPage(kPageDtFrequencies)) return Fail("the frequency page did not open again: " + lastMessage()), false;
    Pilot_WaitFor([&] { return dt.frequencies()->recentTable()->rowCount() >= 4; }, 10);
    Shot(&window, o, "dt-frequencies");
    Pilot_Click(dt.frequencies()->homeButton());
    return onPage(kPageStart);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The window searches every network it sees: never the machine's own.
    if (Network_InInitialNamespace()) {
        std::fputs("fieldtrace-pilot: runs only inside the network lab (scripts/lab.sh ... -- fieldtrace-pilot)\n", stderr);
        return 2;
    }
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir work;
    const std::string data = work.path().toStdString();
    Platform_SetDataDirectory(data);
    if (o.output.isEmpty()) o.output = work.path() + "/records";
    QDir().mkpath(o.output);
    if (!o.shots.isEmpty()) QDir().mkpath(o.shots);

    // Nobody is there to answer: messages are kept and printed, questions answered yes (the quit).
    std::vector<std::string> messages;
    Ui_SetDialogHandlers(
        [&messages](const QString& text) {
            messages.push_back(text.toStdString());
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        },
        [](const QString&) { return true; });
    MainWindow window;
    WizardOptions options;
    options.dataDirectory = data;
    bool ended = false;
    {
        Application app(window, Network_System(), options, [&ended] { ended = true; });
        window.resize(o.size);
        window.show();
        Pilot_Serve(300);
        GpsSetup_SetTiming({8.0, 0.5});
        Drive(window, o, messages);
        app.requestQuit();
        Pilot_WaitFor([&] { return ended; }, 60);
    }
    Ui_SetDialogHandlers({}, {});
    return failures ? 1 : 0;
}
