#include "app/application.h"

#include <QApplication>
#include <atomic>
#include <cstdlib>

#include "antenna/antenna.h"
#include "app/gui.h"
#include "export/csv/csvmodule.h"
#include "coveragewizard/coveragewizard.h"
#include "export/kmz/kmzwizard.h"
#include "instrument/receiverinfo.h"
#include "instrument/tcpscpi.h"
#include "measure/gpssetup.h"
#include "measure/recordcontrols.h"
#include "drivetest/gpshost.h"
#include "platform/network.h"
#include "platform/settingsnotice.h"
#include "ui/antennaeditor.h"
#include "ui/coveragepages.h"
#include "ui/csvprogresspage.h"
#include "ui/drivetestpages.h"
#include "ui/fileselectionpage.h"
#include "ui/kmzpages.h"
#include "ui/mainwindow.h"
#include "ui/uishell.h"

// Next of the file selection: the KMZ wizard, the CSV conversion or the coverage analysis.
class Application::ConversionStart : public FileSelectionTarget {
public:
    void startKmz(const std::vector<RecordFileEntry>& marked) override {
        std::string folder;
        if (!marked.empty()) {
            const auto slash = marked.front().path.rfind('/');
            folder = slash == std::string::npos ? "." : marked.front().path.substr(0, slash);
        }
        Kmz_Start(marked, folder);
    }
    void startCsv(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        if (Csv_Start(marked, directory)) Ui_ShowPage(kPageCsvProgress);
    }
    void startCoverage(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        CoverageWizard_Start(marked, directory);
    }
};

namespace {
std::atomic<bool> workersClosed{false};
std::atomic<Application*> running{nullptr};

// Qt's window system ends the process with exit(1) when the connection to
// the display breaks (a closed remote session, a crashed X server). exit()
// runs this before the destructors of the modules' state, whose threads
// would otherwise still be joinable there and abort the process.
void EndAtExit() {
    if (Application* application = running.exchange(nullptr)) application->endNow();
}

// The modules with worker threads, closed by the quit thread after a yes (or
// at the end when no quit ran).
void CloseWorkers() {
    if (workersClosed.exchange(true)) return;
    RecordControls_Join();  // a Record or Pause request still under way ends first
    DriveTest_Close();
    Kmz_Close();
    Csv_Close();
    CoverageWizard_Close();
}
}  // namespace

Application::Application(MainWindow& window, NetworkAccess& network, const WizardOptions& options,
                         std::function<void()> endLoop)
    : window_(window), conversions_(std::make_unique<ConversionStart>()) {
    window.setWindowTitle(QString::fromStdString(Gui_WindowTitle()));
    Ui_SetOnTopHandler(Gui_SetOnTop);
    workersClosed = false;
    // Made before the first file is saved there; a failure is told once.
    Gui_InstallSettingsNotice();
    Platform_PrepareDataDirectory();
    TcpScpi_Init();
    ReceiverInfo_Init();
    Antenna_Init(window.antennas());
    DriveTestPages& dt = *window.driveTest();
    GpsSetup_Init(&dt.gpsPanel(), &DriveTest_GpsHost());
    Network_SetAccess(&network);
    DriveTest_Init(dt, dt.frequencyView(), dt.recordingView(), options);
    FileSelection_Init(*window.files(), *conversions_);
    Kmz_Init(*window.kmz(), window.kmz()->levelTableView());
    Csv_Init(*window.csv());
    CoverageWizard_Init(*window.coverage());

    if (!endLoop) endLoop = [] { QApplication::quit(); };
    quit_ = std::make_unique<QuitSequence>(
        [&window] {
            Ui_PostTo(window.stack(), [stack = window.stack()] { stack->setEnabled(false); });
            CloseWorkers();
        },
        std::move(endLoop));
    window.setCloseHandler([this] { quit_->request(); });

    // Registered after the modules made their state, so that it runs first.
    running = this;
    static const bool endAtExit = std::atexit(EndAtExit) == 0;
    (void)endAtExit;
}

Application::~Application() {
    Application* self = this;
    running.compare_exchange_strong(self, nullptr);
    close();
    Gui_RemoveSettingsNotice();
}

void Application::endNow() {
    Ui_SetQuitConfirmed(true);
    Gui_ClosePopups();
    close();
}

void Application::close() {
    if (closed_) return;
    closed_ = true;
    window_.antennas()->saveOnQuit();  // before the antenna module closes
    window_.setCloseHandler({});
    Ui_SetOnTopHandler({});
    quit_.reset();  // joins a quit thread that is still closing the modules
    CloseWorkers();
    GpsSetup_Close();
    FileSelection_Close();
    Antenna_Close();
    ReceiverInfo_Close();
    TcpScpi_Close();
    Network_SetAccess(nullptr);
}
