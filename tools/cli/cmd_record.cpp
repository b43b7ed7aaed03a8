// fieldtrace-cli record: a headless drive test. Checks the analyzers over
// SCPI, prepares them, optionally keeps them idle for a while (as the
// frequency and measurement pages do), records every selected measurement of
// every analyzer and frequency in lock-step, pauses and resumes on SIGUSR1,
// and stops after a number of samples, a duration or Ctrl-C (as "Stop
// pressed" would).
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "antenna/antenna.h"
#include "antenna/levelunit.h"
#include "args.h"
#include "commands.h"
#include "discovery.h"
#include "drivetest/basicsettings.h"
#include "interrupt.h"
#include "instrument/configcheck.h"
#include "drivetest/measurementselection.h"
#include "instrument/tcpscpi.h"
#include "measure/drivetest.h"
#include "platform/datetime.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

constexpr int kPrepareSeconds = 120;  // longest wait for the analyzers' preparation before recording

const char* kHelp =
    "usage: fieldtrace-cli record (--analyzer ADDR[:PORT] [--analyzer ...] | --discover) --standard NAME\n"
    "                             --freq ADDR=MHZ:DESC[:TITLE=LABEL...] [--freq ...]\n"
    "                             (--samples N | --duration SECONDS) --out DIR [options]\n"
    "Records a drive test headless. Each analyzer is checked over SCPI (identity,\n"
    "firmware, options, GPS receiver) and prepared for the standard; then every\n"
    "selected measurement of every analyzer and frequency is recorded once a\n"
    "second in lock-step into one record file per analyzer and frequency.\n"
    "  --analyzer ADDR[:PORT]   an analyzer (the family comes from its identity reply)\n"
    "  --discover               find the analyzers as the hardware page does: every usable\n"
    "                           analyzer of the local networks is used, the first one with a GPS\n"
    "                           receiver supplies the positions; --freq may then name an analyzer\n"
    "                           by its position N in the table (--freq 1=...). Only on a network\n"
    "                           you may scan.\n"
    "  --gps ADDR               the analyzer whose GPS receiver supplies the positions\n"
    "  --standard NAME          broadcast standard, for example \"DVB-T / DVB-H\"\n"
    "  --level-unit UNIT        dBm, dBmV, dBuV, V, W or dBuV/m (default dBm)\n"
    "  --input LABEL            input, for example \"50 Ohm\" (default the family's first)\n"
    "  --antenna NAME           antenna type from antennas.ini of the data directory\n"
    "  --data-dir DIR           data directory (antennas.ini); default FIELDTRACE_DATA_DIR or the program's\n"
    "  --freq ADDR=MHZ:DESC[:TITLE=LABEL...]  a frequency of the analyzer before '=', with its\n"
    "                           description and demodulation parameters by column title\n"
    "  --measurements LIST      comma-separated category words or tags (V1,G1,P3); \"all\";\n"
    "                           default Level,Sync,SNR,MER,BER,PER,Echo\n"
    "  --distance-unit km|mi    (default km)\n"
    "  --samples N              stop after N samples\n"
    "  --duration SECONDS       stop after this time of recording\n"
    "  --out DIR                output directory of the record files\n"
    "  --timeout-ms N           SCPI time-out (default 400)\n"
    "  --report FILE            append \"<record file> <samples>\" to FILE after every sample\n"
    "                           the file system has taken (what survives a crash from then on)\n"
    "  --time-scale X           run the program's clock X (1 to 100) times as fast as the\n"
    "                           wall clock, for soak tests: samples, times and --duration\n"
    "                           follow that clock (default 1)\n"
    "  --idle-seconds N         keep the prepared analyzers idle for N seconds before\n"
    "                           monitoring starts (default 0)\n"
    "Ctrl-C stops the recording as the Stop button does; SIGUSR1 toggles Pause and\n"
    "Record as the Record/Pause button does (paused time does not count towards\n"
    "--duration). The phases are announced on stderr: \"Idle ...\", \"Monitoring ...\",\n"
    "\"Recording ...\", \"Paused ...\", \"Stopping ...\". Exit status 0 when the\n"
    "recording ended with \"Stop pressed\", 1 when it had to be stopped or could not start.\n";

