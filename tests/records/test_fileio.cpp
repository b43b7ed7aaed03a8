#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "records/fileio.h"
#include "support/testsupport.h"

namespace {

std::vector<std::uint8_t> Payload(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> p(n);
    for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>((i * 131 + seed * 7 + (i >> 3)) & 0xFF);
    return p;
}

std::int32_t Int32At(const std::vector<std::uint8_t>& b, std::size_t off) {
    std::int32_t v;
    std::memcpy(&v, b.data() + off, 4);
    return v;
}

// Writes blocks (tag, payload) with version 180; returns the offset of each block's header.
std::vector<std::int64_t> WriteBlocks(const std::string& path,
                                      const std::vector<std::pair<std::int32_t, std::vector<std::uint8_t>>>& blocks) {
    std::vector<std::int64_t> offsets;
    FileContainer w;
    EXPECT_TRUE(FileIO_OpenWrite(path.c_str(), 10000, 180, w));
    std::int64_t at = 0;
    for (const auto& [tag, payload] : blocks) {
        offsets.push_back(at);
        EXPECT_TRUE(FileIO_WriteBlock(w, payload.data(), tag, static_cast<std::int32_t>(payload.size())));
        at += kBlockHeaderBytes + static_cast<std::int64_t>(payload.size());
    }
    EXPECT_TRUE(FileIO_Close(w));
    return offsets;
}

}  // namespace

// The fingerprint must follow the 32-bit Windows C runtime's rand sequence so
// that files are exchangeable: seeded with 1 it draws 41, 18467, 6334, 26500, 19169.
TEST(FileIO, FingerprintFollowsWindowsRandSequence) {
    std::vector<std::uint8_t> payload(256);
    for (int i = 0; i < 256; ++i) payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    // Signed byte sum of 0..255 is -128; with format 1, version 0, tag -128 and
    // length 256 the checksum, and so the seed, is 1.
    std::uint8_t header[kBlockHeaderBytes];
    FileIO_MakeBlockHeader(payload.data(), 256, 1, 0, -128, header);
    std::int32_t checksum;
    std::memcpy(&checksum, header + 16, 4);
    EXPECT_EQ(checksum, 1);
    const int draws[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(header[20 + i], draws[i] % 256) << "draw " << i;
}

// The header written by the fast path (vectorised byte sum, division-free
// modulo) equals the plain rule for payloads of every length class: shorter
// than the sum's chunks, cut chunks, many chunks, bytes on both sides of 0x80,
// and lengths where the positions wrap many times or hardly at all.
TEST(FileIO, HeaderMatchesThePlainRuleForEveryLengthClass) {
    std::uint32_t state = 12345;
    std::vector<std::uint8_t> payload(70001);
    for (auto& b : payload) b = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 23);
    for (std::int32_t length : {1, 2, 3, 63, 64, 65, 127, 128, 129, 424, 1000, 4099, 32767, 32768, 32769, 70001}) {
        SCOPED_TRACE(length);
        std::uint32_t checksum = 1u + 180u + 16u + static_cast<std::uint32_t>(length);
        for (std::int32_t i = 0; i < length; ++i)
            checksum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(payload[static_cast<std::size_t>(i)])));
        std::uint8_t header[kBlockHeaderBytes];
        FileIO_MakeBlockHeader(payload.data(), length, 1, 180, 16, header);
        std::uint32_t stored;
        std::memcpy(&stored, header + 16, 4);
        ASSERT_EQ(stored, checksum);
        std::uint32_t r = checksum;
        for (int i = 0; i < 80; ++i) {
            r = r * 214013u + 2531011u;
            const std::uint32_t position = ((r >> 16) & 0x7FFFu) % static_cast<std::uint32_t>(length);
            ASSERT_EQ(header[20 + i], payload[position]) << "fingerprint byte " << i;
        }
    }
}

