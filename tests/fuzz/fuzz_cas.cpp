// A colour profile (.cas), blocks repaired first.
#include "export/kmz/profiles.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Fuzz_WriteRepaired("Profile.cas", data, size);
    ColorProfile profile;
    ColorProfile_Read(path, profile);
    return 0;
}
