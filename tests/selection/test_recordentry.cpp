// Reading record files into list entries, ordering and filter choices.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <string>
#include <vector>

#include "records/recordfixture.h"
#include "selection/recordentry.h"
#include "selection/selectionfilter.h"
#include "support/testsupport.h"

namespace {

using Info = std::vector<std::array<std::string, 3>>;

Info StandardInfo(const std::string& description, const std::string& created, const std::string& standard,
                  const std::string& frequency, const std::string& version = "3.20") {
    return {{"File", "Description", description},
            {"File", "Created", created},
            {"File", "Standard", standard},
            {"TV Analyzer", "Type", "Korvane Alvra"},
            {"TV Analyzer", "Frequency", frequency},
            {"TV Analyzer", "Input", "50 Ohm"},
            {"Software", "Version", version}};
}

// A record file with the given info entries, values (named as in the catalogue;
// "Level" is stored as "Level [<levelUnit>]") and sample count.
std::string WriteRecord(const TempDir& dir, const std::string& name, const Info& info, int samples = 3,
                        const std::string& levelUnit = "dB\xB5V/m",
                        std::vector<MeasurementValue> values = TestMeasurements{}.values,
                        std::int32_t version = kRecordVersionWritten) {
    RecordFile file;
    Recording_InitFile(file);
    Text_Copy(file.header.distanceUnit, kDistanceKilometers);
    Recording_SetLevelUnitName(levelUnit.c_str());
    TestMeasurements m;
    Recording_RegisterMeasurements(file, values, m.graphs, m.items);
    for (const auto& e : info) Recording_AddHeaderInfo(file, e[0].c_str(), e[1].c_str(), e[2].c_str());
    FileContainer ctx;
    EXPECT_TRUE(Recording_CreateFile(ctx, file, dir.path().c_str(), name.c_str()));
    // Another container version: the same blocks with other headers, written again.
    if (version != kRecordVersionWritten) {
        FileIO_Close(ctx);
        EXPECT_TRUE(FileIO_OpenWrite(dir.file(name).c_str(), 100000, version, ctx));
        FileIO_WriteBlock(ctx, &file.header, kTagHeader, sizeof(DtrHeader));
        for (const auto& e : file.info) FileIO_WriteBlock(ctx, &e, kTagInfo, sizeof e);
        for (const auto& d : file.values) FileIO_WriteBlock(ctx, &d, kTagValueDescriptor, sizeof d);
        for (const auto& d : file.graphs) FileIO_WriteBlock(ctx, &d, kTagGraphDescriptor, sizeof d);
        for (const auto& d : file.items) FileIO_WriteBlock(ctx, &d, kTagItemDescriptor, sizeof d);
    }
    RecordSample s;
    Recording_AllocSample(file, s);
    for (int k = 0; k < samples; ++k) {
        FillTestSample(file, s, k);
        EXPECT_TRUE(Recording_WriteSample(ctx, file, s));
    }
    EXPECT_TRUE(FileIO_Close(ctx));
    return dir.file(name);
}

TEST(RecordEntry, ReadsEveryField) {
    TempDir dir;
    Info info = StandardInfo("Ch21", "01.06.2026 10:00:00", "DVB-T / DVB-H", "474.000000 MHz");
    info.insert(info.end() - 1, {{"Antenna", "Type", "HL223"}, {"Antenna", "K-Factor [dB/m]", "12.35"}});
    // Level as the second value: levelIndex is its position, not always 0.
    TestMeasurements m;
    std::vector<MeasurementValue> values{m.values[1], m.values[0], m.values[2]};
    std::string path = WriteRecord(dir, "a.dtr", info, 7, "dB\xB5V/m", values);

    RecordFileEntry e;
    ASSERT_TRUE(FileSelection_ReadEntry(path, e));
    EXPECT_EQ(e.path, path);
    EXPECT_EQ(e.standard, "DVB-T / DVB-H");
    EXPECT_EQ(e.frequency, "474.000000 MHz");
    EXPECT_EQ(e.description, "Ch21");
    EXPECT_EQ(e.created, "01.06.2026 10:00:00");
    EXPECT_EQ(e.sampleCount, 7);
    EXPECT_EQ(e.type, "Korvane Alvra");
    EXPECT_EQ(e.input, "50 Ohm");
    EXPECT_EQ(e.kFactorText, "12.35");
    EXPECT_EQ(e.softwareVersion, "3.20");
    EXPECT_EQ(e.levelIndex, 1);
    EXPECT_EQ(e.levelUnit, kRecordLevelDbuVPerM);
    EXPECT_DOUBLE_EQ(e.inputNumber, 50.0);
    EXPECT_DOUBLE_EQ(e.kFactor, 12.35);
    EXPECT_EQ(e.oldFile, 0);
    EXPECT_DOUBLE_EQ(e.levelOffset, 12.35);
}

TEST(RecordEntry, OldFilesUnitsAndLevelOffset) {
    struct Row {
        const char* version;
        const char* unit;
        bool withLevel;
        std::int32_t levelUnit;
        std::int32_t oldFile;
        double levelOffset;
    } const rows[] = {
        // Software 2.50 stored dBµV/m levels with the K-factor already in them.
        {"2.50", "dB\xB5V/m", true, kRecordLevelDbuVPerM, 1, 0.0},
        {"2.51", "dB\xB5V/m", true, kRecordLevelDbuVPerM, 0, 10.0},
        {"3.20", "dB\xB5V/m", true, kRecordLevelDbuVPerM, 0, 10.0},
        {"", "dB\xB5V/m", true, kRecordLevelDbuVPerM, 1, 0.0},
        // A K-factor is never added to an input level.
        {"3.20", "dB\xB5V", true, kRecordLevelDbuV, 0, 0.0},
        {"3.20", "dBmV", true, kRecordLevelDbmV, 0, 0.0},
        {"3.20", "dBm", true, kRecordLevelDbm, 0, 0.0},
        {"3.20", "V", true, kRecordLevelNone, 0, 0.0},
        {"3.20", "W", true, kRecordLevelNone, 0, 0.0},
        {"3.20", "dB\xB5V/m", false, kRecordLevelNone, 0, 0.0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.version) + " " + r.unit);
        TempDir dir;
        Info info = StandardInfo("Ch21", "01.06.2026 10:00:00", "DVB-T / DVB-H", "474.000000 MHz", r.version);
        if (!*r.version) info.pop_back();
        info.push_back({"Antenna", "K-Factor [dB/m]", "10.00"});
        TestMeasurements m;
        std::vector<MeasurementValue> values = m.values;
        if (!r.withLevel) values.erase(values.begin());
        RecordFileEntry e;
        ASSERT_TRUE(FileSelection_ReadEntry(WriteRecord(dir, "a.dtr", info, 1, r.unit, values), e));
        EXPECT_EQ(e.levelIndex, r.withLevel ? 0 : -1);
        EXPECT_EQ(e.levelUnit, r.levelUnit);
        EXPECT_EQ(e.oldFile, r.oldFile);
        EXPECT_DOUBLE_EQ(e.levelOffset, r.levelOffset);
        EXPECT_DOUBLE_EQ(e.kFactor, 10.0);
    }
}

