#include "simconfig.h"

#include <arpa/inet.h>
#include <strings.h>

#include <fstream>
#include <functional>
#include <map>

#include "instrument/receiverinfo.h"
#include "platform/text.h"

namespace {

const char* kHelp =
    "usage: fieldtrace-analyzer-sim --family NAME [options]\n"
    "A simulated TV analyzer that speaks the SCPI of its family on one TCP port and\n"
    "drives along a simulated route. Connections are served one after another.\n"
    "  --family NAME            Alvra, Belko or Cendra (required)\n"
    "  --address A              listening address (default 127.0.0.1; 127.0.0.0/8 only)\n"
    "  --allow-any-address      also accept addresses outside 127.0.0.0/8\n"
    "  --port N                 TCP port (default the family's; 0 picks a free one)\n"
    "  --model TEXT             model field of *IDN? (default the family name)\n"
    "  --serial TEXT            serial field of *IDN?, e.g. 1234.5678k22/101234\n"
    "  --firmware TEXT          firmware field of *IDN? (default just above the family minimum)\n"
    "  --options LIST           *OPT? list, e.g. HW02,FW07,FW04 (default every option\n"
    "                           the family's tables mention)\n"
    "  --seed N                 seed of route, signal and faults (default 1)\n"
    "  --lat DEG --lon DEG      origin of the route loop (default 48.137, 11.575)\n"
    "  --speed KMH              driving speed (default 36)\n"
    "  --route FILE             drive through the points of FILE (lines \"lat,lon\")\n"
    "  --gps STATE              connected, disconnected or nofix (default connected)\n"
    "  --gps-receiver NAME      the GPS receiver attached, by its catalogue name: reported\n"
    "                           connected only once its setup steps and inputs were sent\n"
    "  --gps-port N             the attached receiver needs its inputs set to N (its COM port)\n"
    "  --level-offset DB        added to every simulated level (default 0)\n"
    "  --settle-ms N            results stay invalid this long after a change (default 300)\n"
    "  --exit-after-seconds T   end the program after T seconds\n"
    "  --verbose                log every line and reply on stderr\n"
    "faults (deterministic by seed):\n"
    "  --latency-ms N           delay every reply by N ms\n"
    "  --no-reply-share X       leave a share X (0..1) of the queries unanswered\n"
    "  --drop-after N           drop each connection after N exchanges\n"
    "  --drop-at-seconds T      drop the connection open at T seconds after start\n"
    "                           (or, when none is open then, the next one at once)\n"
    "  --drop-down-seconds T    after a drop, accept no connection for T seconds\n"
    "  --drop-resets            a drop is a power cycle: every setting returns to its\n"
    "                           power-on value\n"
    "  --late-share X           send a share X of the replies --late-ms late\n"
    "  --late-ms N              how late those replies come (default 700)\n"
    "  --tag-results            answer every value result with a number that names its\n"
    "                           query instead of a reading (for tests that must tell\n"
    "                           which reply went where)\n"
    "  --undefined-share X      answer a share X of the results \"99.1e+36\" or \"---\"\n"
    "  --att-change-share X     a share X of the attenuation reads finds a changed attenuation\n"
    "  --no-fix-share X         no GPS fix for a share X of the time, in stretches of 10 s\n"
    "  --old-firmware           report a firmware below the family minimum\n"
    "  --missing-option CODE    leave CODE out of the default option list (repeatable)\n";

bool ParseShare(const std::string& text, double& value) {
    return Text_ParseDouble(text, value) && value >= 0.0 && value <= 1.0;
}

bool ParseNonNegative(const std::string& text, double& value) {
    return Text_ParseDouble(text, value) && value >= 0.0;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::string item;
    for (char c : text + ",") {
        if (c == ',') {
            if (!item.empty()) out.push_back(item);
            item.clear();
        } else if (c != ' ') {
            item.push_back(c);
        }
    }
    return out;
}

bool FindFamily(const std::string& name, std::string& canonical) {
    ReceiverInfo_Init();
    for (const auto& f : ReceiverInfo_Families()) {
        if (!strcasecmp(f.modelName, name.c_str())) {
            canonical = f.modelName;
            return true;
        }
    }
    return false;
}

// Gives name the catalogue's spelling of the family's receiver it names.
bool FindGpsReceiver(const std::string& family, std::string& name) {
    const int index = ReceiverInfo_FindFamilyByName(family.c_str());
    if (index < 1) return false;
    for (const auto& r : ReceiverInfo_Families()[static_cast<std::size_t>(index - 1)].gpsReceivers) {
        if (!strcasecmp(r.name, name.c_str())) {
            name = r.name;
            return true;
        }
    }
    return false;
}

using Setter = std::function<bool(SimConfig&, const std::string&)>;

bool SetInt(const std::string& text, long long lo, long long hi, long long& out) {
    return Text_ParseInt(text, out) && out >= lo && out <= hi;
}

// A time in milliseconds, up to ten minutes.
bool ParseMilliseconds(const std::string& text, int& out) {
    long long n;
    if (!SetInt(text, 0, 600000, n)) return false;
    out = static_cast<int>(n);
    return true;
}

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"family", [](SimConfig& c, const std::string& v) { return FindFamily(v, c.family); }},
        {"address", [](SimConfig& c, const std::string& v) { c.address = v; return true; }},
        {"port", [](SimConfig& c, const std::string& v) {
             long long n;
             if (!SetInt(v, 0, 65535, n)) return false;
             c.port = static_cast<int>(n);
             return true;
         }},
        {"model", [](SimConfig& c, const std::string& v) { c.model = v; return !v.empty(); }},
        {"serial", [](SimConfig& c, const std::string& v) { c.serial = v; return !v.empty(); }},
        {"firmware", [](SimConfig& c, const std::string& v) { c.firmware = v; return !v.empty(); }},
        {"options", [](SimConfig& c, const std::string& v) {
             c.optionsGiven = true;
             c.options = SplitList(v);
             return true;
         }},
        {"missing-option", [](SimConfig& c, const std::string& v) {
             for (const auto& o : SplitList(v)) c.missingOptions.push_back(o);
             return true;
         }},
        {"seed", [](SimConfig& c, const std::string& v) {
             long long n;
             if (!SetInt(v, 0, 0x7FFFFFFFFFFFFFFFll, n)) return false;
             c.seed = static_cast<std::uint64_t>(n);
             return true;
         }},
        {"lat", [](SimConfig& c, const std::string& v) {
             return Text_ParseDouble(v, c.latitude) && c.latitude >= -85.0 && c.latitude <= 85.0;
         }},
        {"lon", [](SimConfig& c, const std::string& v) {
             return Text_ParseDouble(v, c.longitude) && c.longitude >= -180.0 && c.longitude <= 180.0;
         }},
        {"speed", [](SimConfig& c, const std::string& v) { return ParseNonNegative(v, c.speedKmh); }},
        {"route", [](SimConfig& c, const std::string& v) { c.routeFile = v; return !v.empty(); }},
        {"gps", [](SimConfig& c, const std::string& v) {
             if (v == "connected") c.gps = SimGpsState::kConnected;
             else if (v == "disconnected") c.gps = SimGpsState::kDisconnected;
             else if (v == "nofix") c.gps = SimGpsState::kNoFix;
             else return false;
             return true;
         }},
        {"gps-receiver", [](SimConfig& c, const std::string& v) { c.gpsReceiver = v; return !v.empty(); }},
        {"gps-port", [](SimConfig& c, const std::string& v) {
             long long n;
             if (!SetInt(v, 1, 0x7FFFFFFF, n)) return false;
             c.gpsPort = static_cast<int>(n);
             return true;
         }},
        {"level-offset", [](SimConfig& c, const std::string& v) { return Text_ParseDouble(v, c.levelOffsetDb); }},
        {"settle-ms", [](SimConfig& c, const std::string& v) { return ParseMilliseconds(v, c.settleMs); }},
        {"latency-ms", [](SimConfig& c, const std::string& v) { return ParseMilliseconds(v, c.latencyMs); }},
        {"no-reply-share", [](SimConfig& c, const std::string& v) { return ParseShare(v, c.noReplyShare); }},
        {"drop-after", [](SimConfig& c, const std::string& v) {
             return SetInt(v, 1, 0x7FFFFFFFFFFFFFFFll, c.dropAfter);
         }},
        {"drop-at-seconds", [](SimConfig& c, const std::string& v) { return ParseNonNegative(v, c.dropAtSeconds); }},
        {"drop-down-seconds", [](SimConfig& c, const std::string& v) { return ParseNonNegative(v, c.dropDownSeconds); }},
        {"late-share", [](SimConfig& c, const std::string& v) { return ParseShare(v, c.lateShare); }},
        {"late-ms", [](SimConfig& c, const std::string& v) { return ParseMilliseconds(v, c.lateMs); }},
        {"undefined-share", [](SimConfig& c, const std::string& v) { return ParseShare(v, c.undefinedShare); }},
        {"att-change-share", [](SimConfig& c, const std::string& v) { return ParseShare(v, c.attChangeShare); }},
        {"no-fix-share", [](SimConfig& c, const std::string& v) { return ParseShare(v, c.noFixShare); }},
        {"exit-after-seconds", [](SimConfig& c, const std::string& v) {
             return ParseNonNegative(v, c.exitAfterSeconds);
         }},
    };
    return options;
}

