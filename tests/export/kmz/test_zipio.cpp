// The KMZ archive writer, checked against Info-ZIP's unzip: archives test
// clean, entries come out in the order they were written with the bytes that
// went in, buffers flush by the rules the KML writer relies on, and a failed or
// aborted export leaves nothing behind. Each case runs with deflate on the
// caller's thread and with deflate threads.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "export/kmz/test_kmzsupport.h"
#include "export/kmz/zipio.h"
#include "support/testsupport.h"

namespace {

std::string Capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    const int rc = pclose(pipe);
    if (status != nullptr) *status = rc;
    return out;
}

bool UnzipTestsClean(const std::string& archive) {
    int status = -1;
    Capture("unzip -tq '" + archive + "' 2>&1", &status);
    return status == 0;
}

// (name, length) of every entry, in archive order, from "unzip -l".
std::vector<std::pair<std::string, long long>> ListEntries(const std::string& archive) {
    std::vector<std::pair<std::string, long long>> entries;
    std::istringstream lines(Capture("unzip -l '" + archive + "'"));
    std::string line;
    while (std::getline(lines, line)) {
        long long length = 0;
        char date[32], time[32], name[512];
        if (std::sscanf(line.c_str(), " %lld %31s %31s %511s", &length, date, time, name) == 4 &&
            std::strchr(date, '-') != nullptr)
            entries.emplace_back(name, length);
    }
    return entries;
}

// Every entry's bytes, concatenated in archive order.
std::string AllEntryBytes(const std::string& archive) { return Capture("unzip -p '" + archive + "'"); }

std::string EntryBytes(const std::string& archive, const std::string& name) {
    return Capture("unzip -p '" + archive + "' '" + name + "'");
}

// KML-like text: repetitive markup with varying numbers, as the writers produce.
std::string KmlText(std::size_t length, unsigned seed) {
    std::mt19937 engine(seed);
    auto random = [&engine](unsigned below) { return static_cast<unsigned>(engine() % below); };
    std::string text;
    char line[256];
    while (text.size() < length) {
        const int n = std::snprintf(line, sizeof line,
                                    "<Placemark id=\"0246_%u\">\n<styleUrl>D_0246.kml#BS_%u</styleUrl>\n"
                                    "<coordinates>\n%u.%06u,%u.%06u,10.0\n</coordinates>\n</Placemark>\n",
                                    random(5000), random(5000), random(180), random(1000000), random(90),
                                    random(1000000));
        text.append(line, static_cast<std::size_t>(n));
    }
    text.resize(length);
    return text;
}