TEST(RecordEntry, AbsentTypeInputAndAntenna) {
    TempDir dir;
    Info info = {{"File", "Description", "X"},
                 {"File", "Created", "01.06.2026 10:00:00"},
                 {"File", "Standard", "DAB"},
                 {"TV Analyzer", "Frequency", "223.936000 MHz"}};
    RecordFileEntry e;
    ASSERT_TRUE(FileSelection_ReadEntry(WriteRecord(dir, "a.dtr", info, 0), e));
    EXPECT_EQ(e.type, "---");
    EXPECT_EQ(e.input, "---");
    EXPECT_EQ(e.kFactorText, "");
    EXPECT_EQ(e.kFactor, 0.0);
    EXPECT_EQ(e.inputNumber, 0.0);
    EXPECT_EQ(e.sampleCount, 0);
}

TEST(RecordEntry, SampleCountIgnoresACutLastSample) {
    TempDir dir;
    std::string path = WriteRecord(dir, "a.dtr", StandardInfo("A", "c", "S", "F"), 5);
    auto bytes = ReadWholeFile(path);
    bytes.resize(bytes.size() - 10);
    WriteWholeFile(path, bytes);
    RecordFileEntry e;
    ASSERT_TRUE(FileSelection_ReadEntry(path, e));
    EXPECT_EQ(e.sampleCount, 4);
}

