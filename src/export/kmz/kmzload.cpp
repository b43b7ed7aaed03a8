#include "export/kmz/kmzload.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <unordered_map>

#include "export/kmz/kmzstream.h"
#include "platform/datetime.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(500);

template <typename Descriptor>
int FindOrAppend(std::vector<Descriptor>& list, const Descriptor& descriptor) {
    const std::string_view name = Text_View(descriptor.longName);
    for (std::size_t i = 0; i < list.size(); ++i)
        if (Text_View(list[i].longName) == name) return static_cast<int>(i);
    list.push_back(descriptor);
    return static_cast<int>(list.size()) - 1;
}

double LabelNumber(const char* label, std::size_t size) {
    double value = 0.0;
    if (!Text_ParseLeadingDouble(std::string_view(label, Text_FieldLength(label, size)), value)) return 0.0;
    return value;
}

// Distinct texts of one table, numbered from 1 (0 stands for the empty text).
class TextTable {
public:
    explicit TextTable(std::vector<std::string>& texts) : texts_(texts) {
        for (std::size_t i = 0; i < texts.size(); ++i) index_.emplace(texts[i], static_cast<std::uint32_t>(i + 1));
    }
    std::uint32_t intern(std::string_view text) {
        auto it = index_.find(std::string(text));
        if (it != index_.end()) return it->second;
        texts_.emplace_back(text);
        const auto number = static_cast<std::uint32_t>(texts_.size());
        index_.emplace(texts_.back(), number);
        return number;
    }

private:
    std::vector<std::string>& texts_;
    std::unordered_map<std::string, std::uint32_t> index_;
};

// Longitude difference b - a the short way round the globe.
double LongitudeStep(double a, double b) {
    double d = b - a;
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return d;
}

// Position at fraction t of the way from anchor a to anchor b (t may lie outside 0..1).
void PlaceBetween(KmzSample& s, const KmzSample& a, const KmzSample& b) {
    const double span = b.time - a.time;
    // Two anchors of the same time give no direction (and would divide by zero):
    // the sample takes the place of the anchor on its side.
    double t = span != 0.0 ? (s.time - a.time) / span : (s.time >= b.time ? 1.0 : 0.0);
    if (!std::isfinite(t)) t = 0.0;
    s.latitude = a.latitude + t * (b.latitude - a.latitude);
    s.longitude = a.longitude + t * LongitudeStep(a.longitude, b.longitude);
    KmzLoad_NormalisePosition(s.latitude, s.longitude);
    s.position = kKmzInterpolatedPosition;
}

// The histogram level of a point as KmzLoad_GraphLevel computes it, with the scale worked out once.
struct LevelScale {
    double yMin = 0.0;
    double scale = 0.0;  // 99 / (yMax - yMin); 0 when the range is empty
    bool usable = false;

    LevelScale(double lo, double hi) : yMin(lo), scale(hi != lo ? 99.0 / (hi - lo) : 0.0), usable(hi != lo && std::isfinite(scale)) {}
    std::uint8_t level(float value) const {
        const double d = value - yMin;
        if (!usable || !(std::abs(d) < 1000000.0)) return kKmzNoLevel;
        const double r = d * scale;
        // The nearest integer, halves away from zero; only 0..99 count.
        if (!(r > -0.5 && r < 99.5)) return kKmzNoLevel;
        const int whole = static_cast<int>(r);
        const int level = whole + (r - whole >= 0.5 ? 1 : 0);
        return static_cast<std::uint8_t>(level < 0 ? 0 : level);
    }
};

struct SampleReader {
    KmzDataSet& data;
    std::vector<LevelScale> scales;
    std::vector<std::vector<std::uint16_t>> counterBase;  // per common graph and point: its column's first counter
    std::vector<TextTable> texts;
    TextTable states;

    explicit SampleReader(KmzDataSet& d) : data(d), states(d.statusTexts) {
        for (const auto& g : d.graphs) {
            scales.emplace_back(LabelNumber(g.yMin, sizeof g.yMin), LabelNumber(g.yMax, sizeof g.yMax));
            std::vector<std::uint16_t> base(static_cast<std::size_t>(std::max(g.points, 0)));
            for (int j = 0; j < g.points; ++j) base[static_cast<std::size_t>(j)] = KmzLoad_GraphCounter(j, g.points, 0);
            counterBase.push_back(std::move(base));
        }
        d.itemTexts.resize(d.items.size());
        texts.reserve(d.items.size());
        for (auto& table : d.itemTexts) texts.emplace_back(table);
    }

