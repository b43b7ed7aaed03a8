#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "antenna/antenna.h"
#include "platform/text.h"
#include "records/fileio.h"
#include "support/testsupport.h"

namespace {

struct Block {
    std::int32_t tag;
    std::vector<std::uint8_t> payload;
};

std::vector<std::uint8_t> TypeBlock(std::string_view name) {
    std::vector<std::uint8_t> b(kAntennaTypeBlockBytes, 0);
    std::memcpy(b.data(), name.data(), std::min<std::size_t>(name.size(), 100));
    return b;
}

std::vector<std::uint8_t> PointBlock(double f, double k) {
    std::vector<std::uint8_t> b(kKFactorPointBlockBytes);
    for (int i = 0; i < 8; ++i) {
        b[i] = static_cast<std::uint8_t>(std::bit_cast<std::uint64_t>(f) >> (8 * i));
        b[8 + i] = static_cast<std::uint8_t>(std::bit_cast<std::uint64_t>(k) >> (8 * i));
    }
    return b;
}

void WriteBlocks(const std::string& path, std::int32_t version, const std::vector<Block>& blocks) {
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenWrite(path.c_str(), 1000, version, ctx));
    for (const Block& b : blocks)
        ASSERT_TRUE(FileIO_WriteBlock(ctx, b.payload.data(), b.tag, static_cast<std::int32_t>(b.payload.size())));
    ASSERT_TRUE(FileIO_Close(ctx));
}

std::vector<std::string> Names(const AntennaList& list) {
    std::vector<std::string> names;
    for (const AntennaType& a : list.antennas()) names.emplace_back(Text_View(a.name));
    return names;
}

// Dipole with one point, Log-periodic with three, Yagi without points.
AntennaList SampleList() {
    AntennaList list;
    for (const char* name : {"Yagi \xB5", "Dipole", "Log-periodic"}) EXPECT_EQ(list.addAntenna(name), AntennaEdit::Ok);
    EXPECT_EQ(list.addPoint(1, {470.0, 17.25}), AntennaEdit::Ok);
    for (KFactorPoint p : {KFactorPoint{47.0, 6.125}, {174.0, -0.1}, {1000.0, 30.0}})
        EXPECT_EQ(list.addPoint(2, p), AntennaEdit::Ok);
    return list;
}

constexpr std::size_t kTypeBlockInFile = kBlockHeaderBytes + kAntennaTypeBlockBytes;    // 204
constexpr std::size_t kPointBlockInFile = kBlockHeaderBytes + kKFactorPointBlockBytes;  // 116

}  // namespace

TEST(AntennaFile, SaveAndLoadRoundTrip) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    const AntennaList saved = SampleList();
    ASSERT_TRUE(AntennaList_Save(saved, path));
    EXPECT_FALSE(FileExists(path + ".tmp"));

    // Layout: blocks in list order, version 70, reserved bytes zero, doubles little-endian.
    const auto bytes = ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), 3 * kTypeBlockInFile + 4 * kPointBlockInFile);
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 1000, ctx));
    EXPECT_EQ(ctx.version, 70);
    EXPECT_EQ(ctx.nextTag, 30);
    EXPECT_EQ(ctx.nextLength, 104);
    FileIO_CloseRead(ctx);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[100])), "Dipole");
    for (int i = 100; i < 104; ++i) EXPECT_EQ(bytes[100 + i], 0);
    const auto point = PointBlock(470.0, 17.25);
    EXPECT_TRUE(std::equal(point.begin(), point.end(), bytes.begin() + kTypeBlockInFile + kBlockHeaderBytes));

    AntennaList loaded;
    AntennaLoadReport report;
    ASSERT_TRUE(AntennaList_Load(path, loaded, &report));
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.droppedAntennas + report.droppedPoints, 0);
    ASSERT_EQ(Names(loaded), Names(saved));
    for (int i = 1; i <= saved.count(); ++i) {
        const auto& a = saved.antenna(i)->kFactors;
        const auto& b = loaded.antenna(i)->kFactors;
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k].frequency, b[k].frequency);
            EXPECT_EQ(a[k].kFactor, b[k].kFactor);
        }
    }
    const auto rows = Antenna_TableRows(loaded);
    EXPECT_EQ(rows[2].name, "Yagi \xB5");
    EXPECT_EQ(rows[2].firstFrequency, "---");  // saved without points
    EXPECT_EQ(rows[1].lastFrequency, "1000.000000");

    ASSERT_TRUE(AntennaList_Save(AntennaList{}, path));  // an empty list leaves an empty file
    EXPECT_EQ(ReadWholeFile(path).size(), 0u);
    AntennaList_Load(path, loaded);
    EXPECT_EQ(loaded.count(), 0);
}

