// fieldtrace-cli kmz FILE...: converts record files into one KMZ archive for
// Google Earth, exactly as the KMZ wizard does, with the wizard's defaults:
// every channel, worst value only, 10 m maximum zoom resolution, automatic
// colour anchors. Ctrl-C cancels like Home on the progress page: no archive
// is left behind.
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "interrupt.h"
#include "export/kmz/kmzdriver.h"
#include "export/kmz/levelconfig.h"
#include "export/kmz/profiles.h"
#include "platform/text.h"
#include "progress.h"
#include "selection/recordentry.h"

namespace {

const char* kHelp =
    "usage: fieldtrace-cli kmz FILE.dtr... [options]\n"
    "Converts record files into one KMZ archive for Google Earth. One file gives\n"
    "<name>.kmz beside it; several give \"<date>  <time>  Multi-file export.kmz\" in\n"
    "the folder of the first. Defaults are those of the KMZ wizard.\n"
    "  -o, --out FILE.kmz         archive to write\n"
    "  --unit UNIT                common level unit: dBuV/m, dBm, dBmV or dBuV\n"
    "                             (default: as the level page proposes it)\n"
    "  --manual-kfactor N=K       manual K-factor in dB/m for file N (1-based; dBuV/m only)\n"
    "  --level-offset N=DB        manual level offset in dB for file N\n"
    "  --channels LIST            value channels: numbers (0 is the speed, 1.. the values)\n"
    "                             or display names, comma-separated, or all (default)\n"
    "  --graphs LIST              graph channels: numbers from 0 or names; all or none (default all)\n"
    "  --parameters LIST          text parameters: numbers from 0 or names; all or none (default all)\n"
    "  --indicators LIST          worst, average, best (default worst)\n"
    "  --zoom LEVEL               maximum zoom resolution: high (2.5 m), default (10 m),\n"
    "                             low (40 m), very-low (160 m)\n"
    "  --profile NAME             colour profile of the data directory, or\n"
    "  --auto                     automatic colour anchors from the data (default)\n"
    "  --deflate-threads N        deflate threads of the archive (default: one per core, at most\n"
    "                             four; 0: deflate on the converting thread)\n"
    "  --stats                    print timings, entries, uncompressed bytes and peak memory on stderr\n"
    "Prints the final message; exit status 0 on success, 1 on failure, 2 for a bad\n"
    "command line, 130 when cancelled with Ctrl-C (no archive is left behind).\n";


// Labels with their percentage on stderr, when stderr is a terminal.
class TerminalProgress : public KmzLoadView, public KmzWriteView {
public:
    void showLoadLabel(const std::string& label) override { start(label); }
    void setLoadProgress(int percent) override { update(percent); }
    void showWriteLabel(const std::string& label) override {
        if (label == "Step 2 of 2") secondStep = std::chrono::steady_clock::now();
        start(label);
    }
    void setWriteProgress(int percent) override { update(percent); }
    void end(bool success) { steps_.end(success); }

    std::chrono::steady_clock::time_point secondStep{};  // when the coarse levels were done

private:
    void start(const std::string& label) { steps_.start(label); }
    void update(int percent) { steps_.update(percent); }
    StepProgress steps_;
};

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        while (!item.empty() && item.front() == ' ') item.erase(0, 1);
        while (!item.empty() && item.back() == ' ') item.pop_back();
        if (!item.empty()) items.push_back(item);
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

// Lower case, with the micro sign (Latin-1 or UTF-8) written "u", so that
// "Level [dBuV]" names the channel "Level [dBµV]".
std::string Folded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xB5) continue;
        if (c == 0xB5) out += 'u';
        else out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return out;
}

// Fills flags from "all", "none" or a list of numbers (first is the lowest) and names.
bool SelectList(const std::string& option, const std::string& list, const std::vector<std::string>& names, int first,
                std::vector<std::uint8_t>& flags, std::string& error) {
    flags.assign(names.size(), 0);
    if (list == "all") {
        flags.assign(names.size(), 1);
        return true;
    }
    if (list == "none") return true;
    for (const std::string& item : SplitList(list)) {
        long long number = 0;
        int index = -1;
        if (Text_ParseInt(item, number)) {
            if (number >= first && number - first < static_cast<long long>(names.size()))
                index = static_cast<int>(number - first);
        } else {
            for (std::size_t i = 0; i < names.size() && index < 0; ++i)
                if (Folded(names[i]) == Folded(item)) index = static_cast<int>(i);
        }
        if (index < 0) {
            error = "--" + option + ": no channel '" + item + "' in the record files";
            return false;
        }
        flags[static_cast<std::size_t>(index)] = 1;
    }
    return true;
}



