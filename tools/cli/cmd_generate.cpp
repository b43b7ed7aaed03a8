// fieldtrace-cli generate: synthetic record files written through the real
// record writer, deterministic by seed.
#include <cstdio>
#include <string>

#include "antenna/antenna.h"
#include "antenna/levelunit.h"
#include "args.h"
#include "commands.h"
#include "platform/text.h"
#include "records/fileio.h"
#include "synthrecord.h"

namespace {

const char* kHelp =
    "usage: fieldtrace-cli generate [options]\n"
    "Writes one synthetic record file (.dtr) of a drive along a simulated route,\n"
    "with every value, graph and read-out of the standard, and prints its path.\n"
    "  --standard NAME        broadcast standard (default \"DVB-T / DVB-H\")\n"
    "  --family NAME          analyzer family (default: the first that has the standard)\n"
    "  --samples N            number of samples (default 100)\n"
    "  --seed N               seed of route, signal and faults (default 1)\n"
    "  --lat DEG --lon DEG    route origin (default 48.137, 11.575)\n"
    "  --speed KMH            driving speed (default 40)\n"
    "  --distance-unit km|mi  distance unit of the file (default km)\n"
    "  --level-unit UNIT      dBm, dBmV, dBuV, V, W or dBuV/m (default dBuV)\n"
    "  --frequency MHZ        frequency (default 474)\n"
    "  --description TEXT     frequency description, end of the file name (default Ch21)\n"
    "  --start 'YYYY-MM-DD HH:MM:SS'  time of the first sample (default 2026-06-01 10:00:00)\n"
    "  --no-fix FIRST:COUNT   samples without GPS fix (repeatable; 0-based sample index)\n"
    "  --bad-status SHARE     share (0..1) of samples whose status is not \"No error\"\n"
    "  --antenna NAME         antenna name stored in the file\n"
    "  --kfactor DB           its K-factor at the frequency, or\n"
    "  --antennas FILE        an antennas.ini to take the K-factor of --antenna from\n"
    "  --serial TEXT --firmware TEXT  analyzer identity (default 101234, 3.45)\n"
    "  --out DIR              output directory (default .)\n";

bool ParseStart(const std::string& text, LocalDateTime& t) {
    int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second);
    return n == 6 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour < 24 &&
           t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

bool ShowProgress(long long done, long long total, void*) {
    std::fprintf(stderr, "\rgenerate: %3lld%%", total > 0 ? 100 * done / total : 100);
    if (done == total) std::fprintf(stderr, "\n");
    return true;
}

}  // namespace

int Cli_Generate(int argc, char** argv) {
    CliArgs args(argc, argv,
                 {"standard", "family", "samples", "seed", "lat", "lon", "speed", "distance-unit", "level-unit",
                  "frequency", "description", "start", "no-fix", "bad-status", "antenna", "kfactor", "antennas",
                  "serial", "firmware", "out"},
                 {"help"});
    if (!args.ok()) return Cli_Usage("generate", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!args.positional().empty()) return Cli_Usage("generate", "unexpected argument '" + args.positional()[0] + "'");

    SynthRecordOptions o;
    o.standard = Text_Utf8ToLatin1(args.get("standard", o.standard));
    o.family = args.get("family");
    o.samples = args.integer("samples", o.samples);
    o.seed = static_cast<std::uint64_t>(args.integer("seed", 1));
    o.originLatitude = args.number("lat", o.originLatitude);
    o.originLongitude = args.number("lon", o.originLongitude);
    o.speedKmh = args.number("speed", o.speedKmh);
    o.frequencyMHz = args.number("frequency", o.frequencyMHz);
    o.badStatusShare = args.number("bad-status", 0.0);
    o.kFactor = args.number("kfactor", 0.0);
    if (!args.ok()) return Cli_Usage("generate", args.error());
    if (o.samples < 0) return Cli_Usage("generate", "--samples must not be negative");
    if (o.originLatitude < -85.0 || o.originLatitude > 85.0 || o.originLongitude < -180.0 || o.originLongitude > 180.0)
        return Cli_Usage("generate", "route origin outside the map");
    if (o.speedKmh < 0.0 || o.speedKmh > 400.0) return Cli_Usage("generate", "--speed must be 0 to 400 km/h");
    if (o.frequencyMHz <= 0.0) return Cli_Usage("generate", "--frequency must be positive");
    if (o.badStatusShare < 0.0 || o.badStatusShare > 1.0) return Cli_Usage("generate", "--bad-status must be 0 to 1");

    std::string unit = args.get("distance-unit", "km");
    if (unit == "km")
        o.distanceUnit = "kilometers [km]";
    else if (unit == "mi")
        o.distanceUnit = "miles [mi]";
    else
        return Cli_Usage("generate", "--distance-unit must be km or mi");

    if (args.has("level-unit")) {
        const LevelUnit* lu = LevelUnit_Parse(args.get("level-unit"));
        if (!lu) return Cli_Usage("generate", "unknown level unit '" + args.get("level-unit") + "'");
        o.levelUnit = lu->name;
    }
    o.description = Text_Utf8ToLatin1(args.get("description", "Ch21"));
    if (!FileIO_IsValidFileName(o.description.c_str()))
        return Cli_Usage("generate", "the description must be a valid file name");
    if (args.has("start") && !ParseStart(args.get("start"), o.start))
        return Cli_Usage("generate", "--start must be 'YYYY-MM-DD HH:MM:SS'");
    for (const auto& stretch : args.all("no-fix")) {
        long long first = 0, count = 0;
        auto colon = stretch.find(':');
        if (colon == std::string::npos || !Text_ParseInt(stretch.substr(0, colon), first) ||
            !Text_ParseInt(stretch.substr(colon + 1), count) || first < 0 || count < 0)
            return Cli_Usage("generate", "--no-fix must be FIRST:COUNT");
        o.noFixStretches.emplace_back(first, count);
    }
    o.antennaName = Text_Utf8ToLatin1(args.get("antenna"));
    if (args.has("antennas")) {
        if (o.antennaName.empty()) return Cli_Usage("generate", "--antennas needs --antenna NAME");
        AntennaList list;
        if (!AntennaList_Load(args.get("antennas"), list))
            return Cli_Usage("generate", "cannot read antennas file " + args.get("antennas"));
        int position = list.positionOf(o.antennaName);
        if (position == 0) return Cli_Usage("generate", "no antenna '" + args.get("antenna") + "' in the antennas file");
        o.kFactor = list.kFactorAt(position, o.frequencyMHz);
    }
    if (LevelUnit_Find(o.levelUnit)->isFieldStrength && o.antennaName.empty())
        return Cli_Usage("generate", "the field-strength unit needs an antenna (--antenna)");
    o.serialNumber = args.get("serial", o.serialNumber);
    o.firmwareVersion = args.get("firmware", o.firmwareVersion);
    o.outputDirectory = args.get("out", ".");

    std::string path, error;
    if (!Synth_WriteRecordFile(o, path, error, Cli_ProgressWanted() ? ShowProgress : nullptr, nullptr)) {
        std::fprintf(stderr, "fieldtrace-cli generate: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
