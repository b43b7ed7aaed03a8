#include "coverage/coverage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "coverage/thresholds.h"
#include "export/kmz/kmzdriver.h"
#include "platform/text.h"
#include "records/gps.h"
#include "records/recording.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<KmzSourceFile> Sources(const CoveragePlan& plan, const CoverageGroup& group) {
    std::vector<KmzSourceFile> sources;
    for (std::size_t i : group.files) {
        KmzSourceFile s;
        s.entry = plan.files[i].entry;
        s.level = plan.files[i].level;
        sources.push_back(std::move(s));
    }
    return sources;
}

// The loader's failure texts without the KMZ conversion's two-line prefix.
std::string OneLine(const std::string& message) {
    std::string m = message;
    const std::string prefix = kKmzFailurePrefix;
    if (m.rfind(prefix, 0) == 0) m.erase(0, prefix.size());
    for (char& c : m)
        if (c == '\n') c = ' ';
    return m;
}

bool ReadGroupHeaders(const CoveragePlan& plan, const CoverageGroup& group, KmzDataSet& data, std::string& error) {
    if (KmzLoad_ReadHeaders(Sources(plan, group), plan.levelUnit, ".", data, error)) return true;
    error = OneLine(error);
    return false;
}

// "Frequency 1 of 2: file 3 of 10" over the loader's "Analyzing file 3 of 10".
class LoadProgress : public KmzLoadView {
public:
    LoadProgress(CoverageProgress* p, std::size_t group, std::size_t groups) : progress_(p) {
        prefix_ = groups > 1 ? Text_Format("Frequency %zu of %zu: ", group + 1, groups) : std::string();
    }
    void showLoadLabel(const std::string& label) override {
        if (!progress_) return;
        std::string l = label;
        if (l.rfind("Analyzing f", 0) == 0) l = (prefix_.empty() ? "F" : "f") + l.substr(11);
        progress_->showStep(prefix_ + l);
    }
    void setLoadProgress(int percent) override {
        if (progress_) progress_->setProgress(percent);
    }

private:
    CoverageProgress* progress_;
    std::string prefix_;
};

std::vector<LevelFacts> GroupLevelFacts(const CoveragePlan& plan, const CoverageGroup& group) {
    std::vector<LevelFacts> facts;
    for (std::size_t i : group.files) {
        const CoverageFile& f = plan.files[i];
        if (f.entry.levelIndex < 0) continue;
        facts.push_back({f.entry.inputNumber, f.level.manualKFactorUsed ? f.level.manualKFactor : f.entry.kFactor,
                         f.level.manualKFactorUsed || !f.entry.kFactorText.empty()});
    }
    return facts;
}

}  // namespace

bool Coverage_SetThreshold(CoveragePlan& plan, const std::string& text, std::string& error) {
    ThresholdEntry entry;
    if (!Threshold_Parse(text, entry, error)) return false;
    // Resolved for every channel first, so that a failure changes nothing.
    std::vector<std::pair<CoverageChannel*, double>> named;
    for (CoverageGroup& group : plan.groups) {
        for (CoverageChannel& c : group.channels) {
            if (!Threshold_Names(entry.channel, c.name)) continue;
            double value = 0.0;
            const bool ok = c.level ? Threshold_ToLevelUnit(entry, plan.levelUnit, GroupLevelFacts(plan, group), value, error)
                                    : Threshold_ToChannelUnit(entry, c.name, value, error);
            if (!ok) return false;
            named.emplace_back(&c, value);
        }
    }
    if (named.empty()) {
        error = "No channel '" + Text_Latin1ToUtf8(entry.channel) + "' in the record files for the threshold '" +
                Text_Latin1ToUtf8(entry.text) + "'.";
        return false;
    }
    for (auto& [c, value] : named) {
        c->rule.hasThreshold = true;
        c->rule.threshold = value;
        c->thresholdSource = "user";
    }
    return true;
}

bool Coverage_ClearThreshold(CoveragePlan& plan, const std::string& channel, std::string& error) {
    const std::string name = Text_IsUtf8(channel) ? Text_Utf8ToLatin1(channel) : channel;
    bool named = false;
    for (CoverageGroup& group : plan.groups)
        for (CoverageChannel& c : group.channels)
            if (Threshold_Names(name, c.name)) {
                c.rule.hasThreshold = false;
                c.rule.threshold = 0.0;
                c.thresholdSource.clear();
                named = true;
            }
    if (!named) error = "No channel '" + Text_Latin1ToUtf8(name) + "' in the record files to leave without threshold.";
    return named;
}

bool Coverage_ApplyThresholds(CoveragePlan& plan, std::string& error) {
    for (const std::string& channel : plan.options.withoutThreshold)
        if (!Coverage_ClearThreshold(plan, channel, error)) return false;
    for (const std::string& text : plan.options.thresholds)
        if (!Coverage_SetThreshold(plan, text, error)) return false;
    return true;
}