struct Options {
    int unit = -1;  // -1: the level page's default
    std::vector<KmzLevelManualInput> manual;
    std::string channels = "all", graphs = "all", parameters = "all";
    std::array<bool, kKmzKinds> kinds = {true, false, false};
    double zoom = kKmzDefaultZoomMetres;
    std::string profile;
    std::string out;
    int deflateThreads = kKmzDeflateAuto;
    bool stats = false;
};

// Reads everything but the channel lists, which need the files' headers. 0 or the exit status.
int ReadOptions(CliArgs& args, std::size_t files, Options& o) {
    if (args.has("unit")) {
        o.unit = KmzLevel_ParseUnit(args.get("unit"));
        if (o.unit < 0) return Cli_Usage("kmz", "--unit must be dBuV/m, dBm, dBmV or dBuV");
    }
    if (int status = Cli_ReadManualLevels("kmz", args, files, o.manual)) return status;
    o.channels = args.get("channels", "all");
    o.graphs = args.get("graphs", "all");
    o.parameters = args.get("parameters", "all");
    if (args.has("indicators")) {
        o.kinds = {false, false, false};
        for (const std::string& item : SplitList(args.get("indicators"))) {
            if (item == "worst") o.kinds[kKmzWorst] = true;
            else if (item == "average") o.kinds[kKmzAverage] = true;
            else if (item == "best") o.kinds[kKmzBest] = true;
            else return Cli_Usage("kmz", "--indicators takes worst, average and best");
        }
        if (!o.kinds[0] && !o.kinds[1] && !o.kinds[2]) return Cli_Usage("kmz", "--indicators needs at least one indicator");
    }
    if (args.has("zoom")) {
        const std::string zoom = args.get("zoom");
        const char* names[] = {"high", "default", "low", "very-low"};
        int found = -1;
        for (int i = 0; i < 4; ++i)
            if (zoom == names[i]) found = i;
        if (found < 0) return Cli_Usage("kmz", "--zoom must be high, default, low or very-low");
        o.zoom = kKmzZoomChoices[static_cast<std::size_t>(found)].metres;
    }
    if (args.has("profile") && args.has("auto")) return Cli_Usage("kmz", "--profile and --auto exclude each other");
    o.profile = Text_Utf8ToLatin1(args.get("profile"));
    if (args.has("profile") && !FileIO_IsValidFileName(o.profile.c_str()))
        return Cli_Usage("kmz", "--profile must name a profile");
    o.out = args.get("out");
    o.deflateThreads = static_cast<int>(args.integer("deflate-threads", kKmzDeflateAuto));
    if (!args.ok()) return Cli_Usage("kmz", args.error());
    if (args.has("deflate-threads") && (o.deflateThreads < 0 || o.deflateThreads > 16))
        return Cli_Usage("kmz", "--deflate-threads must be 0 to 16");
    o.stats = args.has("stats");
    return 0;
}

// The scope from the channel lists. 0 or the exit status.
int ReadScope(const KmzDataSet& data, const Options& o, KmzScope& scope) {
    scope = KmzScope_Default(data);
    scope.kinds = o.kinds;
    scope.zoomMetres = o.zoom;
    std::vector<std::string> values, graphs, items;
    for (int c = 0; c < data.mapChannels(); ++c) values.push_back(Kmz_ChannelName(data, c));
    for (const auto& g : data.graphs) graphs.emplace_back(Text_View(g.longName));
    for (const auto& t : data.items) items.emplace_back(Text_View(t.longName));
    std::string error;
    if (!SelectList("channels", Text_Utf8ToLatin1(o.channels), values, 0, scope.values, error) ||
        !SelectList("graphs", Text_Utf8ToLatin1(o.graphs), graphs, 0, scope.graphs, error) ||
        !SelectList("parameters", Text_Utf8ToLatin1(o.parameters), items, 0, scope.parameters, error))
        return Cli_Usage("kmz", error);
    bool any = false;
    for (auto flag : scope.values) any = any || flag;
    if (!any) return Cli_Usage("kmz", "--channels must select at least one numeric measurement");
    return 0;
}

