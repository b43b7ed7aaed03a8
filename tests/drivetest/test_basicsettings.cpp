// basic.ini: the 800-byte block as another reader of the block format sees
// it, and every way a stored file can be unusable.
#include <gtest/gtest.h>

#include <cstring>

#include "drivetest/basicsettings.h"
#include "records/fileio.h"
#include "support/testsupport.h"

namespace {

BasicSettings Sample(const std::string& directory) {
    return {"DVB-T2", "dB\xB5V/m", "miles [mi]", directory};
}

TEST(BasicSettings, RoundTripIsOneBlockOfTag0WithFixedFields) {
    TempDir dir;
    const std::string path = dir.file("basic.ini");
    ASSERT_TRUE(BasicSettings_Save(path, Sample("/data/drive tests")));
    // Read back with the plain block reader: version 70, one block of 800 bytes.
    FileContainer ctx;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 10000, ctx));
    EXPECT_EQ(ctx.version, 70);
    std::uint8_t block[800];
    ASSERT_TRUE(FileIO_ReadBlock(ctx, block, 0, 800));
    EXPECT_FALSE(FileIO_ReadBlock(ctx, block, 0, 800));
    FileIO_CloseRead(ctx);
    EXPECT_STREQ(reinterpret_cast<char*>(block), "DVB-T2");
    EXPECT_STREQ(reinterpret_cast<char*>(block + 100), "dB\xB5V/m");
    EXPECT_STREQ(reinterpret_cast<char*>(block + 200), "miles [mi]");
    EXPECT_STREQ(reinterpret_cast<char*>(block + 300), "/data/drive tests");
    for (int i = 300 + 17; i < 800; ++i) ASSERT_EQ(block[i], 0) << i;
    BasicSettings back;
    ASSERT_TRUE(BasicSettings_Load(path, back));
    EXPECT_EQ(back.levelUnit, "dB\xB5V/m");
    EXPECT_EQ(back.outputDirectory, "/data/drive tests");
}

TEST(BasicSettings, UnusableFilesLeaveTheSettingsUntouched) {
    TempDir dir;
    const BasicSettings before = Sample("/keep");
    auto refused = [&](const std::string& path) {
        BasicSettings s = before;
        const bool loaded = BasicSettings_Load(path, s);
        return !loaded && s.standard == before.standard && s.outputDirectory == before.outputDirectory;
    };
    EXPECT_TRUE(refused(dir.file("missing.ini")));

    // Newer than the program: refused.
    FileContainer w;
    BasicSettingsBlock block = BasicSettings_ToBlock(Sample("/x"));
    ASSERT_TRUE(FileIO_OpenWrite(dir.file("new.ini").c_str(), 10000, 321, w));
    ASSERT_TRUE(FileIO_WriteBlock(w, &block, 0, 800));
    ASSERT_TRUE(FileIO_Close(w));
    EXPECT_TRUE(refused(dir.file("new.ini")));

    // A block of another length or tag.
    ASSERT_TRUE(FileIO_OpenWrite(dir.file("short.ini").c_str(), 10000, 70, w));
    ASSERT_TRUE(FileIO_WriteBlock(w, &block, 0, 700));
    ASSERT_TRUE(FileIO_Close(w));
    EXPECT_TRUE(refused(dir.file("short.ini")));

    // A flipped byte in the payload.
    ASSERT_TRUE(BasicSettings_Save(dir.file("bad.ini"), Sample("/x")));
    auto bytes = ReadWholeFile(dir.file("bad.ini"));
    bytes[100 + 5] ^= 0x20;
    WriteWholeFile(dir.file("bad.ini"), bytes);
    EXPECT_TRUE(refused(dir.file("bad.ini")));
}

TEST(BasicSettings, FieldsWithoutTheirEndAreCutAtTheirSize) {
    BasicSettingsBlock block;
    std::memset(&block, 'A', sizeof block);
    const BasicSettings s = BasicSettings_FromBlock(block);
    EXPECT_EQ(s.standard.size(), 100u);
    EXPECT_EQ(s.outputDirectory.size(), 500u);
    // A text longer than its field is stored cut, with its end.
    BasicSettings longText = Sample(std::string(600, 'd'));
    const BasicSettingsBlock stored = BasicSettings_ToBlock(longText);
    EXPECT_EQ(std::strlen(stored.outputDirectory), 499u);
}

}  // namespace