std::string RandomBytes(std::size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

bool WriteEntry(KmzArchive& archive, const std::string& name, const std::string& bytes, std::size_t step) {
    if (!kmzOpenEntry(archive, name.c_str())) return false;
    bool ok = true;
    for (std::size_t pos = 0; pos < bytes.size(); pos += step)
        ok = kmzWrite(archive, bytes.data() + pos, std::min(step, bytes.size() - pos)) && ok;
    return kmzCloseEntry(archive) && ok;
}

class ZipioTest : public ::testing::TestWithParam<int> {
protected:
    int threads() const { return GetParam(); }
    TempDir dir;
};

TEST_P(ZipioTest, EntriesComeOutInOrderWithTheirBytes) {
    struct Entry {
        std::string name;
        std::string bytes;
        std::size_t step;  // bytes per kmzWrite
    };
    std::vector<Entry> entries = {
        {"doc.kml", "", 1},
        {"files/root_0123456789ABCDEF.kml", KmlText(5000, 1), 37},
        {"files/exact.kml", KmlText(100000, 2), 1000},
        // several deflate pieces, each primed with the one before
        {"files/BW1_0246_0123456789ABCDEF.kml", KmlText(3000000, 3), 411},
        // incompressible bytes, handed over in writes longer than the buffer
        {"files/noise.bin", RandomBytes(1200000, 4), 250000},
    };
    std::mt19937 random(5);
    for (int i = 0; i < 120; ++i)
        entries.push_back({"files/V1_" + std::to_string(i) + ".bmp", KmlText(random() % 40000, 100 + i), static_cast<std::size_t>(1 + i)});

    for (const std::int32_t capacity : {1000, kKmzBufferCapacity}) {
        SCOPED_TRACE(capacity);
        const std::string path = dir.file("order" + std::to_string(capacity) + ".kmz");
        KmzArchive archive;
        const std::time_t before = std::time(nullptr);
        ASSERT_TRUE(kmzOpenArchive(path.c_str(), capacity, archive, threads()));
        for (const Entry& e : entries) ASSERT_TRUE(WriteEntry(archive, e.name, e.bytes, e.step)) << e.name;
        ASSERT_TRUE(kmzCloseArchive(archive));

        EXPECT_TRUE(UnzipTestsClean(path));
        const auto listed = ListEntries(path);
        ASSERT_EQ(listed.size(), entries.size());
        std::string expected;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(listed[i].first, entries[i].name);
            EXPECT_EQ(listed[i].second, static_cast<long long>(entries[i].bytes.size())) << entries[i].name;
            expected += entries[i].bytes;
        }
        EXPECT_TRUE(AllEntryBytes(path) == expected);

        // deflated, and stamped with the local time of writing
        const std::string verbose = Capture("unzip -Z -T '" + path + "'");
        EXPECT_EQ(verbose.find(" stor "), std::string::npos);
        const std::time_t after = std::time(nullptr);
        char early[32], late[32];
        std::strftime(early, sizeof early, " %Y%m%d.%H", std::localtime(&before));
        std::strftime(late, sizeof late, " %Y%m%d.%H", std::localtime(&after));
        EXPECT_TRUE(verbose.find(early) != std::string::npos || verbose.find(late) != std::string::npos)
            << verbose.substr(0, 300);
        EXPECT_LT(ReadWholeFile(path).size(), expected.size() / 2);
    }
}

TEST_P(ZipioTest, BufferFlushesWholeBuffersAndKeepsAnExactFit) {
    const std::string path = dir.file("buffer.kmz");
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), 100, archive, threads()));
    const std::string exact = KmlText(100, 1);
    const std::string longText = KmlText(350, 2);

    // Texts totalling exactly the capacity wait for the close.
    ASSERT_TRUE(kmzOpenEntry(archive, "exact.kml"));
    ASSERT_TRUE(kmzWrite(archive, exact.data(), 60));
    ASSERT_TRUE(kmzWrite(archive, exact.data() + 60, 40));
    EXPECT_EQ(archive.bufferFill, 100);
    EXPECT_EQ(archive.bufferFlushes, 0);
    ASSERT_TRUE(kmzCloseEntry(archive));
    EXPECT_EQ(archive.bufferFlushes, 1);
    EXPECT_EQ(archive.bufferFill, 0);

    // A text of several buffers goes in full-capacity writes, the rest waits.
    ASSERT_TRUE(kmzOpenEntry(archive, "long.kml"));
    ASSERT_TRUE(kmzWrite(archive, longText.data(), 10));
    ASSERT_TRUE(kmzWrite(archive, longText.data() + 10, 340));
    EXPECT_EQ(archive.bufferFlushes, 1 + 3);
    EXPECT_EQ(archive.bufferFill, 50);
    ASSERT_TRUE(kmzCloseEntry(archive));
    EXPECT_EQ(archive.bufferFlushes, 1 + 3 + 1);

    // An empty entry writes nothing and is still an entry.
    ASSERT_TRUE(kmzOpenEntry(archive, "empty.kml"));
    ASSERT_TRUE(kmzCloseEntry(archive));
    EXPECT_EQ(archive.bufferFlushes, 5);
    EXPECT_EQ(archive.bytesIn, 450);
    ASSERT_TRUE(kmzCloseArchive(archive));

    EXPECT_TRUE(UnzipTestsClean(path));
    EXPECT_EQ(EntryBytes(path, "exact.kml"), exact);
    EXPECT_EQ(EntryBytes(path, "long.kml"), longText);
    EXPECT_EQ(ListEntries(path).size(), 3u);
}

