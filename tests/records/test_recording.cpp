#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "records/recording.h"
#include "records/recordfixture.h"
#include "support/testsupport.h"

namespace {

// Writes a record file of n samples with the test measurements; returns its path.
std::string WriteTestFile(const TempDir& dir, int n, const TestMeasurements& m = {}, bool antenna = false,
                          std::vector<RecordSample>* written = nullptr) {
    RecordHeaderSource src = TestHeaderSource();
    if (antenna) {
        src.antennaName = "HL223";
        src.kFactor = 12.345;
    }
    RecordFile file;
    PrepareTestFile(file, m.values, m.graphs, m.items, src);
    std::string name = Recording_FileName(src.created, src.description);
    EXPECT_TRUE(WriteTestSamples(dir.path(), name, file, n, FillTestSample, written));
    return dir.file(name);
}

int CountSamples(const std::string& path, std::string* message = nullptr, std::int64_t* skipped = nullptr) {
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    if (!Recording_OpenFile(ctx, file, path.c_str(), msg)) {
        if (message) *message = msg;
        return -1;
    }
    RecordSample s;
    int n = 0;
    while (Recording_ReadSample(ctx, file, s)) ++n;
    if (skipped) *skipped = file.skippedSamples;
    FileIO_CloseRead(ctx);
    return n;
}

// A record file written block by block with any version and sample size.
std::string WriteRawRecordFile(const TempDir& dir, const char* name, int version, int sampleBytes, int samples,
                               int firstTag = kTagHeader) {
    std::string path = dir.file(name);
    FileContainer w;
    EXPECT_TRUE(FileIO_OpenWrite(path.c_str(), 10000, version, w));
    DtrHeader h{};
    h.valueCount = 1;
    h.valueBlockSize = 16;
    h.sampleFileSize = sampleBytes + 16 + 400;
    Text_Copy(h.distanceUnit, kDistanceMiles);
    EXPECT_TRUE(FileIO_WriteBlock(w, &h, firstTag, sizeof h));
    DtrValueDescriptor d{};
    Text_Copy(d.longName, "Level [dBm]");
    EXPECT_TRUE(FileIO_WriteBlock(w, &d, kTagValueDescriptor, sizeof d));
    for (int k = 0; k < samples; ++k) {
        DriveTestSample s{};
        Text_Copy(s.status, kStatusNoError);
        s.gps.gpsFix = 1;
        s.gps.latitude = 50.0 + k;
        s.attStart = 3.0;  // beyond a 408-byte sample: must not be read from old files
        s.attStop = 4.0;
        double values[2] = {1.0, -50.0 - k};
        EXPECT_TRUE(FileIO_WriteBlock(w, &s, kTagSample, sampleBytes));
        EXPECT_TRUE(FileIO_WriteBlock(w, values, kTagValueData, 16));
        EXPECT_TRUE(FileIO_WriteBlock(w, nullptr, kTagGraphData, 0));
        EXPECT_TRUE(FileIO_WriteBlock(w, nullptr, kTagItemData, 0));
    }
    EXPECT_TRUE(FileIO_Close(w));
    return path;
}

long MaxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

TEST(Recording, RoundTripKeepsEverySampleByteForByte) {
    TempDir dir;
    std::vector<RecordSample> written;
    std::string path = WriteTestFile(dir, 25, {}, false, &written);
    EXPECT_EQ(path, dir.file("2026-06-01  10-00-00  Ch21.dtr"));

    FileContainer ctx;
    RecordFile file;
    std::string msg = "stale";
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg));
    EXPECT_EQ(msg, "");
    EXPECT_EQ(file.header.valueCount, 3);
    EXPECT_EQ(file.header.graphCount, 1);
    EXPECT_EQ(file.header.itemCount, 2);
    EXPECT_EQ(file.header.valueBlockSize, 48);
    EXPECT_EQ(file.header.graphBlockSize, 4 * 501 + 4);
    EXPECT_EQ(file.header.itemBlockSize, 11 + 41);
    EXPECT_EQ(file.header.sampleFileSize, 52 + 424 + 48 + 2008 + 400);
    EXPECT_STREQ(file.header.distanceUnit, kDistanceKilometers);
    EXPECT_STREQ(file.values[2].longName, "MER RMS [dB]");
    EXPECT_EQ(file.values[2].decimals, 1);
    EXPECT_EQ(file.values[1].displayKind, 3);
    EXPECT_STREQ(file.values[0].spare, "") << "the catalogue's spare field is not stored";
    EXPECT_STREQ(file.graphs[0].xLabel, "Time [\xB5" "s]");
    EXPECT_EQ(file.items[1].width, 40);

    RecordSample s;
    for (const auto& w : written) {
        ASSERT_TRUE(Recording_ReadSample(ctx, file, s));
        EXPECT_TRUE(SamplesEqual(s, w));
    }
    EXPECT_FALSE(Recording_ReadSample(ctx, file, s));
    FileIO_CloseRead(ctx);
}