namespace {

struct Binned {
    CellIndex cell;
    std::uint32_t sample = 0;
};

// Bins the group's positioned samples and computes its cells and summary.
void Analyse(CoveragePlan& plan, CoverageGroup& group, const KmzDataSet& data, const std::vector<std::uint8_t>& leftOut,
             const std::vector<std::size_t>& fileEnd) {
    const std::size_t n = data.samples.size();
    const CoverageCountedValues counted(data, leftOut);

    std::vector<CellIndex> cellOf(n);
    std::vector<Binned> binned;
    for (std::size_t i = 0; i < n; ++i) {
        const KmzSample& s = data.samples[i];
        if (s.position == kKmzNoPosition) continue;
        cellOf[i] = Grid_CellOf(plan.grid, s.latitude, s.longitude);
        ++group.positionedSamples;
        if (counted.binned(i)) binned.push_back({cellOf[i], static_cast<std::uint32_t>(i)});
        else ++group.stationarySkipped;
    }
    std::sort(binned.begin(), binned.end(), [](const Binned& a, const Binned& b) {
        return a.cell != b.cell ? a.cell < b.cell : a.sample < b.sample;
    });

    const std::size_t channels = group.channels.size();
    std::vector<double> scratch;
    for (std::size_t first = 0; first < binned.size();) {
        std::size_t end = first;
        while (end < binned.size() && binned[end].cell == binned[first].cell) ++end;
        CoverageCell cell;
        cell.index = binned[first].cell;
        cell.samples = static_cast<std::int32_t>(end - first);
        for (std::size_t k = first; k < end; ++k)
            cell.gapFilled += data.samples[binned[k].sample].position == kKmzInterpolatedPosition ? 1 : 0;
        for (std::size_t c = 0; c < channels; ++c) {
            scratch.clear();
            double v = 0.0;
            for (std::size_t k = first; k < end; ++k)
                if (counted.value(binned[k].sample, c, v)) scratch.push_back(v);
            cell.channels.push_back(Coverage_Statistics(scratch, group.channels[c].rule));
        }
        group.cells.push_back(std::move(cell));
        first = end;
    }

    group.summary.assign(channels, CoverageChannelSummary{});
    for (const CoverageCell& cell : group.cells)
        for (std::size_t c = 0; c < channels; ++c) ++group.summary[c].cells[static_cast<std::size_t>(cell.channels[c].cls)];

    // Driven distance: each step between two positioned samples of a file
    // counts half to the cell of either end.
    auto addHalf = [&](const CellIndex& at, double km) {
        const auto it = std::lower_bound(group.cells.begin(), group.cells.end(), at,
                                         [](const CoverageCell& c, const CellIndex& i) { return c.index < i; });
        const bool found = it != group.cells.end() && it->index == at;
        for (std::size_t c = 0; c < channels; ++c) {
            const CoverageClass cls = found ? it->channels[c].cls : CoverageClass::None;
            group.summary[c].distanceKm[static_cast<std::size_t>(cls)] += km;
        }
    };
    std::size_t begin = 0;
    for (std::size_t k = 0; k < fileEnd.size(); ++k) {
        const std::size_t end = fileEnd[k];
        CoverageFile& file = plan.files[group.files[k]];
        std::size_t previous = end;
        for (std::size_t i = begin; i < end; ++i) {
            const KmzSample& s = data.samples[i];
            if (s.position == kKmzNoPosition) continue;
            if (previous != end) {
                const KmzSample& p = data.samples[previous];
                const double km = Gps_DistanceKm(p.longitude, p.latitude, s.longitude, s.latitude);
                if (std::isfinite(km)) {
                    addHalf(cellOf[previous], km / 2.0);
                    addHalf(cellOf[i], km / 2.0);
                    file.distanceKm += km;
                }
            }
            previous = i;
        }
        begin = end;
    }
}

}  // namespace

CoverageCountedValues::CoverageCountedValues(const KmzDataSet& data, const std::vector<std::uint8_t>& leftOut)
    : data_(data), leftOut_(leftOut), goodState_(data.statusTexts.size()) {
    for (std::size_t i = 0; i < goodState_.size(); ++i) goodState_[i] = data.statusTexts[i] == kStatusNoError;
}

bool CoverageCountedValues::binned(std::size_t sample) const {
    return data_.samples[sample].position != kKmzNoPosition && !leftOut_[sample];
}

bool CoverageCountedValues::value(std::size_t sample, std::size_t channel, double& v) const {
    // A sample of a bad receiver state is invalid for every channel.
    if (!binned(sample) || !goodState_[static_cast<std::size_t>(data_.samples[sample].status)]) return false;
    const double* e = data_.valueEntry(sample, channel);
    if (e[0] != 1.0 || !std::isfinite(e[1])) return false;
    v = e[1];
    return true;
}

