// Converting record files: outputs, messages, level correction, cancel and
// failures, on files of the record writer and of the synthetic generator.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "export/csv/csvconvert.h"
#include "platform/paths.h"
#include "records/recordfixture.h"
#include "selection/recordentry.h"
#include "support/testsupport.h"
#include "synthrecord.h"

namespace {

std::string ReadText(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(line.substr(start, comma - start));
    return fields;  // every line ends with a comma: nothing follows the last one
}

std::vector<std::string> DirectoryNames(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(directory)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}


// A record file of the record writer with the test descriptors and the given graphs.
std::string WriteRecord(const std::string& directory, const std::string& name, int samples,
                        std::vector<MeasurementGraph> graphs = {TestGraph("Echo Pattern", 501)},
                        const SampleFill& fill = FillTestSample,
                        const std::vector<MeasurementValue>& values = TestMeasurements{}.values) {
    RecordFile file;
    Recording_SetLevelUnitName("dB\xB5V");
    PrepareTestFile(file, values, graphs, TestMeasurements{}.items);
    EXPECT_TRUE(WriteTestSamples(directory, name, file, samples, fill));
    return Platform_JoinPath(directory, name);
}

RecordFileEntry EntryOf(const std::string& path) {
    RecordFileEntry e;
    FileSelection_ReadEntry(path, e);
    return e;
}

// Records a.dtr, b.dtr and c.dtr of the given samples each, as the conversion gets them.
std::vector<RecordFileEntry> ThreeRecords(const TempDir& dir, int samples) {
    std::vector<RecordFileEntry> entries;
    for (const char* name : {"a.dtr", "b.dtr", "c.dtr"}) entries.push_back(EntryOf(WriteRecord(dir.path(), name, samples)));
    return entries;
}

class RecordingView : public CsvProgressView {
public:
    std::vector<std::string> labels;
    std::vector<int> progress;
    void showFileLabel(const std::string& label) override { labels.push_back(label); }
    void setProgress(int percent) override { progress.push_back(percent); }
};

TEST(CsvConvert, OneFileWithAGraph) {
    TempDir dir;
    const std::string path = WriteRecord(dir.path(), "rec.dtr", 20);
    RecordingView view;
    CsvResult r = Csv_Convert({EntryOf(path)}, dir.path(), &view, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success) << r.message;
    const std::string b = dir.file("rec");
    EXPECT_EQ(r.message, "Drive test result files have been successfully written to\n\n[Drive Test Configuration]\n" +
                             b + " - Configuration.csv\n\n[Drive Test Measurements]\n" + b +
                             " - Measurements.csv\n\n[Drive Test Graphics]\n" + b + " - Echo Pattern.csv");
    EXPECT_EQ(DirectoryNames(dir.path()), (std::vector<std::string>{"rec - Configuration.csv", "rec - Echo Pattern.csv",
                                                                    "rec - Measurements.csv", "rec.dtr"}));
    EXPECT_EQ(view.labels, std::vector<std::string>{"File 1 of 1"});
    EXPECT_EQ(view.progress.front(), 0);
    EXPECT_EQ(view.progress.back(), 100);

    const auto measurements = Lines(ReadText(b + " - Measurements.csv"));
    ASSERT_EQ(measurements.size(), 21u);
    const std::size_t columns = Fields(measurements[0]).size();
    for (const auto& line : measurements) EXPECT_EQ(Fields(line).size(), columns) << line;
    const auto graph = Lines(ReadText(b + " - Echo Pattern.csv"));
    ASSERT_EQ(graph.size(), 10u + 20u);
    EXPECT_EQ(graph[9], "Sample,Year,Month,Day,Hour,Minute,Second,Status,GPS Fix,GPS Longitude,GPS Latitude");
    // FillTestSample spoils sample k = 3 (number 4): no points, still its time and position.
    EXPECT_EQ(Fields(graph[10]).size(), 11u + 501u);
    EXPECT_EQ(Fields(graph[13]).size(), 11u);
    EXPECT_EQ(Fields(graph[13])[7], "Attenuation adaption was required");

    const std::string configuration = ReadText(b + " - Configuration.csv");
    EXPECT_EQ(configuration.rfind("File\nDescription,Ch21\nCreated,01.06.2026 10:00:00\n", 0), 0u);
    EXPECT_NE(configuration.find("\n\nCSV Export\nCreated,"), std::string::npos);
    EXPECT_EQ(configuration.substr(configuration.size() - 23), "\nSoftware version,3.20\n");
}

TEST(CsvConvert, AFileWithoutGraphsGivesTwoOutputs) {
    TempDir dir;
    const std::string path = WriteRecord(dir.path(), "plain.dtr", 3, {});
    CsvResult r = Csv_Convert({EntryOf(path)}, dir.path(), nullptr, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success);
    EXPECT_EQ(DirectoryNames(dir.path()),
              (std::vector<std::string>{"plain - Configuration.csv", "plain - Measurements.csv", "plain.dtr"}));
    EXPECT_EQ(r.message.find("Graphics"), std::string::npos);
    const std::string tail = "[Drive Test Measurements]\n" + dir.path() + "/plain - Measurements.csv";
    ASSERT_GT(r.message.size(), tail.size());
    EXPECT_EQ(r.message.substr(r.message.size() - tail.size()), tail);
}

TEST(CsvConvert, SeveralFilesEndWithTheFolderMessage) {
    TempDir dir;
    const std::vector<RecordFileEntry> entries = ThreeRecords(dir, 2);
    RecordingView view;
    CsvResult r = Csv_Convert(entries, dir.path(), &view, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success);
    EXPECT_EQ(r.filesConverted, 3);
    EXPECT_EQ(r.message, "All 3 drive test result files have been successfully exported to .csv files in folder\n" +
                             dir.path());
    EXPECT_EQ(view.labels, (std::vector<std::string>{"File 1 of 3", "File 2 of 3", "File 3 of 3"}));
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_EQ(DirectoryNames(dir.path()).size(), 3u * 4u);
}

TEST(CsvConvert, LevelCorrectionAppliesToValidLevelsOnly) {
    // The level as the first and as the second value: the correction follows its descriptor.
    TestMeasurements m;
    for (const auto& values : {m.values, std::vector<MeasurementValue>{m.values[2], m.values[0], m.values[1]}}) {
        TempDir dir;
        const std::string path = WriteRecord(dir.path(), "rec.dtr", 8, {}, FillTestSample, values);
        RecordFileEntry entry = EntryOf(path);
        const std::size_t level = 12 + static_cast<std::size_t>(entry.levelIndex);
        SCOPED_TRACE(entry.levelIndex);
        const std::string mpath = dir.file("rec - Measurements.csv");
        ASSERT_EQ(Csv_Convert({entry}, dir.path(), nullptr, {}).outcome, CsvOutcome::Success);
        const auto plain = Lines(ReadText(mpath));
        entry.levelOffset = 10.0;
        ASSERT_EQ(Csv_Convert({entry}, dir.path(), nullptr, {}).outcome, CsvOutcome::Success);
        const auto corrected = Lines(ReadText(mpath));
        ASSERT_EQ(plain.size(), corrected.size());
        int changed = 0;
        for (std::size_t i = 1; i < plain.size(); ++i) {
            const auto a = Fields(plain[i]), b = Fields(corrected[i]);
            for (std::size_t c = 0; c < a.size(); ++c) {
                if (c != level) {
                    EXPECT_EQ(a[c], b[c]) << "line " << i << " column " << c;
                }
            }
            if (a[level] == "---") {
                EXPECT_EQ(b[level], "---");
                continue;
            }
            double va = 0, vb = 0;
            ASSERT_TRUE(Text_ParseDouble(a[level], va) && Text_ParseDouble(b[level], vb));
            EXPECT_NEAR(vb - va, 10.0, 1e-9);
            ++changed;
        }
        EXPECT_GT(changed, 2);
    }
}

// Graph long names become part of file names; none may lead out of the folder.
TEST(CsvConvert, GraphNamesCannotLeaveTheFolder) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("records").c_str(), 0755), 0);
    const std::string records = dir.file("records");
    const std::string path = WriteRecord(records, "rec.dtr", 2,
                                         {TestGraph("../../evil", 3), TestGraph("SISO/MISO", 3),
                                          TestGraph("a:b*c?", 3), TestGraph("a|b*c?", 3), TestGraph("Measurements", 3)});
    CsvResult r = Csv_Convert({EntryOf(path)}, records, nullptr, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success) << r.message;
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"records"});
    EXPECT_EQ(DirectoryNames(records),
              (std::vector<std::string>{"rec - ..-..-evil.csv", "rec - Configuration.csv", "rec - Measurements (2).csv",
                                        "rec - Measurements.csv", "rec - SISO-MISO.csv", "rec - a-b-c- (2).csv",
                                        "rec - a-b-c-.csv", "rec.dtr"}));
    EXPECT_NE(r.message.find("\n" + records + "/rec - SISO-MISO.csv"), std::string::npos);
    // The measurements file is still the measurements file.
    EXPECT_EQ(ReadText(records + "/rec - Measurements.csv").rfind("Sample,Year", 0), 0u);
}