// Anchors as the colour page leaves them: Auto, then the profile when one is named.
bool Anchors(const KmzDataSet& data, const KmzScope& scope, const std::string& profile,
             std::vector<KmzAnchors>& anchors, KmzColourSet& colours, std::string& error) {
    const KmzColourScope cs = Kmz_ColourScope(data, scope);
    KmzColourMemoryView view;
    autoAssignAnchors(cs, view);
    if (!profile.empty()) {
        KmzProfileState state;
        if (!loadColorProfile(state, profile, cs, view)) {
            error = "Could not load the color profile '" + profile + "'.";
            return false;
        }
    }
    if (!validateColourScales(cs, view, anchors)) {
        error = view.lastMessage;
        return false;
    }
    colours = view.colours();
    return true;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintStats(const KmzWriteResult& result, double loadSeconds, double writeSeconds, double secondStepSeconds) {
    struct rusage usage {}, own {};
    getrusage(RUSAGE_SELF, &usage);
    getrusage(RUSAGE_THREAD, &own);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    std::fprintf(stderr,
                 "loading: %.3f s\nwriting: %.3f s (coarse levels %.3f s, the rest %.3f s)\n"
                 "cpu: %.3f s, of which this thread %.3f s\nentries: %lld\nuncompressed bytes: %lld\n"
                 "peak memory: %ld kB\n",
                 loadSeconds, writeSeconds, writeSeconds - secondStepSeconds, secondStepSeconds,
                 seconds(usage.ru_utime) + seconds(usage.ru_stime),
                 seconds(own.ru_utime) + seconds(own.ru_stime), static_cast<long long>(result.entries),
                 static_cast<long long>(result.uncompressedBytes), usage.ru_maxrss);
}

}  // namespace

int Cli_Kmz(int argc, char** argv) {
    // "-o FILE" is the short form of "--out FILE".
    CliArgs args(argc, argv,
                 {"out", "unit", "manual-kfactor", "level-offset", "channels", "graphs", "parameters", "indicators",
                  "zoom", "profile", "deflate-threads"},
                 {"help", "auto", "stats"});
    if (!args.ok()) return Cli_Usage("kmz", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.positional().empty()) return Cli_Usage("kmz", "expected at least one record file");
    Options o;
    if (int status = ReadOptions(args, args.positional().size(), o)) return status;

    std::vector<KmzSourceFile> files;
    std::vector<KmzLevelFileFacts> facts;
    for (const auto& path : args.positional()) {
        KmzSourceFile f;
        // A file the selection would not list still converts; its open failure, if any, is the message.
        FileSelection_ReadEntry(path, f.entry);
        facts.push_back(Kmz_LevelFacts(f.entry));
        files.push_back(std::move(f));
    }
    const int unit = o.unit >= 0 ? o.unit : KmzLevel_DefaultUnit(facts, kKmzUnitFieldStrength);
    std::vector<KmzLevelSettings> settings(files.size());
    KmzLevelError levelError;
    if (!KmzLevel_ComputeOffsets(unit, facts, o.manual, settings, &levelError))
        return Cli_Usage("kmz", levelError.message + " (--manual-kfactor)");
    for (std::size_t i = 0; i < files.size(); ++i) files[i].level = settings[i];

    KmzDataSet data;
    std::string message;
    if (!KmzLoad_ReadHeaders(files, unit, DirectoryOf(files.front().entry.path), data, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    KmzScope scope;
    if (int status = ReadScope(data, o, scope)) return status;

    TerminalProgress progress;
    InterruptCatcher catcher;
    auto cancelled = [] { return Cli_Interrupted(); };
    const auto loadStart = std::chrono::steady_clock::now();
    const KmzLoadOutcome loaded = KmzLoad_ReadSamples(data, &progress, cancelled);
    const double loadSeconds = SecondsSince(loadStart);
    progress.end(loaded == KmzLoadOutcome::Loaded);
    MapArea area;
    if (!Kmz_CheckLoaded(data, loaded, message, area)) {
        if (loaded == KmzLoadOutcome::Cancelled) {
            std::fprintf(stderr, "%s\n", kKmzAborted);
            return 130;
        }
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }

    KmzWriteRequest request;
    request.scope = scope;
    request.archivePath = o.out.empty() ? Kmz_ArchiveName(data.outputName) : o.out;
    request.deflateThreads = o.deflateThreads;
    if (!Anchors(data, scope, o.profile, request.anchors, request.colours, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    const auto writeStart = std::chrono::steady_clock::now();
    const KmzWriteResult result = Kmz_WriteArchive(data, request, area, &progress, cancelled);
    const double writeSeconds = SecondsSince(writeStart);
    const double secondStep = progress.secondStep.time_since_epoch().count() ? SecondsSince(progress.secondStep) : 0.0;
    progress.end(result.outcome == KmzOutcome::Success);
    if (o.stats) PrintStats(result, loadSeconds, writeSeconds, secondStep);
    switch (result.outcome) {
        case KmzOutcome::Success:
            std::printf("%s\n", result.message.c_str());
            return 0;
        case KmzOutcome::Cancelled:
            std::fprintf(stderr, "%s\n", result.message.c_str());
            return 130;
        case KmzOutcome::Failure:
            break;
    }
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
}
