#include "records/recording.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "platform/paths.h"
#include "platform/text.h"

namespace {

std::mutex levelUnitMutex;
std::string levelUnitName = "dBm";

constexpr std::int64_t kBlockBytes(std::int64_t payload) { return kBlockHeaderBytes + payload; }

void ComputeSampleFileSize(DtrHeader& h) {
    h.sampleFileSize = h.itemBlockSize + kSampleBytes + h.valueBlockSize + h.graphBlockSize + 4 * kBlockHeaderBytes;
}

std::int32_t SampleHeadBytes(const RecordFile& file) {
    return file.version == kRecordVersionOldSample ? kOldSampleBytes : kSampleBytes;
}

// The per-sample sizes a file's descriptors call for; a header that disagrees
// would make readers index past the data areas or count samples wrongly.
bool DescriptorSizesMatch(const RecordFile& file) {
    const DtrHeader& h = file.header;
    if (static_cast<std::int64_t>(h.valueBlockSize) != 16LL * h.valueCount) return false;
    std::int64_t graphBytes = 0;
    for (const auto& g : file.graphs) {
        if (g.points < 0) return false;
        graphBytes += 4LL * g.points + 4;
    }
    std::int64_t itemBytes = 0;
    for (const auto& it : file.items) {
        if (it.width < 0) return false;
        itemBytes += static_cast<std::int64_t>(it.width) + 1;
    }
    if (graphBytes != h.graphBlockSize || itemBytes != h.itemBlockSize) return false;
    const std::int64_t data = 4LL * kBlockHeaderBytes + h.valueBlockSize + graphBytes + itemBytes;
    // Files of 0.62 hold 408-byte sample records; which figure their writer
    // stored is not known, so both are taken there.
    return h.sampleFileSize == data + kSampleBytes ||
           (file.version == kRecordVersionOldSample && h.sampleFileSize == data + kOldSampleBytes);
}

bool ResizeAreas(const DtrHeader& h, RecordSample& sample) {
    if (h.valueBlockSize < 0 || h.graphBlockSize < 0 || h.itemBlockSize < 0) return false;
    sample.values.resize(static_cast<std::size_t>(h.valueBlockSize) / sizeof(double));
    sample.graphs.resize(static_cast<std::size_t>(h.graphBlockSize) / sizeof(float));
    sample.items.resize(static_cast<std::size_t>(h.itemBlockSize));
    return true;
}

// How the four blocks of one sample read.
enum class SampleBlocks {
    Intact,
    Damaged,  // every header was where and what it should be: the reader stands at the next sample
    Lost,     // a header was not; the next sample is to be searched from resumeFrom on
};

SampleBlocks ReadSampleBlocks(FileContainer& ctx, const RecordFile& file, RecordSample& sample,
                              std::int64_t& resumeFrom) {
    const DtrHeader& h = file.header;
    const struct {
        std::int32_t tag;
        void* dest;
        std::int32_t length;
    } blocks[] = {{kTagSample, &sample.head, SampleHeadBytes(file)},
                  {kTagValueData, sample.values.data(), h.valueBlockSize},
                  {kTagGraphData, sample.graphs.data(), h.graphBlockSize},
                  {kTagItemData, sample.items.data(), h.itemBlockSize}};
    resumeFrom = ctx.nextHeaderOffset + 1;
    bool damaged = false;
    for (std::size_t i = 0; i < std::size(blocks); ++i) {
        const FileBlockStatus status = FileIO_TryReadBlock(ctx, blocks[i].dest, blocks[i].tag, blocks[i].length);
        if (status == FileBlockStatus::Unexpected) return SampleBlocks::Lost;
        damaged = damaged || status == FileBlockStatus::Damaged;
        // An intact block, or a header where the previous block ended, shows that
        // the sample began where it seemed to: the next one cannot start before
        // the following header.
        if (i > 0 || status == FileBlockStatus::Ok) resumeFrom = std::max(resumeFrom, ctx.nextHeaderOffset);
    }
    return damaged ? SampleBlocks::Damaged : SampleBlocks::Intact;
}

// The next sample from offset on whose first block reads intact; the reader
// then stands at its header. -1 when there is none.
std::int64_t FindIntactSample(FileContainer& ctx, const RecordFile& file, std::int64_t offset) {
    const std::int32_t headBytes = SampleHeadBytes(file);
    DriveTestSample probe{};
    for (;;) {
        const std::int64_t at = FileIO_FindBlock(ctx, offset, file.version, kTagSample, headBytes);
        if (at < 0) return -1;
        if (FileIO_TryReadBlock(ctx, &probe, kTagSample, headBytes) == FileBlockStatus::Ok)
            return FileIO_SeekBlock(ctx, at) ? at : -1;
        offset = at + 1;  // a header-like pattern inside some payload, or a damaged first block
    }
}

}  // namespace