TEST(FileIO, HeaderFieldsAreLittleEndianAndEmptyPayloadHasZeroFingerprint) {
    std::uint8_t header[kBlockHeaderBytes];
    FileIO_MakeBlockHeader(nullptr, 0, 1, 180, 17, header);
    std::vector<std::uint8_t> h(header, header + kBlockHeaderBytes);
    EXPECT_EQ(Int32At(h, 0), 1);
    EXPECT_EQ(Int32At(h, 4), 180);
    EXPECT_EQ(Int32At(h, 8), 17);
    EXPECT_EQ(Int32At(h, 12), 0);
    EXPECT_EQ(Int32At(h, 16), 1 + 180 + 17);
    for (int i = 20; i < 100; ++i) EXPECT_EQ(header[i], 0);
}

// Blocks of every size relation to the buffers (smaller, equal, larger) read back.
TEST(FileIO, RoundTripAcrossBufferSizes) {
    TempDir dir;
    const std::vector<std::size_t> sizes = {0, 1, 79, 80, 100, 333, 4096, 20000};
    for (std::size_t writeBuffer : {std::size_t{7}, std::size_t{150}, std::size_t{10000}}) {
        for (std::size_t readBuffer : {std::size_t{100}, std::size_t{333}, std::size_t{10000}}) {
            std::string path = dir.file("round.bin");
            FileContainer w;
            ASSERT_TRUE(FileIO_OpenWrite(path.c_str(), writeBuffer, 210, w));
            for (std::size_t i = 0; i < sizes.size(); ++i) {
                auto p = Payload(sizes[i], static_cast<unsigned>(i));
                ASSERT_TRUE(FileIO_WriteBlock(w, p.data(), static_cast<std::int32_t>(i + 3), static_cast<std::int32_t>(p.size())));
            }
            ASSERT_TRUE(FileIO_Close(w));

            FileContainer r;
            ASSERT_TRUE(FileIO_OpenRead(path.c_str(), readBuffer, r));
            EXPECT_EQ(r.format, 1);
            EXPECT_EQ(r.version, 210);
            for (std::size_t i = 0; i < sizes.size(); ++i) {
                std::vector<std::uint8_t> got(sizes[i] + 1, 0xEE);
                ASSERT_EQ(r.nextTag, static_cast<std::int32_t>(i + 3));
                ASSERT_TRUE(FileIO_ReadBlock(r, got.data(), static_cast<std::int32_t>(i + 3), static_cast<std::int32_t>(sizes[i])))
                    << "block " << i << " write buffer " << writeBuffer << " read buffer " << readBuffer;
                got.pop_back();
                EXPECT_EQ(got, Payload(sizes[i], static_cast<unsigned>(i)));
            }
            EXPECT_EQ(r.nextLength, -1);
            std::uint8_t dummy[8];
            EXPECT_FALSE(FileIO_ReadBlock(r, dummy, 0, 0)) << "reading past the last block must fail";
            FileIO_CloseRead(r);
        }
    }
}

TEST(FileIO, ReaderRefusesWrongTagLengthAndTinyFiles) {
    TempDir dir;
    std::string path = dir.file("a.bin");
    WriteBlocks(path, {{30, Payload(50, 1)}});
    std::vector<std::uint8_t> buf(64);
    FileContainer r;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 10000, r));
    EXPECT_FALSE(FileIO_ReadBlock(r, buf.data(), 31, 50));
    EXPECT_FALSE(FileIO_ReadBlock(r, buf.data(), 30, 49));
    EXPECT_FALSE(FileIO_ReadBlock(r, buf.data(), 30, -1));
    EXPECT_TRUE(FileIO_ReadBlock(r, buf.data(), 30, 50));
    FileIO_CloseRead(r);

    // One header with an empty payload is exactly 100 bytes: refused at open.
    std::string lone = dir.file("lone.bin");
    WriteBlocks(lone, {{30, {}}});
    ASSERT_EQ(ReadWholeFile(lone).size(), 100u);
    EXPECT_FALSE(FileIO_OpenRead(lone.c_str(), 10000, r));
    EXPECT_EQ(r.handle, -1);
    EXPECT_FALSE(FileIO_OpenRead(dir.file("missing.bin").c_str(), 10000, r));
    EXPECT_FALSE(FileIO_OpenRead(dir.path().c_str(), 10000, r)) << "a directory is no block file";
}