TEST(RecordEntry, FilesMissingOneOfTheFourTextsAreNotListed) {
    const std::array<std::string, 4> required = {"Description", "Created", "Standard", "Frequency"};
    for (const auto& missing : required) {
        SCOPED_TRACE(missing);
        TempDir dir;
        Info info = StandardInfo("Ch21", "01.06.2026 10:00:00", "DVB-T / DVB-H", "474.000000 MHz");
        std::erase_if(info, [&](const auto& e) { return e[1] == missing; });
        std::string path = WriteRecord(dir, "a.dtr", info);
        RecordFileEntry e;
        EXPECT_FALSE(FileSelection_ReadEntry(path, e));
        // What could be read is still there for callers that convert regardless.
        EXPECT_EQ(e.levelIndex, 0);
        EXPECT_TRUE(FileSelection_ReadDirectory(dir.path()).empty());
    }
}

TEST(RecordEntry, DirectoryListsOnlyReadableRecordFiles) {
    TempDir dir;
    const Info good = StandardInfo("Ch21", "01.06.2026 10:00:00", "DVB-T / DVB-H", "474.000000 MHz");
    WriteRecord(dir, "good.dtr", good);
    WriteRecord(dir, "upper.DTR", good);
    WriteRecord(dir, "other.bin", good);                                        // not a record file name
    WriteRecord(dir, "new.dtr", good, 1, "dBm", TestMeasurements{}.values, 321);  // too new
    WriteRecord(dir, "v320.dtr", good, 1, "dBm", TestMeasurements{}.values, 320);
    WriteWholeFile(dir.file("empty.dtr"), {});
    WriteWholeFile(dir.file("text.dtr"), std::vector<std::uint8_t>(500, 'x'));
    // A damaged descriptor block makes the file unreadable.
    std::string damaged = WriteRecord(dir, "damaged.dtr", good);
    auto bytes = ReadWholeFile(damaged);
    bytes[100 + 132 + 100 + 50] ^= 0x55;
    WriteWholeFile(damaged, bytes);
    // A settings block file under a record file name.
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenWrite(dir.file("settings.dtr").c_str(), 10000, 210, ctx));
    char block[700] = "/tmp";
    FileIO_WriteBlock(ctx, block, 3, sizeof block);
    FileIO_Close(ctx);
    ASSERT_EQ(mkdir(dir.file("folder.dtr").c_str(), 0755), 0);

    std::vector<std::string> listed;
    for (const auto& e : FileSelection_ReadDirectory(dir.path())) listed.push_back(e.path);
    EXPECT_EQ(listed, (std::vector<std::string>{dir.file("good.dtr"), dir.file("upper.DTR"), dir.file("v320.dtr")}));
}

TEST(RecordEntry, MissingDirectoryGivesNoEntries) {
    EXPECT_TRUE(FileSelection_ReadDirectory("/nonexistent/fieldtrace").empty());
    TempDir dir;
    EXPECT_TRUE(FileSelection_ReadDirectory(dir.path()).empty());
}

TEST(RecordEntry, TextNumbers) {
    struct Row {
        const char* text;
        double value;
    } const rows[] = {{"50 Ohm", 50.0}, {"75", 75.0},   {"---", 0.0},     {"", 0.0},
                      {"3.20", 3.2},    {"2.50", 2.5},  {"-1.5 dB", -1.5}, {" 12.35", 12.35},
                      {"3.20e", 3.2},   {"Ohm 50", 0.0}};
    for (const auto& r : rows) EXPECT_DOUBLE_EQ(FileSelection_TextNumber(r.text), r.value) << r.text;
}

RecordFileEntry Entry(const std::string& description, const std::string& created, const std::string& standard = "S",
                      const std::string& frequency = "F") {
    RecordFileEntry e;
    e.description = description;
    e.created = created;
    e.standard = standard;
    e.frequency = frequency;
    return e;
}

