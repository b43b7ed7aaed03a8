// The coverage analysis through the real window: start page, file selection,
// the settings page and the progress page, clicked and typed as a user does;
// the GeoPackage read back through GDAL, the report beside it, and (with a
// throwaway PostGIS named by FIELDTRACE_TEST_PG, as
// tests/tools/coverage_database.sh starts it) the campaign database.
#include <gtest/gtest.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "app/application.h"
#include "app/gui.h"
#include "campaign/campaigndb.h"
#include "coveragewizard/lastconnection.h"
#include "export/report/report.h"
#include "export/gis/giswriter.h"
#include "platform/network.h"
#include "platform/paths.h"
#include "selection/fsini.h"
#include "support/testsupport.h"
#include "synthrecord.h"
#include "ui/coveragepages.h"
#include "ui/fileselectionpage.h"
#include "ui/mainwindow.h"
#include "ui/startpage.h"
#include "ui/uitest.h"

namespace {

// The analyses of these tests end within two minutes on a busy machine.
template <class Pred>
bool ServeUntil(Pred pred, int timeoutMs = 120000) {
    return UiTest_ServeUntil(pred, timeoutMs);
}

// The names in dir (no hidden ones) ending in extension.
std::vector<std::string> Files(const std::string& dir, const std::string& extension = "") {
    std::vector<std::string> names;
    for (const std::string& name : DirectoryNames(dir))
        if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
            names.push_back(name);
    return names;
}

class CoverageWindow : public ::testing::Test {
protected:
    void SetUp() override {
        UiTest_App();
        Gui_ResetQuit();
        Platform_SetDataDirectory(data.path());
        ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), records.path()));
        Ui_SetOpenFolderHandler([this](const std::string& folder) { opened.push_back(folder); });
    }
    void TearDown() override {
        app.reset();
        Ui_SetOpenFolderHandler({});
        Platform_SetDataDirectory("");
        Gui_ResetQuit();
    }
    void Generate(long long samples, std::uint64_t seed, double mhz, const std::string& description) {
        SynthRecordOptions o;
        o.samples = samples;
        o.seed = seed;
        o.frequencyMHz = mhz;
        o.description = description;
        o.outputDirectory = records.path();
        std::string path, error;
        ASSERT_TRUE(Synth_WriteRecordFile(o, path, error)) << error;
    }
    void StartDesktop() {
        WizardOptions options;
        options.dataDirectory = data.path();
        options.search = false;
        app = std::make_unique<Application>(window, Network_None(), options, [] {});
        window.resize(1024, 540);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void Click(QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton);
        Ui_Flush();
    }
    // Start page, "Coverage analysis", the rows of the descriptions marked, Next.
    void ToSettings(const std::vector<QString>& descriptions) {
        Click(window.start()->task(4));
        ASSERT_EQ(Ui_CurrentPage(), kPageFileSelection);
        QTableWidget* table = window.files()->table();
        for (const QString& d : descriptions) {
            const auto found = table->findItems(d, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << d.toStdString();
            const QRect mark = table->visualItemRect(table->item(found[0]->row(), 0));
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, mark.center());
            Ui_Flush();
        }
        Click(window.files()->nextButton());
        ASSERT_EQ(Ui_CurrentPage(), kPageCoverage);
    }
    const CoverageSettingsPage& page() { return window.coverage()->settingsPage(); }
    // Types text into the threshold cell of a channel and commits it.
    void TypeThreshold(const QString& channel, const QString& text) {
        QTableWidget* table = page().thresholds;
        const auto found = table->findItems(channel, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << channel.toStdString();
        QTableWidgetItem* cell = table->item(found[0]->row(), kCoverageColThreshold);
        table->setCurrentItem(cell);
        table->editItem(cell);
        QWidget* editor = QApplication::focusWidget();
        ASSERT_TRUE(qobject_cast<QLineEdit*>(editor));
        static_cast<QLineEdit*>(editor)->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    void SetOutput(const std::string& path) {
        page().output->selectAll();
        QTest::keyClicks(page().output, QString::fromStdString(path));
    }
    // Moves the format choice by steps of the arrow keys, each handled as the event loop would.
    void StepFormat(int steps) {
        for (int i = 0; i < std::abs(steps); ++i) {
            QTest::keyClick(page().format, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
            Ui_Flush();
        }
    }
    bool Highlighted(QTableWidgetItem* item) { return item->background().style() != Qt::NoBrush; }

    TempDir data, records, out;
    UiTestDialogs dialogs{true};
    MainWindow window;
    std::unique_ptr<Application> app;
    std::vector<std::string> opened;
};

TEST_F(CoverageWindow, AnAnalysisThroughThePagesWritesTheGeoPackageChosen) {
    Generate(300, 1, 474, "North");
    Generate(300, 2, 482, "South");
    Generate(50, 3, 474, "Not this one");
    StartDesktop();
    ToSettings({"North", "South"});
    EXPECT_EQ(page().cellSize->currentText(), "100 m");
    page().cellSize->setCurrentIndex(page().cellSize->findData(50));
    TypeThreshold("Level", "60");
    Click(page().frame.next);
    EXPECT_EQ(Ui_CurrentPage(), kPageCoverageProgress);
    ASSERT_TRUE(ServeUntil([] { return CoverageWizard_State() == kCoverageRunIdle; }));
    ASSERT_TRUE(ServeUntil([&] { return !dialogs.questions.empty(); }, 5000));

    // The message names the file and its layers; the folder was offered and opened.
    const std::vector<std::string> written = Files(records.path(), ".gpkg");
    ASSERT_EQ(written.size(), 1u);
    EXPECT_NE(written[0].find(" Coverage.gpkg"), std::string::npos);
    const std::string gpkg = records.file(written[0]);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].startsWith(QString::fromStdString("Coverage written to " + gpkg + " (samples 600, cells ")))
        << dialogs.questions[0].toStdString();
    EXPECT_EQ(opened, std::vector<std::string>{records.path()});
    EXPECT_EQ(Ui_CurrentPage(), kPageStart);

    GDALAllRegister();
    GDALDatasetUniquePtr ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(ds);
    for (const char* layer : {"samples", "cells", "drives", "coverage_summary"})
        EXPECT_TRUE(ds->GetLayerByName(layer)) << layer;
    EXPECT_EQ(ds->GetLayerByName("drives")->GetFeatureCount(), 2);
    OGRLayer* summary = ds->GetLayerByName("coverage_summary");
    summary->SetAttributeFilter("channel LIKE 'Level%'");
    int levels = 0;
    for (auto& f : *summary) {
        EXPECT_EQ(f->GetFieldAsInteger("cell_size_m"), 50);
        EXPECT_DOUBLE_EQ(f->GetFieldAsDouble("threshold"), 60.0);
        EXPECT_STREQ(f->GetFieldAsString("threshold_source"), "user");
        ++levels;
    }
    EXPECT_EQ(levels, 2);  // one per frequency
}

