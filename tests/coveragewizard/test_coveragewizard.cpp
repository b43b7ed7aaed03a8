// The coverage analysis behind its pages: what the settings page is filled
// with, how its rows become the thresholds of the written file, what keeps
// the user on the page, what a cancel or a failure leaves on disk, the report
// beside the GeoPackage, and (with a throwaway PostGIS named by
// FIELDTRACE_TEST_PG, as tests/tools/coverage_database.sh starts it) the
// campaign database as target.
#include <gtest/gtest.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "campaign/campaigndb.h"
#include "campaign/campaignlist.h"
#include "coveragewizard/coveragewizard.h"
#include "export/report/report.h"
#include "platform/paths.h"
#include "export/gis/giswriter.h"
#include "selection/recordentry.h"
#include "support/testsupport.h"
#include "synthrecord.h"

namespace {

// Keeps what the pages would show; the worker's calls come from its thread.
class FakeView : public CoverageWizardView {
public:
    std::array<bool, kKmzUnitCount> units{};
    std::vector<CoverageThresholdRow> rows;
    CoverageSettings page;  // settings() hands this out: tests edit it as a user edits the page
    int highlightedRow = -2;
    bool outputHighlighted = false;
    bool connectionHighlighted = false;
    std::pair<CoverageConnectionState, std::string> connection{CoverageConnectionState::Untested, ""};
    bool answer = false;
    std::vector<std::string> questions, messages;

    void setUnits(const std::array<bool, kKmzUnitCount>& u) override { units = u; }
    void setThresholdRows(const std::vector<CoverageThresholdRow>& r) override {
        rows = r;
        page.thresholds.clear();
        for (const auto& row : r) page.thresholds.push_back(row.text);
    }
    void setSettings(const CoverageSettings& s) override {
        const auto texts = page.thresholds;
        page = s;
        page.thresholds = texts;
    }
    CoverageSettings settings() override { return page; }
    void highlightThreshold(int row) override { highlightedRow = row; }
    void highlightOutput(bool on) override { outputHighlighted = on; }
    void highlightConnection(bool on) override { connectionHighlighted = on; }
    void showConnection(CoverageConnectionState state, const std::string& text) override {
        std::lock_guard<std::mutex> g(lock);
        connection = {state, text};
    }
    std::optional<std::string> chooseOutput(const std::string&) override { return choice; }
    bool confirm(const std::string& q) override {
        questions.push_back(q);
        return answer;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showStep(const std::string&) override {}
    void setProgress(int) override {}
    void enableCancel(bool) override {}
    void showPage(CoverageWizardPage p) override {
        std::lock_guard<std::mutex> g(lock);
        shown = p;
    }
    void showResult(const std::string& message, const std::string& folder) override {
        std::lock_guard<std::mutex> g(lock);
        results.emplace_back(message, folder);
    }

    void type(const std::string& channel, const std::string& text) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].channel == channel) page.thresholds[i] = text;
    }
    int row(const std::string& channel) const {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].channel == channel) return static_cast<int>(i);
        return -1;
    }
    std::optional<std::string> choice;
    std::mutex lock;
    CoverageWizardPage shown = CoverageWizardPage::Start;
    std::vector<std::pair<std::string, std::string>> results;
};

std::string Generate(const std::string& dir, long long samples, std::uint64_t seed, double mhz,
                     const std::string& levelUnit = "dB\xB5V", double kFactor = 0.0,
                     std::vector<std::pair<long long, long long>> noFix = {}) {
    SynthRecordOptions o;
    o.samples = samples;
    o.seed = seed;
    o.frequencyMHz = mhz;
    o.description = "Ch" + std::to_string(seed);
    o.outputDirectory = dir;
    o.levelUnit = levelUnit;
    if (kFactor != 0.0) o.antennaName = "Dipole", o.kFactor = kFactor;
    o.noFixStretches = std::move(noFix);
    std::string path, error;
    EXPECT_TRUE(Synth_WriteRecordFile(o, path, error)) << error;
    return path;
}

