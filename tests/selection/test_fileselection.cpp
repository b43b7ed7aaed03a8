// The selection page behind its view: modes, filters, marks, Next, and fs.ini.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "records/recordfixture.h"
#include "selection/fileselection.h"
#include "platform/paths.h"
#include "selection/fsini.h"
#include "support/testsupport.h"

namespace {

// Keeps what the page shows; calls names the calls in order.
class FakeView : public FileSelectionView {
public:
    std::vector<std::string> calls;
    std::string title, hint, directory, chooserTitle, chooserStart;
    int controlsMode = -2, standardSelected = -2, frequencySelected = -2;
    bool enabled = true;
    std::vector<std::string> standards, frequencies;
    std::vector<FileSelectionRow> rows;
    std::vector<bool> marks;
    std::vector<RowShade> shades;
    std::optional<std::string> nextChoice;
    std::vector<std::pair<std::string, std::string>> messages;

    void setPageTexts(const std::string& t, const std::string& h) override { log("texts"), title = t, hint = h; }
    void showModeControls(int mode) override { log("controls"), controlsMode = mode; }
    void showDirectory(const std::string& d) override { log("directory"), directory = d; }
    void setListEnabled(bool e) override { log(e ? "enable" : "disable"), enabled = e; }
    void setStandardFilter(const std::vector<std::string>& items, int selected) override {
        log("standards"), standards = items, standardSelected = selected;
    }
    void setFrequencyFilter(const std::vector<std::string>& items, int selected) override {
        log("frequencies"), frequencies = items, frequencySelected = selected;
    }
    void setRows(const std::vector<FileSelectionRow>& r) override { log("rows"), rows = r, marks.assign(r.size(), false); }
    void setMark(int row, bool marked) override { marks.at(static_cast<std::size_t>(row - 1)) = marked; }
    void shadeRows(const std::vector<RowShade>& s) override { log("shade"), shades = s; }
    std::optional<std::string> chooseDirectory(const std::string& t, const std::string& start) override {
        chooserTitle = t, chooserStart = start;
        return nextChoice;
    }
    void showMessage(const std::string& t, const std::string& text) override { messages.emplace_back(t, text); }
    void showStartPage() override { log("start"); }

    std::vector<std::string> descriptions() const {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.description);
        return out;
    }

private:
    int log(const char* call) {
        calls.emplace_back(call);
        return 0;
    }
};

class FakeTarget : public FileSelectionTarget {
public:
    std::vector<RecordFileEntry> kmz, csv, coverage;
    std::string csvDirectory, coverageDirectory;
    int kmzCalls = 0, csvCalls = 0, coverageCalls = 0;
    void startKmz(const std::vector<RecordFileEntry>& marked) override {
        ++kmzCalls;
        kmz = marked;
    }
    void startCsv(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        ++csvCalls;
        csv = marked;
        csvDirectory = directory;
    }
    void startCoverage(const std::vector<RecordFileEntry>& marked, const std::string& directory) override {
        ++coverageCalls;
        coverage = marked;
        coverageDirectory = directory;
    }
};

std::string WriteRecord(const std::string& directory, const std::string& name, const std::string& description,
                        const std::string& created, const std::string& standard, const std::string& frequency,
                        int samples) {
    RecordFile file;
    Recording_InitFile(file);
    Text_Copy(file.header.distanceUnit, kDistanceKilometers);
    TestMeasurements m;
    Recording_RegisterMeasurements(file, m.values, {}, m.items);
    Recording_AddHeaderInfo(file, "File", "Description", description.c_str());
    Recording_AddHeaderInfo(file, "File", "Created", created.c_str());
    Recording_AddHeaderInfo(file, "File", "Standard", standard.c_str());
    Recording_AddHeaderInfo(file, "TV Analyzer", "Frequency", frequency.c_str());
    EXPECT_TRUE(WriteTestSamples(directory, name, file, samples));
    return Platform_JoinPath(directory, name);
}

// Four DVB-T files on two frequencies and one DAB file.
void WriteFiveFiles(const std::string& d) {
    WriteRecord(d, "1.dtr", "Ch21", "01.06.2026 10:00:00", "DVB-T / DVB-H", "474.000000 MHz", 3);
    WriteRecord(d, "2.dtr", "Ch21", "02.06.2026 10:00:00", "DVB-T / DVB-H", "474.000000 MHz", 4);
    WriteRecord(d, "3.dtr", "Alpha", "01.06.2026 10:00:00", "DVB-T / DVB-H", "1000.000000 MHz", 5);
    WriteRecord(d, "4.dtr", "Beta", "01.06.2026 10:00:00", "DVB-T / DVB-H", "1000.000000 MHz", 6);
    WriteRecord(d, "5.dtr", "Radio", "01.06.2026 10:00:00", "DAB", "223.936000 MHz", 7);
}

