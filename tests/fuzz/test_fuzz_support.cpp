// The block repair the fuzz targets rely on, and the seed corpora: a repair
// that missed blocks, or seeds the readers refuse, would leave the fuzzer
// knocking at the block checks instead of reaching the parsers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "antenna/antenna.h"
#include "drivetest/basicsettings.h"
#include "drivetest/signalsfile.h"
#include "export/kmz/profiles.h"
#include "fuzz_common.h"
#include "records/recording.h"
#include "selection/fsini.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Two blocks: tag 3 of 40 bytes, tag 4 of 7 bytes.
std::vector<std::uint8_t> TwoBlocks() {
    const std::string path = fuzz::Fuzz_Directory() + "/two.bin";
    FileContainer ctx;
    EXPECT_TRUE(FileIO_OpenWrite(path.c_str(), 1000, 210, ctx));
    std::uint8_t a[40], b[7];
    for (int i = 0; i < 40; ++i) a[i] = static_cast<std::uint8_t>(i * 7);
    for (int i = 0; i < 7; ++i) b[i] = static_cast<std::uint8_t>(200 + i);
    EXPECT_TRUE(FileIO_WriteBlock(ctx, a, 3, sizeof a));
    EXPECT_TRUE(FileIO_WriteBlock(ctx, b, 4, sizeof b));
    EXPECT_TRUE(FileIO_Close(ctx));
    auto bytes = ReadBytes(path);
    fuzz::Fuzz_Remove(path);
    return bytes;
}

// How each block of the bytes reads: Ok, Damaged or Unexpected per expected (tag, length).
std::vector<FileBlockStatus> ReadBack(const std::vector<std::uint8_t>& bytes,
                                      const std::vector<std::pair<int, int>>& blocks) {
    const std::string path = fuzz::Fuzz_WriteFile("back.bin", bytes.data(), bytes.size());
    FileContainer ctx;
    std::vector<FileBlockStatus> result;
    if (!FileIO_OpenRead(path.c_str(), 1000, ctx)) return result;
    for (const auto& [tag, length] : blocks) {
        std::vector<std::uint8_t> payload(static_cast<std::size_t>(length));
        result.push_back(FileIO_TryReadBlock(ctx, payload.data(), tag, length));
    }
    FileIO_CloseRead(ctx);
    return result;
}

using S = FileBlockStatus;

TEST(FuzzSupport, RepairMakesMutatedBlocksReadAsIntact) {
    const auto intact = TwoBlocks();
    ASSERT_EQ(intact.size(), 100u + 40 + 100 + 7);
    ASSERT_EQ(ReadBack(intact, {{3, 40}, {4, 7}}), (std::vector<S>{S::Ok, S::Ok}));

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> mutate;
        std::vector<std::pair<int, int>> blocks;
        std::vector<S> beforeRepair;
        std::vector<S> afterRepair;
    } cases[] = {
        {"payload byte of the first block", [](auto& b) { b[100 + 5] ^= 0x5A; }, {{3, 40}, {4, 7}},
         {S::Damaged, S::Ok}, {S::Ok, S::Ok}},
        {"payload byte of the last block", [](auto& b) { b.back() ^= 1; }, {{3, 40}, {4, 7}},
         {S::Ok, S::Damaged}, {S::Ok, S::Ok}},
        {"tag of the second header", [](auto& b) { b[140 + 8] = 9; }, {{3, 40}, {9, 7}},
         {S::Ok, S::Damaged}, {S::Ok, S::Ok}},
        {"second length past the end: only the first is repaired",
         [](auto& b) { b[100 + 1] ^= 1; b[140 + 12] = 200; }, {{3, 40}, {4, 7}},
         {S::Damaged, S::Unexpected}, {S::Ok, S::Unexpected}},
        {"negative first length: nothing is repaired",
         [](auto& b) { b[100 + 1] ^= 1; b[15] = 0x80; }, {{3, 40}}, {S::Unexpected}, {S::Unexpected}},
    };
    for (const Case& c : cases) {
        auto bytes = intact;
        c.mutate(bytes);
        EXPECT_EQ(ReadBack(bytes, c.blocks), c.beforeRepair) << c.what;
        fuzz::Fuzz_RepairBlocks(bytes);
        EXPECT_EQ(ReadBack(bytes, c.blocks), c.afterRepair) << c.what;
    }
}