// The live status, drawn on stderr.
class ConsoleView : public DriveTestView {
public:
    explicit ConsoleView(bool terminal) : terminal_(terminal) {}
    void statusRowAdded(int row, const std::string& label, RowColour) override {
        std::lock_guard<std::mutex> l(m_);
        rows_.insert(rows_.begin() + (row - 1), Row{label, "", "", ""});
    }
    void statusRowRemoved(int row) override {
        std::lock_guard<std::mutex> l(m_);
        if (row >= 1 && static_cast<std::size_t>(row) <= rows_.size()) rows_.erase(rows_.begin() + (row - 1));
    }
    void statusCell(int row, int column, const std::string& text, RowColour) override {
        std::lock_guard<std::mutex> l(m_);
        if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) return;
        Row& r = rows_[static_cast<std::size_t>(row - 1)];
        (column == 2 ? r.status : column == 3 ? r.level : r.sync) = text;
    }
    void statusRowColour(int, RowColour) override {}
    void gpsIndicator(const std::string& text, RowColour) override {
        std::lock_guard<std::mutex> l(m_);
        gps_ = text;
        for (char& c : gps_)
            if (c == '\n') c = ' ';
    }
    void summaryCell(int row, const std::string& text) override {
        std::lock_guard<std::mutex> l(m_);
        summary_[row] = text;
    }
    void trackMap(const MapImage&) override {}
    void message(const std::string& text) override {
        std::lock_guard<std::mutex> l(m_);
        messages_.push_back(text);
    }

    // Draws the table; on a terminal in place, elsewhere as a block of lines.
    void draw(const std::string& levelTitle) {
        std::lock_guard<std::mutex> l(m_);
        std::string out;
        if (terminal_ && drawnLines_ > 0) out += Text_Format("\x1b[%dA\x1b[J", drawnLines_);
        int lines = 0;
        out += Text_Format("%-22s %-44s %10s %5s\n", "Frequency", "Status", levelTitle.c_str(), "Sync");
        ++lines;
        for (const auto& r : rows_) {
            std::string status = r.status;
            std::string reason;
            if (auto nl = status.find('\n'); nl != std::string::npos) {
                reason = status.substr(nl + 1);
                status.erase(nl);
            }
            out += Text_Format("%-22s %-44s %10s %5s\n", r.label.c_str(), status.c_str(), r.level.c_str(), r.sync.c_str());
            ++lines;
            if (!reason.empty()) {
                out += Text_Format("%-22s   %s\n", "", reason.c_str());
                ++lines;
            }
        }
        out += Text_Format("GPS: %s  fix %s%%  track %s  speed %s  free %s MB\n", gps_.empty() ? "---" : gps_.c_str(),
                           Get(1).c_str(), Get(3).c_str(), Get(4).c_str(), Get(5).c_str());
        ++lines;
        drawnLines_ = terminal_ ? lines : 0;
        std::fputs(Text_Latin1ToUtf8(out).c_str(), stderr);
        std::fflush(stderr);
    }
    // One line that announces a phase; the table is drawn afresh below it.
    void note(const std::string& text) {
        std::lock_guard<std::mutex> l(m_);
        std::fprintf(stderr, "%s\n", Text_Latin1ToUtf8(text).c_str());
        std::fflush(stderr);
        drawnLines_ = 0;
    }
    std::vector<std::string> messages() {
        std::lock_guard<std::mutex> l(m_);
        return messages_;
    }