void Recording_SetLevelUnitName(const char* name) {
    std::lock_guard<std::mutex> lock(levelUnitMutex);
    levelUnitName = name ? name : "";
}

std::string Recording_LevelUnitName() {
    std::lock_guard<std::mutex> lock(levelUnitMutex);
    return levelUnitName;
}

void Recording_InitFile(RecordFile& file) {
    file.header = DtrHeader{};
    file.info.clear();
    file.values.clear();
    file.graphs.clear();
    file.items.clear();
    file.samples.clear();
    file.version = kRecordVersionWritten;
    file.skippedSamples = 0;
    ComputeSampleFileSize(file.header);
    Track_Init(file.track);
}

void Recording_AddValue(RecordFile& file, const MeasurementValue& value) {
    DtrValueDescriptor d{};
    std::memcpy(&d, &value, sizeof d);
    std::memset(d.spare, 0, sizeof d.spare);
    if (std::strcmp(value.longName, "Level") == 0)
        Text_FormatInto(d.longName, sizeof d.longName, "Level [%s]", Recording_LevelUnitName().c_str());
    file.values.push_back(d);
    file.header.valueCount += 1;
    file.header.valueBlockSize += 16;
}

void Recording_AddGraph(RecordFile& file, const MeasurementGraph& graph) {
    DtrGraphDescriptor d{};
    std::memcpy(&d, &graph, sizeof d);
    std::memset(d.spare, 0, sizeof d.spare);
    file.graphs.push_back(d);
    file.header.graphCount += 1;
    file.header.graphBlockSize += 4 * graph.points + 4;
}

void Recording_AddInfoItem(RecordFile& file, const StandardInfoItem& item) {
    DtrItemDescriptor d{};
    std::memcpy(&d, &item, sizeof d);
    std::memset(d.spare, 0, sizeof d.spare);
    file.items.push_back(d);
    file.header.itemCount += 1;
    file.header.itemBlockSize += item.width + 1;
}

void Recording_RegisterMeasurements(RecordFile& file, const std::vector<MeasurementValue>& values,
                                    const std::vector<MeasurementGraph>& graphs,
                                    const std::vector<StandardInfoItem>& items) {
    for (const auto& v : values) Recording_AddValue(file, v);
    for (const auto& g : graphs) Recording_AddGraph(file, g);
    for (const auto& it : items) Recording_AddInfoItem(file, it);
    ComputeSampleFileSize(file.header);
}

void Recording_AllocSample(const RecordFile& file, RecordSample& sample) {
    sample.head = DriveTestSample{};
    ResizeAreas(file.header, sample);
}

void Recording_AddHeaderInfo(RecordFile& file, const char* group, const char* key, const char* value) {
    DtrInfoEntry e{};
    Text_Copy(e.group, group);
    Text_Copy(e.key, key);
    Text_Copy(e.value, value);
    file.info.push_back(e);
    file.header.infoCount = static_cast<std::int32_t>(file.info.size());
}

void Recording_BuildHeaderInfo(RecordFile& file, const RecordHeaderSource& s) {
    file.info.clear();
    file.header.infoCount = 0;
    char created[56];
    DateTime_FormatInto(s.created, created, sizeof created);
    Recording_AddHeaderInfo(file, "File", "Description", s.description.c_str());
    Recording_AddHeaderInfo(file, "File", "Created", created);
    Recording_AddHeaderInfo(file, "File", "Standard", s.standardName.c_str());
    Recording_AddHeaderInfo(file, "TV Analyzer", "Type", Text_Format("Korvane %s", s.modelName.c_str()).c_str());
    Recording_AddHeaderInfo(file, "TV Analyzer", "Frequency", Text_Format("%.6lf MHz", s.frequencyMHz).c_str());
    for (const auto& [title, label] : s.parameters)
        Recording_AddHeaderInfo(file, "TV Analyzer", ReceiverInfo_PlainTitle(title.c_str()).c_str(), label.c_str());
    Recording_AddHeaderInfo(file, "TV Analyzer", "Input", s.inputName.c_str());
    Recording_AddHeaderInfo(file, "TV Analyzer", "Serial number", s.serialNumber.c_str());
    Recording_AddHeaderInfo(file, "TV Analyzer", "Firmware version", s.firmwareVersion.c_str());
    if (!s.antennaName.empty()) {
        Recording_AddHeaderInfo(file, "Antenna", "Type", s.antennaName.c_str());
        Recording_AddHeaderInfo(file, "Antenna", "K-Factor [dB/m]", Text_Format("%.2lf", s.kFactor).c_str());
    }
    Recording_AddHeaderInfo(file, "Software", "Version", Text_Format("%.2lf", kSoftwareVersion).c_str());
}