class FileSelectionPage : public ::testing::Test {
protected:
    TempDir data, records;
    FakeView view;
    FakeTarget target;

    void TearDown() override { FileSelection_Close(); }

    void InitWithRecords() {
        ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), records.path()));
        FileSelection_Init(view, target, data.path());
    }
};

TEST_F(FileSelectionPage, InitShowsTheRememberedDirectoryOrTheDataDirectory) {
    FileSelection_Init(view, target, data.path());  // no fs.ini yet
    EXPECT_EQ(view.directory, data.path());
    EXPECT_EQ(FileSelection_Mode(), kSelectionModeNone);
    EXPECT_EQ(FileSelection_StandardFilter(), "");
    onFileSelectionHome();
    EXPECT_EQ(view.calls.back(), "start");
    FileSelection_Close();

    InitWithRecords();
    EXPECT_EQ(view.directory, records.path());
    FileSelection_Close();

    // A remembered directory that no longer exists falls back to the data directory.
    ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), records.path() + "/gone"));
    FileSelection_Init(view, target, data.path());
    EXPECT_EQ(FileSelection_Directory(), data.path());
}

TEST_F(FileSelectionPage, ModesSetTitlesHintsAndFilters) {
    WriteFiveFiles(records.path());
    InitWithRecords();

    FileSelection_Show(kSelectionModeCsv);
    EXPECT_EQ(view.title, "Step 1 of 2: File Selection");
    EXPECT_EQ(view.hint, "Select the drive test record file(s) for conversion.");
    EXPECT_EQ(view.controlsMode, kSelectionModeCsv);
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.standards, (std::vector<std::string>{kFilterAll, "DAB", "DVB-T / DVB-H"}));
    EXPECT_EQ(view.standardSelected, 0);
    EXPECT_EQ(view.frequencies,
              (std::vector<std::string>{kFilterAll, "1000.000000 MHz", "223.936000 MHz", "474.000000 MHz"}));
    // Description order; the two Ch21 files newest first.
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Alpha", "Beta", "Ch21", "Ch21", "Radio"}));
    EXPECT_EQ(view.rows[2].created, "02.06.2026 10:00:00");
    EXPECT_EQ(view.rows[2].samples, "4");
    EXPECT_EQ(view.rows[0].shade, kRowWhite);
    EXPECT_EQ(view.rows[1].shade, kRowGrey);
    EXPECT_EQ(view.rows[2].shade, kRowWhite);

    // Showing the same mode again keeps the page as it is.
    view.calls.clear();
    FileSelection_Show(kSelectionModeCsv);
    EXPECT_TRUE(view.calls.empty());

    // The KMZ mode always has one standard and one frequency chosen.
    FileSelection_Show(kSelectionModeKmz);
    EXPECT_EQ(view.title, "Step 1 of 5: File Selection");
    EXPECT_EQ(view.hint, "Select the drive test record file for conversion.");
    EXPECT_EQ(view.controlsMode, kSelectionModeKmz);
    EXPECT_EQ(view.standards, (std::vector<std::string>{"DAB", "DVB-T / DVB-H"}));
    EXPECT_EQ(view.standardSelected, 0);
    EXPECT_EQ(view.frequencies, (std::vector<std::string>{"223.936000 MHz"}));
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Radio"}));

    onFileSelectionUpdateStandard("DVB-T / DVB-H");
    EXPECT_EQ(view.frequencies, (std::vector<std::string>{"1000.000000 MHz", "474.000000 MHz"}));
    EXPECT_EQ(view.frequencySelected, 0);
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Alpha", "Beta"}));
    onFileSelectionUpdateFrequency("474.000000 MHz");
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Ch21", "Ch21"}));
}