// What the page refuses keeps the user there with one line and the place at fault marked.
TEST_F(CoverageWindow, RefusedThresholdsAndTargetsStayOnThePage) {
    Generate(100, 1, 474, "North");
    StartDesktop();
    ToSettings({"North"});
    QTableWidgetItem* level = page().thresholds->item(0, kCoverageColThreshold);
    TypeThreshold("Level", "60 dBW");
    Click(page().frame.next);
    Ui_Flush();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].toStdString(),
              "The threshold 'Level=60 dBW' has the unit 'dBW'; a level is given in dBuV/m, dBm, dBmV or dBuV.");
    EXPECT_TRUE(Highlighted(level));
    EXPECT_EQ(Ui_CurrentPage(), kPageCoverage);

    TypeThreshold("Level", "60");
    SetOutput("/proc/coverage.gpkg");
    Click(page().frame.next);
    Ui_Flush();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].toStdString(), "The folder '/proc' is not writable.");
    EXPECT_FALSE(Highlighted(level));
    EXPECT_EQ(Ui_CurrentPage(), kPageCoverage);

    // The format follows the file name, and the file name the format.
    SetOutput(out.file("cells.geojson"));
    EXPECT_EQ(page().format->currentData().toString(), kGisGeoJson);
    QTest::keyClick(page().format, Qt::Key_Up);  // GeoPackage, as a user picks it
    Ui_Flush();
    EXPECT_EQ(page().output->text().toStdString(), out.file("cells.gpkg"));
    EXPECT_TRUE(Files(out.path()).empty());
}

TEST_F(CoverageWindow, CancelLeavesNoFileAndReturnsToTheSettings) {
    Generate(30000, 1, 474, "Long drive");
    StartDesktop();
    ToSettings({"Long drive"});
    Click(page().frame.next);
    ASSERT_EQ(Ui_CurrentPage(), kPageCoverageProgress);
    ASSERT_TRUE(window.coverage()->cancelButton()->isEnabled());
    Click(window.coverage()->cancelButton());
    ASSERT_TRUE(ServeUntil([] { return CoverageWizard_State() == kCoverageRunIdle; }));
    ASSERT_TRUE(ServeUntil([&] { return !dialogs.messages.empty(); }, 5000));
    EXPECT_EQ(dialogs.messages[0].toStdString(), kGisAborted);
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(Ui_CurrentPage(), kPageCoverage);
    EXPECT_TRUE(Files(records.path(), ".gpkg").empty());
    EXPECT_EQ(Files(records.path()), Files(records.path(), ".dtr")) << "a partial file is left";
}