std::string Recording_FileName(const LocalDateTime& t, const std::string& description) {
    std::string safe = description;
    for (char& c : safe)
        if (std::strchr("\"*/:<>?\\|", c) || static_cast<unsigned char>(c) < 32) c = '_';
    return Text_Format("%04d-%02d-%02d  %02d-%02d-%02d  %s.dtr", t.year, t.month, t.day, t.hour, t.minute, t.second,
                       safe.c_str());
}

bool Recording_CreateFile(FileContainer& ctx, RecordFile& file, const char* directory, const char* name) {
    ComputeSampleFileSize(file.header);
    std::string path = Platform_JoinPath(directory, name);
    if (!FileIO_OpenWrite(path.c_str(), static_cast<std::size_t>(file.header.sampleFileSize), kRecordVersionWritten,
                          ctx))
        return false;
    bool ok = FileIO_WriteBlock(ctx, &file.header, kTagHeader, sizeof(DtrHeader));
    for (std::size_t i = 0; ok && i < file.info.size(); ++i)
        ok = FileIO_WriteBlock(ctx, &file.info[i], kTagInfo, sizeof(DtrInfoEntry));
    for (std::size_t i = 0; ok && i < file.values.size(); ++i)
        ok = FileIO_WriteBlock(ctx, &file.values[i], kTagValueDescriptor, sizeof(DtrValueDescriptor));
    for (std::size_t i = 0; ok && i < file.graphs.size(); ++i)
        ok = FileIO_WriteBlock(ctx, &file.graphs[i], kTagGraphDescriptor, sizeof(DtrGraphDescriptor));
    for (std::size_t i = 0; ok && i < file.items.size(); ++i)
        ok = FileIO_WriteBlock(ctx, &file.items[i], kTagItemDescriptor, sizeof(DtrItemDescriptor));
    // The descriptive part leaves now, so that every later write is exactly one sample.
    return ok && FileIO_Flush(ctx);
}

void Recording_ResetSample(const RecordFile& file, RecordSample& sample) {
    sample.head.gps.gpsFix = 0;
    sample.head.attStart = 0.0;
    sample.head.attStop = 0.0;
    ResizeAreas(file.header, sample);
    std::fill(sample.values.begin(), sample.values.end(), 0.0);
    std::fill(sample.graphs.begin(), sample.graphs.end(), 0.0f);
    std::fill(sample.items.begin(), sample.items.end(), std::uint8_t{0});
}

bool Recording_WriteSample(FileContainer& ctx, const RecordFile& file, const RecordSample& sample) {
    const DtrHeader& h = file.header;
    if (sample.values.size() * sizeof(double) != static_cast<std::size_t>(h.valueBlockSize) ||
        sample.graphs.size() * sizeof(float) != static_cast<std::size_t>(h.graphBlockSize) ||
        sample.items.size() != static_cast<std::size_t>(h.itemBlockSize))
        return false;
    // The sample stays in the buffer until all four blocks are in, then leaves in
    // one write, so a crash between cycles never loses a finished sample.
    return FileIO_WriteBlock(ctx, &sample.head, kTagSample, kSampleBytes) &&
           FileIO_WriteBlock(ctx, sample.values.data(), kTagValueData, h.valueBlockSize) &&
           FileIO_WriteBlock(ctx, sample.graphs.data(), kTagGraphData, h.graphBlockSize) &&
           FileIO_WriteBlock(ctx, sample.items.data(), kTagItemData, h.itemBlockSize) && FileIO_Flush(ctx);
}

void Recording_StampTime(DtrTime& time, double dateTime) {
    LocalDateTime t = DateTime_Split(dateTime);
    time.year = t.year;
    time.month = t.month;
    time.day = t.day;
    time.hour = t.hour;
    time.minute = t.minute;
    time.second = t.second;
    DateTime_FormatInto(t, time.text, sizeof time.text);
    time.dateTime = dateTime;
}

