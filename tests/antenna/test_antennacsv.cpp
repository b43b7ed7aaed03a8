// K-factor tables exchanged with CSV files: which lines count, the 600-point
// limit, round trips, and files that are not what they claim to be.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <string>
#include <vector>

#include "antenna/antennacsv.h"
#include "support/testsupport.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
    WriteWholeFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// A list holding one antenna "Yagi" with the given points.
AntennaList OneAntenna(const std::vector<KFactorPoint>& points = {}) {
    AntennaList list;
    EXPECT_EQ(list.addAntenna("Yagi"), AntennaEdit::Ok);
    for (const KFactorPoint& p : points) EXPECT_EQ(list.addPoint(1, p), AntennaEdit::Ok);
    return list;
}

}  // namespace

TEST(AntennaCsv, WhichLinesCount) {
    struct Row {
        std::string line;
        bool counts;
        double f, k;
    };
    const std::vector<Row> rows = {
        {"100.000000,10.00", true, 100.0, 10.0},
        {"  100.5, -3.25", true, 100.5, -3.25},  // blanks before each number
        {"+470,+12.5", true, 470.0, 12.5},
        {"474.0,7.5,trailing text", true, 474.0, 7.5},  // the rest of the line is ignored
        {"474.0,7.5\r", true, 474.0, 7.5},              // a file with CR LF line ends
        {"0,-100", true, 0.0, -100.0},                  // the limits themselves count
        {"3000,100", true, 3000.0, 100.0},
        {"Frequency [MHz],K-Factor [dB/m]", false, 0, 0},
        {"100,150", false, 0, 0},  // K-factor out of range
        {"100,-100.01", false, 0, 0},
        {"3000.001,10", false, 0, 0},  // frequency out of range
        {"-1,10", false, 0, 0},
        {"nan,10", false, 0, 0},
        {"100,inf", false, 0, 0},
        {"1e400,10", false, 0, 0},  // overflows a double
        {"100 ,10", false, 0, 0},   // the comma must follow the number directly
        {"100;10", false, 0, 0},
        {"100,", false, 0, 0},
        {"", false, 0, 0},
        {std::string("100,10\0", 7), false, 0, 0},  // NUL: not a text line
        {"0x10,5", false, 0, 0},
    };
    for (const Row& row : rows) {
        KFactorPoint p{-1, -1};
        EXPECT_EQ(AntennaCsv_ParseLine(row.line, p), row.counts) << row.line;
        if (row.counts) {
            EXPECT_DOUBLE_EQ(p.frequency, row.f) << row.line;
            EXPECT_DOUBLE_EQ(p.kFactor, row.k) << row.line;
        }
    }
}

TEST(AntennaCsv, SevenHundredLinesStopAtTheFullList) {
    TempDir dir;
    std::string text = kAntennaCsvHeader;
    for (int i = 0; i < 700; ++i) text += std::to_string(10 + i) + ",1.5\n";
    WriteText(dir.file("big.csv"), text);

    AntennaList list = OneAntenna();
    const AntennaCsvImport r = AntennaCsv_Import(dir.file("big.csv"), list, 1);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.found, 600);
    EXPECT_EQ(r.added, 600);
    EXPECT_TRUE(r.listFull);
    ASSERT_EQ(list.antenna(1)->kFactors.size(), 600u);
    EXPECT_EQ(list.antenna(1)->kFactors.back().frequency, 609.0);  // the first 600 lines
    EXPECT_EQ(AntennaCsv_ImportMessage(r, "/d/big.csv"),
              "Successfully found 600 K-Factors in:\n/d/big.csv\n\n"
              "600 K-Factors were new and have been added to the list.\n\n"
              "Not the whole .csv file could be imported,\n"
              "since the maximum number of list entries has been reached.");
}

TEST(AntennaCsv, ExistingFrequenciesKeepTheirKFactorAndOutOfRangeLinesAreSkipped) {
    TempDir dir;
    WriteText(dir.file("a.csv"), "\xEF\xBB\xBF" "50,1\n200,9\n100,150\n300,3");  // BOM, no final line feed
    AntennaList list = OneAntenna({{200, 2.0}});
    const AntennaCsvImport r = AntennaCsv_Import(dir.file("a.csv"), list, 1);
    EXPECT_EQ(r.found, 3);
    EXPECT_EQ(r.added, 2);
    EXPECT_FALSE(r.listFull);
    const auto& pts = list.antenna(1)->kFactors;
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0].frequency, 50.0);
    EXPECT_EQ(pts[1].kFactor, 2.0);  // not 9
    EXPECT_EQ(pts[2].frequency, 300.0);
    EXPECT_EQ(AntennaCsv_ImportMessage(r, "a.csv"),
              "Successfully found 3 K-Factors in:\na.csv\n\n2 K-Factors were new and have been added to the list.");
}