// Each sample leaves in one write of exactly its size, so the file on disk
// always ends on a complete sample.
TEST(Recording, EachSampleReachesTheFileWhenWritten) {
    TempDir dir;
    RecordFile file;
    PrepareTestFile(file);
    FileContainer ctx;
    ASSERT_TRUE(Recording_CreateFile(ctx, file, dir.path().c_str(), "x.dtr"));
    const std::size_t descriptive = ReadWholeFile(dir.file("x.dtr")).size();
    EXPECT_EQ(descriptive, std::size_t{(100 + 132) + 11 * (100 + 300) + 3 * (100 + 412) + (100 + 1004) + 2 * (100 + 404)});
    RecordSample s;
    Recording_AllocSample(file, s);
    for (int k = 1; k <= 3; ++k) {
        FillTestSample(file, s, k);
        ASSERT_TRUE(Recording_WriteSample(ctx, file, s));
        EXPECT_EQ(ReadWholeFile(dir.file("x.dtr")).size(), descriptive + k * static_cast<std::size_t>(file.header.sampleFileSize));
    }
    EXPECT_EQ(ctx.bytesWritten, static_cast<std::int64_t>(descriptive + 3 * static_cast<std::size_t>(file.header.sampleFileSize)));
    ASSERT_TRUE(FileIO_Close(ctx));
}

TEST(Recording, LevelDescriptorCarriesTheLevelUnit) {
    TempDir dir;
    Recording_SetLevelUnitName("dB\xB5V");
    TestMeasurements m;
    std::string path = WriteTestFile(dir, 1, m);
    Recording_SetLevelUnitName("dBm");
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg));
    EXPECT_STREQ(file.values[0].longName, "Level [dB\xB5V]");
    EXPECT_STREQ(file.values[0].name, "Level");
    EXPECT_STREQ(file.values[1].longName, "Sync") << "only the Level value is renamed";
}