std::vector<RecordFileEntry> Entries(const std::vector<std::string>& paths) {
    std::vector<RecordFileEntry> entries(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_TRUE(FileSelection_ReadEntry(paths[i], entries[i]));
    return entries;
}

// The threshold each channel of the summary was judged against (NaN: none), and the cell size.
std::map<std::string, double> SummaryThresholds(const std::string& gpkg, int& cellSize) {
    std::map<std::string, double> out;
    GDALAllRegister();
    GDALDatasetUniquePtr ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    EXPECT_TRUE(ds) << gpkg;
    if (!ds) return out;
    OGRLayer* summary = ds->GetLayerByName("coverage_summary");
    for (auto& f : *summary) {
        const int i = f->GetFieldIndex("threshold");
        out[f->GetFieldAsString("channel")] = f->IsFieldNull(i) ? NAN : f->GetFieldAsDouble(i);
        cellSize = f->GetFieldAsInteger("cell_size_m");
    }
    return out;
}

class CoverageWizard : public ::testing::Test {
protected:
    void SetUp() override { CoverageWizard_Init(view); }
    void TearDown() override { CoverageWizard_Close(); }
    void Start(const std::vector<std::string>& files, const std::string& folder) {
        CoverageWizard_Start(Entries(files), folder);
    }
    // Next and the run to its end; false when Next kept the user on the page.
    bool RunToEnd() {
        onCoverageNext();
        if (CoverageWizard_State() == kCoverageRunIdle) return false;
        EXPECT_TRUE(CoverageWizard_WaitIdle(120000));
        return true;
    }
    TempDir records, out;
    FakeView view;
};

TEST_F(CoverageWizard, ThePageShowsTheChannelsOfTheMarkedFilesWithTheirDefaults) {
    Start({Generate(records.path(), 200, 1, 474), Generate(records.path(), 200, 2, 482)}, records.path());
    EXPECT_EQ(view.shown, CoverageWizardPage::Settings);
    std::vector<std::string> channels;
    for (const auto& r : view.rows) channels.push_back(r.channel);
    EXPECT_EQ(channels, (std::vector<std::string>{"Level", "Sync", "MER RMS", "MER Peak", "BER before Viterbi",
                                                  "BER before Reed Solomon", "BER after Reed Solomon", "PER"}));
    const CoverageThresholdRow& level = view.rows[0];
    EXPECT_TRUE(level.level);
    EXPECT_EQ(level.unit, "dB\xB5V");
    EXPECT_EQ(level.text, "");  // the planning's own: no default
    EXPECT_EQ(view.rows[1].text, "1");
    const CoverageThresholdRow& ber = view.rows[static_cast<std::size_t>(view.row("BER before Reed Solomon"))];
    EXPECT_EQ(ber.unit, "ratio");
    EXPECT_EQ(ber.text, "0.0002");
    EXPECT_NE(ber.note.find("EN 300 744"), std::string::npos);
    EXPECT_EQ(view.rows[2].unit, "dB");
    EXPECT_EQ(view.rows[2].text, "");

    // Recorded in dBuV without antenna: no K-factor for field strength.
    EXPECT_EQ(view.units, (std::array<bool, kKmzUnitCount>{false, true, true, true}));
    EXPECT_EQ(view.page.levelUnit, kKmzUnitDbuV);
    EXPECT_EQ(view.page.cellSize, 100);
    EXPECT_EQ(view.page.minSamples, 5);
    EXPECT_FALSE(view.page.keepStationary);
    EXPECT_EQ(view.page.output.rfind(records.path() + "/20", 0), 0u) << view.page.output;
    EXPECT_NE(view.page.output.find(" Coverage.gpkg"), std::string::npos) << view.page.output;
}

// The level page would propose field strength (one file is in dBuV/m), which
// the dBm file without antenna cannot take: the page starts in dBuV instead
// of failing on a unit the user did not choose.
TEST_F(CoverageWizard, AProposedUnitTheFilesCannotTakeGivesWayToDbuv) {
    Start({Generate(records.path(), 100, 1, 474, "dBm"), Generate(records.path(), 100, 2, 474, "dB\xB5V/m", 12.0)},
          records.path());
    ASSERT_EQ(view.shown, CoverageWizardPage::Settings) << (view.messages.empty() ? "" : view.messages[0]);
    EXPECT_FALSE(view.units[kKmzUnitFieldStrength]);
    EXPECT_EQ(view.page.levelUnit, kKmzUnitDbuV);
    EXPECT_EQ(view.rows[0].unit, "dB\xB5V");
}

// Every kind of row edit, resolved against the files as the written file shows it.
TEST_F(CoverageWizard, TheRowsBecomeTheThresholdsOfTheWrittenFile) {
    Start({Generate(records.path(), 300, 1, 474), Generate(records.path(), 300, 2, 482)}, records.path());
    view.page.cellSize = 50;
    view.page.output = out.file("c.gpkg");
    view.type("Level", "-50 dBm");        // converted: 50 Ohm input, +106.98 dB
    view.type("Sync", "");               // the default cleared: judged without threshold
    view.type("BER after Reed Solomon", "1e-4");
    view.type("MER RMS", " 24 ");        // the channel's own unit, blanks around
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_EQ(view.results[0].first.rfind("Coverage written to " + out.file("c.gpkg"), 0), 0u) << view.results[0].first;
    EXPECT_EQ(view.results[0].second, out.path());  // offered to be opened
    EXPECT_EQ(view.shown, CoverageWizardPage::Start);

    int cellSize = 0;
    const auto thresholds = SummaryThresholds(out.file("c.gpkg"), cellSize);
    EXPECT_EQ(cellSize, 50);
    EXPECT_NEAR(thresholds.at("Level [dB\xC2\xB5V]"), 56.98, 1e-9);
    EXPECT_TRUE(std::isnan(thresholds.at("Sync")));
    EXPECT_DOUBLE_EQ(thresholds.at("BER before Reed Solomon [10-6]"), 200.0);  // the default, left as it was
    EXPECT_DOUBLE_EQ(thresholds.at("BER after Reed Solomon [10-6]"), 100.0);
    EXPECT_DOUBLE_EQ(thresholds.at("MER RMS [dB]"), 24.0);
    EXPECT_TRUE(std::isnan(thresholds.at("PER [10-6]")));

    // The next analysis of the session starts with the grid and options used.
    Start({Generate(records.path(), 100, 3, 474)}, records.path());
    EXPECT_EQ(view.page.cellSize, 50);
}

// A number typed without unit keeps its meaning when the unit changes.
TEST_F(CoverageWizard, ALevelNumberKeepsItsUnitWhenTheCommonUnitChanges) {
    Start({Generate(records.path(), 200, 1, 474)}, records.path());
    view.type("Level", "56");
    view.page.levelUnit = kKmzUnitDbm;
    onCoverageUnit(kKmzUnitDbm);
    EXPECT_EQ(view.rows[0].text, "56 dB\xB5V");
    EXPECT_EQ(view.rows[0].unit, "dBm");
    EXPECT_EQ(view.rows[1].text, "1");  // the other rows as they were
    view.page.output = out.file("c.gpkg");
    ASSERT_TRUE(RunToEnd());
    int cellSize = 0;
    EXPECT_NEAR(SummaryThresholds(out.file("c.gpkg"), cellSize).at("Level [dBm]"), 56 - 106.98, 1e-9);
}

// Input the analysis cannot take keeps the user on the page with one line,
// the place at fault marked, and nothing written.
TEST_F(CoverageWizard, RefusedInputKeepsTheUserOnThePage) {
    Start({Generate(records.path(), 100, 1, 474)}, records.path());
    const struct {
        const char* channel;
        const char* threshold;
        std::string output;
        const char* message;
    } cases[] = {
        {"Level", "56 dBW", out.file("x.gpkg"), "a level is given in dBuV/m, dBm, dBmV or dBuV"},
        {"MER RMS", "24 dBm", out.file("x.gpkg"), "is counted in 'dB'"},
        {"PER", "few", out.file("x.gpkg"), "is not CHANNEL=VALUE"},
        {"Level", "56", out.file("missing/x.gpkg"), "does not exist"},
        {"Level", "56", out.file("x.shp"), "must end in .gpkg or .geojson"},
        {"Level", "56", "/proc/x.gpkg", "is not writable"},
    };
    for (const auto& c : cases) {
        const auto texts = view.page.thresholds;
        view.type(c.channel, c.threshold);
        view.page.output = c.output;
        view.messages.clear();
        EXPECT_FALSE(RunToEnd()) << c.threshold;
        ASSERT_EQ(view.messages.size(), 1u) << c.threshold;
        EXPECT_NE(view.messages[0].find(c.message), std::string::npos) << view.messages[0];
        EXPECT_EQ(view.messages[0].find('\n'), std::string::npos) << view.messages[0];
        const bool outputAtFault = std::string(c.threshold) == "56";
        EXPECT_EQ(view.highlightedRow, outputAtFault ? -1 : view.row(c.channel)) << c.threshold;
        EXPECT_EQ(view.outputHighlighted, outputAtFault) << c.threshold;
        EXPECT_EQ(view.shown, CoverageWizardPage::Settings);
        view.page.thresholds = texts;
    }
    EXPECT_TRUE(DirectoryNames(out.path()).empty());
}

TEST_F(CoverageWizard, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    Start({Generate(records.path(), 100, 1, 474)}, records.path());
    view.page.output = out.file("old.gpkg");
    WriteWholeFile(view.page.output, {'o', 'l', 'd'});
    view.answer = false;
    EXPECT_FALSE(RunToEnd());
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], "The file '" + out.file("old.gpkg") + "' exists already. Replace it?");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(ReadWholeFile(view.page.output).size(), 3u);
    view.answer = true;
    ASSERT_TRUE(RunToEnd());
    EXPECT_GT(ReadWholeFile(view.page.output).size(), 3u);
    EXPECT_EQ(DirectoryNames(out.path()), std::vector<std::string>{"old.gpkg"});
}