private:
    struct Row {
        std::string label, status, level, sync;
    };
    std::string Get(int row) const {
        auto it = summary_.find(row);
        return it == summary_.end() || it->second.empty() ? "---" : it->second;
    }
    bool terminal_;
    std::mutex m_;
    std::vector<Row> rows_;
    std::string gps_;
    std::map<int, std::string> summary_;
    std::vector<std::string> messages_;
    int drawnLines_ = 0;
};

bool SplitAddress(const std::string& text, std::string& address, int& port) {
    auto colon = text.find(':');
    address = text.substr(0, colon);
    port = 0;
    if (colon != std::string::npos) {
        long long p = 0;
        if (!Text_ParseInt(text.substr(colon + 1), p) || p < 1 || p > 65535) return false;
        port = static_cast<int>(p);
    }
    return !address.empty();
}

std::vector<std::string> SplitOn(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}


int Fail(const std::string& message) {
    std::fprintf(stderr, "fieldtrace-cli record: %s\n", Text_Latin1ToUtf8(message).c_str());
    return 1;
}

// Checks one analyzer, trying the families' ports when none is given.
bool CheckAnalyzer(const std::string& address, int port, int timeoutMs, AnalyzerSlot& slot, std::string& error) {
    std::vector<int> ports;
    if (port) ports.push_back(port);
    for (const auto& f : ReceiverInfo_Families())
        if (!port && std::find(ports.begin(), ports.end(), f.scpiPort) == ports.end()) ports.push_back(f.scpiPort);
    for (int p : ports) {
        slot = AnalyzerSlot{};
        Text_Copy(slot.address, address);
        ReceiverInfo_CopyFamily(slot.family, ReceiverInfo_Families().front());
        slot.family.scpiPort = p;
        for (const auto& f : ReceiverInfo_Families())
            if (f.scpiPort == p) {
                ReceiverInfo_CopyFamily(slot.family, f);
                break;
            }
        if (DriveTest_CheckAnalyzer(slot, timeoutMs)) return true;
    }
    error = "analyzer " + address + ": no analyzer answers (" + slot.status + ")";
    return false;
}

}  // namespace

