// fieldtrace: the desktop program. Modules start in a fixed order and close
// in the order the quit sequence and the end of the event loop give them.
#include <QApplication>
#include <QScreen>
#include <clocale>
#include <memory>

#include "app/application.h"
#include "app/endsignals.h"
#include "app/gui.h"
#include "app/singleinstance.h"
#include "platform/instrument.h"
#include "platform/network.h"
#include "ui/mainwindow.h"
#include "ui/uishell.h"

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

    // Told to end (a shutdown, a closed session): as a confirmed quit, with a
    // non-zero status, and no box left waiting for somebody who has gone. The
    // signal is served by the event loop, which runs once the modules are up.
    std::unique_ptr<Application> application;
    bool signalled = false;
    EndSignals ending([&](int signal) {
        signalled = true;
        if (application) application->endNow();
        QApplication::exit(128 + signal);
    });
    // The hardware page searches the PC's own networks.
    application = std::make_unique<Application>(window, Network_System());

    if (const QScreen* screen = QGuiApplication::primaryScreen()) window.placeOn(screen->availableGeometry());
    window.show();
    const int status = app.exec();
    application.reset();
    // A settings file that could not be saved while quitting: told now that
    // every module is closed (not to a session that has ended).
    if (!signalled) Gui_ShowHeldSettingsNotice();
    return status;
}
