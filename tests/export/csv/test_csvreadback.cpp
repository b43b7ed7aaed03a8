// The CSV outputs as other programs read them: Python's csv module must get
// back exactly the rows and fields that were meant, whatever the texts hold,
// and the files must decode as UTF-8. Also: damaged samples in a conversion.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "export/csv/csvconvert.h"
#include "platform/paths.h"
#include "records/recordfixture.h"
#include "selection/recordentry.h"
#include "support/testsupport.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every file read with csv.reader(open(path, encoding="utf-8", newline="")),
// which fails on any byte sequence that is not UTF-8.
std::vector<Rows> ReadWithPython(const TempDir& dir, const std::vector<std::string>& paths) {
    std::string list;
    for (const auto& p : paths) list += p + "\n";
    WriteWholeFile(dir.file("paths.txt"), std::vector<std::uint8_t>(list.begin(), list.end()));
    const std::string script =
        "import csv, json, sys\n"
        "out = []\n"
        "for p in open(sys.argv[1], encoding='utf-8').read().splitlines():\n"
        "    with open(p, encoding='utf-8', newline='') as f:\n"
        "        out.append(list(csv.reader(f, strict=True)))\n"
        "print(json.dumps(out))\n";
    WriteWholeFile(dir.file("read.py"), std::vector<std::uint8_t>(script.begin(), script.end()));
    FILE* pipe = popen(("python3 '" + dir.file("read.py") + "' '" + dir.file("paths.txt") + "'").c_str(), "r");
    if (!pipe) return {};
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
    if (pclose(pipe) != 0) return {};
    return nlohmann::json::parse(text).get<std::vector<Rows>>();
}

std::string U(std::string_view latin1) { return Text_Latin1ToUtf8(latin1); }

MeasurementGraph HostileGraph() {
    MeasurementGraph g = TestGraph("Echo, \"Pattern\"", 3);
    Text_Copy(g.xLabel, "Time, delay [\xB5s]");
    Text_Copy(g.xMin, "-25,0");
    Text_Copy(g.yLabel, "Power \"rel.\"\n[dB]");
    return g;
}

// Read-outs that hold a quote, a line feed, a comma, a carriage return and a micro sign.
const char* const kReadOuts[] = {"a\"b", "line1\nline2", "x,y", "cr\rhere", "5 \xB5s"};

struct HostileRecord {
    std::string path;
    std::vector<RecordSample> samples;
};

HostileRecord WriteHostileRecord(const std::string& directory) {
    RecordFile file;
    Recording_SetLevelUnitName("dB\xB5V");
    std::vector<MeasurementValue> values = {TestValue("Values", "Level", "Level", 2, 0),
                                            TestValue("Values", "MER", "MER, \"RMS\" [dB]", 1, 0)};
    std::vector<StandardInfoItem> items;
    for (const char* name : {"Quote", "Lines", "Comma", "Return", "Micro"}) items.push_back(TestItem(name, 16));
    Text_Copy(items[2].longName, "Cell, ID");
    RecordHeaderSource src = TestHeaderSource();
    src.description = "Ch21, north";
    src.parameters = {{"Guard, interval", "1/4"}, {"Code rate", "\"2/3\""}};
    src.serialNumber = "line\nbreak";
    PrepareTestFile(file, values, {HostileGraph()}, items, src);
    HostileRecord r;
    const std::string name = Recording_FileName(src.created, src.description);
    const auto fill = [&](const RecordFile& f, RecordSample& s, int k) {
        FillTestSample(f, s, k);
        s.values = {1.0, 40.5 + k, 1.0, 30.25};
        if (k == 2) Text_Copy(s.head.status, "Init -> -113,\"Undefined header\"");
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::size_t at = Recording_ItemOffset(file, i);
            s.items[at] = 1;
            std::fill(s.items.begin() + static_cast<std::ptrdiff_t>(at + 1),
                      s.items.begin() + static_cast<std::ptrdiff_t>(at + 17), 0);
            std::memcpy(&s.items[at + 1], kReadOuts[i], std::strlen(kReadOuts[i]));
        }
        s.graphs = {1.0f, -20.5f, -200.0f, 9.91e37f};
    };
    EXPECT_TRUE(WriteTestSamples(directory, name, file, 3, fill, &r.samples));
    r.path = Platform_JoinPath(directory, name);
    return r;
}

std::vector<std::string> SampleFields(long long n, const RecordSample& s) {
    const DtrTime& t = s.head.cycleStart;
    std::vector<std::string> f = {std::to_string(n),         std::to_string(t.year),   std::to_string(t.month),
                                  std::to_string(t.day),     std::to_string(t.hour),   std::to_string(t.minute),
                                  std::to_string(t.second),  U(Text_View(s.head.status))};
    if (s.head.gps.gpsFix == 1) {
        f.insert(f.end(), {"1", Text_FormatFixed(s.head.gps.longitude, 6), Text_FormatFixed(s.head.gps.latitude, 6)});
    } else {
        f.insert(f.end(), {"0", "---", "---"});
    }
    return f;
}

