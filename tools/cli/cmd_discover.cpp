// fieldtrace-cli discover: finds the analyzers on the local networks as the
// hardware page does (search, check, validation against a standard) and
// prints the analyzer table as JSON.
#include <algorithm>
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "antenna/levelunit.h"
#include "args.h"
#include "commands.h"
#include "discovery.h"
#include "drivetest/basicsettings.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

using Json = nlohmann::ordered_json;

const char* kHelp =
    "usage: fieldtrace-cli discover [--standard NAME] [--level-unit UNIT] [--timeout-ms N]\n"
    "Pings every host of each local /24 network, reads the neighbour table and the\n"
    "PC's own adapters, checks every analyzer found over SCPI (identity, firmware,\n"
    "options, GPS receiver) and validates it against the standard. Prints one JSON\n"
    "object: the address-range text and the analyzer table in its order (usable\n"
    "analyzers first), with each analyzer's default role and input choices.\n"
    "Progress goes to stderr.\n"
    "  --standard NAME     broadcast standard (default \"DVB-T / DVB-H\")\n"
    "  --level-unit UNIT   dBuV/m, dBm, dBmV or dBuV (default dBuV); dBuV/m adds the antenna column\n"
    "  --timeout-ms N      SCPI time-out of the check (default 400)\n"
    "Only run it on a network you may scan.\n";

std::string Utf8(std::string_view latin1) { return Text_Latin1ToUtf8(latin1); }

}  // namespace

int Cli_Discover(int argc, char** argv) {
    CliArgs args(argc, argv, {"standard", "level-unit", "timeout-ms"}, {"help"});
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    const long long timeoutMs = args.integer("timeout-ms", 400);
    if (!args.ok()) return Cli_Usage("discover", args.error());
    if (!args.positional().empty()) return Cli_Usage("discover", "unexpected argument '" + args.positional().front() + "'");
    if (timeoutMs < 1 || timeoutMs > 60000) return Cli_Usage("discover", "--timeout-ms must be 1 to 60000");
    BasicSettings settings = BasicSettings_Defaults(Platform_DataDirectory());
    settings.standard = Text_Utf8ToLatin1(args.get("standard", "DVB-T / DVB-H"));
    const LevelUnit* unit = LevelUnit_Parse(args.get("level-unit", "dBuV"));
    const auto& units = BasicSettings_LevelUnits();
    if (!unit || std::find(units.begin(), units.end(), unit->name) == units.end())
        return Cli_Usage("discover", "--level-unit must be dBuV/m, dBm, dBmV or dBuV");
    settings.levelUnit = unit->name;

    CliDiscovery found;
    std::string error;
    if (!Cli_RunDiscovery(settings, static_cast<int>(timeoutMs), found, error)) {
        std::fprintf(stderr, "fieldtrace-cli discover: %s\n", error.c_str());
        return 1;
    }
    Json analyzers = Json::array();
    for (std::size_t i = 0; i < found.slots.size() && i < found.rows.size(); ++i) {
        const AnalyzerSlot& s = found.slots[i];
        const AnalyzerTableRow& r = found.rows[i];
        Json inputs = Json::array();
        for (const auto& in : r.inputChoices) inputs.push_back(Utf8(in));
        analyzers.push_back({{"address", Utf8(Text_View(s.address))},
                             {"type", Utf8(r.type)},
                             {"status", Utf8(r.status)},
                             {"family", Utf8(Text_View(s.family.modelName))},
                             {"serialNumber", Utf8(Text_View(s.serialNumber))},
                             {"firmwareVersion", Utf8(Text_View(s.firmwareVersion))},
                             {"options", Utf8(Text_View(s.options))},
                             {"gpsDetected", s.gpsDetected == 1},
                             {"role", Utf8(r.role)},
                             {"inputs", inputs}});
    }
    Json out{{"rangeText", Utf8(found.rangeText)}, {"analyzers", analyzers}};
    std::cout << out.dump(2) << "\n";
    return 0;
}
