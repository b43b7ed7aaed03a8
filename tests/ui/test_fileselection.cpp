// The record file selection page and the CSV progress page, driven as a user
// would: clicks on mark cells and buttons, keys on the filters. The CSV files
// the pages produce must equal those of `fieldtrace-cli csv`.
#include <algorithm>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "app/gui.h"
#include "platform/paths.h"
#include "selection/fsini.h"
#include "support/testsupport.h"
#include "ui/csvprogresspage.h"
#include "ui/fileselectionpage.h"
#include "ui/uitest.h"

namespace fs = std::filesystem;

namespace {

// Runs the command-line program in the C locale; its standard output.
std::string Cli(const std::string& args) {
    const std::string command = std::string("LC_ALL=C '") + FIELDTRACE_CLI + "' " + args + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        EXPECT_EQ(pclose(pipe), 0) << command;
    }
    return out;
}

// A generated record file in dir; its path.
std::string Generate(const std::string& dir, const std::string& options) {
    const std::string out = Cli("generate --out '" + dir + "' " + options);
    return out.substr(0, out.find('\n'));
}

std::string Contents(const fs::path& path) {
    const auto bytes = ReadWholeFile(path.string());
    return std::string(bytes.begin(), bytes.end());
}

// The CSV files of a directory by name; the export trailer's creation time is
// the moment of writing and is masked.
std::map<std::string, std::string> CsvFiles(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().extension() != ".csv") continue;
        std::string text = Contents(e.path());
        const std::string trailer = "\nCSV Export\nCreated,";
        if (const auto at = text.rfind(trailer); at != std::string::npos) {
            const auto start = at + trailer.size();
            text.replace(start, text.find('\n', start) - start, "<now>");
        }
        files[e.path().filename().string()] = text;
    }
    return files;
}

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// What the main window does on Next: the progress page, then the conversion thread.
struct TestTarget : FileSelectionTarget {
    std::vector<RecordFileEntry> kmz;
    void startKmz(const std::vector<RecordFileEntry>& marked) override { kmz = marked; }
    void startCsv(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        Ui_ShowPage(kPageCsvProgress);
        EXPECT_TRUE(Csv_Start(marked, directory));
    }
    void startCoverage(const std::vector<RecordFileEntry>&, const std::string&) override {}
};

