#include "synthrecord.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "antenna/levelunit.h"
#include "instrument/receiverinfo.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "records/fileio.h"
#include "records/recording.h"
#include "synthdrive.h"

namespace {

constexpr double kSyncThresholdDbuV = 28.0;

bool Contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

// Level in dBuV as the analyzer reports it in the chosen unit (the field-strength
// unit is measured in dBuV; the antenna's K-factor is added later).
double LevelInUnit(double dbuv, const std::string& unit) {
    if (unit == "dBm") return dbuv - 107.0;  // 50 Ohm
    if (unit == "dBmV") return dbuv - 60.0;
    if (unit == "V") return std::pow(10.0, (dbuv - 120.0) / 20.0);
    if (unit == "W") return std::pow(10.0, (dbuv - 107.0 - 30.0) / 10.0);
    return dbuv;
}

double RoundTo(double v, int decimals) {
    double f = std::pow(10.0, std::clamp(decimals, 0, 9));
    return std::round(v * f) / f;
}

// A plausible analyzer answer for a value, from the signal's level and quality.
double ValueFor(const MeasurementValue& v, double dbuv, double quality, SynthRandom& rnd, const std::string& unit) {
    if (Contains(v.name, "Level")) return RoundTo(LevelInUnit(dbuv, unit), 2);
    if (v.displayKind == kSyncState) return dbuv >= kSyncThresholdDbuV ? 1.0 : 0.0;
    if (v.accumulateFlag) {
        // Error rates fall by about a decade per 6 dB of margin.
        double rate = std::pow(10.0, -(2.0 + quality / 6.0)) * rnd.uniform(0.5, 1.5);
        rate = std::clamp(rate, 1e-9, 0.1);
        return RoundTo(rate * v.scale, std::max(0, v.decimals));
    }
    if (Contains(v.name, "MER") || Contains(v.longName, "MER") || Contains(v.name, "SNR") || Contains(v.name, "C/N"))
        return RoundTo(std::clamp(12.0 + quality * 0.8 + rnd.uniform(-0.5, 0.5), 0.0, 42.0), 1);
    if (Contains(v.name, "kHz")) return RoundTo(rnd.uniform(20.0, 75.0), 1);
    if (Contains(v.name, "Hz")) return RoundTo(rnd.uniform(-500.0, 500.0) * v.scale, 1);
    if (Contains(v.name, "%")) return RoundTo(std::clamp(50.0 + quality * 2.0, 0.0, 100.0), 1);
    return RoundTo(std::clamp(quality + rnd.uniform(0.0, 10.0), 0.0, 60.0), std::max(0, v.decimals));
}

double ParseOr(const char* text, double fallback) {
    double v;
    return Text_ParseDouble(text, v) ? v : fallback;
}

// Echo patterns: untouched points stay at -200.0, the main path and a few echoes carry levels.
void FillGraph(const MeasurementGraph& g, float* points, double quality, SynthRandom& rnd) {
    const int n = g.points;
    if (g.transferKind == 1 || g.transferKind == 3 || g.transferKind == 4) {
        std::fill(points, points + n, -200.0f);
        points[n / 2] = 0.0f;
        int echoes = 1 + rnd.below(3);
        for (int e = 0; e < echoes; ++e) {
            int at = rnd.below(n);
            points[at] = static_cast<float>(-std::clamp(12.0 + rnd.uniform(0.0, 25.0) - quality * 0.2, 3.0, 39.0));
        }
        return;
    }
    double lo = ParseOr(g.yMin, 0.0), hi = ParseOr(g.yMax, 40.0);
    double centre = lo + (hi - lo) * std::clamp(0.3 + quality / 60.0, 0.05, 0.95);
    for (int i = 0; i < n; ++i) {
        double ripple = 0.08 * (hi - lo) * std::sin(i * 0.07 + rnd.uniform(0.0, 0.3));
        points[i] = static_cast<float>(std::clamp(centre + ripple, lo, hi));
    }
}

std::string ItemText(const StandardInfoItem& it, std::uint64_t variant) {
    struct Known {
        const char* name;
        const char* text;
    } const known[] = {
        {"FFT Mode", "8K"},        {"Guard Interval", "1/4"}, {"Constellation", "64QAM"}, {"Coderate HP", "2/3"},
        {"Coderate LP", "1/2"},    {"Cell ID", "1234"},       {"Sideband", "Normal"},     {"Interleaver", "Native"},
        {"Time Slicing", "Off"},   {"MPE FEC", "Off"},        {"Length Indicator", "31"}, {"Reserved", "0"},
    };
    for (const auto& k : known)
        if (!std::strcmp(it.name, k.name)) return k.text;
    static const char* const generic[] = {"OK", "On", "Off", "2K", "QPSK", "1/8", "Mode 1"};
    return generic[variant % (sizeof generic / sizeof *generic)];
}

const BroadcastStandard* FindStandard(const SynthRecordOptions& o, const AnalyzerFamily** familyOut,
                                      std::string& error) {
    ReceiverInfo_Init();
    for (const auto& f : ReceiverInfo_Families()) {
        if (!o.family.empty() && o.family != f.modelName) continue;
        if (const BroadcastStandard* s = ReceiverInfo_FindStandard(f, o.standard.c_str())) {
            *familyOut = &f;
            return s;
        }
    }
    error = o.family.empty() ? "unknown standard '" + o.standard + "'"
                             : "family '" + o.family + "' has no standard '" + o.standard + "'";
    return nullptr;
}

}  // namespace