TEST(Recording, HeaderInfoEntries) {
    RecordFile file;
    Recording_InitFile(file);
    Recording_BuildHeaderInfo(file, TestHeaderSource());
    std::vector<std::string> lines;
    for (const auto& e : file.info) lines.push_back(std::string(e.group) + "/" + e.key + "/" + e.value);
    const std::vector<std::string> expected = {
        "File/Description/Ch21",
        "File/Created/01.06.2026 10:00:00",
        "File/Standard/DVB-T / DVB-H",
        "TV Analyzer/Type/Korvane Alvra",
        "TV Analyzer/Frequency/474.000000 MHz",
        "TV Analyzer/Adjacent channels/Present",
        "TV Analyzer/Reference/Internal",
        "TV Analyzer/Input/50 Ohm",
        "TV Analyzer/Serial number/101234",
        "TV Analyzer/Firmware version/3.45",
        "Software/Version/3.20",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(file.header.infoCount, 11);

    RecordHeaderSource withAntenna = TestHeaderSource();
    withAntenna.antennaName = "HL223";
    withAntenna.kFactor = 12.345;
    Recording_BuildHeaderInfo(file, withAntenna);
    ASSERT_EQ(file.info.size(), 13u);
    EXPECT_STREQ(file.info[10].key, "Type");
    EXPECT_STREQ(file.info[10].value, "HL223");
    EXPECT_STREQ(file.info[11].key, "K-Factor [dB/m]");
    EXPECT_STREQ(file.info[11].value, "12.35");
    EXPECT_STREQ(file.info[12].group, "Software");
}

TEST(Recording, FileWithoutGraphsOrItemsReadsBack) {
    TempDir dir;
    TestMeasurements m;
    m.graphs.clear();
    m.items.clear();
    std::vector<RecordSample> written;
    std::string path = WriteTestFile(dir, 4, m, false, &written);
    RecordFile file;
    std::vector<RecordSample> read;
    ASSERT_TRUE(ReadTestSamples(path, file, read));
    EXPECT_EQ(file.header.graphCount, 0);
    EXPECT_EQ(file.header.graphBlockSize, 0);
    ASSERT_EQ(read.size(), 4u);
    for (std::size_t i = 0; i < read.size(); ++i) EXPECT_TRUE(SamplesEqual(read[i], written[i])) << i;
}

TEST(Recording, ReaderMessages) {
    TempDir dir;
    WriteWholeFile(dir.file("hundred.dtr"), std::vector<std::uint8_t>(100, 0));
    WriteRawRecordFile(dir, "settings.dtr", 70, kSampleBytes, 0, 0);  // a settings file's first block is no record header
    WriteRawRecordFile(dir, "v321.dtr", 321, kSampleBytes, 2);
    WriteRawRecordFile(dir, "v350.dtr", 350, kSampleBytes, 2);
    WriteRawRecordFile(dir, "v320.dtr", 320, kSampleBytes, 2);
    const std::string damaged = WriteTestFile(dir, 1);
    auto bytes = ReadWholeFile(damaged);
    bytes[100 + 132 + 100 + 5] ^= 0x40;  // inside the first info entry
    WriteWholeFile(damaged, bytes);
    const struct {
        std::string path;
        int samples;
        const char* message;
    } cases[] = {
        {dir.file("none.dtr"), -1, "Could not open file"},
        {dir.file("hundred.dtr"), -1, "Could not open file"},
        {dir.file("settings.dtr"), -1, "Incompatible file format"},
        {dir.file("v321.dtr"), -1, "Version 3.21 (or higher) required"},
        {dir.file("v350.dtr"), -1, "Version 3.50 (or higher) required"},
        {dir.file("v320.dtr"), 2, ""},
        {damaged, -1, "Could not read data"},
    };
    for (const auto& c : cases) {
        std::string msg;
        EXPECT_EQ(CountSamples(c.path, &msg), c.samples) << c.path;
        EXPECT_EQ(msg, c.message) << c.path;
    }
}

TEST(Recording, OldFilesHave408ByteSamplesWithUnknownAttenuation) {
    TempDir dir;
    std::string path = WriteRawRecordFile(dir, "old.dtr", 62, kOldSampleBytes, 3);
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg)) << msg;
    EXPECT_EQ(file.version, 62);
    RecordSample s;
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(Recording_ReadSample(ctx, file, s));
        EXPECT_DOUBLE_EQ(s.head.gps.latitude, 50.0 + k);
        EXPECT_EQ(s.head.attStart, -1.0);
        EXPECT_EQ(s.head.attStop, -1.0);
        EXPECT_EQ(s.values[1], -50.0 - k);
    }
    EXPECT_FALSE(Recording_ReadSample(ctx, file, s));
}

TEST(Recording, LevelCorrectionAppliesToValidLevelsOnly) {
    TempDir dir;
    std::vector<RecordSample> written;
    std::string path = WriteTestFile(dir, 8, {}, false, &written);
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg));
    RecordSample s;
    int corrected = 0, untouched = 0;
    for (const auto& w : written) {
        ASSERT_TRUE(Recording_ReadSample(ctx, file, s, 0, 6.5));
        if (w.values[0] != 0.0) {
            EXPECT_DOUBLE_EQ(s.values[1], w.values[1] + 6.5);
            ++corrected;
        } else {
            EXPECT_EQ(s.values[1], 0.0);
            ++untouched;
        }
        EXPECT_EQ(s.values[3], w.values[3]) << "only the level slot moves";
    }
    EXPECT_GT(corrected, 0);
    EXPECT_GT(untouched, 0);
}

