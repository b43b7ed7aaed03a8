// The KMZ pages driven as a user drives them: from the marked record files
// through levels, scope and colours to the archive, which must hold what the
// command line writes for the same choices; Home while writing; a comma locale.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/kmz/kmzwizard.h"
#include "platform/paths.h"
#include "selection/recordentry.h"
#include "support/testsupport.h"
#include "ui/kmzpages.h"
#include "ui/treepath.h"
#include "ui/uitest.h"

namespace {

std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = rc;
    return out;
}

std::string Generate(const std::string& folder, const std::string& options) {
    int status = -1;
    std::string out = Shell(std::string(FIELDTRACE_CLI) + " generate --out '" + folder + "' " + options, &status);
    EXPECT_EQ(status, 0);
    return out.substr(0, out.find('\n'));
}

std::vector<std::string> Archives(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".kmz") found.push_back(e.path().string());
    return found;
}

// Differences between two archives after the export stamp (in names and
// texts) is replaced: "" when both hold the same entries with the same bytes.
std::string ArchiveDifference(const std::string& a, const std::string& b) {
    const char* script = R"PY(
import re, sys, zipfile
def load(path):
    z = zipfile.ZipFile(path)
    stamp = next(m.group(1) for m in (re.match(r'spot_([0-9A-F]{16})\.bmp$', n) for n in z.namelist()) if m)
    return {n.replace(stamp, 'STAMP'): z.read(n).replace(stamp.encode(), b'STAMP') for n in z.namelist()}
a, b = load(sys.argv[1]), load(sys.argv[2])
out = sorted(set(a) ^ set(b))[:5] + [n for n in sorted(set(a) & set(b)) if a[n] != b[n]][:5]
print('\n'.join(out))
)PY";
    return Shell("python3 - '" + a + "' '" + b + "' <<'EOF'\n" + std::string(script) + "\nEOF\n");
}

template <class Cond>
bool WaitFor(Cond cond, int seconds = 120) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The four pages in a page stack of their own, with the module started on them.
struct Wizard {
    explicit Wizard(const std::string& dataDirectory) {
        for (int i = 0; i < kPageCount; ++i) stack.addWidget(pages.page(i) ? pages.page(i) : new QWidget(&stack));
        Ui_SetPageHandler([this](int p) { stack.setCurrentIndex(p); }, [this] { return stack.currentIndex(); });
        Kmz_Init(pages, pages.levelTableView(), dataDirectory);
        stack.resize(1000, 700);
        stack.show();
    }
    ~Wizard() {
        Kmz_Close();
        Ui_Flush();
        Ui_SetPageHandler({});
    }
    void start(const std::vector<std::string>& files, const std::string& folder) {
        std::vector<RecordFileEntry> marked(files.size());
        for (std::size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(FileSelection_ReadEntry(files[i], marked[i]));
        Kmz_Start(marked, folder);
        Ui_Flush();
    }
    // Level page Next, scope page once loaded, Next; colours filled, Auto, a profile name, Next.
    void throughToProgress() {
        toColours();
        const KmzColourPage& colours = pages.colourPage();
        QTest::mouseClick(colours.autoButton, Qt::LeftButton);
        colours.profiles->lineEdit()->clear();
        QTest::keyClicks(colours.profiles->lineEdit(), "Drive");
        QTest::mouseClick(colours.frame.next, Qt::LeftButton);
        Ui_Flush();
        ASSERT_EQ(stack.currentIndex(), kPageKmzProgress);
    }
    // Level page Next, scope page once loaded, Next: the colour page with its rows.
    void toColours() {
        ASSERT_EQ(stack.currentIndex(), kPageKmzLevels);
        QTest::mouseClick(pages.levelPage().frame.next, Qt::LeftButton);
        Ui_Flush();  // the loading progress takes the controls' place first
        ASSERT_TRUE(WaitFor([&] { return pages.scopePage().stack->currentIndex() == 0 && Kmz_State() == kKmzStateScope; }));
        Ui_Flush();
        ASSERT_EQ(stack.currentIndex(), kPageKmzScope);
        QTest::mouseClick(pages.scopePage().frame.next, Qt::LeftButton);
        const KmzColourPage& colours = pages.colourPage();
        ASSERT_TRUE(WaitFor([&] { return colours.tree->isVisibleTo(colours.page) && !UiTree_Leaves(colours.tree).empty(); }));
        Ui_Flush();
        ASSERT_EQ(stack.currentIndex(), kPageKmzColours);
    }
    QStackedWidget stack;
    KmzPages pages{&stack};
};

// Runs the wizard over files (folder: theirs) and returns the archive written.
std::string ConvertThroughThePages(const std::vector<std::string>& files, const std::string& folder,
                                   std::vector<QString>& messages) {
    TempDir data;
    UiTestDialogs dialogs(true);
    Wizard wizard(data.path());
    wizard.start(files, folder);
    wizard.throughToProgress();
    EXPECT_TRUE(WaitFor([] { return Kmz_State() == kKmzStateFinished; }));
    // The worker shows the start page just after it finished.
    EXPECT_TRUE(WaitFor([&] { return wizard.stack.currentIndex() == kPageStart; }, 10));
    EXPECT_FALSE(wizard.pages.progressHome()->isEnabled());
    messages = dialogs.messages;
    // The profile typed on the colour page was saved on leaving it.
    EXPECT_TRUE(FileExists(data.file("Drive.cas")));
    const std::vector<std::string> archives = Archives(folder);
    return archives.size() == 1 ? archives[0] : std::string();
}

class KmzPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiTest_App();
        Platform_SetDataDirectory(data_.path());
        first_ = Generate(records_.path(), "--samples 400 --seed 3 --description first");
        second_ = Generate(records_.path(), "--samples 300 --seed 4 --frequency 690 --description second");
    }
    TempDir data_, records_;
    std::string first_, second_;
};