double CoverageChannelSummary::coveredCellShare() const {
    const auto judged = cells[1] + cells[2] + cells[3];
    return judged > 0 ? static_cast<double>(cells[1] + cells[2]) / static_cast<double>(judged) : kNaN;
}

double CoverageChannelSummary::coveredDistanceShare() const {
    const double judged = distanceKm[1] + distanceKm[2] + distanceKm[3];
    return judged > 0.0 ? (distanceKm[1] + distanceKm[2]) / judged : kNaN;
}

std::int64_t CoverageChannelSummary::cellsTotal() const {
    std::int64_t total = 0;
    for (auto c : cells) total += c;
    return total;
}

double CoverageChannelSummary::distanceTotalKm() const {
    double total = 0.0;
    for (double d : distanceKm) total += d;
    return total;
}

std::int64_t CoveragePlan::skippedSamples() const {
    std::int64_t n = 0;
    for (const auto& f : files) n += f.skipped;
    return n;
}

std::int64_t CoveragePlan::cellRows() const {
    std::int64_t n = 0;
    for (const auto& g : groups) n += static_cast<std::int64_t>(g.cells.size() * g.channels.size());
    return n;
}

std::vector<double> Coverage_TrackSpeeds(const std::vector<KmzSample>& samples, std::size_t first, std::size_t end) {
    std::vector<double> speeds;
    speeds.reserve(end - first);
    std::size_t previous = end;
    for (std::size_t i = first; i < end; ++i) {
        const KmzSample& s = samples[i];
        double speed = s.speed >= 0.0 ? s.speed : -1.0;
        if (speed < 0.0 && s.position != kKmzNoPosition && previous != end) {
            const KmzSample& p = samples[previous];
            const double seconds = s.time - p.time;
            if (seconds > 0.0) speed = Gps_DistanceKm(p.longitude, p.latitude, s.longitude, s.latitude) * 3600.0 / seconds;
        }
        speeds.push_back(speed);
        if (s.position != kKmzNoPosition) previous = i;
    }
    return speeds;
}

std::vector<std::uint8_t> Coverage_StandingRepeats(const std::vector<double>& speeds) {
    auto standing = [](double v) { return v >= 0.0 && v < kCoverageStationaryKmh; };
    std::vector<std::uint8_t> out(speeds.size(), 0);
    for (std::size_t i = 1; i < speeds.size(); ++i) out[i] = standing(speeds[i]) && standing(speeds[i - 1]);
    return out;
}

CoverageChannel Coverage_MakeChannel(const std::string& standard, std::string name, bool level, int ratingKind,
                                     int minSamples) {
    CoverageChannel c;
    c.name = std::move(name);
    c.level = level;
    c.rule.ratingKind = ratingKind;
    c.rule.level = level;
    c.rule.minSamples = minSamples;
    if (const auto d = Threshold_Default(standard, c.name, ratingKind)) {
        c.rule.hasThreshold = true;
        c.rule.threshold = d->value;
        c.thresholdSource = d->source;
    }
    return c;
}

bool Coverage_Open(const std::vector<std::string>& paths, const CoverageOptions& options, CoveragePlan& plan,
                   std::string& error) {
    plan = CoveragePlan{};
    plan.options = options;
    error.clear();
    if (paths.empty()) {
        error = kCoverageNoFiles;
        return false;
    }
    if (!Grid_IsCellSize(options.cellSize)) {
        error = "The cell size must be 25, 50, 100 or 200 m.";
        return false;
    }
    if (options.minSamples < 1) {
        error = "The minimum sample count must be at least 1.";
        return false;
    }
    std::vector<KmzLevelFileFacts> facts;
    for (const std::string& path : paths) {
        FileContainer ctx;
        RecordFile record;
        std::string message;
        if (!Recording_OpenFile(ctx, record, path.c_str(), message)) {
            error = path + ": " + message;
            return false;
        }
        FileIO_CloseRead(ctx);
        Recording_FreeFile(record);
        CoverageFile f;
        FileSelection_ReadEntry(path, f.entry);
        facts.push_back(Kmz_LevelFacts(f.entry));
        plan.files.push_back(std::move(f));
    }
    plan.levelUnit = options.levelUnit >= 0 ? options.levelUnit : KmzLevel_DefaultUnit(facts, kKmzUnitFieldStrength);
    std::vector<KmzLevelSettings> settings(plan.files.size());
    KmzLevelError levelError;
    if (!KmzLevel_ComputeOffsets(plan.levelUnit, facts, options.manual, settings, &levelError)) {
        error = levelError.message;
        return false;
    }
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        CoverageFile& f = plan.files[i];
        f.level = settings[i];
        std::size_t g = 0;
        while (g < plan.groups.size() &&
               (plan.groups[g].standard != f.entry.standard || plan.groups[g].frequencyText != f.entry.frequency))
            ++g;
        if (g == plan.groups.size()) {
            CoverageGroup group;
            group.standard = f.entry.standard;
            group.frequencyText = f.entry.frequency;
            Text_ParseLeadingDouble(f.entry.frequency, group.frequencyMHz);
            plan.groups.push_back(std::move(group));
        }
        f.group = static_cast<int>(g);
        plan.groups[g].files.push_back(i);
    }
    for (CoverageGroup& group : plan.groups) {
        KmzDataSet data;
        if (!ReadGroupHeaders(plan, group, data, error)) return false;
        for (std::size_t k = 0; k < group.files.size(); ++k) plan.files[group.files[k]].info = data.files[k].info;
        KmzLoad_CloseFiles(data);
        for (const DtrValueDescriptor& v : data.values)
            group.channels.push_back(Coverage_MakeChannel(group.standard, std::string(Text_View(v.longName)),
                                                          Text_View(v.name) == "Level", v.displayKind,
                                                          options.minSamples));
    }
    return Coverage_ApplyThresholds(plan, error);
}

