// fieldtrace-cli settings: where Fieldtrace keeps its settings, and the basic
// settings of a drive test as the desktop's basic page starts with them;
// options change a setting and save basic.ini as the desktop does.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <nlohmann/json.hpp>

#include "antenna/levelunit.h"
#include "args.h"
#include "commands.h"
#include "drivetest/basicsettings.h"
#include "instrument/receiverinfo.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

using Json = nlohmann::ordered_json;

const char* kHelp =
    "usage: fieldtrace-cli settings [--standard NAME] [--level-unit UNIT] [--distance-unit km|mi]\n"
    "                               [--output-dir DIR]\n"
    "Prints the data directory (settings, signals lists, antennas, colour profiles),\n"
    "the default output directory of drive tests and the basic settings of basic.ini\n"
    "as the desktop's basic page starts with them, as JSON. With an option, changes\n"
    "that setting and saves basic.ini (the data directory is made when missing).\n"
    "  --standard NAME        broadcast standard of the catalogue\n"
    "  --level-unit UNIT      dBuV/m, dBm, dBmV or dBuV\n"
    "  --distance-unit UNIT   km or mi\n"
    "  --output-dir DIR       output directory of drive tests (an existing directory)\n"
    "The data directory is FIELDTRACE_DATA_DIR when set; else the program's directory\n"
    "when the user may write it (a portable copy); else $XDG_DATA_HOME/fieldtrace\n"
    "(~/.local/share/fieldtrace), and drive tests are recorded into ~/Fieldtrace.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "fieldtrace-cli settings: %s\n", message.c_str());
    return 1;
}

// Paths are the file system's bytes: UTF-8 here, Latin-1 in names the recorder made.
std::string PathText(const std::string& path) { return Text_IsUtf8(path) ? path : Text_Latin1ToUtf8(path); }

bool KnownStandard(const std::string& name) {
    for (const auto& family : ReceiverInfo_Families())
        if (ReceiverInfo_FindStandard(family, name.c_str())) return true;
    return false;
}

}  // namespace

int Cli_Settings(int argc, char** argv) {
    CliArgs args(argc, argv, {"standard", "level-unit", "distance-unit", "output-dir"}, {"help"});
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!args.ok()) return Cli_Usage("settings", args.error());
    if (!args.positional().empty()) return Cli_Usage("settings", "unexpected argument '" + args.positional().front() + "'");
    ReceiverInfo_Init();
    const std::string dataDirectory = Platform_DataDirectory();
    const std::string basicPath = Platform_JoinPath(dataDirectory, kBasicFileName);
    BasicSettings loaded;
    const bool read = BasicSettings_Load(basicPath, loaded);
    BasicSettings settings = BasicSettings_Initial(dataDirectory, Platform_OutputDirectory());

    bool changed = false;
    if (args.has("standard")) {
        const std::string standard = Text_Utf8ToLatin1(args.get("standard"));
        if (!KnownStandard(standard)) return Cli_Usage("settings", "unknown standard '" + args.get("standard") + "'");
        settings.standard = standard;
        changed = true;
    }
    if (args.has("level-unit")) {
        const LevelUnit* unit = LevelUnit_Parse(args.get("level-unit"));
        const auto& units = BasicSettings_LevelUnits();
        if (!unit || std::find(units.begin(), units.end(), unit->name) == units.end())
            return Cli_Usage("settings", "--level-unit must be dBuV/m, dBm, dBmV or dBuV");
        settings.levelUnit = unit->name;
        changed = true;
    }
    if (args.has("distance-unit")) {
        const std::string unit = args.get("distance-unit");
        if (unit != "km" && unit != "mi") return Cli_Usage("settings", "--distance-unit must be km or mi");
        settings.distanceUnit = BasicSettings_DistanceUnits()[unit == "km" ? 0 : 1];
        changed = true;
    }
    if (args.has("output-dir")) {
        std::string directory = args.get("output-dir");
        if (directory.size() > 1 && directory.back() == '/') directory.pop_back();
        if (!FileIO_IsDirectory(directory.c_str())) return Cli_Usage("settings", "no directory '" + directory + "'");
        settings.outputDirectory = directory;
        changed = true;
    }
    if (changed) {
        if (!Platform_MakeDirectory(dataDirectory))
            return Fail("cannot make " + dataDirectory + ": " + std::strerror(errno));
        if (!BasicSettings_Save(basicPath, settings))
            return Fail("cannot save " + basicPath + ": " + std::strerror(errno ? errno : EIO));
    }

    Json out;
    out["dataDirectory"] = PathText(dataDirectory);
    out["defaultOutputDirectory"] = PathText(Platform_OutputDirectory());
    out["basicFile"] = PathText(basicPath);
    out["basicFileRead"] = read;
    out["saved"] = changed;
    out["standard"] = Text_Latin1ToUtf8(settings.standard);
    out["levelUnit"] = Text_Latin1ToUtf8(settings.levelUnit);
    out["distanceUnit"] = Text_Latin1ToUtf8(settings.distanceUnit);
    out["outputDirectory"] = PathText(settings.outputDirectory);
    std::cout << out.dump(2) << "\n";
    return 0;
}