    // Appends one read sample re-laid to the common channels.
    void append(const KmzLoadedFile& file, const RecordSample& in) {
        KmzDataSet& d = data;
        const std::size_t index = d.samples.size();
        KmzSample s;
        s.position = in.head.gps.gpsFix == 1 ? kKmzGpsPosition : kKmzNoPosition;
        s.latitude = in.head.gps.latitude;
        s.longitude = in.head.gps.longitude;
        s.speed = in.head.gps.speed;
        s.time = in.head.cycleStart.dateTime;
        if (s.position == kKmzGpsPosition) {
            if (!std::isfinite(s.latitude) || !std::isfinite(s.longitude)) s.position = kKmzNoPosition;
            else KmzLoad_NormalisePosition(s.latitude, s.longitude);
        }
        if (!std::isfinite(s.speed)) s.speed = -1.0;
        s.status = static_cast<std::int32_t>(states.intern(Text_View(in.head.status)) - 1);

        const std::size_t nv = d.values.size();
        d.sampleValues.resize(d.sampleValues.size() + 2 * nv, 0.0);  // missing channels stay invalid
        double* values = d.valueEntry(index, 0);
        for (std::size_t i = 0; i < file.valueMap.size() && 2 * i + 1 < in.values.size(); ++i) {
            values[2 * file.valueMap[i]] = in.values[2 * i];
            values[2 * file.valueMap[i] + 1] = in.values[2 * i + 1];
        }

        // Graph channels in common order; the file's own order may differ.
        const RecordFile& rec = *file.record;
        for (std::size_t common = 0; common < d.graphs.size(); ++common) {
            const int g = file.graphFromCommon[common];
            std::uint8_t any = 0;
            const std::size_t at = g >= 0 ? Recording_GraphOffset(rec, static_cast<std::size_t>(g)) : 0;
            if (g >= 0 && at < in.graphs.size() && in.graphs[at] != 0.0f) {
                const std::size_t points = std::min<std::size_t>(static_cast<std::size_t>(rec.graphs[static_cast<std::size_t>(g)].points),
                                                                 counterBase[common].size());
                const std::size_t n = std::min(points, in.graphs.size() - at - 1);
                const float* pts = in.graphs.data() + at + 1;
                const LevelScale& scale = scales[common];
                const std::uint16_t* base = counterBase[common].data();
                for (std::size_t j = 0; j < n; ++j) {
                    const std::uint8_t level = scale.level(pts[j]);
                    if (level == kKmzNoLevel) continue;
                    d.graphCounters.push_back(static_cast<std::uint16_t>(base[j] + level));
                    any = 1;
                }
            }
            d.graphUsable.push_back(any);
            d.graphStart.push_back(d.graphCounters.size());
        }

        d.sampleTexts.resize(d.sampleTexts.size() + d.items.size(), 0);
        std::uint32_t* textOut = d.sampleTexts.data() + index * d.items.size();
        for (std::size_t t = 0; t < file.itemMap.size(); ++t) {
            const std::size_t at = Recording_ItemOffset(rec, t);
            const auto width = static_cast<std::size_t>(rec.items[t].width);
            if (at + 1 + width > in.items.size() || in.items[at] == 0) continue;
            const char* text = reinterpret_cast<const char*>(in.items.data() + at + 1);
            const std::size_t length = Text_FieldLength(text, width);
            if (length == 0) continue;
            const auto common = static_cast<std::size_t>(file.itemMap[t]);
            textOut[common] = texts[common].intern(std::string_view(text, length));
        }

        for (std::size_t i = 0; i < nv; ++i)
            updateStatistics(d.statistics[i + 1], d.values[i].displayKind, values[2 * i], values[2 * i + 1]);
        updateStatistics(d.statistics[0], 1, s.speed != -1.0 ? 1.0 : 0.0, s.speed);
        if (s.position == kKmzGpsPosition && s.speed != -1.0) d.maxSpeedKmh = std::max(d.maxSpeedKmh, s.speed);
        if (s.position == kKmzGpsPosition) d.hasRecordedPosition = true;
        d.samples.push_back(s);
    }
};