// A run that ends without a file goes back to the settings, tells why, and
// offers no folder; with a report neither file is left.
TEST_F(CoverageWizard, ACancelOrAFailureLeavesNoFile) {
    const std::string big = Generate(records.path(), 20000, 1, 474);
    const std::string blind = Generate(records.path(), 100, 2, 474, "dB\xB5V", 0.0, {{0, 100}});
    const struct {
        std::string file;
        bool cancel, report;
        std::string message;
    } cases[] = {{big, true, false, kGisAborted},
                 {big, true, true, kReportAborted},
                 {blind, false, false, kCoverageNoPosition},
                 {blind, false, true, kCoverageNoPosition}};
    for (const auto& c : cases) {
        Start({c.file}, records.path());
        view.results.clear();
        view.page.output = out.file("x.gpkg");
        view.page.report = c.report;
        onCoverageNext();
        EXPECT_EQ(view.shown, CoverageWizardPage::Progress);
        if (c.cancel) onCoverageCancel();
        ASSERT_TRUE(CoverageWizard_WaitIdle(120000));
        ASSERT_EQ(view.results.size(), 1u);
        EXPECT_EQ(view.results[0], std::make_pair(c.message, std::string())) << c.report;
        EXPECT_EQ(view.shown, CoverageWizardPage::Settings);
        EXPECT_TRUE(DirectoryNames(out.path()).empty());
    }
}