TEST_F(FileSelectionPage, FrequencyChoiceStaysWhenOfferedElseFirstItem) {
    WriteFiveFiles(records.path());
    InitWithRecords();
    FileSelection_Show(kSelectionModeCsv);

    onFileSelectionUpdateFrequency("474.000000 MHz");
    onFileSelectionUpdateStandard("DVB-T / DVB-H");
    EXPECT_EQ(FileSelection_FrequencyFilter(), "474.000000 MHz");
    EXPECT_EQ(view.frequencySelected, 2);
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Ch21", "Ch21"}));

    // DAB has no 474 MHz file: the frequency filter falls back to "-- All --".
    onFileSelectionUpdateStandard("DAB");
    EXPECT_EQ(FileSelection_FrequencyFilter(), kFilterAll);
    EXPECT_EQ(view.frequencySelected, 0);
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Radio"}));

    // A refresh keeps the standard choice while it is still offered.
    onFileSelectionRefresh();
    EXPECT_EQ(FileSelection_StandardFilter(), "DAB");
    EXPECT_EQ(view.descriptions(), (std::vector<std::string>{"Radio"}));
}

TEST_F(FileSelectionPage, MarksAndNextInTheCsvMode) {
    WriteFiveFiles(records.path());
    InitWithRecords();
    FileSelection_Show(kSelectionModeCsv);

    onFileSelectionNext();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], std::make_pair(std::string("Fieldtrace"),
                                               std::string("You have to select at least one Fieldtrace file.")));
    EXPECT_EQ(view.calls.back(), "shade");
    EXPECT_EQ(view.shades, (std::vector<RowShade>{kRowWhite, kRowGrey, kRowWhite, kRowGrey, kRowWhite}));
    EXPECT_EQ(target.csvCalls, 0);

    onFileSelectionTable(5, 1);
    onFileSelectionTable(1, 1);
    onFileSelectionTable(3, 2);  // not the mark cell
    onFileSelectionTable(6, 1);  // no such row
    onFileSelectionTable(0, 1);
    EXPECT_EQ(view.marks, (std::vector<bool>{true, false, false, false, true}));
    onFileSelectionNext();
    EXPECT_EQ(target.csvCalls, 1);
    EXPECT_EQ(target.csvDirectory, records.path());
    ASSERT_EQ(target.csv.size(), 2u);
    EXPECT_EQ(target.csv[0].description, "Alpha");  // entry order, not click order
    EXPECT_EQ(target.csv[1].description, "Radio");
    EXPECT_EQ(target.csv[1].sampleCount, 7);
    EXPECT_EQ(target.kmzCalls, 0);

    onFileSelectionTable(1, 1);  // a second click unmarks
    EXPECT_FALSE(FileSelection_IsMarked(1));

    onFileSelectionAll();
    EXPECT_EQ(view.marks, std::vector<bool>(5, true));
    onFileSelectionNone();
    EXPECT_EQ(view.marks, std::vector<bool>(5, false));

    // A new filter rebuilds the rows unmarked; hidden entries are never collected.
    onFileSelectionAll();
    onFileSelectionUpdateStandard("DAB");
    onFileSelectionTable(1, 1);
    onFileSelectionNext();
    ASSERT_EQ(target.csv.size(), 1u);
    EXPECT_EQ(target.csv[0].description, "Radio");
}

TEST_F(FileSelectionPage, NextInTheKmzModeStartsTheKmzWizard) {
    WriteFiveFiles(records.path());
    InitWithRecords();
    FileSelection_Show(kSelectionModeKmz);
    onFileSelectionAll();
    onFileSelectionNext();
    EXPECT_EQ(target.kmzCalls, 1);
    EXPECT_EQ(target.csvCalls, 0);
    ASSERT_EQ(target.kmz.size(), 1u);
    EXPECT_EQ(target.kmz[0].standard, "DAB");
    EXPECT_EQ(FileSelection_Marked().size(), 1u);
}

// The coverage analysis takes files of every standard and frequency at once.
TEST_F(FileSelectionPage, NextInTheCoverageModeHandsEveryMarkedFileToTheAnalysis) {
    WriteFiveFiles(records.path());
    InitWithRecords();
    FileSelection_Show(kSelectionModeKmz);
    FileSelection_Show(kSelectionModeCoverage);
    EXPECT_EQ(view.title, "Step 1 of 3: File Selection");
    EXPECT_EQ(view.controlsMode, kSelectionModeCoverage);
    EXPECT_EQ(view.standards.front(), kFilterAll);
    EXPECT_EQ(view.frequencies.front(), kFilterAll);
    onFileSelectionAll();
    onFileSelectionNext();
    EXPECT_EQ(target.coverageCalls, 1);
    EXPECT_EQ(target.kmzCalls + target.csvCalls, 0);
    EXPECT_EQ(target.coverage.size(), 5u);
    EXPECT_EQ(target.coverageDirectory, records.path());
}

