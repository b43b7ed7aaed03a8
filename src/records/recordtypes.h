#pragma once
// Stored records of the drive-test record file (.dtr). Every struct here is
// written and read byte for byte, little-endian, with the sizes and offsets
// asserted below; the in-memory sample adds its three data areas.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "record files are little-endian and are copied byte for byte");

// Block tags of a record file.
enum RecordTag : std::int32_t {
    kTagHeader = 10,
    kTagInfo = 11,
    kTagValueDescriptor = 12,
    kTagGraphDescriptor = 13,
    kTagItemDescriptor = 14,
    kTagSample = 15,
    kTagValueData = 16,
    kTagGraphData = 17,
    kTagItemData = 18,
};

constexpr std::int32_t kRecordVersionWritten = 180;  // 1.80
constexpr std::int32_t kRecordVersionMaxRead = 320;  // 3.20, the software version
constexpr std::int32_t kRecordVersionOldSample = 62;  // 0.62: 408-byte samples
constexpr int kSampleBytes = 424;
constexpr int kOldSampleBytes = 408;

struct DtrHeader {
    std::int32_t infoCount;
    std::int32_t itemCount;
    std::int32_t valueCount;
    std::int32_t graphCount;
    std::int32_t itemBlockSize;   // sum over read-outs of (width + 1)
    std::int32_t valueBlockSize;  // 16 x valueCount
    std::int32_t graphBlockSize;  // sum over graphs of (4 x points + 4)
    std::int32_t sampleFileSize;  // all four sample blocks with their 100-byte headers
    char distanceUnit[100];       // "kilometers [km]" or "miles [mi]"
};
static_assert(sizeof(DtrHeader) == 132);
static_assert(offsetof(DtrHeader, itemBlockSize) == 16 && offsetof(DtrHeader, sampleFileSize) == 28 &&
              offsetof(DtrHeader, distanceUnit) == 32);

struct DtrInfoEntry {
    char group[100];
    char key[100];
    char value[100];
};
static_assert(sizeof(DtrInfoEntry) == 300);

// The stored prefixes of the catalogue's MeasurementValue, MeasurementGraph and StandardInfoItem.
struct DtrValueDescriptor {
    char group[100];
    char name[100];
    char longName[100];
    char spare[100];
    std::int32_t decimals;
    std::int32_t accumulateFlag;
    std::int32_t displayKind;
};
static_assert(sizeof(DtrValueDescriptor) == 412 && offsetof(DtrValueDescriptor, decimals) == 400);

struct DtrGraphDescriptor {
    char group[100];
    char name[100];
    char longName[100];
    char spare[100];
    std::int32_t points;
    char xLabel[100];
    char xMin[100];
    char xMax[100];
    char yLabel[100];
    char yMin[100];
    char yMax[100];
};
static_assert(sizeof(DtrGraphDescriptor) == 1004 && offsetof(DtrGraphDescriptor, points) == 400 &&
              offsetof(DtrGraphDescriptor, xLabel) == 404 && offsetof(DtrGraphDescriptor, yMax) == 904);

struct DtrItemDescriptor {
    char group[100];
    char name[100];
    char longName[100];
    char spare[100];
    std::int32_t width;
};
static_assert(sizeof(DtrItemDescriptor) == 404 && offsetof(DtrItemDescriptor, width) == 400);

struct DtrTime {
    std::int32_t year;
    std::int32_t month;
    std::int32_t day;
    std::int32_t hour;
    std::int32_t minute;
    std::int32_t second;
    char text[56];    // "%02d.%02d.%04d %02d:%02d:%02d", day first
    double dateTime;  // seconds since 1900-01-01 local time
};
static_assert(sizeof(DtrTime) == 88 && offsetof(DtrTime, text) == 24 && offsetof(DtrTime, dateTime) == 80);

struct GpsFix {
    std::int32_t gpsFix;  // 1 when latitude, longitude and speed hold a valid position
    std::int32_t reserved;
    double latitude;   // degrees, north positive
    double longitude;  // degrees, east positive
    double speed;      // km/h; -1.0 when unknown
};
static_assert(sizeof(GpsFix) == 32 && offsetof(GpsFix, latitude) == 8 && offsetof(GpsFix, speed) == 24);

struct DriveTestSample {
    char status[200];  // "No error", "Attenuation adaption was required", or a re-initialisation reason
    GpsFix gps;
    DtrTime cycleStart;
    DtrTime cycleEnd;
    double attStart;  // dB; -1.0 when it could not be read
    double attStop;
};
static_assert(sizeof(DriveTestSample) == kSampleBytes);
static_assert(offsetof(DriveTestSample, gps) == 200 && offsetof(DriveTestSample, cycleStart) == 232 &&
              offsetof(DriveTestSample, cycleEnd) == 320 && offsetof(DriveTestSample, attStart) == 408 &&
              offsetof(DriveTestSample, attStop) == 416);

// One sample in memory: the stored record and its three data areas.
struct RecordSample {
    DriveTestSample head{};
    std::vector<double> values;         // (valid, value) per value descriptor
    std::vector<float> graphs;          // per graph: valid, then its points
    std::vector<std::uint8_t> items;    // per read-out: valid byte, then width bytes
};

constexpr const char* kStatusNoError = "No error";
constexpr const char* kStatusAttenuation = "Attenuation adaption was required";
constexpr const char* kDistanceKilometers = "kilometers [km]";
constexpr const char* kDistanceMiles = "miles [mi]";