// The report and its GeoPackage come from one run; existing ones are
// replaced after one question, and a GeoJSON target gets no report.
TEST_F(CoverageWizard, AReportIsWrittenBesideTheGeoPackage) {
    Start({Generate(records.path(), 300, 1, 474)}, records.path());
    view.page.output = out.file("c.gpkg");
    view.page.report = true;
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(view.results.size(), 1u);
    const std::string& message = view.results[0].first;
    EXPECT_EQ(message.rfind("Report written to " + out.file("c.pdf") + " (", 0), 0u) << message;
    EXPECT_NE(message.find("Coverage written to " + out.file("c.gpkg")), std::string::npos) << message;
    EXPECT_EQ(view.results[0].second, out.path());
    EXPECT_EQ(DirectoryNames(out.path()), (std::vector<std::string>{"c.gpkg", "c.pdf"}));

    view.answer = false;
    EXPECT_FALSE(RunToEnd());
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0],
              "The files '" + out.file("c.gpkg") + "' and '" + out.file("c.pdf") + "' exist already. Replace them?");
    view.answer = true;
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(view.results.size(), 2u);

    view.page.output = out.file("c.geojson");
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(DirectoryNames(out.path()), (std::vector<std::string>{"c.geojson", "c.gpkg", "c.pdf"}));
    EXPECT_EQ(CoverageWizard_ReportPath("/d/a.GPKG"), "/d/a.pdf");
}