// Room for every sample the files can hold, so the arrays do not grow by copying.
void ReserveSamples(KmzDataSet& d) {
    std::size_t total = 0;
    for (const auto& f : d.files) {
        // What a sample really takes, whatever a damaged header claims.
        const DtrHeader& h = f.record->header;
        const std::int64_t blocks = 4LL * kBlockHeaderBytes + kOldSampleBytes + std::max(h.valueBlockSize, 0) +
                                    std::max(h.graphBlockSize, 0) + std::max(h.itemBlockSize, 0);
        const std::int64_t per = std::max<std::int64_t>(h.sampleFileSize, blocks);
        if (f.ctx) total += static_cast<std::size_t>(FileIO_Available(*f.ctx) / per + 1);
    }
    d.samples.reserve(total);
    d.sampleValues.reserve(total * 2 * d.values.size());
    d.graphUsable.reserve(total * d.graphs.size());
    d.graphStart.reserve(total * d.graphs.size() + 1);
    d.sampleTexts.reserve(total * d.items.size());
}

}  // namespace

std::uint16_t KmzLoad_GraphCounter(int point, int points, int level) {
    long column = 0;
    if (points >= 2) column = std::lround(static_cast<double>(point) * 199.0 / (points - 1));
    column = std::clamp<long>(column, 0, 199);
    return static_cast<std::uint16_t>(column * kKmzGraphLevels + level);
}

std::uint8_t KmzLoad_GraphLevel(float value, double yMin, double yMax) {
    return LevelScale(yMin, yMax).level(value);
}

void KmzLoad_NormalisePosition(double& latitude, double& longitude) {
    if (latitude > 90.0) {
        latitude = 180.0 - latitude;
        longitude += 180.0;
    } else if (latitude < -90.0) {
        latitude = -180.0 - latitude;
        longitude += 180.0;
    }
    double l = std::fmod(longitude + 180.0, 360.0);
    if (l < 0.0) l += 360.0;  // fmod keeps the sign: west of -180 would stay out of range
    longitude = l - 180.0;
}

void KmzLoad_FillGaps(std::vector<KmzSample>& samples, std::size_t first, std::size_t end) {
    std::vector<std::size_t> anchors;
    for (std::size_t i = first; i < end; ++i)
        if (samples[i].position == kKmzGpsPosition) anchors.push_back(i);
    if (anchors.size() < 2) return;
    std::size_t next = 0;  // first anchor after the sample
    for (std::size_t i = first; i < end; ++i) {
        while (next < anchors.size() && anchors[next] <= i) ++next;
        if (samples[i].position != kKmzNoPosition) continue;
        std::size_t a, b;
        if (next == 0) {
            a = anchors[0];
            b = anchors[1];
        } else if (next == anchors.size()) {
            a = anchors[anchors.size() - 2];
            b = anchors.back();
        } else {
            a = anchors[next - 1];
            b = anchors[next];
        }
        PlaceBetween(samples[i], samples[a], samples[b]);
    }
}

std::string KmzLoad_MultiFileName(const std::string& recordFolder, double now) {
    const LocalDateTime t = DateTime_Split(now);
    return Platform_JoinPath(recordFolder, Text_Format("%04d-%02d-%02d  %02d-%02d-%02d  Multi-file export.dtr", t.year,
                                                       t.month, t.day, t.hour, t.minute, t.second));
}

