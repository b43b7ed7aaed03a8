// fieldtrace-save-loop: saves basic.ini, antennas.ini and a signals file of a
// directory over and over, alternating between two contents of different
// sizes, so that a test can kill it at any moment; --check then tells whether
// each file is exactly one of the two contents. Runs at most --seconds.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "antenna/antenna.h"
#include "drivetest/basicsettings.h"
#include "drivetest/signalsfile.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

const std::vector<std::string> kTitles = {"Description", "Frequency [MHz]", "Bandwidth [MHz]", "Guard interval"};

BasicSettings Basic(int generation) {
    BasicSettings s;
    s.standard = generation ? "DVB-T2" : "DVB-T / DVB-H";
    s.levelUnit = generation ? "dBm" : "dB\xb5V";
    s.distanceUnit = generation ? "miles [mi]" : "kilometers [km]";
    s.outputDirectory = "/records/generation-" + std::to_string(generation);
    return s;
}

// The second generation is several write buffers long, so that a kill can land between its writes.
AntennaList Antennas(int generation) {
    AntennaList list;
    const int antennas = generation ? 6 : 2, points = generation ? 300 : 20;
    for (int a = 0; a < antennas; ++a) {
        int position = 0;
        list.addAntenna(Text_Format("Antenna %d-%d", generation, a), &position);
        for (int p = 0; p < points; ++p)
            list.addPoint(position, KFactorPoint{40.0 + p * 2.5, 10.0 + a + p * 0.01});
    }
    return list;
}

std::vector<std::vector<std::string>> Signals(int generation) {
    std::vector<std::vector<std::string>> entries;
    const int count = generation ? 400 : 5;
    for (int i = 0; i < count; ++i)
        entries.push_back({Text_Format("G%dCh%d", generation, i), Text_Format("%.6lf", 474.0 + i), "8", "1/4"});
    return entries;
}

bool SameAntennas(const AntennaList& a, const AntennaList& b) {
    if (a.count() != b.count()) return false;
    for (int i = 0; i < a.count(); ++i) {
        const AntennaType &x = a.antennas()[static_cast<std::size_t>(i)], &y = b.antennas()[static_cast<std::size_t>(i)];
        if (std::strcmp(x.name, y.name) != 0 || x.kFactors.size() != y.kFactors.size()) return false;
        for (std::size_t p = 0; p < x.kFactors.size(); ++p)
            if (x.kFactors[p].frequency != y.kFactors[p].frequency || x.kFactors[p].kFactor != y.kFactors[p].kFactor)
                return false;
    }
    return true;
}

bool SameBasic(const BasicSettings& a, const BasicSettings& b) {
    return a.standard == b.standard && a.levelUnit == b.levelUnit && a.distanceUnit == b.distanceUnit &&
           a.outputDirectory == b.outputDirectory;
}

// Prints the first file that is neither generation; 0 when all are sound.
int Check(const std::string& dir) {
    int broken = 0;
    BasicSettings basic;
    if (!BasicSettings_Load(Platform_JoinPath(dir, kBasicFileName), basic) ||
        !(SameBasic(basic, Basic(0)) || SameBasic(basic, Basic(1)))) {
        std::printf("broken: basic.ini\n");
        ++broken;
    }
    AntennaList antennas;
    AntennaLoadReport report;
    if (!AntennaList_Load(Platform_JoinPath(dir, "antennas.ini"), antennas, &report) || !report.complete ||
        !(SameAntennas(antennas, Antennas(0)) || SameAntennas(antennas, Antennas(1)))) {
        std::printf("broken: antennas.ini\n");
        ++broken;
    }
    std::vector<std::vector<std::string>> entries;
    if (!SignalsFile_Read(SignalsFile_Path(dir, "A", "1"), kTitles, entries) ||
        !(entries == Signals(0) || entries == Signals(1))) {
        std::printf("broken: signals file\n");
        ++broken;
    }
    return broken ? 1 : 0;
}

// Saves all three files in turn, alternating generations; prints "ready"
// once every file was saved, then goes on until the time is up.
int Loop(const std::string& dir, double seconds) {
    const AntennaList antennas[2] = {Antennas(0), Antennas(1)};
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (long long round = 0; std::chrono::steady_clock::now() < until; ++round) {
        const int g = static_cast<int>(round % 2);
        if (!BasicSettings_Save(Platform_JoinPath(dir, kBasicFileName), Basic(g)) ||
            !AntennaList_Save(antennas[g], Platform_JoinPath(dir, "antennas.ini")) ||
            !SignalsFile_Write(SignalsFile_Path(dir, "A", "1"), kTitles, Signals(g))) {
            std::fprintf(stderr, "fieldtrace-save-loop: a save failed in round %lld\n", round);
            return 1;
        }
        if (round == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return Check(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--seconds") == 0) return Loop(argv[3], std::atof(argv[2]));
    std::fprintf(stderr, "usage: fieldtrace-save-loop --seconds S DIR | --check DIR\n");
    return 2;
}