// A connection text is refused before anything connects when it carries a password.
TEST_F(CoverageWizard, APasswordInTheConnectionIsRefusedOnThePage) {
    Start({Generate(records.path(), 100, 1, 474)}, records.path());
    view.page.target = CoverageTarget::Database;
    view.page.connection = "PG:dbname=fleet password=secret";
    onCoverageTestConnection();
    EXPECT_EQ(CoverageWizard_State(), kCoverageRunIdle);
    EXPECT_EQ(view.connection.first, CoverageConnectionState::Failed);
    EXPECT_NE(view.connection.second.find("password"), std::string::npos) << view.connection.second;
    EXPECT_TRUE(view.connectionHighlighted);
    EXPECT_FALSE(RunToEnd());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], view.connection.second);
    EXPECT_EQ(view.shown, CoverageWizardPage::Settings);
}

// The page against a real PostGIS: the connection test, the remembered
// connection, and the campaign's coverage judged as the file export judges.
class CoverageWizardDatabase : public CoverageWizard {
protected:
    void SetUp() override {
        const char* dsn = std::getenv("FIELDTRACE_TEST_PG");
        if (!dsn || !*dsn) GTEST_SKIP() << "needs a throwaway PostGIS: run by tests/tools/coverage_database.sh";
        connection = dsn;
        Platform_SetDataDirectory(data.path());
        CampaignDb db;
        std::string error;
        ASSERT_TRUE(Campaign_Open(connection, db, error)) << error;
        ASSERT_TRUE(Campaign_Exec(db, "DROP TABLE IF EXISTS cells, coverage_summary, samples, sample_columns, drives", error))
            << error;
        CoverageWizard::SetUp();
    }
    void TearDown() override {
        CoverageWizard::TearDown();
        Platform_SetDataDirectory("");
    }
    // The coverage_summary rows by channel and frequency of the database or a GeoPackage.
    static std::map<std::string, std::map<std::string, std::string>> Summary(GDALDataset& ds) {
        std::map<std::string, std::map<std::string, std::string>> rows;
        OGRLayer* layer = ds.GetLayerByName("coverage_summary");
        EXPECT_TRUE(layer);
        if (!layer) return rows;
        for (auto& f : *layer) {
            const std::string channel = f->GetFieldAsString("channel");  // GDAL reuses the buffer of a text
            auto& row = rows[channel + " @ " + f->GetFieldAsString("frequency_mhz")];
            for (int i = 0; i < f->GetFieldCount(); ++i) row[f->GetFieldDefnRef(i)->GetNameRef()] = f->GetFieldAsString(i);
        }
        return rows;
    }
    TempDir data;
    std::string connection;
};

TEST_F(CoverageWizardDatabase, TestConnectionShowsTheResultAndRemembersWhatWorked) {
    Start({Generate(records.path(), 100, 1, 474)}, records.path());
    EXPECT_EQ(view.page.connection, "");
    view.page.target = CoverageTarget::Database;
    const std::string wrong = connection.substr(0, connection.find("dbname=")) + "dbname=nosuchdb" +
                              connection.substr(connection.find(' ', connection.find("dbname=")));
    for (const std::string& text : {wrong, connection}) {
        view.page.connection = text;
        onCoverageTestConnection();
        ASSERT_TRUE(CoverageWizard_WaitIdle(60000));
        const bool good = text == connection;
        EXPECT_EQ(view.connection.first, good ? CoverageConnectionState::Connected : CoverageConnectionState::Failed);
        EXPECT_NE(view.connection.second.find(good ? "Connected to campaign (PostgreSQL " : "nosuchdb"), std::string::npos)
            << view.connection.second;
        EXPECT_EQ(view.connection.second.find('\n'), std::string::npos);
    }
    EXPECT_NE(view.connection.second.find("the campaign holds no drive yet."), std::string::npos);
    // Only what worked is kept, for the next session.
    EXPECT_EQ(LastConnection_Load(data.path()), connection);
    CoverageWizard_Close();
    CoverageWizard_Init(view);
    Start({Generate(records.path(), 100, 2, 474)}, records.path());
    EXPECT_EQ(view.page.connection, connection);
}