// Any single changed byte of payload or header is detected.
TEST(FileIO, EverySingleByteChangeIsRefused) {
    TempDir dir;
    std::string path = dir.file("b.bin");
    WriteBlocks(path, {{5, Payload(300, 9)}, {6, Payload(10, 9)}});
    const auto good = ReadWholeFile(path);
    std::vector<std::uint8_t> buf(300);
    for (std::size_t pos = 0; pos < 400; ++pos) {
        auto bad = good;
        bad[pos] ^= 0x01;
        WriteWholeFile(path, bad);
        FileContainer r;
        bool ok = FileIO_OpenRead(path.c_str(), 10000, r) && FileIO_ReadBlock(r, buf.data(), 5, 300);
        EXPECT_FALSE(ok) << "flipped byte " << pos << " went unnoticed";
    }
}

TEST(FileIO, BlockLongerThanTheFileIsRefusedWithoutReading) {
    TempDir dir;
    std::string path = dir.file("c.bin");
    WriteBlocks(path, {{5, Payload(200, 3)}});
    auto bytes = ReadWholeFile(path);
    bytes.resize(250);  // cut inside the payload
    WriteWholeFile(path, bytes);
    std::vector<std::uint8_t> buf(200);
    FileContainer r;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 10000, r));
    EXPECT_FALSE(FileIO_ReadBlock(r, buf.data(), 5, 200));
}

// The writer hands the operating system whole buffers only: a request that does
// not fit fills the buffer, which leaves in one write of exactly its capacity.
TEST(FileIO, WriterFlushesExactlyFullBuffers) {
    TempDir dir;
    std::string path = dir.file("d.bin");
    FileContainer w;
    ASSERT_TRUE(FileIO_OpenWrite(path.c_str(), 150, 70, w));
    auto p = Payload(30, 1);
    ASSERT_TRUE(FileIO_WriteBlock(w, p.data(), 1, 30));  // 130 bytes: fits
    EXPECT_EQ(w.bytesWritten, 0);
    EXPECT_EQ(ReadWholeFile(path).size(), 0u);
    ASSERT_TRUE(FileIO_WriteBlock(w, p.data(), 1, 30));  // 260: one full buffer leaves
    EXPECT_EQ(w.bytesWritten, 150);
    EXPECT_EQ(ReadWholeFile(path).size(), 150u);
    ASSERT_TRUE(FileIO_WriteRaw(w, p.data(), 20));  // 130 held: exactly full, stays
    EXPECT_EQ(w.bytesWritten, 150);
    ASSERT_TRUE(FileIO_Flush(w));
    EXPECT_EQ(ReadWholeFile(path).size(), 280u);
    ASSERT_TRUE(FileIO_Close(w));
    EXPECT_EQ(w.handle, -1);
    EXPECT_EQ(ReadWholeFile(path).size(), 280u);
}

TEST(FileIO, FullDiskFailsTheWriteAndTheClose) {
    FileContainer w;
    ASSERT_TRUE(FileIO_OpenWrite("/dev/full", 64, 70, w));
    auto p = Payload(10, 1);
    EXPECT_TRUE(FileIO_WriteRaw(w, p.data(), 10)) << "still buffered";
    EXPECT_FALSE(FileIO_WriteBlock(w, p.data(), 1, 10)) << "the overflow write must report the failure";
    EXPECT_FALSE(FileIO_Close(w));
}

TEST(FileIO, TextWriterAndCloseAndDelete) {
    TempDir dir;
    std::string path = dir.file("export.csv");
    FileContainer w;
    ASSERT_TRUE(FileIO_OpenWriteText(path.c_str(), 100000, w));
    const std::string line = "a,b\n1.5,2\n";
    ASSERT_TRUE(FileIO_WriteRaw(w, line.data(), line.size()));
    ASSERT_TRUE(FileIO_Close(w));
    auto bytes = ReadWholeFile(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), line);

    ASSERT_TRUE(FileIO_OpenWriteText(path.c_str(), 100000, w));
    ASSERT_TRUE(FileIO_WriteRaw(w, line.data(), line.size()));
    EXPECT_TRUE(FileIO_CloseAndDelete(w));
    EXPECT_FALSE(FileExists(path));
}