// After a power loss the file ends anywhere; readers keep every complete sample.
TEST(Recording, FileCutInsideASampleReadsUpToTheLastCompleteSample) {
    TempDir dir;
    std::string path = WriteTestFile(dir, 6);
    const auto bytes = ReadWholeFile(path);
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg));
    const std::size_t sampleSize = static_cast<std::size_t>(file.header.sampleFileSize);
    FileIO_CloseRead(ctx);
    const std::size_t descriptive = bytes.size() - 6 * sampleSize;
    for (std::size_t cut : {std::size_t{1}, std::size_t{99}, std::size_t{100}, std::size_t{524}, std::size_t{700},
                            sampleSize - 101, sampleSize - 1}) {
        auto part = bytes;
        part.resize(descriptive + 5 * sampleSize + cut);
        WriteWholeFile(path, part);
        std::int64_t skipped = -1;
        EXPECT_EQ(CountSamples(path, nullptr, &skipped), 5) << "cut " << cut << " bytes into the sixth sample";
        EXPECT_EQ(skipped, 0) << "a cut end is no damage";
    }
    auto part = bytes;
    part.resize(descriptive - 50);
    WriteWholeFile(path, part);
    EXPECT_EQ(CountSamples(path, &msg), -1);
    EXPECT_EQ(msg, "Could not read data");
}

// Counts and sizes in a header are checked against the file before anything is allocated.
TEST(Recording, HostileHeadersAreRefusedWithoutAllocating) {
    TempDir dir;
    auto writeHeader = [&](const char* name, const DtrHeader& h, const std::vector<DtrGraphDescriptor>& graphs) {
        std::string path = dir.file(name);
        FileContainer w;
        EXPECT_TRUE(FileIO_OpenWrite(path.c_str(), 10000, 180, w));
        EXPECT_TRUE(FileIO_WriteBlock(w, &h, kTagHeader, sizeof h));
        for (const auto& g : graphs) EXPECT_TRUE(FileIO_WriteBlock(w, &g, kTagGraphDescriptor, sizeof g));
        DriveTestSample s{};
        EXPECT_TRUE(FileIO_WriteBlock(w, &s, kTagSample, sizeof s));
        EXPECT_TRUE(FileIO_Close(w));
        return path;
    };
    const long before = MaxRssKb();
    std::string msg;

    DtrHeader huge{};
    huge.infoCount = 200000000;
    EXPECT_EQ(CountSamples(writeHeader("counts.dtr", huge, {}), &msg), -1);
    EXPECT_EQ(msg, "Could not read data");

    DtrHeader negative{};
    negative.valueCount = -3;
    EXPECT_EQ(CountSamples(writeHeader("negative.dtr", negative, {}), &msg), -1);
    EXPECT_EQ(msg, "Could not read data");

    DtrHeader mismatch{};
    mismatch.valueBlockSize = 1 << 30;  // no value descriptors to justify it
    EXPECT_EQ(CountSamples(writeHeader("mismatch.dtr", mismatch, {}), &msg), -1);
    EXPECT_EQ(msg, "Could not read data");

    // Consistent, but a single sample would need 2 GB: the short file cannot hold it.
    DtrGraphDescriptor g{};
    g.points = 536870000;
    DtrHeader big{};
    big.graphCount = 1;
    big.graphBlockSize = 4 * g.points + 4;
    big.sampleFileSize = big.graphBlockSize + kSampleBytes + 400;
    EXPECT_EQ(CountSamples(writeHeader("bigsample.dtr", big, {g}), &msg), 0);

    // Every size agrees with the descriptors but the size of a whole sample: refused like the others.
    big.sampleFileSize -= 1;
    EXPECT_EQ(CountSamples(writeHeader("samplesize.dtr", big, {g}), &msg), -1);
    EXPECT_EQ(msg, "Could not read data");

    EXPECT_LT(MaxRssKb() - before, 100 * 1024) << "memory must follow the file, not its claims";
}