CoverageOutcome Coverage_Run(CoveragePlan& plan, CoverageSampleSink* sink, CoverageProgress* progress,
                             const std::function<bool()>& cancelled, std::string& error) {
    error.clear();
    bool anySamples = false, anyPosition = false;
    for (std::size_t g = 0; g < plan.groups.size(); ++g) {
        CoverageGroup& group = plan.groups[g];
        group.cells.clear();
        group.summary.assign(group.channels.size(), CoverageChannelSummary{});
        group.positionedSamples = group.stationarySkipped = 0;
        KmzDataSet data;
        if (!ReadGroupHeaders(plan, group, data, error)) return CoverageOutcome::Failed;
        KmzLoad_DropTracesAndTexts(data);
        LoadProgress view(progress, g, plan.groups.size());
        const KmzLoadOutcome loaded = KmzLoad_ReadSamples(data, &view, cancelled);
        if (loaded == KmzLoadOutcome::Cancelled) return CoverageOutcome::Cancelled;
        if (loaded != KmzLoadOutcome::Loaded) {
            error = loaded == KmzLoadOutcome::OutOfMemory ? kCoverageOutOfMemory : kCoverageNoSamples;
            return CoverageOutcome::Failed;
        }
        std::vector<std::size_t> fileEnd;
        std::size_t end = 0;
        for (std::size_t k = 0; k < group.files.size(); ++k) {
            CoverageFile& f = plan.files[group.files[k]];
            f.samples = data.files[k].sampleCount;
            f.skipped = data.files[k].skippedSamples;
            f.distanceKm = f.firstTime = f.lastTime = 0.0;
            if (f.samples > 0) {
                f.firstTime = data.samples[end].time;
                f.lastTime = data.samples[end + static_cast<std::size_t>(f.samples) - 1].time;
            }
            end += static_cast<std::size_t>(data.files[k].sampleCount);
            fileEnd.push_back(end);
        }
        if (data.samples.empty()) continue;
        anySamples = true;
        try {
            std::vector<std::uint8_t> leftOut(data.samples.size(), 0);
            if (!plan.options.keepStationary) {
                std::size_t begin = 0;
                for (std::size_t e : fileEnd) {
                    const auto repeats = Coverage_StandingRepeats(Coverage_TrackSpeeds(data.samples, begin, e));
                    std::copy(repeats.begin(), repeats.end(), leftOut.begin() + static_cast<std::ptrdiff_t>(begin));
                    begin = e;
                }
            }
            if (!plan.gridChosen && data.hasRecordedPosition) {
                std::vector<GeoPoint> points;
                for (const KmzSample& s : data.samples)
                    if (s.position == kKmzGpsPosition) points.push_back({s.latitude, s.longitude});
                plan.grid = Grid_ForPositions(points, plan.options.cellSize);
                plan.gridChosen = true;
            }
            if (data.hasRecordedPosition) {
                anyPosition = true;
                Analyse(plan, group, data, leftOut, fileEnd);
            }
            if (sink && !sink->writeSamples(CoverageSamples{plan, group, data, leftOut, fileEnd}, error))
                return cancelled && cancelled() ? CoverageOutcome::Cancelled : CoverageOutcome::Failed;
        } catch (const std::bad_alloc&) {
            error = kCoverageOutOfMemory;
            return CoverageOutcome::Failed;
        }
        KmzLoad_ReleaseSamples(data);
    }
    if (!anySamples) {
        error = kCoverageNoSamples;
        return CoverageOutcome::Failed;
    }
    if (!anyPosition) {
        error = kCoverageNoPosition;
        return CoverageOutcome::Failed;
    }
    return CoverageOutcome::Done;
}