TEST(FileIO, AtomicWriteKeepsTheOldFileUntilCommit) {
    TempDir dir;
    std::string path = dir.file("settings.ini");
    auto p = Payload(40, 2);
    FileContainer w;
    ASSERT_TRUE(FileIO_OpenWriteAtomic(path.c_str(), 10000, 70, w));
    ASSERT_TRUE(FileIO_WriteBlock(w, p.data(), 1, 40));
    ASSERT_TRUE(FileIO_CommitAtomic(w, path.c_str()));
    const auto first = ReadWholeFile(path);
    ASSERT_EQ(first.size(), 140u);

    ASSERT_TRUE(FileIO_OpenWriteAtomic(path.c_str(), 10000, 70, w));
    ASSERT_TRUE(FileIO_WriteBlock(w, p.data(), 2, 20));
    EXPECT_EQ(ReadWholeFile(path), first) << "the old file stays until the commit";
    FileIO_AbandonAtomic(w);
    EXPECT_EQ(ReadWholeFile(path), first);
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(FileIO, ValidFileNamesAndDirectories) {
    struct Case {
        const char* name;
        bool valid;
    } cases[] = {
        {"Antenna A", true}, {"x;y=z", true}, {"dB\xB5V", true}, {"", false}, {"a/b", false}, {"a\\b", false},
        {"c:", false},       {"a|b", false},  {"a*", false},     {"a?", false}, {"<a>", false}, {"\"q\"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(FileIO_IsValidFileName(c.name), c.valid) << "'" << c.name << "'";
    EXPECT_FALSE(FileIO_IsValidFileName(nullptr));

    TempDir dir;
    EXPECT_TRUE(FileIO_IsDirectory(dir.path().c_str()));
    WriteWholeFile(dir.file("f"), {1});
    EXPECT_FALSE(FileIO_IsDirectory(dir.file("f").c_str()));
    EXPECT_FALSE(FileIO_IsDirectory(dir.file("none").c_str()));
}

// A FIFO named like a record file would block the open, and then every read,
// for ever; a device may act on being opened. The child is bounded by an alarm.
TEST(FileIO, OnlyRegularFilesAreOpenedAndNothingWaits) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("x.dtr").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(dir.file("d.dtr").c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir.file("x.dtr").c_str(), dir.file("link.dtr").c_str()), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(10);
        bool opened = false;
        for (const std::string& path :
             {dir.file("x.dtr"), dir.file("d.dtr"), dir.file("link.dtr"), std::string("/dev/zero")}) {
            FileContainer r;
            opened = FileIO_OpenRead(path.c_str(), 10000, r) || opened;
        }
        _exit(opened ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the open blocked (killed by the alarm)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "something that is not a regular file was opened";
}

// Damage of a block whose header still names the expected tag and length is
// told from another block: the reader then stands at the following block.
TEST(FileIO, TryReadBlockTellsDamageFromAnotherBlock) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    const auto offsets = WriteBlocks(path, {{1, Payload(50, 1)}, {2, {}}, {3, Payload(300, 2)}});
    auto bytes = ReadWholeFile(path);
    bytes[static_cast<std::size_t>(offsets[0]) + kBlockHeaderBytes + 7] ^= 0x10;  // payload of block 1
    bytes[static_cast<std::size_t>(offsets[2]) + 16] ^= 0x01;                     // checksum of block 3
    WriteWholeFile(path, bytes);

    std::vector<std::uint8_t> buf(300);
    FileContainer r;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 10000, r));
    EXPECT_EQ(r.nextHeaderOffset, 0);
    EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 2, 0), FileBlockStatus::Unexpected);
    EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 1, 49), FileBlockStatus::Unexpected);
    EXPECT_EQ(r.nextHeaderOffset, 0) << "nothing was consumed";
    EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 1, 50), FileBlockStatus::Damaged);
    EXPECT_EQ(r.nextHeaderOffset, offsets[1]);
    EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 2, 0), FileBlockStatus::Ok);
    EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 3, 300), FileBlockStatus::Damaged);
    EXPECT_EQ(r.nextHeaderOffset, -1);
    EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 3, 300), FileBlockStatus::Unexpected) << "past the end";

    // Seeking back re-reads a block, from the buffer and, with a small one, from the file.
    for (std::size_t buffer : {std::size_t{100}, std::size_t{10000}}) {
        ASSERT_TRUE(FileIO_OpenRead(path.c_str(), buffer, r));
        EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 1, 50), FileBlockStatus::Damaged);
        EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 2, 0), FileBlockStatus::Ok);
        ASSERT_TRUE(FileIO_SeekBlock(r, offsets[1]));
        EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 2, 0), FileBlockStatus::Ok);
        EXPECT_FALSE(FileIO_SeekBlock(r, static_cast<std::int64_t>(bytes.size()) - 99)) << "no room for a header";
        EXPECT_EQ(r.nextLength, -1);
    }
}