class FileSelectionUi : public ::testing::Test {
protected:
    void SetUp() override {
        UiTest_App();
        Gui_ResetQuit();
        Platform_SetDataDirectory(data.path());
        Ui_SetPageHandler([this](int p) { currentPage = p; shown.push_back(p); }, [this] { return currentPage; });
        // The folder of the last session is where the record files are.
        ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), records.path()));
    }
    void TearDown() override {
        Csv_Close();
        FileSelection_Close();
        Ui_Flush();
        Ui_SetPageHandler({}, {});
    }
    // Opens the page in a mode, as the start page does.
    void Open(int mode) {
        FileSelection_Init(selection, target, data.path());
        Csv_Init(progress);
        selection.resize(960, 640);
        selection.show();
        FileSelection_Show(mode);
        currentPage = kPageFileSelection;
        Ui_Flush();
    }
    QTableWidget* table() { return selection.table(); }
    int RowOf(const QString& description) {
        for (int r = 0; r < table()->rowCount(); ++r)
            if (table()->item(r, 1)->text() == description) return r;
        return -1;
    }
    void ClickMark(int row) {
        ASSERT_GE(row, 0);
        const QRect cell = table()->visualItemRect(table()->item(row, 0));
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cell.center());
        Ui_Flush();
    }
    bool Marked(int row) { return table()->item(row, 0)->checkState() == Qt::Checked; }
    void Click(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        Ui_Flush();
    }
    std::vector<QString> Items(QComboBox* combo) {
        std::vector<QString> items;
        for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i));
        return items;
    }
    // Marks two of three files on the page and converts them; the final message.
    void ConvertTwoOfThree() {
        Generate(records.path(), "--samples 30 --description 'Mux A' --bad-status 0.2 --no-fix 3:4");
        Generate(records.path(),
                 "--samples 20 --description 'Mux B' --frequency 522 --distance-unit mi --level-unit dBuV/m "
                 "--antenna HL223 --kfactor 12.5");
        Generate(records.path(), "--samples 10 --standard DAB --frequency 223.936 --description Radio");
        Open(kSelectionModeCsv);
        ASSERT_EQ(table()->rowCount(), 3);
        ClickMark(RowOf("Mux A"));
        ClickMark(RowOf("Mux B"));
        Click(selection.nextButton());
        // Small files may be done before the first look: the progress page was shown all the same.
        EXPECT_NE(std::find(shown.begin(), shown.end(), kPageCsvProgress), shown.end());
        ASSERT_TRUE(WaitFor([&] { return !dialogs.messages.empty(); }));
        EXPECT_EQ(currentPage, kPageFileSelection);
        EXPECT_EQ(Csv_State(), kCsvIdle);
        EXPECT_EQ(dialogs.messages.back(),
                  QString("All 2 drive test result files have been successfully exported to .csv files in folder\n") +
                      QString::fromStdString(records.path()));
        EXPECT_EQ(progress.fileLabel()->text(), "File 2 of 2");
    }
    // The same two files converted by the command line in a directory of their own.
    void ExpectSameAsCommandLine() {
        TempDir cli;
        std::string args = "csv";
        for (const auto& e : FileSelection_Marked()) {
            const fs::path copy = fs::path(cli.path()) / fs::path(e.path).filename();
            fs::copy_file(e.path, copy);
            args += " '" + copy.string() + "'";
        }
        Cli(args);
        const auto expected = CsvFiles(cli.path()), actual = CsvFiles(records.path());
        ASSERT_EQ(expected.size(), 6u);  // configuration, measurements and one graph each; none for Radio
        ASSERT_EQ(actual.size(), expected.size());
        for (const auto& [name, text] : expected) {
            ASSERT_TRUE(actual.count(name)) << name;
            EXPECT_TRUE(actual.at(name) == text) << name << " differs";
        }
    }

    TempDir data, records;
    UiTestDialogs dialogs;
    TestTarget target;
    FileSelectionPage selection;
    CsvProgressPage progress;
    int currentPage = -1;
    std::vector<int> shown;  // every page shown, in order
};

TEST_F(FileSelectionUi, MarkedFilesConvertLikeTheCommandLine) {
    ConvertTwoOfThree();
    ExpectSameAsCommandLine();
}

// A German desktop turns "%lf" into "1,5"; the files must not change.
TEST_F(FileSelectionUi, GermanLocaleWritesTheSameBytes) {
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup.sh generates this locale";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ConvertTwoOfThree();
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    ExpectSameAsCommandLine();
}

TEST_F(FileSelectionUi, HomeDuringTheConversionCancelsAndLeavesNoFiles) {
    const std::string big = Generate(records.path(), "--samples 100000 --description Long");
    const std::string base = big.substr(0, big.size() - 4);
    Open(kSelectionModeCsv);
    ClickMark(0);
    Click(selection.nextButton());
    // The measurements file appears when the conversion has begun.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(base + " - Measurements.csv"); }));
    Ui_Flush();
    EXPECT_EQ(progress.fileLabel()->text(), "File 1 of 1");
    EXPECT_FALSE(progress.progressBar()->isHidden());
    Click(progress.homeButton());
    ASSERT_TRUE(WaitFor([&] { return !dialogs.messages.empty(); }));
    EXPECT_EQ(dialogs.messages, std::vector<QString>{"Drive test result file conversion aborted by user."});
    EXPECT_TRUE(CsvFiles(records.path()).empty());
    EXPECT_EQ(currentPage, kPageFileSelection);
    EXPECT_TRUE(progress.progressBar()->isHidden());
    EXPECT_TRUE(progress.homeButton()->isEnabled());  // ready for the next conversion
}