TEST(CsvConvert, CancelDuringTheSecondOfThreeFiles) {
    TempDir dir;
    const std::vector<RecordFileEntry> entries = ThreeRecords(dir, 10);
    RecordingView view;
    int asked = 0;
    CsvResult r = Csv_Convert(entries, dir.path(), &view, [&] {
        return view.labels.back() == "File 2 of 3" && ++asked == 4;  // after three samples of b
    });
    EXPECT_EQ(r.outcome, CsvOutcome::Cancelled);
    EXPECT_EQ(r.message, "Drive test result file conversion aborted by user.");
    EXPECT_EQ(r.filesConverted, 1);
    EXPECT_EQ(DirectoryNames(dir.path()),
              (std::vector<std::string>{"a - Configuration.csv", "a - Echo Pattern.csv", "a - Measurements.csv",
                                        "a.dtr", "b.dtr", "c.dtr"}));
    EXPECT_EQ(Lines(ReadText(dir.file("a - Measurements.csv"))).size(), 11u);
    EXPECT_EQ(view.labels.back(), "File 2 of 3");
}

TEST(CsvConvert, FailuresDeleteEveryOutputOfTheFileInProgress) {
    struct Row {
        const char* blocker;  // a directory standing where this output would go
        const char* reason;
    } const rows[] = {
        {"b - Configuration.csv", "Could not create file(s)."},
        {"b - Measurements.csv", "Could not create file(s)."},
        {"b - Echo Pattern.csv", "Could not write file(s)."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.blocker);
        TempDir dir;
        const std::vector<RecordFileEntry> entries = ThreeRecords(dir, 3);
        ASSERT_EQ(mkdir(dir.file(row.blocker).c_str(), 0755), 0);
        CsvResult r = Csv_Convert(entries, dir.path(), nullptr, {});
        EXPECT_EQ(r.outcome, CsvOutcome::Failure);
        EXPECT_EQ(r.message, std::string("Drive test result file conversion failure:\n") + row.reason);
        std::vector<std::string> expected = {"a - Configuration.csv", "a - Echo Pattern.csv", "a - Measurements.csv",
                                             "a.dtr", row.blocker, "b.dtr", "c.dtr"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(DirectoryNames(dir.path()), expected);
    }
}

TEST(CsvConvert, AnUnreadableFileGivesTheReadersMessage) {
    TempDir dir;
    RecordFileEntry missing;
    missing.path = dir.file("gone.dtr");
    CsvResult r = Csv_Convert({missing}, dir.path(), nullptr, {});
    EXPECT_EQ(r.outcome, CsvOutcome::Failure);
    EXPECT_EQ(r.message, "Drive test result file conversion failure:\nCould not open file");

    WriteWholeFile(dir.file("text.dtr"), std::vector<std::uint8_t>(300, 'x'));
    r = Csv_Convert({EntryOf(dir.file("text.dtr"))}, dir.path(), nullptr, {});
    EXPECT_EQ(r.message, "Drive test result file conversion failure:\nIncompatible file format");
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"text.dtr"});
}