TEST(CsvReadBack, PythonReadsEveryOutputIntoTheMeantRowsAndFields) {
    TempDir dir;
    const HostileRecord rec = WriteHostileRecord(dir.path());
    RecordFileEntry entry;
    FileSelection_ReadEntry(rec.path, entry);
    const CsvResult result = Csv_Convert({entry}, dir.path(), nullptr, {});
    ASSERT_EQ(result.outcome, CsvOutcome::Success) << result.message;
    const std::string b = Csv_BaseName(rec.path);
    EXPECT_EQ(b, dir.file("2026-06-01  10-00-00  Ch21, north"));
    const std::vector<std::string> outputs = {b + " - Configuration.csv", b + " - Measurements.csv",
                                              b + " - Echo, -Pattern-.csv"};
    const auto files = ReadWithPython(dir, outputs);
    ASSERT_EQ(files.size(), 3u) << "python3 could not read the outputs as UTF-8 CSV";

    const Rows& configuration = files[0];
    ASSERT_GE(configuration.size(), 12u);
    EXPECT_EQ(configuration[0], std::vector<std::string>{"File"});
    EXPECT_EQ(configuration[1], (std::vector<std::string>{"Description", "Ch21, north"}));
    EXPECT_EQ(configuration[6], (std::vector<std::string>{"Type", "Korvane Alvra"}));
    EXPECT_EQ(configuration[8], (std::vector<std::string>{"Guard, interval", "1/4"}));
    EXPECT_EQ(configuration[9], (std::vector<std::string>{"Code rate", "\"2/3\""}));
    EXPECT_EQ(configuration[11], (std::vector<std::string>{"Serial number", "line\nbreak"}));
    EXPECT_EQ(configuration[configuration.size() - 3], std::vector<std::string>{"CSV Export"});

    const Rows& measurements = files[1];
    ASSERT_EQ(measurements.size(), 4u);
    std::vector<std::string> header = {"Sample",  "Year",          "Month",         "Day",
                                       "Hour",    "Minute",        "Second",        "Status",
                                       "GPS Fix", "GPS Longitude", "GPS Latitude",  "GPS Speed [km/h]",
                                       "Level [dB\xC2\xB5V]", "MER, \"RMS\" [dB]", "Quote", "Lines",
                                       "Cell, ID", "Return", "Micro", ""};
    EXPECT_EQ(measurements[0], header);
    for (std::size_t n = 1; n <= 3; ++n) {
        const RecordSample& s = rec.samples[n - 1];
        std::vector<std::string> row = SampleFields(static_cast<long long>(n), s);
        row.push_back(Text_FormatFixed(s.head.gps.speed, 1));
        if (n < 3) {
            row.insert(row.end(), {Text_FormatFixed(s.values[1], 2), Text_FormatFixed(30.25, 1), "a\"b", "line1\nline2", "x-y",
                                   "cr\rhere", "5 \xC2\xB5s"});
        } else {
            row.insert(row.end(), 7, "---");  // a spoiled sample: its status, no values
            EXPECT_EQ(row[7], "Init -> -113,\"Undefined header\"");
        }
        row.push_back("");
        EXPECT_EQ(measurements[n], row) << "sample " << n;
    }

    const Rows& graph = files[2];
    ASSERT_EQ(graph.size(), 13u);
    const Rows axes = {{"X axis info"}, {"Name", "Time, delay [\xC2\xB5s]"}, {"Start", "-25,0"}, {"Stop", "250"},
                       {},              {"Y axis info"},                     {"Name", "Power \"rel.\"\n[dB]"},
                       {},              {}};
    EXPECT_EQ(Rows(graph.begin(), graph.begin() + 9), axes);
    EXPECT_EQ(graph[9].size(), 11u);
    for (std::size_t n = 1; n <= 3; ++n) {
        std::vector<std::string> row = SampleFields(static_cast<long long>(n), rec.samples[n - 1]);
        if (n < 3) row.insert(row.end(), {"-20.500000", "-200.000000", "---"});
        row.push_back("");
        EXPECT_EQ(graph[9 + n], row) << "sample " << n;
    }
}