TEST_F(FileSelectionPage, ADirectoryWithoutRecordFilesDisablesTheList) {
    WriteFiveFiles(records.path());
    InitWithRecords();
    FileSelection_Show(kSelectionModeCsv);
    onFileSelectionAll();

    TempDir empty;
    view.nextChoice = empty.path();
    onFileSelectionDir();
    EXPECT_EQ(view.chooserTitle, "Directory selection");
    EXPECT_EQ(view.chooserStart, records.path());
    EXPECT_EQ(view.directory, empty.path());
    EXPECT_FALSE(view.enabled);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_TRUE(FileSelection_Entries().empty());
    // The marks of the previous directory are gone with its rows.
    onFileSelectionNext();
    EXPECT_EQ(target.csvCalls, 0);
    EXPECT_EQ(view.messages.size(), 1u);

    // Cancelling the chooser changes nothing.
    view.nextChoice.reset();
    view.calls.clear();
    onFileSelectionDir();
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(FileSelection_Directory(), empty.path());

    // Back to a directory with files: enabled again.
    view.nextChoice = records.path();
    onFileSelectionDir();
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.rows.size(), 5u);
}

TEST_F(FileSelectionPage, CloseRemembersTheDirectory) {
    FileSelection_Init(view, target, data.path());
    view.nextChoice = records.path();
    onFileSelectionDir();
    EXPECT_TRUE(FileSelection_Close());

    FakeView second;
    FileSelection_Init(second, target, data.path());
    EXPECT_EQ(second.directory, records.path());
}

TEST(FsIni, LayoutAndRoundTrip) {
    TempDir data;
    ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), "/media/drive tests/2026"));
    auto bytes = ReadWholeFile(data.file("fs.ini"));
    ASSERT_EQ(bytes.size(), 800u);  // one block: 100-byte header, 700-byte directory
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 210);
    EXPECT_EQ(bytes[8], 3);
    EXPECT_EQ(bytes[12] | bytes[13] << 8, 700);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[100])), "/media/drive tests/2026");
    EXPECT_FALSE(FileExists(data.file("fs.ini.tmp")));

    std::string directory;
    ASSERT_TRUE(FileSelection_LoadDirectory(data.path(), directory));
    EXPECT_EQ(directory, "/media/drive tests/2026");
}

TEST(FsIni, RefusesNewerDamagedAndForeignFiles) {
    TempDir data;
    std::string directory = "unchanged";
    EXPECT_FALSE(FileSelection_LoadDirectory(data.path(), directory));  // missing

    auto write = [&](std::int32_t version, std::int32_t tag, std::int32_t length) {
        FileContainer ctx;
        ASSERT_TRUE(FileIO_OpenWrite(data.file("fs.ini").c_str(), 10000, version, ctx));
        std::vector<char> block(static_cast<std::size_t>(length), 0);
        std::snprintf(block.data(), block.size(), "/tmp");
        FileIO_WriteBlock(ctx, block.data(), tag, length);
        FileIO_Close(ctx);
    };
    write(321, 3, 700);
    EXPECT_FALSE(FileSelection_LoadDirectory(data.path(), directory));
    write(320, 3, 700);
    EXPECT_TRUE(FileSelection_LoadDirectory(data.path(), directory));
    EXPECT_EQ(directory, "/tmp");
    directory = "unchanged";
    write(210, 0, 800);  // basic.ini's block
    EXPECT_FALSE(FileSelection_LoadDirectory(data.path(), directory));
    write(210, 3, 700);
    auto bytes = ReadWholeFile(data.file("fs.ini"));
    bytes[150] ^= 1;
    WriteWholeFile(data.file("fs.ini"), bytes);
    EXPECT_FALSE(FileSelection_LoadDirectory(data.path(), directory));
    EXPECT_EQ(directory, "unchanged");
}

TEST(FsIni, AFailedSaveKeepsThePreviousFile) {
    TempDir data;
    ASSERT_TRUE(FileSelection_SaveDirectory(data.path(), "/first"));
    // The temporary file cannot be created where a directory of its name stands.
    ASSERT_EQ(mkdir(data.file("fs.ini.tmp").c_str(), 0755), 0);
    EXPECT_FALSE(FileSelection_SaveDirectory(data.path(), "/second"));
    std::string directory;
    ASSERT_TRUE(FileSelection_LoadDirectory(data.path(), directory));
    EXPECT_EQ(directory, "/first");
}

}  // namespace