// Random and mutated files never crash the reader; they are refused with one of its messages or read partly.
TEST(Recording, RandomAndMutatedFilesNeverCrashTheReader) {
    TempDir dir;
    const std::string good = WriteTestFile(dir, 3);
    const auto bytes = ReadWholeFile(good);
    std::mt19937 rng(12345);
    const std::vector<std::string> messages = {"Could not open file", "Incompatible file format", "Could not read data"};
    std::string path = dir.file("fuzz.dtr");
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> data;
        if (round < 100) {
            data.resize(rng() % 3000);
            for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        } else {
            data = bytes;
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips; ++f) data[rng() % data.size()] = static_cast<std::uint8_t>(rng());
            if (round % 3 == 0) data.resize(rng() % data.size());
        }
        WriteWholeFile(path, data);
        std::string msg;
        int n = CountSamples(path, &msg);
        if (n < 0) {
            bool known = msg.rfind("Version ", 0) == 0;
            for (const auto& m : messages) known = known || msg == m;
            EXPECT_TRUE(known) << msg;
        } else {
            EXPECT_LE(n, 3);
        }
    }
}

TEST(Recording, SampleListHelpers) {
    RecordFile file;
    Recording_InitFile(file);
    TestMeasurements m;
    Recording_RegisterMeasurements(file, m.values, m.graphs, m.items);
    RecordSample s;
    Recording_AllocSample(file, s);
    for (int k = 0; k < 4; ++k) {
        FillTestSample(file, s, k);
        ASSERT_TRUE(Recording_SampleListAppend(file, s));
    }
    s.values[1] = 999.0;
    EXPECT_NE(file.samples[3].values[1], 999.0) << "the list holds copies";
    Recording_SampleListRemove(file, 0);
    Recording_SampleListRemove(file, 5);
    ASSERT_EQ(file.samples.size(), 4u);
    Recording_SampleListRemove(file, 2);
    ASSERT_EQ(file.samples.size(), 3u);
    EXPECT_DOUBLE_EQ(file.samples[1].head.gps.latitude, 48.1 + 2e-4);
    RecordSample copy;
    Recording_CopySample(file, copy, file.samples[0]);
    EXPECT_TRUE(SamplesEqual(copy, file.samples[0]));
    Recording_FreeSample(copy);
    EXPECT_TRUE(copy.values.empty() && copy.graphs.empty() && copy.items.empty());
}

TEST(Recording, FileNameKeepsTheRecordInItsFolder) {
    LocalDateTime t{2026, 12, 6, 9, 5, 3};
    EXPECT_EQ(Recording_FileName(t, "Ch21"), "2026-12-06  09-05-03  Ch21.dtr");
    EXPECT_EQ(Recording_FileName(t, "../x/y"), "2026-12-06  09-05-03  .._x_y.dtr");
}

