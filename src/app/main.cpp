// fieldtrace: the desktop program. Modules start in a fixed order and close
// in the order the quit sequence and the end of the event loop give them.
#include <QApplication>
#include <QScreen>
#include <clocale>

#include "antenna/antenna.h"
#include "app/gui.h"
#include "app/quit.h"
#include "app/singleinstance.h"
#include "drivetest/gpshost.h"
#include "drivetest/wizard.h"
#include "export/csv/csvmodule.h"
#include "export/kmz/kmzwizard.h"
#include "instrument/receiverinfo.h"
#include "instrument/tcpscpi.h"
#include "measure/gpssetup.h"
#include "platform/instrument.h"
#include "platform/network.h"
#include "selection/fileselection.h"
#include "ui/antennaeditor.h"
#include "ui/csvprogresspage.h"
#include "ui/drivetestpages.h"
#include "ui/fileselectionpage.h"
#include "ui/kmzpages.h"
#include "ui/mainwindow.h"
#include "ui/uishell.h"

namespace {

// Next of the file selection: the KMZ wizard or the CSV conversion.
class ConversionStart : public FileSelectionTarget {
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
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Numbers in files, SCPI lines and exports are C-locale whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    const QString title = QString::fromStdString(Gui_WindowTitle());

    MainWindow window;
    SingleInstance instance(title);
    const bool onInstrument = Platform_RunsOnInstrument() == 1;
    const bool run = instance.claim(
        [&] {
            return !onInstrument &&
                   Ui_Confirm("At least one software instance is already running.\nWould you nevertheless like to start "
                              "another instance?\n(Each instance can control one drivetest for a certain analyzer type "
                              "and broadcast standard.\nAnswering 'No' will switch to an already running instance)");
        },
        [&window] { window.raiseWindow(); });
    if (!run) return 0;

    // The modules, in their order.
    TcpScpi_Init();
    ReceiverInfo_Init();
    Antenna_Init(window.antennas());
    GpsSetup_Init(&window.driveTest()->gpsPanel(), &DriveTest_GpsHost());
    Network_SetAccess(&Network_System());  // the hardware page searches the PC's own networks
    DriveTest_Init(*window.driveTest(), nullptr, nullptr);
    ConversionStart conversions;
    FileSelection_Init(*window.files(), conversions);
    Kmz_Init(*window.kmz(), window.kmz()->levelTableView());
    Csv_Init(*window.csv());

    QuitSequence quit(
        [&window] {
            Ui_Post([&window] { window.stack()->setEnabled(false); });
            DriveTest_Close();
            Kmz_Close();
            Csv_Close();
        },
        [] { QApplication::quit(); });
    window.setCloseHandler([&quit] { quit.request(); });

    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize(640, 480);
    window.move(MainWindow::CentredPosition(screen));
    window.show();
    app.exec();

    GpsSetup_Close();
    FileSelection_Close();
    Antenna_Close();
    ReceiverInfo_Close();
    TcpScpi_Close();
    Network_SetAccess(nullptr);
    return 0;
}
