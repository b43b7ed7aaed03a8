#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "drivetest/signalsfile.h"
#include "records/fileio.h"
#include "support/testsupport.h"

namespace {

const std::vector<std::string> kTitles = {"Description", "Frequency [MHz]", "Bandwidth [MHz]", "PLP ID"};

// Writes raw pairs as a foreign or damaged program might have.
void WritePairs(const std::string& path, std::int32_t version, const std::vector<std::vector<std::uint8_t>>& pairs) {
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenWrite(path.c_str(), kSignalsFileBufferBytes, version, ctx));
    for (const auto& pair : pairs) ASSERT_TRUE(FileIO_WriteBlock(ctx, pair.data(), kSignalsTagPair, kSignalsPairBytes));
    ASSERT_TRUE(FileIO_Close(ctx));
}

std::vector<std::uint8_t> Pair(const std::string& name, const std::string& value) {
    std::vector<std::uint8_t> pair(kSignalsPairBytes);
    SignalsFile_MakePair(name, value, pair.data());
    return pair;
}

}  // namespace

TEST(SignalsFile, NamesTheFileByFamilyAndStandard) {
    EXPECT_EQ(SignalsFile_Path("/data", "q", "u"), "/data/signals.squ");
}

TEST(SignalsFile, PairsHaveTheStoredLayoutAndReadBack) {
    TempDir dir;
    const std::string path = SignalsFile_Path(dir.path(), "q", "u");
    const std::vector<std::vector<std::string>> entries = {{"Ch21", "0474.000000", "8", "0"},
                                                           {"Ch\xB5", "0482.000000", "7", "1"}};
    ASSERT_TRUE(SignalsFile_Write(path, kTitles, entries));
    EXPECT_FALSE(FileExists(path + ".tmp"));

    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), kSignalsFileBufferBytes, ctx));
    EXPECT_EQ(ctx.version, 80);
    std::uint8_t pair[kSignalsPairBytes];
    ASSERT_TRUE(FileIO_ReadBlock(ctx, pair, 1, 200));
    std::uint8_t expected[kSignalsPairBytes] = {};
    std::memcpy(expected, "Description", 11);
    std::memcpy(expected + 100, "Ch21", 4);
    EXPECT_EQ(0, std::memcmp(pair, expected, sizeof expected)) << "NUL-terminated and zero-filled";
    ASSERT_TRUE(FileIO_ReadBlock(ctx, pair, 1, 200));
    EXPECT_STREQ(reinterpret_cast<char*>(pair), "Frequency [MHz]");
    EXPECT_STREQ(reinterpret_cast<char*>(pair + 100), "0474.000000");
    FileIO_CloseRead(ctx);
    EXPECT_EQ(ReadWholeFile(path).size(), 8u * (100 + 200));

    std::vector<std::vector<std::string>> back;
    ASSERT_TRUE(SignalsFile_Read(path, kTitles, back));
    EXPECT_EQ(back, entries) << "Latin-1 bytes pass unchanged";
}

TEST(SignalsFile, HostileAndForeignFiles) {
    TempDir dir;
    const std::string path = dir.file("signals.sqt");
    std::vector<std::vector<std::string>> entries = {{"stale"}};

    EXPECT_FALSE(SignalsFile_Read(path, kTitles, entries)) << "missing";
    EXPECT_TRUE(entries.empty());

    WritePairs(path, 321, {Pair("Description", "Ch21")});
    EXPECT_FALSE(SignalsFile_Read(path, kTitles, entries)) << "a version above 320 is not read";
    EXPECT_TRUE(entries.empty());

    WritePairs(path, 320, {Pair("Frequency [MHz]", "0100.000000"),  // before any entry: ignored
                           Pair("Description", "Ch21"), Pair("Symbol rate", "6900"),  // unknown column
                           Pair("PLP ID", "3"), Pair("Frequency [MHz]", "0474.000000"),  // any order
                           Pair("Description", "Ch22")});
    ASSERT_TRUE(SignalsFile_Read(path, kTitles, entries));
    EXPECT_EQ(entries, (std::vector<std::vector<std::string>>{{"Ch21", "0474.000000", "", "3"}, {"Ch22", "", "", ""}}));

    // Name and value without their terminating NUL: read as 100 bytes, nothing more.
    std::vector<std::uint8_t> unterminated(kSignalsPairBytes, 'x');
    std::memcpy(unterminated.data(), "Description", 11);
    std::memset(unterminated.data() + 11, 0, 1);
    std::vector<std::uint8_t> longName(kSignalsPairBytes, 'y');
    WritePairs(path, 80, {unterminated, longName});
    ASSERT_TRUE(SignalsFile_Read(path, kTitles, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0][0], std::string(100, 'x'));
}

TEST(SignalsFile, ReadingStopsAtDamageAndAtTheCap) {
    TempDir dir;
    const std::string path = dir.file("signals.sqt");
    std::vector<std::vector<std::uint8_t>> pairs;
    for (int i = 0; i < 5; ++i) pairs.push_back(Pair("Description", "Ch" + std::to_string(i)));
    WritePairs(path, 80, pairs);

    std::vector<std::vector<std::string>> entries;
    ASSERT_TRUE(SignalsFile_Read(path, kTitles, entries, 3));
    ASSERT_EQ(entries.size(), 3u) << "no more entries than the cap";
    EXPECT_EQ(entries[2][0], "Ch2");

    auto bytes = ReadWholeFile(path);
    bytes[3 * 300 + 100 + 102] ^= 0x01;  // inside the value of the fourth pair
    WriteWholeFile(path, bytes);
    ASSERT_TRUE(SignalsFile_Read(path, kTitles, entries));
    EXPECT_EQ(entries.size(), 3u) << "the entries before the damaged block are kept";
}

TEST(SignalsFile, AFailedWriteKeepsThePreviousFile) {
    TempDir dir;
    const std::string path = dir.file("signals.sqt");
    ASSERT_TRUE(SignalsFile_Write(path, kTitles, {{"Ch21", "0474.000000", "8", "0"}}));
    const auto before = ReadWholeFile(path);
    ASSERT_EQ(::mkdir((path + ".tmp").c_str(), 0700), 0);  // the temporary cannot be created
    EXPECT_FALSE(SignalsFile_Write(path, kTitles, {}));
    EXPECT_EQ(ReadWholeFile(path), before);
}
