// fieldtrace-seeds DIR: writes seed inputs for the fuzz targets of the
// settings readers through the modules' own save functions, one folder per
// target under DIR (folders must exist). Record files come from
// fieldtrace-cli generate, reply lines from make_corpus.sh.
#include <cstdio>
#include <string>

#include "antenna/antenna.h"
#include "antenna/antennacsv.h"
#include "drivetest/basicsettings.h"
#include "drivetest/signalsfile.h"
#include "export/kmz/profiles.h"
#include "records/fileio.h"
#include "selection/fsini.h"

namespace {

bool Seeds_Fail(const char* what) {
    std::fprintf(stderr, "fieldtrace-seeds: could not write %s\n", what);
    return false;
}

bool Seeds_Basic(const std::string& dir) {
    BasicSettings s{"DVB-T / DVB-H", "dBm", "kilometers [km]", "/home/user/drive tests"};
    BasicSettings u{"ATSC", "dB\xB5V/m", "miles [mi]", std::string(600, 'x')};  // cut to its field
    return BasicSettings_Save(dir + "/basic_ini/plain.ini", s) && BasicSettings_Save(dir + "/basic_ini/long.ini", u);
}

bool Seeds_Signals(const std::string& dir) {
    const std::vector<std::string> titles = {"Description", "Frequency [MHz]", "Bandwidth", "Input"};
    return SignalsFile_Write(dir + "/signals/one.sig", titles, {{"Ch21", "474.000000", "8 MHz", "RF1"}}) &&
           SignalsFile_Write(dir + "/signals/three.sig", titles,
                             {{"Ch21", "474", "8 MHz", "RF1"}, {"Ch22", "482", "7 MHz", "RF2"}, {"", "", "", ""}});
}

bool Seeds_Antennas(const std::string& dir) {
    AntennaList list;
    list.addAntenna("Dipole");
    list.addAntenna("Yagi");
    list.addPoint(2, {100.0, 10.0});
    list.addPoint(2, {474.25, -3.5});
    list.addPoint(2, {862.0, 20.0});
    AntennaList one;
    one.addAntenna("Log-periodic");
    one.addPoint(1, {50.0, 1.0});
    one.addPoint(1, {3000.0, 99.99});
    return AntennaList_Save(list, dir + "/antennas_ini/two.ini") && AntennaList_Save(one, dir + "/antennas_ini/one.ini") &&
           AntennaCsv_Export(dir + "/antenna_csv/yagi.csv", list.antennas()[1]) &&
           AntennaCsv_Export(dir + "/antenna_csv/log.csv", one.antennas()[0]);
}

bool Seeds_Profiles(const std::string& dir) {
    std::vector<ProfileMemoryPair> memory(2);
    std::snprintf(memory[0].standard, sizeof memory[0].standard, "%s", "DVB-T / DVB-H");
    std::snprintf(memory[0].profile, sizeof memory[0].profile, "%s", "Default");
    std::snprintf(memory[1].standard, sizeof memory[1].standard, "%s", "ATSC");
    std::snprintf(memory[1].profile, sizeof memory[1].profile, "%s", "Night drive");
    ColorProfile profile;
    profile.hasColours = true;
    ColorProfileEntry e;
    std::snprintf(e.tag, sizeof e.tag, "%s", "Level");
    std::snprintf(e.bad, sizeof e.bad, "%s", "40");
    std::snprintf(e.average, sizeof e.average, "%s", "55");
    std::snprintf(e.good, sizeof e.good, "%s", "70");
    profile.entries = {e, e};
    std::snprintf(profile.entries[1].tag, sizeof e.tag, "%s", "MER");
    ColorProfile old;  // no colour block, as profiles converted from older files
    old.entries = {e};
    return KmzProfile_WriteMemory(dir + "/cad_ini/two.ini", memory) &&
           KmzProfile_WriteMemory(dir + "/cad_ini/one.ini", {memory[1]}) &&
           ColorProfile_Write(dir + "/cas/two.cas", profile) &&
           ColorProfile_Write(dir + "/cas/old.cas", old, kKmzLegacyProfileVersion);
}

// The older colour files: entries of 404 bytes, texts at 0, 104, 204 and 304.
bool Seeds_Legacy(const std::string& dir) {
    const std::string path = dir + "/legacy_colours/colors_DVB-T.ini";
    FileContainer ctx;
    if (!FileIO_OpenWrite(path.c_str(), 10000, kKmzLegacyProfileVersion, ctx)) return false;
    const char* rows[2][4] = {{"Level", "40", "55", "70"}, {"MER", "10", "20", "30"}};
    bool ok = true;
    for (const auto& row : rows) {
        std::uint8_t block[kKmzLegacyEntryBytes] = {};
        const int offsets[4] = {0, 104, 204, 304};
        for (int i = 0; i < 4; ++i) std::snprintf(reinterpret_cast<char*>(block + offsets[i]), 100, "%s", row[i]);
        ok = ok && FileIO_WriteBlock(ctx, block, kKmzTagEntry, kKmzLegacyEntryBytes);
    }
    return FileIO_Close(ctx) && ok;
}

bool Seeds_FsIni(const std::string& dir) {
    return FileSelection_SaveDirectory(dir + "/fs_ini", "/home/user/drive tests/2026");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fieldtrace-seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = (Seeds_Basic(dir) || Seeds_Fail("basic.ini")) && (Seeds_Signals(dir) || Seeds_Fail("signals")) &&
                    (Seeds_Antennas(dir) || Seeds_Fail("antennas")) &&
                    (Seeds_Profiles(dir) || Seeds_Fail("profiles")) && (Seeds_Legacy(dir) || Seeds_Fail("colours")) &&
                    (Seeds_FsIni(dir) || Seeds_Fail("fs.ini"));
    return ok ? 0 : 1;
}