// A full disk during the samples: the outputs of that file go, the message says so.
TEST(CsvConvert, AFailedWriteDuringTheSamples) {
    TempDir dir;
    const std::string path = WriteRecord(dir.path(), "rec.dtr", 400);
    const RecordFileEntry entry = EntryOf(path);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{300000, 300000};  // the graph file needs about 2.5 MB
        setrlimit(RLIMIT_FSIZE, &limit);
        CsvResult r = Csv_Convert({entry}, dir.path(), nullptr, {});
        const bool ok = r.outcome == CsvOutcome::Failure &&
                        r.message == "Drive test result file conversion failure:\nCould not write file(s).";
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"rec.dtr"});
}

// A German locale writes "1,5" for printf's "%.1f"; the outputs must not change.
TEST(CsvConvert, OutputsDoNotDependOnTheLocale) {
    TempDir dir;
    const std::string path = WriteRecord(dir.path(), "rec.dtr", 30);
    RecordFileEntry entry = EntryOf(path);
    entry.levelOffset = 0.125;
    auto run = [&] {
        EXPECT_EQ(Csv_Convert({entry}, dir.path(), nullptr, {}).outcome, CsvOutcome::Success);
        std::vector<std::string> texts;
        for (const char* suffix : {" - Configuration.csv", " - Measurements.csv", " - Echo Pattern.csv"}) {
            std::string text = ReadText(dir.file("rec") + suffix);
            // The export's own time stamp is the one line allowed to differ.
            auto at = text.find("\nCSV Export\nCreated,");
            if (at != std::string::npos) text.erase(at + 20, 19);
            texts.push_back(text);
        }
        return texts;
    };
    const auto inC = run();
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/setup.sh)";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const auto inGerman = run();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_STREQ(probe, "1,5");  // the locale really is a comma-decimal one
    ASSERT_EQ(inC.size(), inGerman.size());
    for (std::size_t i = 0; i < inC.size(); ++i) EXPECT_TRUE(inC[i] == inGerman[i]) << "output " << i;
    EXPECT_NE(inC[1].find(",30.38,"), std::string::npos);  // 30.25 + 0.125, two decimals
}