bool Recording_OpenFile(FileContainer& ctx, RecordFile& file, const char* path, std::string& message) {
    Recording_InitFile(file);
    message.clear();
    if (!FileIO_OpenRead(path, 10000, ctx)) {
        message = "Could not open file";
        return false;
    }
    if (ctx.format != 1 || ctx.nextTag != kTagHeader) {
        FileIO_CloseRead(ctx);
        message = "Incompatible file format";
        return false;
    }
    if (ctx.version > kRecordVersionMaxRead) {
        message = Text_Format("Version %.2lf (or higher) required", ctx.version / 100.0);
        FileIO_CloseRead(ctx);
        return false;
    }
    file.version = ctx.version;
    auto fail = [&]() {
        FileIO_CloseRead(ctx);
        Recording_InitFile(file);
        message = "Could not read data";
        return false;
    };
    DtrHeader& h = file.header;
    if (!FileIO_ReadBlock(ctx, &h, kTagHeader, sizeof(DtrHeader))) return fail();
    // Counts are checked against what the file can hold before anything is allocated.
    if (h.infoCount < 0 || h.valueCount < 0 || h.graphCount < 0 || h.itemCount < 0) return fail();
    std::int64_t needed = h.infoCount * kBlockBytes(sizeof(DtrInfoEntry)) +
                          h.valueCount * kBlockBytes(sizeof(DtrValueDescriptor)) +
                          h.graphCount * kBlockBytes(sizeof(DtrGraphDescriptor)) +
                          h.itemCount * kBlockBytes(sizeof(DtrItemDescriptor));
    // The last descriptor's trailing header may be missing in a file without samples.
    if (needed - kBlockHeaderBytes > FileIO_Available(ctx)) return fail();
    file.info.resize(static_cast<std::size_t>(h.infoCount));
    file.values.resize(static_cast<std::size_t>(h.valueCount));
    file.graphs.resize(static_cast<std::size_t>(h.graphCount));
    file.items.resize(static_cast<std::size_t>(h.itemCount));
    for (auto& e : file.info)
        if (!FileIO_ReadBlock(ctx, &e, kTagInfo, sizeof e)) return fail();
    for (auto& d : file.values)
        if (!FileIO_ReadBlock(ctx, &d, kTagValueDescriptor, sizeof d)) return fail();
    for (auto& d : file.graphs)
        if (!FileIO_ReadBlock(ctx, &d, kTagGraphDescriptor, sizeof d)) return fail();
    for (auto& d : file.items)
        if (!FileIO_ReadBlock(ctx, &d, kTagItemDescriptor, sizeof d)) return fail();
    if (!DescriptorSizesMatch(file)) return fail();
    Text_Copy(file.track.distanceUnit, Text_View(h.distanceUnit));
    return true;
}

bool Recording_ReadSample(FileContainer& ctx, RecordFile& file, RecordSample& sample, int levelSlot,
                          double offset) {
    const std::int64_t sampleBytes = Recording_SampleFileBytes(file);
    for (;;) {
        const std::int64_t start = ctx.nextHeaderOffset;
        // A sample the rest of the file cannot hold is the cut end of the file;
        // checking first keeps a damaged header from costing memory.
        if (start < 0 || ctx.fileSize - start < sampleBytes) return false;
        if (!ResizeAreas(file.header, sample)) return false;
        sample.head = DriveTestSample{};
        std::int64_t resumeFrom = 0;
        const SampleBlocks read = ReadSampleBlocks(ctx, file, sample, resumeFrom);
        if (read == SampleBlocks::Intact) break;
        if (read == SampleBlocks::Damaged) {
            ++file.skippedSamples;
            continue;
        }
        // The layout was lost: the samples in between are judged by the distance
        // to the next intact one; a damaged tail counts its whole samples only.
        const std::int64_t next = FindIntactSample(ctx, file, resumeFrom);
        if (next < 0) {
            file.skippedSamples += (ctx.fileSize - start) / sampleBytes;
            return false;
        }
        file.skippedSamples += std::max<std::int64_t>(1, (next - start + sampleBytes / 2) / sampleBytes);
    }
    if (file.version == kRecordVersionOldSample) sample.head.attStart = sample.head.attStop = -1.0;
    if (levelSlot >= 0 && static_cast<std::size_t>(levelSlot) + 1 < sample.values.size() &&
        sample.values[static_cast<std::size_t>(levelSlot)] != 0.0)
        sample.values[static_cast<std::size_t>(levelSlot) + 1] += offset;
    return true;
}

std::int64_t Recording_SampleFileBytes(const RecordFile& file) {
    const DtrHeader& h = file.header;
    return 4LL * kBlockHeaderBytes + SampleHeadBytes(file) + h.valueBlockSize + h.graphBlockSize + h.itemBlockSize;
}

std::string Recording_SkippedText(std::int64_t skipped) {
    if (skipped <= 0) return {};
    if (skipped == 1) return "\n\n1 damaged sample was skipped.";
    return Text_Format("\n\n%lld damaged samples were skipped.", static_cast<long long>(skipped));
}

void Recording_FreeFile(RecordFile& file) {
    file.info = {};
    file.values = {};
    file.graphs = {};
    file.items = {};
    file.samples = {};
    file.header = DtrHeader{};
}

void Recording_UpdateTrack(RecordFile& file) {
    if (!file.samples.empty()) Track_Update(file.track, file.samples);
}

void Recording_UpdateReportedSpeed(RecordFile& file) {
    if (!file.samples.empty()) Track_UpdateReportedSpeed(file.track, file.samples.back());
}

void Recording_ShowTrack(const RecordFile& file, TrackView& view) {
    Track_Show(file.track, file.samples.empty() ? nullptr : &file.samples.back(), view);
}