TEST_F(KmzPagesTest, TheArchiveOfThePagesEqualsTheCommandLines) {
    // One export time for the pages and the command line (the legends draw it).
    setenv("SOURCE_DATE_EPOCH", "1780000000", 1);
    std::vector<QString> messages;
    const std::string archive = ConvertThroughThePages({first_, second_}, records_.path(), messages);
    ASSERT_FALSE(archive.empty());
    EXPECT_NE(archive.find("Multi-file export.kmz"), std::string::npos);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("Drive test results have been successfully written to\n\n"));
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(archive)));

    TempDir out;
    int status = -1;
    Shell(std::string(FIELDTRACE_CLI) + " kmz '" + first_ + "' '" + second_ + "' -o '" + out.file("cli.kmz") + "'", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ArchiveDifference(archive, out.file("cli.kmz")), "\n");
    unsetenv("SOURCE_DATE_EPOCH");
}

// Record files in a folder named in UTF-8: the closing message names the
// archive as the disk does ("München", not "MÃ¼nchen").
TEST_F(KmzPagesTest, TheClosingMessageNamesAFolderBeyondAscii) {
    const std::string munich = records_.file("Messfahrt M\xC3\xBCnchen");
    std::filesystem::create_directory(munich);
    const std::string file = Generate(munich, "--samples 200 --seed 5 --description Ch21");
    std::vector<QString> messages;
    const std::string archive = ConvertThroughThePages({file}, munich, messages);
    ASSERT_FALSE(archive.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QString::fromUtf8("/Messfahrt München/"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QString::fromUtf8(archive.c_str()))) << messages[0].toStdString();
}

// A first conversion, with no profile saved yet, is offered the standard's
// name as the profile name: Next goes on and saves the profile.
TEST_F(KmzPagesTest, AFirstConversionGoesOnWithTheOfferedProfileName) {
    TempDir data;
    UiTestDialogs dialogs(true);
    Wizard wizard(data.path());
    wizard.start({first_}, records_.path());
    wizard.toColours();
    const KmzColourPage& colours = wizard.pages.colourPage();
    EXPECT_EQ(colours.profiles->currentText().toStdString(), "DVB-T - DVB-H");
    QTest::mouseClick(colours.frame.next, Qt::LeftButton);
    Ui_Flush();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].toStdString();
    ASSERT_EQ(wizard.stack.currentIndex(), kPageKmzProgress);
    EXPECT_TRUE(FileExists(data.file("DVB-T - DVB-H.cas")));
    ASSERT_TRUE(WaitFor([] { return Kmz_State() == kKmzStateFinished; }));
}

TEST_F(KmzPagesTest, ACommaLocaleWritesTheSameArchive) {
    setenv("SOURCE_DATE_EPOCH", "1780000000", 1);  // both runs carry one export time
    std::vector<QString> messages;
    const std::string plain = ConvertThroughThePages({first_}, records_.path(), messages);
    ASSERT_FALSE(plain.empty());
    TempDir keep;
    const std::string kept = keep.file("c-locale.kmz");
    std::filesystem::rename(plain, kept);

    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 missing: scripts/setup.sh generates it";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string german = ConvertThroughThePages({first_}, records_.path(), messages);
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    ASSERT_FALSE(german.empty());
    EXPECT_EQ(ArchiveDifference(german, kept), "\n");
    unsetenv("SOURCE_DATE_EPOCH");
}