TEST_P(ZipioTest, BitmapEntriesStoreTheBottomRowFirst) {
    const std::string path = dir.file("bitmaps.kmz");
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive, threads()));
    struct Case {
        const char* name;
        int width, bytesPerRow, height;
    };
    const Case cases[] = {{"one.bmp", 3, 12, 1}, {"two.bmp", 2, 8, 2}, {"three.bmp", 5, 24, 3}, {"legend.bmp", 320, 1280, 100}};
    std::vector<std::vector<std::uint8_t>> originals;
    for (const Case& c : cases) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(c.bytesPerRow) * c.height);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + c.height);
        originals.push_back(pixels);
        ASSERT_TRUE(kmzWriteBitmapEntry(archive, c.name, c.width, c.bytesPerRow, c.height, pixels.data()));
        // the caller's rows are reversed in place
        for (int row = 0; row < c.height; ++row)
            EXPECT_EQ(0, std::memcmp(pixels.data() + row * c.bytesPerRow,
                                     originals.back().data() + (c.height - 1 - row) * c.bytesPerRow,
                                     c.bytesPerRow))
                << c.name << " row " << row;
    }
    ASSERT_TRUE(kmzCloseArchive(archive));
    ASSERT_TRUE(UnzipTestsClean(path));

    auto u32 = [](const std::string& b, std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at]) |
                                          static_cast<std::uint8_t>(b[at + 1]) << 8 |
                                          static_cast<std::uint8_t>(b[at + 2]) << 16 |
                                          static_cast<std::uint8_t>(b[at + 3]) << 24);
    };
    auto u16 = [](const std::string& b, std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string bmp = EntryBytes(path, c.name);
        const std::uint32_t imageSize = static_cast<std::uint32_t>(c.bytesPerRow * c.height);
        ASSERT_EQ(bmp.size(), 54u + imageSize);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(u32(bmp, 2), 54u + imageSize);
        EXPECT_EQ(u32(bmp, 6), 0u);
        EXPECT_EQ(u32(bmp, 10), 54u);
        EXPECT_EQ(u32(bmp, 14), 40u);
        EXPECT_EQ(u32(bmp, 18), static_cast<std::uint32_t>(c.width));
        EXPECT_EQ(u32(bmp, 22), static_cast<std::uint32_t>(c.height));
        EXPECT_EQ(u16(bmp, 26), 1u);
        EXPECT_EQ(u16(bmp, 28), 32u);
        EXPECT_EQ(u32(bmp, 30), 0u);
        EXPECT_EQ(u32(bmp, 34), imageSize);
        for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(u32(bmp, at), 0u) << at;
        // last row first: for height 1 the row is unchanged, for 2 the rows swap
        for (int stored = 0; stored < c.height; ++stored)
            EXPECT_EQ(0, std::memcmp(bmp.data() + 54 + stored * c.bytesPerRow,
                                     originals[i].data() + (c.height - 1 - stored) * c.bytesPerRow, c.bytesPerRow))
                << "stored row " << stored;
    }
}