// One flipped bit in sample 21 of 50 is one row less and a sentence more, not the end of the file.
TEST(CsvReadBack, ADamagedSampleIsSkippedAndNamedInTheMessage) {
    TempDir dir;
    RecordFile file;
    PrepareTestFile(file);
    ASSERT_TRUE(WriteTestSamples(dir.path(), "rec.dtr", file, 50));
    const std::string path = dir.file("rec.dtr");
    auto bytes = ReadWholeFile(path);
    const auto sampleSize = static_cast<std::size_t>(file.header.sampleFileSize);
    const std::size_t firstSample = bytes.size() - 50 * sampleSize;
    bytes[firstSample + 20 * sampleSize + 100 + 210] ^= 0x08;  // inside the position of sample 21
    WriteWholeFile(path, bytes);

    RecordFileEntry entry;
    ASSERT_TRUE(FileSelection_ReadEntry(path, entry));
    CsvResult r = Csv_Convert({entry}, dir.path(), nullptr, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success) << r.message;
    EXPECT_EQ(r.skippedSamples, 1);
    const std::string b = dir.file("rec");
    EXPECT_EQ(r.message, "Drive test result files have been successfully written to\n\n[Drive Test Configuration]\n" +
                             b + " - Configuration.csv\n\n[Drive Test Measurements]\n" + b +
                             " - Measurements.csv\n\n[Drive Test Graphics]\n" + b +
                             " - Echo Pattern.csv\n\n1 damaged sample was skipped.");
    const auto files = ReadWithPython(dir, {b + " - Measurements.csv", b + " - Echo Pattern.csv"});
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(files[0].size(), 1u + 49u);
    ASSERT_EQ(files[1].size(), 10u + 49u);
    // Rows stay numbered 1 to 49: the number counts the rows written.
    EXPECT_EQ(files[0][20][0], "20");
    EXPECT_EQ(files[0][21][0], "21");
    EXPECT_EQ(files[0].back()[0], "49");

    // Two files, one damaged twice: the folder message counts both.
    bytes[firstSample + 30 * sampleSize + 100 + 5] ^= 0x01;
    WriteWholeFile(path, bytes);
    const std::string other = dir.file("other.dtr");
    WriteWholeFile(other, ReadWholeFile(path));
    RecordFileEntry second = entry;
    second.path = other;
    r = Csv_Convert({entry, second}, dir.path(), nullptr, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success);
    EXPECT_EQ(r.message, "All 2 drive test result files have been successfully exported to .csv files in folder\n" +
                             dir.path() + "\n\n4 damaged samples were skipped.");

    // A file cut inside its last sample converts without a word about it.
    bytes = ReadWholeFile(dir.file("rec.dtr"));
    bytes[firstSample + 20 * sampleSize + 100 + 210] ^= 0x08;
    bytes[firstSample + 30 * sampleSize + 100 + 5] ^= 0x01;
    bytes.resize(bytes.size() - sampleSize / 2);
    WriteWholeFile(path, bytes);
    r = Csv_Convert({entry}, dir.path(), nullptr, {});
    ASSERT_EQ(r.outcome, CsvOutcome::Success);
    EXPECT_EQ(r.skippedSamples, 0);
    EXPECT_EQ(r.message.find("damaged"), std::string::npos);
}

// Files with empty data areas, or a read-out or graph that takes no room at the
// end of its area, convert without an access out of range (the tests run with
// the library's bounds checks on).
TEST(CsvReadBack, EmptyAreasConvert) {
    struct Row {
        const char* what;
        std::vector<MeasurementValue> values;
        std::vector<MeasurementGraph> graphs;
        std::vector<StandardInfoItem> items;
        std::size_t fields;  // of a measurements row, the trailing empty one included
    } const rows[] = {
        {"nothing at all", {}, {}, {}, 13},
        {"a read-out of width 0 last", {}, {}, {TestItem("Wide", 4), TestItem("Empty", 0)}, 15},
        {"a graph of no points last", {TestValue("Values", "Level", "Level", 1, 0)},
         {TestGraph("Echo", 2), TestGraph("Nothing", 0)}, {}, 14},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        RecordFile file;
        PrepareTestFile(file, row.values, row.graphs, row.items);
        ASSERT_TRUE(WriteTestSamples(dir.path(), "rec.dtr", file, 2, [](const RecordFile& f, RecordSample& s, int k) {
            FillTestSample(f, s, k);
            // Every flag valid: each area is walked to its end.
            for (std::size_t i = 0; i < f.items.size(); ++i) s.items[Recording_ItemOffset(f, i)] = 1;
            for (std::size_t g = 0; g < f.graphs.size(); ++g) s.graphs[Recording_GraphOffset(f, g)] = 1.0f;
        }));
        RecordFileEntry entry;
        ASSERT_TRUE(FileSelection_ReadEntry(dir.file("rec.dtr"), entry));
        const CsvResult r = Csv_Convert({entry}, dir.path(), nullptr, {});
        ASSERT_EQ(r.outcome, CsvOutcome::Success) << r.message;
        std::vector<std::string> outputs = {dir.file("rec - Measurements.csv")};
        for (const auto& g : row.graphs) outputs.push_back(dir.file("rec - ") + g.longName + ".csv");
        const auto files = ReadWithPython(dir, outputs);
        ASSERT_EQ(files.size(), outputs.size());
        ASSERT_EQ(files[0].size(), 3u);
        for (const auto& fields : files[0]) EXPECT_EQ(fields.size(), row.fields);
        for (std::size_t g = 0; g < row.graphs.size(); ++g) {
            ASSERT_EQ(files[1 + g].size(), 12u);
            EXPECT_EQ(files[1 + g].back().size(), 11u + static_cast<std::size_t>(row.graphs[g].points) + 1u);
        }
    }
}

}  // namespace