TEST_F(FileSelectionUi, FiltersMarksAndNextWithNothingMarked) {
    Generate(records.path(), "--samples 12 --description Ch21 --start '2026-06-01 10:00:00'");
    Generate(records.path(), "--samples 5 --description Ch21 --start '2026-06-02 09:00:00'");
    Generate(records.path(), "--samples 3 --standard DAB --frequency 223.936 --description Radio");
    Open(kSelectionModeCsv);
    EXPECT_EQ(selection.titleLabel()->text(), "Step 1 of 2: File Selection");
    EXPECT_EQ(selection.hintLabel()->text(), "Select the drive test record file(s) for conversion.");
    EXPECT_EQ(selection.directoryField()->text(), QString::fromStdString(records.path()));
    EXPECT_TRUE(selection.markAllButton()->isVisible());
    // Same description: the newer created text first; every column filled; rows shaded alternately.
    ASSERT_EQ(table()->rowCount(), 3);
    EXPECT_EQ(table()->item(0, 2)->text(), "02.06.2026 09:00:00");
    EXPECT_EQ(table()->item(0, 3)->text(), "5");
    EXPECT_EQ(table()->item(1, 3)->text(), "12");
    EXPECT_EQ(table()->item(2, 1)->text(), "Radio");
    EXPECT_EQ(table()->item(1, 1)->background().color(), QColor(230, 230, 230));
    EXPECT_EQ(Items(selection.standardFilter()), (std::vector<QString>{"-- All --", "DAB", "DVB-T / DVB-H"}));

    // The standard filter hides the other rows and narrows the frequencies.
    selection.standardFilter()->setFocus();
    QTest::keyClick(selection.standardFilter(), Qt::Key_Down);
    Ui_Flush();
    EXPECT_EQ(selection.standardFilter()->currentText(), "DAB");
    ASSERT_EQ(table()->rowCount(), 1);
    EXPECT_EQ(table()->item(0, 1)->text(), "Radio");
    EXPECT_EQ(Items(selection.frequencyFilter()), (std::vector<QString>{"-- All --", "223.936000 MHz"}));
    QTest::keyClick(selection.standardFilter(), Qt::Key_Up);
    Ui_Flush();
    ASSERT_EQ(table()->rowCount(), 3);

    // A click toggles, a second click untoggles; Space toggles the current row.
    ClickMark(1);
    EXPECT_TRUE(Marked(1));
    ClickMark(1);
    EXPECT_FALSE(Marked(1));
    table()->setCurrentCell(2, 1);
    QTest::keyClick(table(), Qt::Key_Space);
    Ui_Flush();
    EXPECT_TRUE(Marked(2));
    // A click outside the mark cell marks nothing.
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, table()->visualItemRect(table()->item(0, 1)).center());
    Ui_Flush();
    EXPECT_FALSE(Marked(0));

    Click(selection.markAllButton());
    EXPECT_TRUE(Marked(0) && Marked(1) && Marked(2));
    Click(selection.markNoneButton());
    EXPECT_FALSE(Marked(0) || Marked(1) || Marked(2));
    Click(selection.nextButton());
    EXPECT_EQ(dialogs.messages, std::vector<QString>{"You have to select at least one Fieldtrace file."});
    EXPECT_EQ(currentPage, kPageFileSelection);
    EXPECT_EQ(Csv_State(), kCsvIdle);
}

TEST_F(FileSelectionUi, KmzModeChoosesOneStandardAndHandsTheMarkedFileOn) {
    Generate(records.path(), "--samples 4 --description Ch21");
    Generate(records.path(), "--samples 3 --standard DAB --frequency 223.936 --description Radio");
    Open(kSelectionModeKmz);
    EXPECT_EQ(selection.titleLabel()->text(), "Step 1 of 5: File Selection");
    EXPECT_FALSE(selection.markAllButton()->isVisible());
    EXPECT_FALSE(selection.markNoneButton()->isVisible());
    // No "-- All --": the first standard and its frequency are chosen.
    EXPECT_EQ(Items(selection.standardFilter()), (std::vector<QString>{"DAB", "DVB-T / DVB-H"}));
    EXPECT_EQ(selection.frequencyFilter()->currentText(), "223.936000 MHz");
    ASSERT_EQ(table()->rowCount(), 1);
    ClickMark(0);
    Click(selection.nextButton());
    ASSERT_EQ(target.kmz.size(), 1u);
    EXPECT_EQ(target.kmz[0].description, "Radio");
    for (QPushButton* button : {selection.homeButton(), selection.previousButton()}) {
        currentPage = kPageFileSelection;
        Click(button);
        EXPECT_EQ(currentPage, kPageStart) << button->text().toStdString();
    }
}