const std::map<std::string, bool SimConfig::*>& FlagOptions() {
    static const std::map<std::string, bool SimConfig::*> flags = {
        {"allow-any-address", &SimConfig::allowAnyAddress},
        {"verbose", &SimConfig::verbose},
        {"help", &SimConfig::help},
        {"old-firmware", &SimConfig::oldFirmware},
        {"drop-resets", &SimConfig::dropResets},
        {"tag-results", &SimConfig::tagResults},
    };
    return flags;
}

bool ParseArguments(const std::vector<std::string>& args, SimConfig& config, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h") {
            config.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        std::string name = arg.substr(2), value;
        const auto eq = name.find('=');
        const bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        if (auto flag = FlagOptions().find(name); flag != FlagOptions().end()) {
            if (inlineValue) {
                error = "--" + name + " takes no value";
                return false;
            }
            config.*(flag->second) = true;
            continue;
        }
        auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) {
            error = "unknown option '--" + name + "'";
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = "--" + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!option->second(config, value)) {
            error = "bad value '" + value + "' for --" + name;
            return false;
        }
    }
    return true;
}

}  // namespace

const char* SimConfig_Help() { return kHelp; }

bool SimConfig_IsLoopback(const std::string& address) {
    in_addr a{};
    if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;
    return (ntohl(a.s_addr) >> 24) == 127;
}

