// The exact text of the CSV outputs, line by line, and the point formatter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "export/csv/csvformat.h"
#include "records/recordfixture.h"

namespace {

// Descriptors as a record file holds them: Level (2 decimals), Sync (0), MER (1);
// read-outs of width 10 and 12; one graph of 4 points.
RecordFile SmallFile(const char* distanceUnit = kDistanceKilometers) {
    RecordFile file;
    Recording_InitFile(file);
    Text_Copy(file.header.distanceUnit, distanceUnit);
    Recording_SetLevelUnitName("dB\xB5V");
    TestMeasurements m;
    Recording_RegisterMeasurements(file, m.values, {TestGraph("Echo Pattern", 4)},
                                   {TestItem("FFT Mode", 10), TestItem("Cell ID", 12)});
    return file;
}

RecordSample GoodSample(const RecordFile& file) {
    RecordSample s;
    Recording_AllocSample(file, s);
    Text_Copy(s.head.status, kStatusNoError);
    s.head.gps = {1, 0, 48.137154, 11.575382, 40.04};
    Recording_StampTime(s.head.cycleStart, DateTime_Make({2026, 6, 1, 10, 0, 7}));
    s.values = {1.0, 45.678, 1.0, 1.0, 1.0, 23.45};
    s.graphs = {1.0f, -200.0f, -23.5f, 9.91e37f, 0.0078125f};
    std::memcpy(&s.items[1], "8K", 3);
    s.items[0] = 1;
    std::memcpy(&s.items[12], "12,34", 6);
    s.items[11] = 1;
    return s;
}

std::string MeasurementsLine(const RecordFile& file, long long n, const RecordSample& s) {
    std::string line;
    Csv_AppendMeasurementsLine(line, file, n, s);
    return line;
}

std::string GraphLine(const RecordFile& file, long long n, const RecordSample& s) {
    std::string line;
    Csv_AppendGraphLine(line, file, 0, -40.0, n, s);
    return line;
}

TEST(CsvLines, HeadersNameEveryColumn) {
    RecordFile km = SmallFile();
    EXPECT_EQ(Csv_MeasurementsHeader(km),
              "Sample,Year,Month,Day,Hour,Minute,Second,Status,GPS Fix,GPS Longitude,GPS Latitude,"
              "GPS Speed [km/h],Level [dB\xC2\xB5V],Sync,MER RMS [dB],FFT Mode,Cell ID,\n");
    RecordFile mi = SmallFile(kDistanceMiles);
    EXPECT_NE(Csv_MeasurementsHeader(mi).find(",GPS Speed [mph],Level"), std::string::npos);

    EXPECT_EQ(Csv_GraphHeader(km.graphs[0]),
              "X axis info\nName,Time [\xC2\xB5s]\nStart,-250\nStop,250\n\nY axis info\nName,Echo power [dB]\n\n\n"
              "Sample,Year,Month,Day,Hour,Minute,Second,Status,GPS Fix,GPS Longitude,GPS Latitude\n");
    DtrGraphDescriptor noRange = km.graphs[0];
    Text_Copy(noRange.xMax, "");
    EXPECT_EQ(Csv_GraphHeader(noRange),
              "X axis info\nName,Time [\xC2\xB5s]\n\nY axis info\nName,Echo power [dB]\n\n\n"
              "Sample,Year,Month,Day,Hour,Minute,Second,Status,GPS Fix,GPS Longitude,GPS Latitude\n");
}

TEST(CsvLines, GoodSampleWithFix) {
    RecordFile file = SmallFile();
    RecordSample s = GoodSample(file);
    // The read-out's comma becomes a hyphen; the 9.91e37 point is the analyzer's "no value".
    EXPECT_EQ(MeasurementsLine(file, 1, s),
              "1,2026,6,1,10,0,7,No error,1,11.575382,48.137154,40.0,45.68,1,23.4,8K,12-34,\n");
    EXPECT_EQ(GraphLine(file, 1, s),
              "1,2026,6,1,10,0,7,No error,1,11.575382,48.137154,-200.000000,-23.500000,---,0.007812,\n");
}

TEST(CsvLines, SampleWithoutFixAndInvalidEntries) {
    RecordFile file = SmallFile(kDistanceMiles);
    RecordSample s = GoodSample(file);
    s.head.gps = {0, 0, 0.0, 0.0, 100.0};
    s.values[2] = 0.0;  // Sync not valid
    s.items[11] = 0;    // Cell ID not valid
    s.graphs[0] = 0.0f;  // trace not valid: no points at all
    EXPECT_EQ(MeasurementsLine(file, 12, s), "12,2026,6,1,10,0,7,No error,0,---,---,62.1,45.68,---,23.4,8K,---,\n");
    EXPECT_EQ(GraphLine(file, 12, s), "12,2026,6,1,10,0,7,No error,0,---,---,\n");
    s.head.gps.speed = -1.0;
    EXPECT_EQ(MeasurementsLine(file, 12, s), "12,2026,6,1,10,0,7,No error,0,---,---,---,45.68,---,23.4,8K,---,\n");
}

TEST(CsvLines, SpoiledSampleWritesNoValues) {
    RecordFile file = SmallFile();
    for (const char* status : {kStatusAttenuation, "Measuring: Level -> TCP read timeout", ""}) {
        SCOPED_TRACE(status);
        RecordSample s = GoodSample(file);
        Text_Copy(s.head.status, status);
        const std::string part = std::string("1,2026,6,1,10,0,7,") + status + ",1,11.575382,48.137154,";
        EXPECT_EQ(MeasurementsLine(file, 1, s), part + "40.0,---,---,---,---,---,\n");
        EXPECT_EQ(GraphLine(file, 1, s), part + "\n");
    }
}

TEST(CsvLines, CommasInAStatusDoNotShiftTheColumns) {
    RecordFile file = SmallFile();
    RecordSample s = GoodSample(file);
    Text_Copy(s.head.status, "Init -> -113,\"Undefined header\"");
    // An analyzer's error text: quoted whole, its quotes doubled.
    EXPECT_EQ(GraphLine(file, 1, s),
              "1,2026,6,1,10,0,7,\"Init -> -113,\"\"Undefined header\"\"\",1,11.575382,48.137154,\n");
}

// Quotes only where a text would shift or split the row; a read-out's comma
// has always become a hyphen and never forces quotes.
TEST(CsvLines, FieldsAreQuotedOnlyWhenTheyMustBe) {
    struct Row {
        const char* latin1;
        bool readOut;
        const char* written;
    } const rows[] = {
        {"", false, ""},
        {"50 Ohm", false, "50 Ohm"},
        {"Guard, interval", false, "\"Guard, interval\""},
        {"12,34", true, "12-34"},
        {"say \"hi\", twice", true, "\"say \"\"hi\"\"- twice\""},
        {"\"", false, "\"\"\"\""},
        {"line\nbreak", true, "\"line\nbreak\""},
        {"cr\r", false, "\"cr\r\""},
        {"dB\xB5V/m \xE9t\xE9", false, "dB\xC2\xB5V/m \xC3\xA9t\xC3\xA9"},
    };
    for (const auto& row : rows) {
        std::string line = "x,";
        Csv_AppendField(line, row.latin1, row.readOut);
        EXPECT_EQ(line, std::string("x,") + row.written) << row.latin1;
    }
}

TEST(CsvLines, ReadOutsFillingTheirWidthAndDecimalsOfEachValue) {
    RecordFile file = SmallFile();
    file.values[0].decimals = 0;
    file.values[2].decimals = 3;
    RecordSample s = GoodSample(file);
    std::memset(&s.items[1], 'x', 10);  // no terminator inside the width
    s.values[1] = -0.5;
    EXPECT_EQ(MeasurementsLine(file, 1, s),
              "1,2026,6,1,10,0,7,No error,1,11.575382,48.137154,40.0,-0,1,23.450,xxxxxxxxxx,12-34,\n");
}

TEST(CsvLines, ConfigurationGroupsTheInfoEntries) {
    RecordFile file = SmallFile();
    const char* const entries[][3] = {{"File", "Description", "Ch21"},
                                      {"File", "Created", "01.06.2026 10:00:00"},
                                      {"TV Analyzer", "Type", "Korvane Alvra"},
                                      {"TV Analyzer", "Input", "50 Ohm"},
                                      {"Software", "Version", "3.20"}};
    for (const auto& e : entries)
        Recording_AddHeaderInfo(file, e[0], e[1], e[2]);
    EXPECT_EQ(Csv_ConfigurationText(file, "02.06.2026 08:09:10"),
              "File\nDescription,Ch21\nCreated,01.06.2026 10:00:00\n"
              "\nTV Analyzer\nType,Korvane Alvra\nInput,50 Ohm\n"
              "\nSoftware\nVersion,3.20\n"
              "\nCSV Export\nCreated,02.06.2026 08:09:10\nSoftware version,3.20\n");
}

TEST(CsvLines, PointsPrintExactlyAsPrintfDoes) {
    auto point = [](float v) {
        std::string s;
        Csv_AppendPoint(s, v);
        return s;
    };
    // 0.0078125 and 0.0234375 are exact ties at the sixth decimal: printf rounds them to even.
    const float specials[] = {0.0f,       -0.0f,       -200.0f,    0.0078125f, 0.0234375f, -0.0078125f,
                              1e-7f,      -1e-7f,      0.5e-6f,    123.456f,   -39.999996f, 1e9f,
                              8.9e9f,     9.5e9f,      -3.4e38f,   std::numeric_limits<float>::denorm_min(),
                              16777217.0f};
    for (float v : specials) EXPECT_EQ(point(v), Text_FormatFixed(v, 6) + ",") << v;
    EXPECT_EQ(point(-0.0f), "-0.000000,");
    EXPECT_EQ(point(0.0078125f), "0.007812,");

    std::mt19937 rng(7);
    std::uniform_real_distribution<float> near(-300.0f, 300.0f);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int i = 0; i < 200000; ++i) {
        float v = near(rng);
        if (i % 2) {
            std::uint32_t b = bits(rng);
            std::memcpy(&v, &b, sizeof v);
            if (!std::isfinite(v)) continue;
        }
        ASSERT_EQ(point(v), Text_FormatFixed(v, 6) + ",") << v;
    }
}

}  // namespace