bool Synth_WriteRecordFile(const SynthRecordOptions& o, std::string& path, std::string& error, SynthProgress progress,
                           void* user) {
    const AnalyzerFamily* family = nullptr;
    const BroadcastStandard* standard = FindStandard(o, &family, error);
    if (!standard) return false;
    const LevelUnit* unit = LevelUnit_Find(o.levelUnit);
    if (!unit) {
        error = "unknown level unit '" + Text_Latin1ToUtf8(o.levelUnit) + "'";
        return false;
    }
    if (!FileIO_IsDirectory(o.outputDirectory.c_str())) {
        error = "output directory does not exist: " + o.outputDirectory;
        return false;
    }
    const std::string analyzerUnit = unit->isFieldStrength ? std::string("dB\xB5V") : std::string(unit->name);

    RecordFile file;
    Recording_InitFile(file);
    Text_Copy(file.header.distanceUnit, o.distanceUnit);
    Recording_SetLevelUnitName(unit->name);
    Recording_RegisterMeasurements(file, standard->values, standard->graphs, standard->infoItems);

    RecordHeaderSource src;
    src.description = o.description;
    src.created = o.start;
    src.standardName = standard->name;
    src.modelName = family->modelName;
    src.frequencyMHz = o.frequencyMHz;
    for (const auto& p : standard->parameters) {
        std::string label;
        if (p.kind == kParameterSelection && !p.choices.empty())
            label = p.choices[static_cast<std::size_t>(std::clamp<int>(p.defaultValue, 0, static_cast<int>(p.choices.size()) - 1))].label;
        else
            label = Text_Format("%d", p.defaultValue);
        src.parameters.emplace_back(p.columnTitle, label);
    }
    src.inputName = family->inputImpedances.empty() ? "" : family->inputImpedances.front().label;
    src.serialNumber = o.serialNumber;
    src.firmwareVersion = o.firmwareVersion;
    src.antennaName = o.antennaName;
    src.kFactor = o.kFactor;
    Recording_BuildHeaderInfo(file, src);

    const std::string name = Recording_FileName(o.start, o.description);
    path = Platform_JoinPath(o.outputDirectory, name);
    FileContainer ctx;
    if (!Recording_CreateFile(ctx, file, o.outputDirectory.c_str(), name.c_str())) {
        error = "could not create " + path;
        return false;
    }

    SynthRandom rnd(o.seed);
    const SynthRoute route = SynthRoute_Make(o.seed, o.originLatitude, o.originLongitude);
    const SynthTransmitter tx = SynthTransmitter_Make(o.seed, o.originLatitude, o.originLongitude);
    std::vector<RecordSample> track;  // the newest samples, as the recorder keeps them for the speed estimate
    RecordSample s;
    Recording_AllocSample(file, s);
    double t = DateTime_Make(o.start);
    double driven = 0.0;
    double attenuation = 10.0;

    for (long long k = 0; k < o.samples; ++k) {
        if (k > 0) {
            double step = 1.0 + rnd.uniform(0.0, 0.25);  // a sample starts at most once a second
            t += step;
            driven += o.speedKmh * step / 3600.0;
        }
        Recording_ResetSample(file, s);
        Recording_StampTime(s.head.cycleStart, t);
        Recording_StampTime(s.head.cycleEnd, t + 0.4 + rnd.uniform(0.0, 0.4));

        bool fix = true;
        for (const auto& [first, count] : o.noFixStretches)
            if (k >= first && k < first + count) fix = false;
        const SynthPoint at = SynthRoute_PositionAt(route, driven);
        s.head.gps.gpsFix = fix ? 1 : 0;
        s.head.gps.latitude = fix ? at.latitude : 0.0;
        s.head.gps.longitude = fix ? at.longitude : 0.0;
        s.head.gps.speed = -1.0;  // the receiver reports none: the track estimates it

        // The recorder's speed estimate, as the measurement thread records it.
        track.push_back(s);
        if (track.size() > 5) track.erase(track.begin());
        Track_Update(file.track, track);
        s.head.gps.speed = track.back().head.gps.speed;

        const double dbuv = Synth_LevelDbuV(tx, at, driven, o.frequencyMHz);
        const double quality = dbuv - kSyncThresholdDbuV;  // dB of margin above sync
        const bool sync = dbuv >= kSyncThresholdDbuV;

        int status = 0;  // 0 fine, 1 attenuation change, 2 re-initialisation
        if (o.badStatusShare > 0.0 && rnd.uniform() < o.badStatusShare) status = 1 + rnd.below(2);
        const double attStart = attenuation;
        if (status == 1) attenuation = attenuation >= 20.0 ? 10.0 : attenuation + 5.0;
        s.head.attStart = attStart;
        s.head.attStop = attenuation;
        Text_Copy(s.head.status, status == 0   ? kStatusNoError
                                 : status == 1 ? kStatusAttenuation
                                               : "Measuring: Level -> TCP read timeout");

        if (status != 2) {  // a spoiled sample carries no values
            for (std::size_t i = 0; i < standard->values.size(); ++i) {
                const MeasurementValue& v = standard->values[i];
                bool valid = Contains(v.name, "Level") || v.displayKind == kSyncState || sync;
                s.values[2 * i] = valid ? 1.0 : 0.0;
                s.values[2 * i + 1] = valid ? ValueFor(v, dbuv, quality, rnd, analyzerUnit) : 0.0;
            }
            std::size_t offset = 0;
            for (const auto& g : standard->graphs) {
                s.graphs[offset] = sync ? 1.0f : 0.0f;
                if (sync) FillGraph(g, &s.graphs[offset + 1], quality, rnd);
                offset += 1 + static_cast<std::size_t>(g.points);
            }
            offset = 0;
            for (const auto& it : standard->infoItems) {
                if (sync) {
                    s.items[offset] = 1;
                    std::string text = ItemText(it, static_cast<std::uint64_t>(k / 600));
                    Text_CopyN(reinterpret_cast<char*>(&s.items[offset + 1]), static_cast<std::size_t>(it.width), text);
                }
                offset += 1 + static_cast<std::size_t>(it.width);
            }
        }
        if (!Recording_WriteSample(ctx, file, s)) {
            error = "could not write " + path;
            FileIO_Close(ctx);
            return false;
        }
        if (progress && (k % 4096 == 4095) && !progress(k + 1, o.samples, user)) {
            error = "cancelled";
            FileIO_CloseAndDelete(ctx);
            return false;
        }
    }
    if (!FileIO_Close(ctx)) {
        error = "could not write " + path;
        return false;
    }
    if (progress) progress(o.samples, o.samples, user);
    return true;
}