bool SimConfig_ReadRoute(const std::string& path, std::vector<SynthPoint>& points, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read route file '" + path + "'";
        return false;
    }
    points.clear();
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#')
            continue;
        const auto comma = line.find(',');
        SynthPoint p;
        if (comma == std::string::npos || !Text_ParseDouble(line.substr(0, comma), p.latitude) ||
            !Text_ParseDouble(line.substr(comma + 1), p.longitude) || p.latitude < -90.0 || p.latitude > 90.0 ||
            p.longitude < -180.0 || p.longitude > 180.0) {
            error = Text_Format("route file '%s', line %d: expected \"lat,lon\"", path.c_str(), number);
            return false;
        }
        points.push_back(p);
    }
    if (points.size() < 2) {
        error = "route file '" + path + "' needs at least two points";
        return false;
    }
    return true;
}

bool SimConfig_Parse(const std::vector<std::string>& args, SimConfig& config, std::string& error) {
    if (!ParseArguments(args, config, error)) return false;
    if (config.help) return true;
    if (config.family.empty()) {
        error = "--family is required (Alvra, Belko or Cendra)";
        return false;
    }
    in_addr a{};
    if (inet_pton(AF_INET, config.address.c_str(), &a) != 1) {
        error = "bad address '" + config.address + "' (dotted IPv4 expected)";
        return false;
    }
    if (!config.allowAnyAddress && !SimConfig_IsLoopback(config.address)) {
        error = "address " + config.address + " is outside 127.0.0.0/8 (use --allow-any-address)";
        return false;
    }
    if (config.optionsGiven && !config.missingOptions.empty()) {
        error = "--options and --missing-option exclude each other";
        return false;
    }
    if (config.oldFirmware && !config.firmware.empty()) {
        error = "--firmware and --old-firmware exclude each other";
        return false;
    }
    if (!config.gpsReceiver.empty() && !FindGpsReceiver(config.family, config.gpsReceiver)) {
        error = "no GPS receiver '" + config.gpsReceiver + "' in the " + config.family + " family";
        return false;
    }
    if (config.gpsPort > 0 && config.gpsReceiver.empty()) {
        error = "--gps-port needs --gps-receiver";
        return false;
    }
    if (!config.routeFile.empty() && !SimConfig_ReadRoute(config.routeFile, config.routePoints, error)) return false;
    return true;
}