TEST_P(ZipioTest, BitmapWithImpossibleGeometryIsRefusedUntouched) {
    const std::string path = dir.file("bad.kmz");
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive, threads()));
    std::vector<std::uint8_t> pixels(64);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i);
    const std::vector<std::uint8_t> original = pixels;
    struct Case {
        int width, bytesPerRow, height;
    };
    for (const Case c : {Case{0, 8, 2}, Case{2, 8, 0}, Case{-1, 8, 2}, Case{3, 8, 2}, Case{2, 7, 2}}) {
        EXPECT_FALSE(kmzWriteBitmapEntry(archive, "bad.bmp", c.width, c.bytesPerRow, c.height, pixels.data()))
            << c.width << " " << c.bytesPerRow << " " << c.height;
        EXPECT_EQ(pixels, original);
    }
    EXPECT_FALSE(kmzWriteBitmapEntry(archive, "bad.bmp", 2, 8, 2, nullptr));
    EXPECT_TRUE(kmzWriteBitmapEntry(archive, "good.bmp", 2, 8, 2, pixels.data()));
    ASSERT_TRUE(kmzCloseArchive(archive));
    const auto listed = ListEntries(path);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].first, "good.bmp");
}

TEST_P(ZipioTest, CallsOutOfTurnAreRefused) {
    KmzArchive archive;
    const char byte = 'x';
    EXPECT_FALSE(kmzOpenEntry(archive, "a.kml"));  // no archive
    EXPECT_FALSE(kmzCloseArchive(archive));
    EXPECT_FALSE(kmzOpenArchive(dir.file("zero.kmz").c_str(), 0, archive, threads()));
    EXPECT_FALSE(kmzOpenArchive((dir.path() + "/" + std::string(600, 'n')).c_str(), 100, archive, threads()));
    EXPECT_FALSE(kmzOpenArchive(dir.file("missing/folder.kmz").c_str(), 100, archive, threads()));

    const std::string path = dir.file("turns.kmz");
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), 100, archive, threads()));
    EXPECT_FALSE(kmzOpenArchive(path.c_str(), 100, archive, threads()));  // already open
    EXPECT_FALSE(kmzWrite(archive, &byte, 1));                             // no entry
    EXPECT_FALSE(kmzCloseEntry(archive));
    ASSERT_TRUE(kmzOpenEntry(archive, "a.kml"));
    EXPECT_FALSE(kmzOpenEntry(archive, "b.kml"));  // one entry at a time
    EXPECT_FALSE(kmzWrite(archive, nullptr, 5));
    EXPECT_TRUE(kmzWrite(archive, &byte, 1));
    ASSERT_TRUE(kmzCloseEntry(archive));
    ASSERT_TRUE(kmzCloseArchive(archive));
    EXPECT_EQ(EntryBytes(path, "a.kml"), "x");
    EXPECT_EQ(ListEntries(path).size(), 1u);
}

// A name that would unpack outside the target folder, or that a viewer would
// resolve outside the archive, is refused; the archive stays usable.
TEST_P(ZipioTest, EntryNamesOutsideTheArchiveAreRefused) {
    const std::string path = dir.file("names.kmz");
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), 100, archive, threads()));
    for (const char* name : {"", "/etc/x.kml", "\\x.kml", "../x.kml", "files/../../x.bmp", "a/..", "..", "V1..bmp"}) {
        EXPECT_FALSE(Zip_IsSafeEntryName(name)) << name;
        EXPECT_FALSE(kmzOpenEntry(archive, name)) << name;
        EXPECT_FALSE(kmzWriteBitmapEntry(archive, name, 1, 4, 1, std::vector<std::uint8_t>(4).data())) << name;
    }
    EXPECT_FALSE(kmzOpenEntry(archive, nullptr));
    for (const char* name : {"doc.kml", "files/V1_0246_0123456789ABCDEF.bmp", "BW1_-00_0123456789ABCDEF.kml"})
        EXPECT_TRUE(Zip_IsSafeEntryName(name)) << name;
    ASSERT_TRUE(WriteEntry(archive, "doc.kml", "x", 1));
    ASSERT_TRUE(kmzCloseArchive(archive));
    const auto listed = ListEntries(path);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].first, "doc.kml");
}