TEST(AntennaCsv, ExportThenImportGivesTheSamePointsInAnyLocale) {
    TempDir dir;
    // Numbers must not follow a comma-decimal locale into the file.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;

    const AntennaList source = OneAntenna({{100, 10.0}, {200, 0.0}, {474.25, -3.5}, {2999.999999, 99.99}});
    ASSERT_TRUE(AntennaCsv_Export(dir.file("Yagi.csv"), *source.antenna(1)));
    EXPECT_EQ(ReadText(dir.file("Yagi.csv")),
              "Frequency [MHz],K-Factor [dB/m]\n100.000000,10.00\n200.000000,0.00\n"
              "474.250000,-3.50\n2999.999999,99.99\n");

    AntennaList target = OneAntenna();
    const AntennaCsvImport r = AntennaCsv_Import(dir.file("Yagi.csv"), target, 1);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(r.found, 4);
    const auto& a = source.antenna(1)->kFactors;
    const auto& b = target.antenna(1)->kFactors;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].frequency, b[i].frequency);
        EXPECT_EQ(a[i].kFactor, b[i].kFactor);
    }
    if (!german) GTEST_SKIP() << "de_DE.UTF-8 not installed; checked in the C locale only";
}

TEST(AntennaCsv, HostileFilesAreRefusedCleanly) {
    TempDir dir;
    std::string junk(std::string("100,10\0\0\0,5\n", 12));      // NUL bytes
    junk += std::string(3'000'000, 'x');                         // one huge line without numbers
    junk += "\nabc,def\n\xFF\xFE,\x80\n1,2,3," + std::string(600, '9') + "\n";
    WriteText(dir.file("junk.csv"), junk);
    AntennaList list = OneAntenna({{100, 1.0}});
    AntennaCsvImport r = AntennaCsv_Import(dir.file("junk.csv"), list, 1);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.found, 1);  // "1,2,3,999..." is cut at 499 characters and still names 1 MHz, 2 dB/m
    EXPECT_EQ(list.antenna(1)->kFactors.size(), 2u);

    // A huge line does not swallow the line after it, whatever it starts with.
    WriteText(dir.file("long.csv"), "100,1" + std::string(100'000, ' ') + "\n200,2\n");
    AntennaList two = OneAntenna();
    r = AntennaCsv_Import(dir.file("long.csv"), two, 1);
    EXPECT_EQ(r.found, 2);

    WriteText(dir.file("none.csv"), std::string(1000, '\0'));
    r = AntennaCsv_Import(dir.file("none.csv"), two, 1);
    EXPECT_EQ(AntennaCsv_ImportMessage(r, "none.csv"),
              "Antenna .csv import failed: No K-Factors found.\n\n"
              "Create a .csv export file to have an example for the required data format.");

    // Missing files, directories and FIFOs cannot be read; the list stays as it was.
    ASSERT_EQ(::mkfifo(dir.file("fifo.csv").c_str(), 0600), 0);
    for (const std::string& path : {dir.file("missing.csv"), dir.path(), dir.file("fifo.csv")}) {
        r = AntennaCsv_Import(path, two, 1);
        EXPECT_EQ(AntennaCsv_ImportMessage(r, path), "Antenna .csv import failed: Read error.") << path;
    }
    EXPECT_EQ(two.antenna(1)->kFactors.size(), 2u);
}

TEST(AntennaCsv, ExportFailureIsReported) {
    TempDir dir;
    const AntennaList list = OneAntenna({{100, 1.0}});
    const std::string path = dir.file("no/such/dir/x.csv");
    const bool written = AntennaCsv_Export(path, *list.antenna(1));
    EXPECT_FALSE(written);
    EXPECT_EQ(AntennaCsv_ExportMessage(written, path), "Antenna .csv export failed: Write error.");
    EXPECT_EQ(AntennaCsv_ExportMessage(true, "/d/Yagi.csv"), "Successfully wrote:\n/d/Yagi.csv");
}