int Cli_Record(int argc, char** argv) {
    CliArgs args(argc, argv,
                 {"analyzer", "gps", "standard", "level-unit", "input", "antenna", "data-dir", "freq", "measurements",
                  "distance-unit", "samples", "duration", "out", "timeout-ms", "idle-seconds", "report", "time-scale"},
                 {"help", "discover"});
    if (!args.ok()) return Cli_Usage("record", args.error());
    if (args.has("help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!args.positional().empty()) return Cli_Usage("record", "unexpected argument '" + args.positional()[0] + "'");
    const long long samples = args.integer("samples", 0);
    const double duration = args.number("duration", 0.0);
    const long long timeoutMs = args.integer("timeout-ms", 400);
    const double idleSeconds = args.number("idle-seconds", 0.0);
    const double timeScale = args.number("time-scale", 1.0);
    if (!args.ok()) return Cli_Usage("record", args.error());
    if (args.all("analyzer").empty() && !args.has("discover"))
        return Cli_Usage("record", "name at least one --analyzer, or --discover");
    if (!args.all("analyzer").empty() && args.has("discover"))
        return Cli_Usage("record", "--discover finds the analyzers itself; leave out --analyzer");
    if (!args.has("standard")) return Cli_Usage("record", "--standard is required");
    if (!args.has("out")) return Cli_Usage("record", "--out is required");
    if (samples <= 0 && duration <= 0.0) return Cli_Usage("record", "give --samples N or --duration SECONDS");
    if (timeoutMs < 1 || timeoutMs > 60000) return Cli_Usage("record", "--timeout-ms must be 1 to 60000");
    if (!(idleSeconds >= 0.0 && idleSeconds <= 86400.0)) return Cli_Usage("record", "--idle-seconds must be 0 to 86400");
    if (!(timeScale >= 1.0 && timeScale <= 100.0)) return Cli_Usage("record", "--time-scale must be 1 to 100");
    const std::string standardName = Text_Utf8ToLatin1(args.get("standard"));
    const LevelUnit* unit = LevelUnit_Parse(args.get("level-unit", "dBm"));
    if (!unit) return Cli_Usage("record", "unknown level unit '" + args.get("level-unit") + "'");
    std::string distance = args.get("distance-unit", "km");
    if (distance != "km" && distance != "mi") return Cli_Usage("record", "--distance-unit must be km or mi");
    const std::string out = args.get("out");
    if (!FileIO_IsDirectory(out.c_str())) return Cli_Usage("record", "output directory does not exist: " + out);
    if (args.has("data-dir")) Platform_SetDataDirectory(args.get("data-dir"));
    if (timeScale != 1.0) DateTime_SetTimeScale(timeScale);
    // From here on SIGUSR1 toggles instead of ending the program.
    ToggleCatcher toggleCatcher;

    TcpScpi_Init();
    ReceiverInfo_Init();
    Antenna_Init();
    const std::string antennaName = Text_Utf8ToLatin1(args.get("antenna"));
    int antennaIndex = 0;
    if (!antennaName.empty()) {
        antennaIndex = Antenna_Snapshot().positionOf(antennaName);
        if (!antennaIndex) return Fail("no antenna type '" + antennaName + "' in " + Platform_DataDirectory());
    }
    if (unit->isFieldStrength && !antennaIndex) return Cli_Usage("record", "the field-strength unit needs --antenna");

    // The analyzers: named, or found and chosen as the hardware page's defaults do.
    std::vector<std::string> analyzerArgs = args.all("analyzer");
    std::string gpsArg = args.get("gps");
    if (args.has("discover")) {
        BasicSettings settings = BasicSettings_Defaults(Platform_DataDirectory());
        settings.standard = standardName;
        settings.levelUnit = unit->isFieldStrength ? kLevelUnitFieldStrength : "dBm";
        CliDiscovery found;
        std::string error;
        if (!Cli_RunDiscovery(settings, static_cast<int>(timeoutMs), found, error)) return Fail(error);
        for (std::size_t i = 0; i < found.slots.size() && i < found.rows.size(); ++i) {
            if (found.rows[i].status != "OK") continue;
            const std::string address = Text_Format("%s:%d", found.slots[i].address, found.slots[i].family.scpiPort);
            analyzerArgs.push_back(address);
            if (!args.has("gps") && found.rows[i].role == "Analyzer+GPS") gpsArg = found.slots[i].address;
        }
        if (analyzerArgs.empty()) return Fail("no usable TV analyzer was found (" + Text_Latin1ToUtf8(found.rangeText) + ")");
    }

    // The analyzers, checked and validated as the hardware page does.
    std::vector<DriveTestAnalyzer> analyzers;
    std::map<std::string, std::size_t> byAddress;
    std::vector<std::string> addressByPosition;
    for (const auto& a : analyzerArgs) {
        std::string address;
        int port = 0;
        if (!SplitAddress(a, address, port)) return Cli_Usage("record", "bad --analyzer '" + a + "'");
        if (byAddress.count(address)) return Cli_Usage("record", "analyzer " + address + " named twice");
        DriveTestAnalyzer da;
        std::string error;
        std::fprintf(stderr, "Checking TV analyzer %s ...\n", address.c_str());
        if (!CheckAnalyzer(address, port, static_cast<int>(timeoutMs), da.slot, error)) return Fail(error);
        DriveTest_ValidateSlot(da.slot, standardName.c_str());
        std::fprintf(stderr, "  Korvane %s, %s, firmware %s: %s\n", da.slot.family.modelName, da.slot.serialNumber,
                     da.slot.firmwareVersion, Text_Latin1ToUtf8(da.slot.status).c_str());
        if (std::strcmp(da.slot.status, "OK") != 0) return Fail("analyzer " + address + ": " + da.slot.status);
        const AnalyzerFamily& fam = da.slot.family;
        for (std::size_t i = 0; i < fam.levelUnits.size(); ++i)
            if (!std::strcmp(fam.levelUnits[i].label, unit->name)) da.slot.levelUnitIndex = static_cast<int>(i + 1);
        const std::string input = args.get("input");
        da.slot.inputIndex = fam.inputImpedances.empty() ? 0 : 1;
        if (!input.empty()) {
            da.slot.inputIndex = 0;
            for (std::size_t i = 0; i < fam.inputImpedances.size(); ++i)
                if (input == fam.inputImpedances[i].label) da.slot.inputIndex = static_cast<int>(i + 1);
            if (!da.slot.inputIndex) return Cli_Usage("record", "analyzer " + address + " has no input '" + input + "'");
        }
        da.slot.antennaIndex = antennaIndex;
        byAddress[address] = analyzers.size();
        addressByPosition.push_back(address);
        analyzers.push_back(std::move(da));
    }

    if (!gpsArg.empty()) {
        auto it = byAddress.find(gpsArg);
        if (it == byAddress.end()) return Cli_Usage("record", "--gps must name one of the analyzers");
        DriveTestAnalyzer& g = analyzers[it->second];
        g.providesGps = true;
        if (!g.slot.gpsDetected)
            std::fprintf(stderr, "warning: analyzer %s reports no usable GPS receiver; samples may have no fix\n",
                         g.slot.address);
    }

    // Frequencies, checked as the frequency page does.
    std::map<std::string, int> descriptions;
    for (const auto& freqArg : args.all("freq")) {
        auto eq = freqArg.find('=');
        if (eq == std::string::npos) return Cli_Usage("record", "--freq must be ADDR=MHZ:DESC[:TITLE=LABEL...]");
        std::string key = freqArg.substr(0, eq);
        long long position = 0;
        if (args.has("discover") && Text_ParseInt(key, position) && position >= 1 &&
            static_cast<std::size_t>(position) <= addressByPosition.size())
            key = addressByPosition[static_cast<std::size_t>(position - 1)];
        auto it = byAddress.find(key);
        if (it == byAddress.end()) return Cli_Usage("record", "--freq names an unknown analyzer: " + freqArg);
        DriveTestAnalyzer& da = analyzers[it->second];
        const BroadcastStandard& standard = da.slot.family.standards[static_cast<std::size_t>(da.slot.standardIndex - 1)];
        auto fields = SplitOn(Text_Utf8ToLatin1(freqArg.substr(eq + 1)), ':');
        if (fields.size() < 2) return Cli_Usage("record", "--freq needs a frequency and a description: " + freqArg);
        FrequencyEntry e;
        if (!Text_ParseDouble(fields[0], e.frequencyMHz) || e.frequencyMHz < da.slot.family.rangeLow ||
            e.frequencyMHz > da.slot.family.rangeHigh)
            return Cli_Usage("record", "frequency must be 0.5 to 3000 MHz: " + freqArg);
        e.description = fields[1];
        if (!FileIO_IsValidFileName(e.description.c_str()) || e.description.size() > 20)
            return Cli_Usage("record", "description must be a valid file name of at most 20 characters: " + freqArg);
        if (descriptions[e.description]++) return Cli_Usage("record", "description used twice: " + e.description);
        for (const auto& other : da.frequencies)
            if (other.frequencyMHz == e.frequencyMHz) return Cli_Usage("record", "the same channel twice: " + freqArg);
        for (const auto& p : standard.parameters)
            e.parameterValues.push_back(p.kind == kParameterSelection
                                            ? (p.choices.empty() ? std::string() : std::string(p.choices.front().label))
                                            : Text_Format("%d", p.minimum));
        for (std::size_t k = 2; k < fields.size(); ++k) {
            auto peq = fields[k].find('=');
            std::string title = fields[k].substr(0, peq), label = peq == std::string::npos ? "" : fields[k].substr(peq + 1);
            bool found = false;
            for (std::size_t p = 0; p < standard.parameters.size(); ++p) {
                const StandardParameter& param = standard.parameters[p];
                if (title != param.columnTitle && title != ReceiverInfo_PlainTitle(param.columnTitle)) continue;
                found = true;
                if (param.kind == kParameterSelection) {
                    bool known = false;
                    for (const auto& c : param.choices) known = known || label == c.label;
                    if (!known) return Cli_Usage("record", "'" + label + "' is no choice of '" + title + "'");
                } else {
                    long long n = 0;
                    if (!Text_ParseInt(label, n) || n < param.minimum || n > param.maximum)
                        return Cli_Usage("record", "'" + title + "' must be a number from " +
                                                       Text_Format("%d to %d", param.minimum, param.maximum));
                }
                e.parameterValues[p] = label;
            }
            if (!found) return Cli_Usage("record", "the standard has no parameter '" + title + "'");
        }
        if (antennaIndex) {
            AntennaType antenna;
            Antenna_Get(antennaIndex, antenna);
            if (antenna.kFactors.size() < 2)
                return Fail(Text_Format("%s: The assigned antenna type '%s'\nmust at least provide 2 K-Factor entries "
                                        "(currently %d).",
                                        da.slot.address, antenna.name, static_cast<int>(antenna.kFactors.size())));
            if (e.frequencyMHz < antenna.kFactors.front().frequency || e.frequencyMHz > antenna.kFactors.back().frequency)
                return Fail(Text_Format("%s: The selected frequency %.6lf MHz is not within the K-Factor interval\nof "
                                        "the assigned antenna type '%s' (%.6lf MHz - %.6lf MHz).",
                                        da.slot.address, e.frequencyMHz, antenna.name, antenna.kFactors.front().frequency,
                                        antenna.kFactors.back().frequency));
        }
        da.frequencies.push_back(e);
    }
    for (const auto& da : analyzers)
        if (da.frequencies.empty()) return Cli_Usage("record", std::string("analyzer ") + da.slot.address + " has no --freq");

    // Measurements: category words or tags.
    const std::string list = args.get("measurements");
    for (auto& da : analyzers) {
        const BroadcastStandard& standard = da.slot.family.standards[static_cast<std::size_t>(da.slot.standardIndex - 1)];
        const auto items = DriveTest_MeasurementItems(standard);
        if (list.empty()) {
            da.selectedTags = DriveTest_SelectDefaultMeasurements(standard);
        } else {
            for (const auto& word : SplitOn(list, ',')) {
                std::vector<std::string> tags;
                if (word == "all")
                    for (const auto& it : items) tags.push_back(it.tag);
                else
                    for (const auto& it : items)
                        if (it.tag == word) tags.push_back(it.tag);
                if (tags.empty() && word != "all") tags = DriveTest_MarkCategory(items, word);
                if (tags.empty()) return Cli_Usage("record", "no measurement matches '" + word + "'");
                for (const auto& t : tags)
                    if (std::find(da.selectedTags.begin(), da.selectedTags.end(), t) == da.selectedTags.end())
                        da.selectedTags.push_back(t);
            }
        }
    }

    DriveTestSetup setup;
    setup.settings.standard = standardName;
    setup.settings.levelUnit = unit->name;
    setup.settings.distanceUnit = distance == "km" ? kDistanceKilometers : kDistanceMiles;
    setup.settings.outputDirectory = out;
    setup.sessionTimeoutMs = static_cast<int>(timeoutMs);
    setup.analyzers = analyzers;

    // One write per line to a descriptor opened for appending: a line is in the
    // file system as soon as the call returns, whatever happens to the process.
    int reportFd = -1;
    if (args.has("report")) {
        reportFd = ::open(args.get("report").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (reportFd < 0) return Fail("cannot open the report file " + args.get("report"));
        DriveTest_SetSampleWrittenHook([reportFd](const std::string& path, int count) {
            const std::string line = Text_Format("%s %d\n", path.c_str(), count);
            if (::write(reportFd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                std::fprintf(stderr, "warning: the report file took a short write\n");
        });
    }
    const bool terminal = Cli_ProgressWanted();
    ConsoleView view(terminal);
    std::string error;
    if (!DriveTest_Start(setup, view, error)) return Fail(error);
    InterruptCatcher catcher;
    const std::string levelTitle = Text_Format("Level [%s]", unit->name);

    // Polls every 100 ms until ready() holds, Ctrl-C or the limit; draws the status meanwhile.
    auto waitFor = [&](auto ready, const char* what) {
        const double since = DateTime_Now();
        double lastDraw = 0.0;
        for (;;) {
            if (ready() || Cli_Interrupted()) return;
            const double now = DateTime_Now();
            if (now - since > kPrepareSeconds) {
                std::fprintf(stderr, "warning: not every analyzer is %s after %d s; going on anyway\n", what, kPrepareSeconds);
                return;
            }
            if (now - lastDraw >= (terminal ? 1.0 : 5.0)) {
                view.draw(levelTitle);
                lastDraw = now;
            }
            Cli_TakeToggles();  // nothing to pause yet
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
    auto allInPhase = [](int phase) {
        return [phase] {
            for (const auto& t : DriveTest_Threads())
                if (t.phase < phase) return false;
            return true;
        };
    };

    if (idleSeconds > 0.0) {
        // Engaged and prepared, but idle, as while the user edits frequencies and measurements.
        waitFor(allInPhase(kPhaseFrequencySetup), "prepared");
        view.note(Text_Format("Idle for %g s ...", idleSeconds));
        const double until = DateTime_Now() + idleSeconds;
        while (!Cli_Interrupted() && DateTime_Now() < until) {
            Cli_TakeToggles();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    view.note("Monitoring ...");
    DriveTest_RequestState(kStateMonitoring);
    // As a user on the recording page, wait until every analyzer is prepared and
    // waits for the first sample, so the first samples hold every analyzer.
    waitFor(allInPhase(kPhaseWaiting), "ready to measure");
    int status = 0;
    if (!Cli_Interrupted() && DriveTest_Record()) {
        view.note("Recording ...");
        bool paused = false;
        double recorded = 0.0;  // seconds spent recording, pauses left out
        double last = DateTime_Now();
        double lastDraw = 0.0;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const double now = DateTime_Now();
            if (!paused) recorded += now - last;
            last = now;
            for (int n = Cli_TakeToggles(); n > 0 && DriveTest_StopReason().empty(); --n) {
                if (paused && DriveTest_Record()) {
                    paused = false;
                    view.note("Recording ...");
                } else if (!paused) {
                    DriveTest_Pause();
                    paused = true;
                    view.note("Paused ...");
                }
            }
            long long taken = 0;
            auto threads = DriveTest_Threads();
            if (!threads.empty())
                for (int c : threads.front().sampleCounts) taken += c;
            if (now - lastDraw >= (terminal ? 1.0 : 5.0)) {
                view.draw(levelTitle);
                lastDraw = now;
            }
            if (!DriveTest_StopReason().empty()) break;  // stopped by a file or disk error
            if (Cli_Interrupted() || (samples > 0 && taken >= samples) || (duration > 0.0 && recorded >= duration)) {
                view.note("Stopping ...");
                DriveTest_Stop(kStopPressed);
                break;
            }
        }
        DriveTest_WaitStopped(120000);
        view.draw(levelTitle);
        if (DriveTest_StopReason() != kStopPressed) status = 1;
    } else {
        status = 1;
    }
    for (const auto& m : view.messages()) std::printf("%s\n", Text_Latin1ToUtf8(m).c_str());
    DriveTest_Release();
    DriveTest_SetSampleWrittenHook(nullptr);
    if (reportFd >= 0) ::close(reportFd);
    Antenna_Close();
    return status;
}
