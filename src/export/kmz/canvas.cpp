#include "export/kmz/canvas.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

#include <mutex>

namespace {

constexpr const char* kRegularFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr const char* kBoldFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";

std::once_flag guiOnce;
bool guiReady = false;
QString sansFamily;  // written once under guiOnce, read-only afterwards

void CreateGui() {
    if (QCoreApplication::instance() == nullptr) {
        // "-platform offscreen" rather than setting QT_QPA_PLATFORM: changing
        // the environment while other threads may read it is a data race, and
        // a platform the user chose for windows is no use for drawing here.
        static int argc = 3;
        static char program[] = "fieldtrace";
        static char platformOption[] = "-platform";
        static char platform[] = "offscreen";
        static char* argv[] = {program, platformOption, platform, nullptr};
        new QGuiApplication(argc, argv);  // deliberately never destroyed
    }
    guiReady = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (!guiReady) return;

    // QFontDatabase is thread-safe, so this may run on the conversion's worker.
    const int regular = QFontDatabase::addApplicationFont(QString::fromLatin1(kRegularFont));
    QFontDatabase::addApplicationFont(QString::fromLatin1(kBoldFont));
    const QStringList families = QFontDatabase::applicationFontFamilies(regular);
    sansFamily = families.isEmpty() ? QString() : families.first();
}

}  // namespace

bool KmzCanvas_EnsureGui() {
    std::call_once(guiOnce, CreateGui);
    return guiReady;
}

QFont KmzCanvas_Font(int pixelHeight, bool bold) {
    QFont font;
    if (sansFamily.isEmpty()) {
        font.setStyleHint(QFont::SansSerif);
        font.setFamily(QStringLiteral("sans-serif"));
    } else {
        font.setFamily(sansFamily);
    }
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}