TEST(AntennaFile, MissingForeignAndTooNewFilesLoadNothing) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    AntennaList list = SampleList();
    EXPECT_FALSE(AntennaList_Load(path, list));
    EXPECT_EQ(list.count(), 0);

    WriteBlocks(path, 321, {{30, TypeBlock("A")}});
    EXPECT_FALSE(AntennaList_Load(path, list));
    EXPECT_EQ(list.count(), 0);
    WriteBlocks(path, 320, {{30, TypeBlock("A")}});
    EXPECT_TRUE(AntennaList_Load(path, list));
    EXPECT_EQ(list.count(), 1);

    // A basic.ini is a good block file of another kind.
    WriteBlocks(path, 70, {{0, std::vector<std::uint8_t>(800, 1)}});
    AntennaLoadReport report;
    EXPECT_TRUE(AntennaList_Load(path, list, &report));
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(report.complete);

    WriteWholeFile(path, std::vector<std::uint8_t>(500, 0x5A));  // not a block file at all
    EXPECT_FALSE(AntennaList_Load(path, list));
    EXPECT_EQ(list.count(), 0);
}

TEST(AntennaFile, PointBlockBeforeAnyAntennaLoadsNothing) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    WriteBlocks(path, 70, {{31, PointBlock(100, 1)}, {30, TypeBlock("A")}, {31, PointBlock(200, 2)}});
    AntennaList list;
    EXPECT_TRUE(AntennaList_Load(path, list));
    EXPECT_EQ(list.count(), 0);
}

TEST(AntennaFile, DamageKeepsTheAntennasReadBefore) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    ASSERT_TRUE(AntennaList_Save(SampleList(), path));  // Dipole, Log-periodic (3 points), Yagi
    const auto good = ReadWholeFile(path);
    const std::size_t logStart = kTypeBlockInFile + kPointBlockInFile;
    const std::size_t yagiStart = logStart + kTypeBlockInFile + 3 * kPointBlockInFile;

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::vector<std::string> names;
    };
    std::vector<Case> cases;
    auto flipped = [&](std::size_t at) {
        auto b = good;
        b[at] ^= 0x01;
        return b;
    };
    auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(good.begin(), good.begin() + size); };
    cases.push_back({"name byte of the second antenna", flipped(logStart + 100 + 3), {"Dipole"}});
    cases.push_back({"K-factor of its second point",
                     flipped(logStart + kTypeBlockInFile + kPointBlockInFile + 100 + 12), {"Dipole"}});
    cases.push_back({"cut inside its last point", cut(yagiStart - 5), {"Dipole"}});
    cases.push_back({"cut inside the last antenna block", cut(yagiStart + 150), {"Dipole", "Log-periodic"}});
    cases.push_back({"checksum of the last header", flipped(yagiStart + 16), {"Dipole", "Log-periodic"}});
    auto trailing = good;
    trailing.insert(trailing.end(), 300, 0x11);  // garbage appended after the last block
    cases.push_back({"garbage after the end", trailing, {"Dipole", "Log-periodic", "Yagi \xB5"}});

    for (const Case& c : cases) {
        WriteWholeFile(path, c.bytes);
        AntennaList list;
        AntennaLoadReport report;
        EXPECT_TRUE(AntennaList_Load(path, list, &report)) << c.what;
        EXPECT_EQ(Names(list), c.names) << c.what;
        EXPECT_FALSE(report.complete) << c.what;
    }
}