bool KmzLoad_ReadHeaders(const std::vector<KmzSourceFile>& files, int commonUnit, const std::string& recordFolder,
                         KmzDataSet& data, std::string& error) {
    data = KmzDataSet{};
    error.clear();
    const char* levelName = KmzLevel_ChannelName(commonUnit);
    for (const KmzSourceFile& source : files) {
        KmzLoadedFile f;
        f.source = source;
        f.ctx = std::make_unique<FileContainer>();
        f.record = std::make_unique<RecordFile>();
        std::string message;
        if (!Recording_OpenFile(*f.ctx, *f.record, source.entry.path.c_str(), message)) {
            error = kKmzFailurePrefix + message;
            KmzLoad_CloseFiles(data);
            return false;
        }
        RecordFile& rec = *f.record;
        f.info = rec.info;
        for (std::size_t i = 0; i < rec.values.size(); ++i) {
            DtrValueDescriptor v = rec.values[i];
            if (Text_View(v.name) == "Level") {
                if (levelName) Text_Copy(v.longName, levelName);
                if (f.levelSlot < 0) f.levelSlot = static_cast<int>(2 * i);
            }
            f.valueMap.push_back(FindOrAppend(data.values, v));
        }
        for (const auto& g : rec.graphs) f.graphMap.push_back(FindOrAppend(data.graphs, g));
        for (const auto& t : rec.items) f.itemMap.push_back(FindOrAppend(data.items, t));
        data.distanceUnit = std::string(Text_View(rec.header.distanceUnit));
        data.files.push_back(std::move(f));
    }
    for (auto& g : data.graphs) g.points = std::max(g.points, 0);
    for (auto& f : data.files) {
        f.graphFromCommon.assign(data.graphs.size(), -1);
        for (std::size_t g = 0; g < f.graphMap.size(); ++g)
            f.graphFromCommon[static_cast<std::size_t>(f.graphMap[g])] = static_cast<int>(g);
    }
    data.statistics = Recording_NewStatistics(data.mapChannels());
    data.outputName = files.size() == 1 ? files.front().entry.path : KmzLoad_MultiFileName(recordFolder, DateTime_ExportNow());
    return true;
}

KmzLoadOutcome KmzLoad_ReadSamples(KmzDataSet& data, KmzLoadView* view, const std::function<bool()>& cancelled) {
    KmzLoadOutcome outcome = KmzLoadOutcome::Loaded;
    try {
        ReserveSamples(data);
        SampleReader reader(data);
        const int n = static_cast<int>(data.files.size());
        auto lastProgress = std::chrono::steady_clock::now() - kProgressInterval;
        for (int i = 0; i < n && outcome == KmzLoadOutcome::Loaded; ++i) {
            KmzLoadedFile& f = data.files[static_cast<std::size_t>(i)];
            if (view) {
                view->showLoadLabel(Text_Format("Analyzing file %d of %d", i + 1, n));
                view->setLoadProgress(0);
            }
            const std::size_t first = data.samples.size();
            const std::int64_t size = f.ctx->fileSize;
            const std::int64_t headerEnd = size - FileIO_Available(*f.ctx);
            {
                KmzSampleStream stream(*f.ctx, *f.record, f.levelSlot, f.source.level.levelOffset);
                for (;;) {
                    if (cancelled && cancelled()) {
                        outcome = KmzLoadOutcome::Cancelled;
                        break;
                    }
                    std::int64_t bytesRead = 0;
                    const RecordSample* sample = stream.next(bytesRead);
                    if (sample == nullptr) break;
                    reader.append(f, *sample);
                    ++f.sampleCount;
                    const auto now = std::chrono::steady_clock::now();
                    if (view && now - lastProgress >= kProgressInterval && size > 0) {
                        lastProgress = now;
                        view->setLoadProgress(static_cast<int>(100 * (bytesRead - headerEnd) / size));
                    }
                }
                if (stream.outOfMemory()) throw std::bad_alloc();
            }
            f.skippedSamples = f.record->skippedSamples;
            KmzLoad_FillGaps(data.samples, first, data.samples.size());
            FileIO_CloseRead(*f.ctx);
            f.ctx.reset();
            Recording_FreeFile(*f.record);
        }
    } catch (const std::bad_alloc&) {
        outcome = KmzLoadOutcome::OutOfMemory;
    }
    KmzLoad_CloseFiles(data);
    if (outcome == KmzLoadOutcome::OutOfMemory) KmzLoad_ReleaseSamples(data);
    return outcome;
}

void KmzLoad_DropTracesAndTexts(KmzDataSet& data) {
    data.graphs.clear();
    data.items.clear();
    for (auto& f : data.files) {
        f.graphMap.clear();
        f.graphFromCommon.clear();
        f.itemMap.clear();
    }
}

void KmzLoad_ReleaseSamples(KmzDataSet& d) {
    d.samples = {};
    d.sampleValues = {};
    d.graphUsable = {};
    d.graphCounters = {};
    d.graphStart = {0};
    d.sampleTexts = {};
}

void KmzLoad_CloseFiles(KmzDataSet& data) {
    for (auto& f : data.files) {
        if (f.ctx) FileIO_CloseRead(*f.ctx);
        f.ctx.reset();
    }
}