// The search for the next header of a kind finds it wherever it lies
// relative to the read buffer's edges, and only where a whole header fits.
TEST(FileIO, FindBlockScansAcrossBufferEdges) {
    TempDir dir;
    const std::string path = dir.file("f.bin");
    const std::int32_t length = 424;
    for (std::size_t gap : {std::size_t{0}, std::size_t{1}, std::size_t{99}, std::size_t{100}, std::size_t{257},
                            std::size_t{9999}}) {
        // A block, then gap bytes of something else, then the block looked for and one more.
        WriteBlocks(path, {{5, Payload(1000, 3)}});
        auto bytes = ReadWholeFile(path);
        const std::size_t lead = bytes.size();
        for (std::size_t i = 0; i < gap; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7 + 1));
        WriteBlocks(path, {{15, Payload(length, 4)}, {16, Payload(20, 5)}});
        const auto tail = ReadWholeFile(path);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        WriteWholeFile(path, bytes);
        const auto target = static_cast<std::int64_t>(lead + gap);
        for (std::size_t buffer : {std::size_t{100}, std::size_t{101}, std::size_t{157}, std::size_t{10000}}) {
            SCOPED_TRACE(testing::Message() << "gap " << gap << ", buffer " << buffer);
            std::vector<std::uint8_t> buf(1000);
            FileContainer r;
            ASSERT_TRUE(FileIO_OpenRead(path.c_str(), buffer, r));
            ASSERT_TRUE(FileIO_ReadBlock(r, buf.data(), 5, 1000));
            EXPECT_EQ(FileIO_FindBlock(r, 1, 180, 15, length), target) << "from before the read position";
            EXPECT_EQ(FileIO_TryReadBlock(r, buf.data(), 15, length), FileBlockStatus::Ok);
            EXPECT_EQ(FileIO_FindBlock(r, target, 180, 15, length), target) << "a header at the start offset";
            EXPECT_EQ(FileIO_FindBlock(r, target + 1, 180, 15, length), -1);
            EXPECT_EQ(r.nextLength, -1);
            EXPECT_EQ(FileIO_FindBlock(r, 0, 181, 15, length), -1) << "another version is another file";
            EXPECT_EQ(FileIO_FindBlock(r, 0, 180, 15, length + 1), -1);
        }
    }
    // The pattern in the last 99 bytes cannot start a header.
    auto bytes = ReadWholeFile(path);
    const std::size_t end = bytes.size();
    std::uint8_t header[kBlockHeaderBytes];
    FileIO_MakeBlockHeader(nullptr, 0, 1, 180, 9, header);
    bytes.insert(bytes.end(), header, header + 16);
    bytes.resize(end + 99, 0);
    WriteWholeFile(path, bytes);
    FileContainer r;
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 157, r));
    EXPECT_EQ(FileIO_FindBlock(r, 0, 180, 9, 0), -1);
    bytes.push_back(0);
    WriteWholeFile(path, bytes);
    ASSERT_TRUE(FileIO_OpenRead(path.c_str(), 157, r));
    EXPECT_EQ(FileIO_FindBlock(r, 0, 180, 9, 0), static_cast<std::int64_t>(end));
}