TEST(FuzzSupport, RepairLeavesBytesShorterThanAHeaderAlone) {
    for (std::size_t n : {0u, 1u, 99u}) {
        std::vector<std::uint8_t> bytes(n, 0x11);
        fuzz::Fuzz_RepairBlocks(bytes);
        EXPECT_EQ(bytes, std::vector<std::uint8_t>(n, 0x11)) << n;
    }
}

TEST(FuzzSupport, InputFileIsReusedInTheScratchDirectory) {
    const std::uint8_t first[] = {1, 2, 3}, second[] = {9};
    const std::string a = fuzz::Fuzz_WriteFile("input", first, sizeof first);
    const std::string b = fuzz::Fuzz_WriteFile("input", second, sizeof second);
    EXPECT_EQ(a, b);
    EXPECT_EQ(fs::path(a).parent_path(), fs::path(fuzz::Fuzz_Directory()));
    EXPECT_EQ(ReadBytes(b), std::vector<std::uint8_t>{9}) << "the earlier input is replaced, not appended to";
    fuzz::Fuzz_Remove(b);
}

// Every seed of a settings or record target is accepted by its reader.
TEST(FuzzSupport, SeedsAreReadByTheirReaders) {
    const fs::path corpus = fs::path(FIELDTRACE_SOURCE_DIR) / "tests/fuzz/corpus";
    const std::vector<std::string> titles = {"Description", "Frequency [MHz]", "Bandwidth", "Input"};
    const std::vector<std::pair<std::string, std::function<bool(const std::string&)>>> readers = {
        {"basic_ini", [](const std::string& p) { BasicSettings s; return BasicSettings_Load(p, s); }},
        {"signals", [&](const std::string& p) {
             std::vector<std::vector<std::string>> e;
             return SignalsFile_Read(p, titles, e) && !e.empty();
         }},
        {"antennas_ini", [](const std::string& p) { AntennaList l; return AntennaList_Load(p, l) && l.count() > 0; }},
        {"cad_ini", [](const std::string& p) { std::vector<ProfileMemoryPair> m; return KmzProfile_ReadMemory(p, m); }},
        {"cas", [](const std::string& p) { ColorProfile c; return ColorProfile_Read(p, c); }},
        {"fs_ini", [](const std::string& p) {
             const auto bytes = ReadBytes(p);
             fuzz::Fuzz_WriteFile(kFsIniName, bytes.data(), bytes.size());
             std::string d;
             return FileSelection_LoadDirectory(fuzz::Fuzz_Directory(), d) && !d.empty();
         }},
        {"record", [](const std::string& p) {
             FileContainer ctx;
             RecordFile file;
             std::string message;
             if (!Recording_OpenFile(ctx, file, p.c_str(), message)) return false;
             RecordSample sample;
             int samples = 0;
             while (Recording_ReadSample(ctx, file, sample)) ++samples;
             FileIO_CloseRead(ctx);
             return samples > 0 && file.skippedSamples == 0;
         }},
    };
    for (const auto& [target, read] : readers) {
        int seeds = 0;
        for (const auto& entry : fs::directory_iterator(corpus / target)) {
            if (entry.path().filename().string().rfind("finding-", 0) == 0) continue;  // reproducers may be refused
            EXPECT_TRUE(read(entry.path().string())) << entry.path();
            ++seeds;
        }
        EXPECT_GE(seeds, 1) << target;
    }
}

}  // namespace
