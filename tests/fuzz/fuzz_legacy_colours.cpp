// An older "colors*.ini" colour file, converted into a profile at start-up
// (blocks repaired first); the profile it turns into is read back.
#include "export/kmz/profiles.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string legacy = fuzz::Fuzz_WriteRepaired("colors_DVB-T.ini", data, size);
    KmzProfileState state;
    state.directory = fuzz::Fuzz_Directory();
    convertLegacyColourFiles(state);
    const std::string converted = KmzProfile_Path(state, "DVB-T");
    ColorProfile profile;
    ColorProfile_Read(converted, profile);
    fuzz::Fuzz_Remove(converted);
    fuzz::Fuzz_Remove(converted + ".tmp");
    fuzz::Fuzz_Remove(legacy);
    return 0;
}