// The report goes beside a GeoPackage only; the database takes the file's rows away.
TEST_F(CoverageWindow, AReportBesideTheGeoPackageAndTheRowsOfEachTarget) {
    Generate(300, 1, 474, "North");
    StartDesktop();
    ToSettings({"North"});
    const CoverageSettingsPage& p = page();
    EXPECT_TRUE(p.report->isEnabled());
    EXPECT_FALSE(p.connection->isVisible());
    StepFormat(1);  // GeoJSON
    EXPECT_FALSE(p.report->isEnabled());
    StepFormat(1);  // the campaign database
    EXPECT_FALSE(p.output->isVisible());
    EXPECT_FALSE(p.report->isVisible());
    EXPECT_TRUE(p.connection->isVisible());
    EXPECT_TRUE(p.testConnection->isVisible());
    // A password in the field is refused at once, where it is typed.
    QTest::keyClicks(p.connection, "PG:dbname=fleet password=secret");
    Click(p.testConnection);
    EXPECT_NE(p.connectionResult->text().indexOf("password"), -1) << p.connectionResult->text().toStdString();
    EXPECT_NE(p.connection->palette().color(QPalette::Base), p.output->palette().color(QPalette::Base));
    EXPECT_EQ(LastConnection_Load(data.path()), "");

    StepFormat(-2);  // GeoPackage again
    EXPECT_TRUE(p.output->isVisible());
    QTest::mouseClick(p.report, Qt::LeftButton, {}, QPoint(8, p.report->height() / 2));  // on its box
    ASSERT_TRUE(p.report->isChecked());
    Click(p.frame.next);
    ASSERT_TRUE(ServeUntil([] { return CoverageWizard_State() == kCoverageRunIdle; }));
    ASSERT_TRUE(ServeUntil([&] { return !dialogs.questions.empty(); }, 5000));
    EXPECT_TRUE(dialogs.questions[0].startsWith("Report written to ")) << dialogs.questions[0].toStdString();
    ASSERT_EQ(Files(records.path(), ".pdf").size(), 1u);
    const std::string pdf = Files(records.path(), ".pdf")[0];
    EXPECT_EQ(Files(records.path(), ".gpkg"), std::vector<std::string>{pdf.substr(0, pdf.size() - 4) + ".gpkg"});
}

TEST_F(CoverageWindow, TheDatabaseTargetThroughThePage) {
    const char* dsn = std::getenv("FIELDTRACE_TEST_PG");
    if (!dsn || !*dsn) GTEST_SKIP() << "needs a throwaway PostGIS: run by tests/tools/coverage_database.sh";
    {
        CampaignDb db;  // an empty campaign
        std::string error;
        ASSERT_TRUE(Campaign_Open(dsn, db, error) &&
                    Campaign_Exec(db, "DROP TABLE IF EXISTS cells, coverage_summary, samples, sample_columns, drives", error))
            << error;
    }
    Generate(300, 1, 474, "North");
    StartDesktop();
    ToSettings({"North"});
    const CoverageSettingsPage& p = page();
    StepFormat(2);
    QTest::keyClicks(p.connection, dsn);
    Click(p.testConnection);
    EXPECT_FALSE(p.frame.next->isEnabled() && p.testConnection->isEnabled()) << "the page waits for the test";
    ASSERT_TRUE(ServeUntil([&] { return p.testConnection->isEnabled(); }, 60000));
    EXPECT_TRUE(p.connectionResult->text().startsWith("Connected to campaign (PostgreSQL "))
        << p.connectionResult->text().toStdString();
    EXPECT_EQ(LastConnection_Load(data.path()), dsn);

    Click(p.frame.next);
    EXPECT_EQ(Ui_CurrentPage(), kPageCoverageProgress);
    ASSERT_TRUE(ServeUntil([] { return CoverageWizard_State() == kCoverageRunIdle; }));
    ASSERT_TRUE(ServeUntil([&] { return !dialogs.messages.empty(); }, 5000));
    EXPECT_TRUE(dialogs.messages[0].startsWith("Imported 1 file (300 samples); 0 already in the database. The "
                                               "coverage of the campaign (1 drive) is in the database: cells "))
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.questions.empty()) << "no folder to open";
    EXPECT_EQ(Ui_CurrentPage(), kPageStart);
    EXPECT_TRUE(Files(records.path(), ".gpkg").empty());
}

}  // namespace