TEST_F(KmzPagesTest, HomeWhileWritingLeavesNoArchive) {
    const std::string big = Generate(records_.path(), "--samples 60000 --seed 7 --description big");
    TempDir data;
    UiTestDialogs dialogs(true);
    Wizard wizard(data.path());
    wizard.start({big}, records_.path());
    wizard.throughToProgress();
    ASSERT_TRUE(wizard.pages.progressHome()->isEnabled());
    QTest::mouseClick(wizard.pages.progressHome(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([] { return Kmz_State() == kKmzStateFinished; }));
    EXPECT_TRUE(WaitFor([&] { return wizard.stack.currentIndex() == kPageStart; }, 10));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Drive test result file conversion aborted by user.");
    EXPECT_TRUE(Archives(records_.path()).empty());
}

TEST_F(KmzPagesTest, TheScopePageKeepsTheUserWithoutAMeasurementOrIndicator) {
    TempDir data;
    UiTestDialogs dialogs(true);
    Wizard wizard(data.path());
    wizard.start({first_}, records_.path());
    QTest::mouseClick(wizard.pages.levelPage().frame.next, Qt::LeftButton);
    Ui_Flush();
    const KmzScopePage& scope = wizard.pages.scopePage();
    ASSERT_TRUE(WaitFor([&] { return scope.stack->currentIndex() == 0 && Kmz_State() == kKmzStateScope; }));
    Ui_Flush();
    // Loading marked everything and chose the worst value at 10 m.
    for (QTreeWidgetItem* leaf : UiTree_Leaves(scope.tree)) EXPECT_EQ(leaf->checkState(0), Qt::Checked);
    EXPECT_TRUE(scope.indicators[0]->isChecked());
    EXPECT_FALSE(scope.indicators[1]->isChecked());
    EXPECT_EQ(scope.zoom->currentData().toDouble(), 10.0);

    QTest::mouseClick(scope.markNone, Qt::LeftButton);
    QTest::mouseClick(scope.frame.next, Qt::LeftButton);
    scope.indicators[0]->setChecked(false);
    QTest::mouseClick(scope.markAll, Qt::LeftButton);
    QTest::mouseClick(scope.frame.next, Qt::LeftButton);
    Ui_Flush();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0], kKmzNoMeasurementMessage);
    EXPECT_EQ(dialogs.messages[1], kKmzNoIndicatorMessage);
    EXPECT_EQ(wizard.stack.currentIndex(), kPageKmzScope);
    EXPECT_EQ(Kmz_State(), kKmzStateScope);

    // Previous cancels the worker and goes back to the levels.
    QTest::mouseClick(scope.frame.previous, Qt::LeftButton);
    Ui_Flush();
    EXPECT_EQ(Kmz_State(), kKmzStateFinished);
    EXPECT_EQ(wizard.stack.currentIndex(), kPageKmzLevels);
}

TEST_F(KmzPagesTest, TheLevelTableOpensItsManualCellsAndFollowsTheUnit) {
    TempDir data;
    UiTestDialogs dialogs(true);
    Wizard wizard(data.path());
    wizard.start({first_, second_}, records_.path());
    const KmzLevelPage& level = wizard.pages.levelPage();
    ASSERT_EQ(level.table->rowCount(), 2);
    EXPECT_EQ(level.table->item(0, kKmzColDescription - 1)->text(), "first");

    // Field strength asks for a manual K-factor of a file recorded otherwise.
    level.unit->setCurrentIndex(kKmzUnitFieldStrength);
    Ui_Flush();
    EXPECT_TRUE(level.table->item(1, kKmzColManualKFactor - 1)->flags() & Qt::ItemIsEditable);
    QTest::mouseClick(level.frame.next, Qt::LeftButton);
    Ui_Flush();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "The selected level unit requires a manual k-factor assignment for entry #1.");
    EXPECT_EQ(level.table->item(0, kKmzColManualKFactor - 1)->background().color(), QColor(230, 230, 150));  // an even table row
    EXPECT_EQ(wizard.stack.currentIndex(), kPageKmzLevels);

    // Moving onto a manual cell opens its editor by itself.
    level.table->setFocus();
    level.table->setCurrentCell(1, kKmzColManualOffset - 1);
    ASSERT_TRUE(WaitFor([&] {
        const QLineEdit* editor = level.table->viewport()->findChild<QLineEdit*>();
        return editor && editor->isVisible();
    }, 5));

    // Any other unit turns the manual K-factor into a read-only "-- None --".
    level.unit->setCurrentIndex(kKmzUnitDbm);
    Ui_Flush();
    const QTableWidgetItem* none = level.table->item(1, kKmzColManualKFactor - 1);
    EXPECT_EQ(none->text(), kKmzNoneText);
    EXPECT_FALSE(none->flags() & Qt::ItemIsEditable);
}

}  // namespace