// The folder chooser: a folder named in UTF-8 is listed and remembered; an empty one disables the list.
TEST_F(FileSelectionUi, ChosenFoldersAreListedAndRemembered) {
    const std::string munich = records.file("Messfahrt M\xC3\xBCnchen");
    fs::create_directory(munich);
    Generate(munich, "--samples 3 --description Ch21");
    const std::string empty = records.file("empty");
    fs::create_directory(empty);
    Open(kSelectionModeCsv);
    const auto choose = [&](const std::string& folder) {
        QTimer::singleShot(0, [folder] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Directory selection");
            dialog->setDirectory(QString::fromStdString(folder));
            dialog->selectFile(QString::fromStdString(folder));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        Click(selection.folderButton());
    };
    choose(munich);
    EXPECT_EQ(selection.directoryField()->text(), QString::fromUtf8("%1/Messfahrt München").arg(QString::fromStdString(records.path())));
    ASSERT_EQ(table()->rowCount(), 1);
    EXPECT_TRUE(table()->isEnabled());

    choose(empty);
    EXPECT_EQ(table()->rowCount(), 0);
    for (QWidget* w : std::initializer_list<QWidget*>{table(), selection.standardFilter(), selection.frequencyFilter(),
                                                      selection.markAllButton(), selection.nextButton()})
        EXPECT_FALSE(w->isEnabled()) << w->accessibleName().toStdString();

    choose(munich);
    ASSERT_TRUE(FileSelection_Close());
    std::string remembered;
    ASSERT_TRUE(FileSelection_LoadDirectory(data.path(), remembered));
    EXPECT_EQ(remembered, munich);
}

// The folder chooser starts at the folder shown, also when its name is UTF-8 beyond ASCII.
TEST_F(FileSelectionUi, TheFolderChooserOpensAtAFolderNamedBeyondAscii) {
    const std::string munich = records.file("Messfahrt M\xC3\xBCnchen");
    fs::create_directory(munich);
    Generate(munich, "--samples 3 --description Ch21");
    ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), munich));
    Open(kSelectionModeKmz);
    EXPECT_EQ(selection.directoryField()->text(), QString::fromUtf8(munich.c_str()));
    ASSERT_EQ(table()->rowCount(), 1);
    QString opened;
    QTimer::singleShot(0, [&opened] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        opened = dialog->directory().absolutePath();
        QMetaObject::invokeMethod(dialog, "reject");
    });
    Click(selection.folderButton());
    EXPECT_EQ(opened.toStdString(), munich);
    EXPECT_EQ(table()->rowCount(), 1);  // cancelled: the folder stays
}

TEST_F(FileSelectionUi, ControlsCarryTheirNames) {
    Open(kSelectionModeCsv);
    EXPECT_EQ(selection.markAllButton()->accessibleName(), "Mark all");
    EXPECT_EQ(selection.markNoneButton()->accessibleName(), "Mark none");
    EXPECT_EQ(selection.homeButton()->accessibleName(), "Home");
    EXPECT_EQ(selection.previousButton()->accessibleName(), "Previous");
    EXPECT_EQ(selection.nextButton()->accessibleName(), "Next");
    EXPECT_EQ(progress.homeButton()->accessibleName(), "Home");
    for (QWidget* w : selection.findChildren<QWidget*>()) {
        if (w->focusPolicy() != Qt::NoFocus && w->parentWidget() == &selection) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
}

}  // namespace