TEST(AntennaFile, HostileContentIsRepairedOrDropped) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    const double nan = std::nan("");
    std::vector<Block> blocks = {
        {30, TypeBlock("b")},  // out of order: the list is sorted on loading
        {31, PointBlock(200, 2)}, {31, PointBlock(100, 1)}, {31, PointBlock(100, 9)},
        {31, PointBlock(nan, 3)}, {31, PointBlock(300, INFINITY)}, {31, PointBlock(300, 3)},
        {30, TypeBlock("a/b")},  // not a valid name: dropped with its points
        {31, PointBlock(100, 1)},
        {30, TypeBlock("b")},  // repeated name: the first stays
        {31, PointBlock(50, 5)},
        {30, TypeBlock(std::string(100, 'N'))},  // no terminator in the field
        {30, TypeBlock("Many")},
    };
    for (int i = 0; i < 650; ++i) blocks.push_back({31, PointBlock(1000.0 - i, i)});
    blocks.push_back({30, TypeBlock("A")});
    WriteBlocks(path, 70, blocks);

    AntennaList list;
    AntennaLoadReport report;
    ASSERT_TRUE(AntennaList_Load(path, list, &report));
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "Many", "b"}));
    EXPECT_EQ(report.droppedAntennas, 3);
    EXPECT_EQ(report.droppedPoints, 3 + 50);

    const auto& b = list.antenna(3)->kFactors;
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0].frequency, 100.0);
    EXPECT_EQ(b[0].kFactor, 1.0);  // the first of two equal frequencies wins
    EXPECT_EQ(b[1].frequency, 200.0);
    EXPECT_EQ(b[2].kFactor, 3.0);
    const auto& many = list.antenna(2)->kFactors;
    ASSERT_EQ(many.size(), 600u);  // the 600 lowest frequencies
    EXPECT_EQ(many.front().frequency, 351.0);
    EXPECT_EQ(many.back().frequency, 950.0);
}

TEST(AntennaFile, PointBlockOfWrongSizeEndsTheList) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    WriteBlocks(path, 70,
                {{30, TypeBlock("A")}, {31, PointBlock(1, 1)}, {30, TypeBlock("B")}, {31, PointBlock(1, 1)},
                 {31, std::vector<std::uint8_t>(17, 0)}, {30, TypeBlock("C")}});
    AntennaList list;
    AntennaLoadReport report;
    ASSERT_TRUE(AntennaList_Load(path, list, &report));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A"}));  // B's table is incomplete
    EXPECT_EQ(report.droppedAntennas, 1);
    EXPECT_FALSE(report.complete);
}

// A save that fails at any stage leaves the previous file as it was. (The old
// behaviour truncated antennas.ini first and left a partial file behind.)
TEST(AntennaFile, FailedSaveKeepsThePreviousFile) {
    TempDir dir;
    const std::string path = dir.file("antennas.ini");
    ASSERT_TRUE(AntennaList_Save(SampleList(), path));
    const auto before = ReadWholeFile(path);
    AntennaList bigger = SampleList();
    for (int i = 0; i < 600; ++i) ASSERT_EQ(bigger.addPoint(3, {1.0 + i, 0.5}), AntennaEdit::Ok);

    // The temporary file cannot be created.
    std::filesystem::create_directory(path + ".tmp");
    EXPECT_FALSE(AntennaList_Save(bigger, path));
    EXPECT_EQ(ReadWholeFile(path), before);
    std::filesystem::remove(path + ".tmp");

    // Every write fails (the temporary file leads to a full device).
    if (FileExists("/dev/full")) {
        ASSERT_EQ(symlink("/dev/full", (path + ".tmp").c_str()), 0);
        EXPECT_FALSE(AntennaList_Save(bigger, path));
        EXPECT_EQ(ReadWholeFile(path), before);
        std::filesystem::remove(path + ".tmp");
    }

    // The destination cannot be replaced.
    const std::string blocked = dir.file("blocked");
    std::filesystem::create_directories(blocked + "/inside");
    EXPECT_FALSE(AntennaList_Save(bigger, blocked));
    EXPECT_TRUE(std::filesystem::is_directory(blocked + "/inside"));
    EXPECT_FALSE(FileExists(blocked + ".tmp"));
}
