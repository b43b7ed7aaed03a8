#pragma once
// Drive-test record files (.dtr): writer and reader. A file holds a header,
// text information about the recording, the descriptors of every value, graph
// and read-out, and then one sample per measurement cycle until it ends.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "instrument/receiverinfo.h"
#include "platform/datetime.h"
#include "records/fileio.h"
#include "records/recordtypes.h"
#include "records/track.h"

// The in-memory description of one record file, with its buffered samples and track.
struct RecordFile {
    DtrHeader header{};
    std::vector<DtrInfoEntry> info;
    std::vector<DtrValueDescriptor> values;
    std::vector<DtrGraphDescriptor> graphs;
    std::vector<DtrItemDescriptor> items;
    std::int32_t version = kRecordVersionWritten;  // container version of the file read
    std::int64_t skippedSamples = 0;               // damaged samples the reader stepped over
    std::vector<RecordSample> samples;             // buffered samples (track, conversions)
    TrackState track;
};

// What the header information of a new file is made of.
struct RecordHeaderSource {
    std::string description;     // the frequency entry's description (also the file name's tail)
    LocalDateTime created;       // the file's creation time
    std::string standardName;
    std::string modelName;       // "Korvane %s" is stored
    double frequencyMHz = 0.0;
    // (column title as in the catalogue, label of the chosen value), in the standard's parameter order
    std::vector<std::pair<std::string, std::string>> parameters;
    std::string inputName;
    std::string serialNumber;
    std::string firmwareVersion;
    std::string antennaName;     // empty: no antenna
    double kFactor = 0.0;        // dB/m at the frequency, stored only with an antenna
};

constexpr double kSoftwareVersion = 3.20;

// The level-unit name shared with the user interface; read under its lock for "Level [%s]".
void Recording_SetLevelUnitName(const char* name);
std::string Recording_LevelUnitName();

// --- writing ---
void Recording_InitFile(RecordFile& file);
void Recording_AddValue(RecordFile& file, const MeasurementValue& value);
void Recording_AddGraph(RecordFile& file, const MeasurementGraph& graph);
void Recording_AddInfoItem(RecordFile& file, const StandardInfoItem& item);
void Recording_RegisterMeasurements(RecordFile& file, const std::vector<MeasurementValue>& values,
                                    const std::vector<MeasurementGraph>& graphs,
                                    const std::vector<StandardInfoItem>& items);
void Recording_AllocSample(const RecordFile& file, RecordSample& sample);
void Recording_AddHeaderInfo(RecordFile& file, const char* group, const char* key, const char* value);
void Recording_BuildHeaderInfo(RecordFile& file, const RecordHeaderSource& source);
// "%04d-%02d-%02d  %02d-%02d-%02d  %s.dtr"; characters that cannot stand in a file name become '_'.
std::string Recording_FileName(const LocalDateTime& created, const std::string& description);
bool Recording_CreateFile(FileContainer& ctx, RecordFile& file, const char* directory, const char* name);
void Recording_ResetSample(const RecordFile& file, RecordSample& sample);
// Tags 15 to 18 of one sample, handed to the operating system in one write.
bool Recording_WriteSample(FileContainer& ctx, const RecordFile& file, const RecordSample& sample);
void Recording_StampTime(DtrTime& time, double dateTime);

// --- reading ---
// On failure message holds "Could not open file", "Incompatible file format",
// "Version %.2lf (or higher) required" or "Could not read data"; on success it is empty.
bool Recording_OpenFile(FileContainer& ctx, RecordFile& file, const char* path, std::string& message);
// Next intact sample; false at the end of the file, which includes a last
// sample the file was cut inside (not counted as damaged). A damaged sample
// is stepped over and counted in file.skippedSamples. After false, sample
// holds nothing of use.
// With levelSlot >= 0 and a valid level, offset (dB) is added to the level.
bool Recording_ReadSample(FileContainer& ctx, RecordFile& file, RecordSample& sample, int levelSlot = -1,
                          double offset = 0.0);
// Bytes one sample occupies in the file: its four blocks with their headers.
std::int64_t Recording_SampleFileBytes(const RecordFile& file);
// "\n\n1 damaged sample was skipped." or "\n\n%lld damaged samples were
// skipped.", appended to a conversion's final message; empty for none.
std::string Recording_SkippedText(std::int64_t skipped);
void Recording_FreeFile(RecordFile& file);

// --- buffered samples ---
void Recording_CopySample(const RecordFile& file, RecordSample& dst, const RecordSample& src);
bool Recording_SampleListAppend(RecordFile& file, const RecordSample& sample);
void Recording_SampleListRemove(RecordFile& file, int position);  // 1-based; ignored outside
void Recording_FreeSample(RecordSample& sample);

// --- track ---
void Recording_UpdateTrack(RecordFile& file);
void Recording_UpdateReportedSpeed(RecordFile& file);
void Recording_ShowTrack(const RecordFile& file, TrackView& view);

// Offsets of one descriptor's data inside the sample areas.
inline std::size_t Recording_GraphOffset(const RecordFile& file, std::size_t graph) {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < graph; ++i) offset += 1 + static_cast<std::size_t>(file.graphs[i].points);
    return offset;  // in floats: the valid flag, then the points
}
inline std::size_t Recording_ItemOffset(const RecordFile& file, std::size_t item) {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < item; ++i) offset += 1 + static_cast<std::size_t>(file.items[i].width);
    return offset;  // in bytes: the valid byte, then width bytes
}