// One damaged sample is not the end of the file: the reader steps over it,
// counts it, and delivers every other sample unchanged and in order.
TEST(Recording, DamagedSamplesAreSkippedAndCounted) {
    TempDir dir;
    std::vector<RecordSample> written;
    const std::string path = WriteTestFile(dir, 50, {}, false, &written);
    const auto good = ReadWholeFile(path);
    FileContainer ctx;
    RecordFile file;
    std::string msg;
    ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg));
    const std::size_t size = static_cast<std::size_t>(file.header.sampleFileSize);
    const std::size_t first = static_cast<std::size_t>(ctx.nextHeaderOffset);
    FileIO_CloseRead(ctx);
    ASSERT_EQ(first + 50 * size, good.size());
    // Offsets inside a sample: block 15 header, its payload, block 16 header, block 17 payload, block 18 header.
    const std::size_t b16 = 100 + kSampleBytes, b17 = b16 + 100 + 48, b18 = b17 + 100 + 2008;
    auto at = [&](int sample, std::size_t offset) { return first + static_cast<std::size_t>(sample - 1) * size + offset; };
    using Bytes = std::vector<std::uint8_t>;
    struct Row {
        const char* what;
        std::function<void(Bytes&)> damage;
        std::vector<int> lost;  // 1-based samples not delivered
        std::int64_t skipped;
    } const rows[] = {
        {"a status byte of sample 21", [&](Bytes& b) { b[at(21, 100 + 5)] ^= 0x04; }, {21}, 1},
        {"a trace point of sample 21", [&](Bytes& b) { b[at(21, b17 + 100 + 999)] ^= 0x01; }, {21}, 1},
        {"the checksum of sample 21's read-outs", [&](Bytes& b) { b[at(21, b18 + 16)] ^= 0x80; }, {21}, 1},
        {"the tag of sample 21's first block", [&](Bytes& b) { b[at(21, 8)] ^= 0x01; }, {21}, 1},
        {"the length of sample 21's values", [&](Bytes& b) { b[at(21, b16 + 12)] ^= 0x20; }, {21}, 1},
        {"the sign of sample 21's first length", [&](Bytes& b) { b[at(21, 15)] ^= 0x80; }, {21}, 1},
        {"ten bytes lost inside sample 21", [&](Bytes& b) { b.erase(b.begin() + at(21, 700), b.begin() + at(21, 710)); }, {21}, 1},
        {"ten bytes too many inside sample 21", [&](Bytes& b) { b.insert(b.begin() + at(21, 700), 10, 0x55); }, {21}, 1},
        {"zeros over samples 21 to 23", [&](Bytes& b) { std::fill(b.begin() + at(21, 0), b.begin() + at(24, 0), 0); }, {21, 22, 23}, 3},
        {"zeros from inside 21 to inside 23", [&](Bytes& b) { std::fill(b.begin() + at(21, 300), b.begin() + at(23, 900), 0); }, {21, 22, 23}, 3},
        {"samples 1 and 40", [&](Bytes& b) { b[at(1, 200)] ^= 1; b[at(40, b16 + 4)] ^= 1; }, {1, 40}, 2},
        {"the last sample", [&](Bytes& b) { b[at(50, 150)] ^= 1; }, {50}, 1},
        {"the last sample's last header", [&](Bytes& b) { b[at(50, b18 + 8)] ^= 1; }, {50}, 1},
        {"sample 49, then a cut inside 50", [&](Bytes& b) { b[at(49, 150)] ^= 1; b.resize(at(50, 900)); }, {49, 50}, 1},
        {"garbage over the last two samples", [&](Bytes& b) { for (std::size_t i = at(49, 0); i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 31); }, {49, 50}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Bytes bytes = good;
        row.damage(bytes);
        WriteWholeFile(path, bytes);
        ASSERT_TRUE(Recording_OpenFile(ctx, file, path.c_str(), msg));
        RecordSample s;
        std::size_t next = 0;  // index into written
        int delivered = 0;
        while (Recording_ReadSample(ctx, file, s)) {
            while (next < written.size() &&
                   std::find(row.lost.begin(), row.lost.end(), static_cast<int>(next) + 1) != row.lost.end())
                ++next;
            ASSERT_LT(next, written.size());
            EXPECT_TRUE(SamplesEqual(s, written[next])) << "sample " << next + 1;
            ++next;
            ++delivered;
        }
        EXPECT_EQ(delivered, 50 - static_cast<int>(row.lost.size()));
        EXPECT_EQ(file.skippedSamples, row.skipped);
        FileIO_CloseRead(ctx);
    }
}

// A file whose header claims another size of sample than its descriptors make is refused.
TEST(Recording, SampleFileSizeMustAgreeWithTheDescriptors) {
    TempDir dir;
    const std::string path = WriteTestFile(dir, 2);
    for (int delta : {-1, 1, 400}) {
        auto bytes = ReadWholeFile(path);
        DtrHeader h;
        std::memcpy(&h, bytes.data() + 100, sizeof h);
        h.sampleFileSize += delta;
        std::uint8_t header[kBlockHeaderBytes];
        FileIO_MakeBlockHeader(&h, sizeof h, 1, kRecordVersionWritten, kTagHeader, header);
        std::memcpy(bytes.data(), header, sizeof header);
        std::memcpy(bytes.data() + 100, &h, sizeof h);
        const std::string changed = dir.file("changed.dtr");
        WriteWholeFile(changed, bytes);
        std::string msg;
        EXPECT_EQ(CountSamples(changed, &msg), -1) << delta;
        EXPECT_EQ(msg, "Could not read data");
    }
}