TEST_P(ZipioTest, AbortLeavesNoArchive) {
    const std::string path = dir.file("aborted.kmz");
    const std::string text = KmlText(2000000, 7);
    {
        KmzArchive archive;
        ASSERT_TRUE(kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive, threads()));
        ASSERT_TRUE(WriteEntry(archive, "doc.kml", text, 1000));
        ASSERT_TRUE(kmzOpenEntry(archive, "files/half.kml"));
        ASSERT_TRUE(kmzWrite(archive, text.data(), text.size()));
        kmzAbortArchive(archive);
        EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(kmzWrite(archive, text.data(), 10));
        EXPECT_FALSE(kmzCloseArchive(archive));
    }
    // An archive dropped without being closed is not left half-written either.
    {
        KmzArchive archive;
        ASSERT_TRUE(kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive, threads()));
        ASSERT_TRUE(WriteEntry(archive, "doc.kml", text, 1000));
    }
    EXPECT_FALSE(FileExists(path));
}

// A full disk: every byte written to /dev/full fails. The failure must reach
// the writer while it is still writing (with deflate threads once it has
// handed over more pieces than may be in flight), and the close must fail too.
TEST_P(ZipioTest, WriteFailureIsReportedNotHidden) {
    const std::string link = dir.file("full.kmz");
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(link.c_str(), kKmzBufferCapacity, archive, threads()));
    const std::string noise = RandomBytes(3000000, 9);
    bool allWritesOk = true;
    for (int i = 0; i < 3 && allWritesOk; ++i) allWritesOk = WriteEntry(archive, "files/n" + std::to_string(i), noise, 4096);
    EXPECT_FALSE(allWritesOk);
    EXPECT_FALSE(kmzCloseArchive(archive));
    kmzAbortArchive(archive);  // removes the link, never the device
    EXPECT_FALSE(FileExists(link));
    EXPECT_TRUE(FileExists("/dev/full"));
}

// Thousands of entries of the sizes the export writes (empty, a few bytes, small
// and large bitmaps, texts just under and over a MiB, several MiB) travel in
// batches and pieces; each must come out in its place, with its own bytes and
// CRC, read by Info-ZIP's unzip and by minizip over zlib's inflate. A buffer of
// 1024 bytes puts flushes on every KiB boundary around the MiB.
TEST_P(ZipioTest, ManyEntriesOfMixedSizesKeepTheirOrderBytesAndCrc) {
    const std::size_t sizes[] = {4054, 0, 80054, 1, 4054, 54, 1048575, 4054, 1048576, 80054, 0, 1048577, 4054, 2500000};
    struct Entry {
        std::string name;
        std::string bytes;
    };
    std::vector<Entry> entries;
    std::size_t total = 0;
    for (int i = 0; total < 24000000; ++i) {
        const std::size_t size = i % 97 == 13 ? sizes[static_cast<std::size_t>(i / 97) % std::size(sizes)]
                                              : sizes[static_cast<std::size_t>(i) % 5];
        // alternating text and noise, every entry different, so a swap or a mix-up shows
        std::string bytes = i % 3 == 0 ? RandomBytes(size, 1000u + i) : KmlText(size, 2000u + i);
        entries.push_back({"files/E" + std::to_string(i) + ".bin", std::move(bytes)});
        total += size;
    }
    const std::string path = dir.file("mixed.kmz");
    KmzArchive archive;
    ASSERT_TRUE(kmzOpenArchive(path.c_str(), 1024, archive, threads()));
    for (const Entry& e : entries) ASSERT_TRUE(WriteEntry(archive, e.name, e.bytes, 5000)) << e.name;
    ASSERT_TRUE(kmzCloseArchive(archive));

    EXPECT_TRUE(UnzipTestsClean(path));
    const std::vector<kmztest::Entry> read = kmztest::ReadArchive(path);
    ASSERT_EQ(read.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(read[i].name, entries[i].name) << i;
        ASSERT_TRUE(read[i].bytes == entries[i].bytes) << entries[i].name;
    }
    std::string expected;
    for (const Entry& e : entries) expected += e.bytes;
    EXPECT_TRUE(AllEntryBytes(path) == expected);
}