// "dd.mm.yyyy" compared as text is not the order of time.
TEST(SelectionOrder, DescriptionAscendingThenNewestFirstByTime) {
    std::vector<RecordFileEntry> entries = {
        Entry("b", "01.06.2026 10:00:00"),
        Entry("Ch21", "01.06.2026 10:00:00"),
        Entry("Ch21", "31.05.2026 10:00:00"),  // greater as text, though older
        Entry("Zeta", "x"),
        Entry("Ch21", "not a time"),           // texts that name no time follow, descending as text
        Entry("\xB5-channel", "x"),            // Latin-1 bytes sort after ASCII
        Entry("Ch21", "02.06.2026 09:00:00"),
        Entry("Ch21", "15.01.2027 00:00:00"),  // a later year, though least as text
        Entry("Ch21", "32.01.2027 00:00:00"),  // no such day
        Entry("Ch21", "01.06.2026 10:00:01"),
    };
    FileSelection_SortEntries(entries);
    std::vector<std::string> order;
    for (const auto& e : entries) order.push_back(e.description + "|" + e.created);
    EXPECT_EQ(order, (std::vector<std::string>{"Ch21|15.01.2027 00:00:00", "Ch21|02.06.2026 09:00:00",
                                               "Ch21|01.06.2026 10:00:01", "Ch21|01.06.2026 10:00:00",
                                               "Ch21|31.05.2026 10:00:00", "Ch21|not a time",
                                               "Ch21|32.01.2027 00:00:00", "Zeta|x", "b|01.06.2026 10:00:00",
                                               "\xB5-channel|x"}));
}

TEST(SelectionOrder, FilterChoicesPerMode) {
    std::vector<RecordFileEntry> entries = {
        Entry("a", "1", "DVB-T / DVB-H", "474.000000 MHz"), Entry("b", "1", "DVB-T / DVB-H", "1000.000000 MHz"),
        Entry("c", "1", "DAB", "223.936000 MHz"),           Entry("d", "1", "DVB-T / DVB-H", "474.000000 MHz"),
        Entry("e", "1", "ATSC", "474.000000 MHz"),
    };
    EXPECT_EQ(FileSelection_StandardChoices(entries, kSelectionModeCsv),
              (std::vector<std::string>{kFilterAll, "ATSC", "DAB", "DVB-T / DVB-H"}));
    EXPECT_EQ(FileSelection_StandardChoices(entries, kSelectionModeKmz),
              (std::vector<std::string>{"ATSC", "DAB", "DVB-T / DVB-H"}));
    // Byte order of the texts: 1000 MHz before 474 MHz.
    EXPECT_EQ(FileSelection_FrequencyChoices(entries, "DVB-T / DVB-H", kSelectionModeKmz),
              (std::vector<std::string>{"1000.000000 MHz", "474.000000 MHz"}));
    EXPECT_EQ(FileSelection_FrequencyChoices(entries, kFilterAll, kSelectionModeCsv),
              (std::vector<std::string>{kFilterAll, "1000.000000 MHz", "223.936000 MHz", "474.000000 MHz"}));
    EXPECT_EQ(FileSelection_FrequencyChoices(entries, "DAB", kSelectionModeCsv),
              (std::vector<std::string>{kFilterAll, "223.936000 MHz"}));

    EXPECT_TRUE(FileSelection_PassesFilters(entries[0], kFilterAll, kFilterAll));
    EXPECT_TRUE(FileSelection_PassesFilters(entries[0], "DVB-T / DVB-H", "474.000000 MHz"));
    EXPECT_FALSE(FileSelection_PassesFilters(entries[0], "DVB-T / DVB-H", "1000.000000 MHz"));
    EXPECT_FALSE(FileSelection_PassesFilters(entries[0], "DAB", kFilterAll));

    const std::vector<std::string> items = {kFilterAll, "a", "b"};
    EXPECT_EQ(FileSelection_KeepChoice(items, "b"), 2);
    EXPECT_EQ(FileSelection_KeepChoice(items, "gone"), 0);
    EXPECT_EQ(FileSelection_KeepChoice({}, "a"), -1);
}

}  // namespace