// Files of the synthetic generator: every column of every line, checked
// against the samples read back independently.
TEST(CsvConvert, GeneratedDriveMatchesItsSamples) {
    TempDir dir;
    SynthRecordOptions o;
    o.samples = 400;
    o.seed = 5;
    o.badStatusShare = 0.2;
    o.noFixStretches = {{50, 20}};
    o.levelUnit = "dB\xB5V/m";
    o.antennaName = "HL223";
    o.kFactor = 11.5;
    o.distanceUnit = kDistanceMiles;
    o.outputDirectory = dir.path();
    std::string path, error;
    ASSERT_TRUE(Synth_WriteRecordFile(o, path, error)) << error;
    const RecordFileEntry entry = EntryOf(path);
    ASSERT_EQ(entry.levelUnit, kRecordLevelDbuVPerM);
    ASSERT_DOUBLE_EQ(entry.levelOffset, 11.5);
    ASSERT_EQ(Csv_Convert({entry}, dir.path(), nullptr, {}).outcome, CsvOutcome::Success);

    const std::string b = path.substr(0, path.size() - 4);
    const auto measurements = Lines(ReadText(b + " - Measurements.csv"));
    const auto graph = Lines(ReadText(b + " - Echo Pattern.csv"));
    ASSERT_EQ(measurements.size(), 401u);
    ASSERT_EQ(graph.size(), 10u + 400u);
    EXPECT_NE(measurements[0].find(",GPS Speed [mph],Level [dB\xC2\xB5V/m],"), std::string::npos);

    FileContainer ctx;
    RecordFile file;
    std::string message;
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), message));
    RecordSample s;
    int spoiled = 0, noFix = 0;
    for (std::size_t n = 1; Recording_ReadSample(ctx, file, s); ++n) {
        ASSERT_LT(n, measurements.size());
        const auto f = Fields(measurements[n]);
        const auto g = Fields(graph[9 + n]);
        ASSERT_EQ(f.size(), 12u + file.values.size() + file.items.size());
        EXPECT_EQ(f[0], std::to_string(n));
        EXPECT_EQ(f[6], std::to_string(s.head.cycleStart.second));
        EXPECT_EQ(f[7], std::string(Text_View(s.head.status)));
        EXPECT_EQ(std::vector<std::string>(g.begin(), g.begin() + 11), std::vector<std::string>(f.begin(), f.begin() + 11));
        if (s.head.gps.gpsFix == 1) {
            EXPECT_EQ(f[9], Text_FormatFixed(s.head.gps.longitude, 6));
            EXPECT_EQ(f[10], Text_FormatFixed(s.head.gps.latitude, 6));
        } else {
            ++noFix;
            EXPECT_EQ(f[8] + f[9] + f[10], "0------");
        }
        EXPECT_EQ(f[11], s.head.gps.speed == -1.0 ? "---" : Text_FormatFixed(s.head.gps.speed / 1.609344, 1));
        const bool good = Text_View(s.head.status) == kStatusNoError;
        spoiled += good ? 0 : 1;
        for (std::size_t v = 0; v < file.values.size(); ++v) {
            const bool valid = good && s.values[2 * v] != 0.0;
            const double value = s.values[2 * v + 1] + (v == 0 ? 11.5 : 0.0);
            EXPECT_EQ(f[12 + v], valid ? Text_FormatFixed(value, file.values[v].decimals) : "---") << "value " << v;
        }
        for (std::size_t i = 0; i < file.items.size(); ++i) {
            const std::size_t at = Recording_ItemOffset(file, i);
            const char* text = reinterpret_cast<const char*>(&s.items[at + 1]);
            const bool valid = good && s.items[at] != 0;
            EXPECT_EQ(f[12 + file.values.size() + i], valid ? std::string(text) : "---") << "read-out " << i;
        }
        const bool points = good && s.graphs[0] != 0.0f;
        EXPECT_EQ(g.size(), points ? 11u + 501u : 11u);
    }
    FileIO_CloseRead(ctx);
    EXPECT_GT(spoiled, 40);
    EXPECT_EQ(noFix, 20);
}

}  // namespace