// The disk fills up in the middle of the export (a file size limit makes
// every write past it fail): after some entries were stored, a later call
// fails while the writer is still handing over small entries, the close fails
// too, and the abort removes the file.
TEST_P(ZipioTest, WriteFailureInTheMiddleReachesTheWriter) {
    const std::string path = dir.file("limited.kmz");
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 1000000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    KmzArchive archive;
    bool opened = kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive, threads());
    int stored = 0;
    bool failedWhileWriting = false;
    bool closed = true;
    if (opened) {
        // 16 MB of noise in 4 KB entries: far past the limit and the bytes in flight
        for (int i = 0; i < 4000 && !failedWhileWriting; ++i) {
            if (WriteEntry(archive, "files/V" + std::to_string(i) + ".bmp", RandomBytes(4054, 300u + i), 4054))
                ++stored;
            else
                failedWhileWriting = true;
        }
        closed = kmzCloseArchive(archive);
    }
    const bool existedAfterFailure = FileExists(path);
    kmzAbortArchive(archive);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(opened);
    EXPECT_TRUE(failedWhileWriting);
    EXPECT_GT(stored, 100);  // the limit was met in the middle, not at the start
    EXPECT_FALSE(closed);
    EXPECT_TRUE(existedAfterFailure);
    EXPECT_FALSE(FileExists(path));
}

INSTANTIATE_TEST_SUITE_P(DeflateThreads, ZipioTest, ::testing::Values(kKmzDeflateInline, 1, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Inline") : "Threads" + std::to_string(info.param);
                         });

long ReadStatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

// A big entry streams through: the peak resident memory grows by a few
// buffers, not by the entry. "5" in clear_refs restarts the peak count.
TEST(ZipioStreaming, BigEntryDoesNotStayInMemory) {
    if (kAddressSanitizer) GTEST_SKIP() << "resident sizes are meaningless under AddressSanitizer";
    for (const int threads : {kKmzDeflateInline, 2}) {
        SCOPED_TRACE(threads);
        {
            std::ofstream clear("/proc/self/clear_refs");
            if (!(clear << "5" << std::flush)) GTEST_SKIP() << "cannot reset the peak resident size";
        }
        const long before = ReadStatusKb("VmRSS:");
        TempDir dir;
        const std::string path = dir.file("big.kmz");
        constexpr std::size_t kEntryBytes = 48u << 20;
        {
            KmzArchive archive;
            ASSERT_TRUE(kmzOpenArchive(path.c_str(), kKmzBufferCapacity, archive, threads));
            ASSERT_TRUE(kmzOpenEntry(archive, "files/big.kml"));
            std::string chunk;
            for (unsigned i = 0; i * 65536u < kEntryBytes; ++i) {
                chunk = KmlText(65536, i);
                ASSERT_TRUE(kmzWrite(archive, chunk.data(), chunk.size()));
            }
            ASSERT_TRUE(kmzCloseEntry(archive));
            ASSERT_TRUE(kmzCloseArchive(archive));
        }
        const long peak = ReadStatusKb("VmHWM:");
        ASSERT_GT(before, 0);
        EXPECT_LT(peak - before, 24 * 1024) << "kB above the resident size before";
        EXPECT_TRUE(UnzipTestsClean(path));
        const auto listed = ListEntries(path);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].second, static_cast<long long>(kEntryBytes));
    }
}

TEST(ZipioFloor, DeflateFloorTimesTheBytes) {
    const std::string text = KmlText(2000000, 3);
    const double seconds = Zip_DeflateFloorSeconds(text.data(), text.size());
    EXPECT_GT(seconds, 0.0);
    EXPECT_LT(seconds, 60.0);
    EXPECT_GE(Zip_DeflateFloorSeconds(nullptr, 0), 0.0);
}

}  // namespace