TEST_F(CoverageWizardDatabase, TheCampaignIsJudgedAsTheFileExportJudgesItsFiles) {
    const std::vector<std::string> files = {Generate(records.path(), 300, 1, 474), Generate(records.path(), 300, 2, 482)};
    Start(files, records.path());
    view.page.cellSize = 50;
    view.type("Level", "56");           // in the page's unit, dBuV
    view.type("Sync", "");              // the default cleared
    view.type("MER RMS", "24");
    view.page.output = out.file("c.gpkg");
    ASSERT_TRUE(RunToEnd());
    view.page.target = CoverageTarget::Database;
    view.page.connection = connection;
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(view.results.size(), 2u);
    EXPECT_EQ(view.results[1].first.rfind("Imported 2 files (600 samples); 0 already in the database. The coverage of "
                                          "the campaign (2 drives) is in the database: cells ",
                                          0),
              0u)
        << view.results[1].first;
    EXPECT_EQ(view.results[1].second, "");  // no folder to open
    EXPECT_EQ(view.shown, CoverageWizardPage::Start);

    GDALAllRegister();
    GDALDatasetUniquePtr file(GDALDataset::Open(out.file("c.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    CampaignDb db;
    std::string error;
    ASSERT_TRUE(file && Campaign_Open(connection, db, error)) << error;
    const auto expected = Summary(*file), got = Summary(*db.ds);
    ASSERT_EQ(got.size(), expected.size());
    for (const auto& [key, row] : expected) {
        ASSERT_TRUE(got.count(key)) << key;
        for (const char* field : {"threshold_source", "cells_good", "cells_acceptable", "cells_poor",
                                  "cells_insufficient", "cell_size_m", "positioned_samples"})
            EXPECT_EQ(got.at(key).at(field), row.at(field)) << key << " " << field;
        for (const char* field : {"threshold", "distance_km", "covered_cell_share"}) {
            EXPECT_EQ(got.at(key).at(field).empty(), row.at(field).empty()) << key << " " << field;
            if (!row.at(field).empty())
                EXPECT_NEAR(std::stod(got.at(key).at(field)), std::stod(row.at(field)), 1e-9) << key << " " << field;
        }
    }
    EXPECT_EQ(std::stod(expected.at("Level [dB\xC2\xB5V] @ 474").at("threshold")), 56.0);
    EXPECT_EQ(expected.at("Sync @ 474").at("threshold"), "");

    // Again: nothing added, the same coverage.
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(view.results[2].first.rfind("Imported 0 files (0 samples); 2 already in the database.", 0), 0u)
        << view.results[2].first;

    // A drive recorded in dBm proposes dBm, which the campaign's dBuV levels
    // could not be judged with: refused before anything goes in.
    Start({Generate(records.path(), 100, 3, 474, "dBm")}, records.path());
    ASSERT_EQ(view.page.levelUnit, kKmzUnitDbm);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(view.results[3].first, "The campaign's levels are in dB\xC2\xB5V: choose dB\xC2\xB5V as the common level unit, "
                                     "so that these drives can be judged with them. Nothing was imported.");
    EXPECT_EQ(view.shown, CoverageWizardPage::Settings);
    std::vector<CampaignDrive> drives;
    ASSERT_TRUE(Campaign_ListDrives(db, {}, drives, error)) << error;
    EXPECT_EQ(drives.size(), 2u);
}

TEST(CoverageWizardNames, FormatAndDefaultName) {
    const std::pair<std::string, std::string> cases[] = {
        {"/d/a.gpkg", "/d/a.geojson"}, {"/d/a.GPKG", "/d/a.geojson"}, {"/d/a.json", "/d/a.geojson"},
        {"/d/a", "/d/a.geojson"},      {"/d.x/a", "/d.x/a.geojson"},
    };
    for (const auto& [in, geojson] : cases) {
        EXPECT_EQ(CoverageWizard_WithExtension(in, kGisGeoJson), geojson) << in;
        EXPECT_EQ(CoverageWizard_WithExtension(geojson, kGisGeoPackage), geojson.substr(0, geojson.size() - 8) + ".gpkg");
    }
    std::tm day{};
    day.tm_year = 126, day.tm_mon = 5, day.tm_mday = 1, day.tm_hour = 12;
    EXPECT_EQ(CoverageWizard_DefaultOutput("/rec", std::mktime(&day)), "/rec/2026-06-01 Coverage.gpkg");
}

}  // namespace
