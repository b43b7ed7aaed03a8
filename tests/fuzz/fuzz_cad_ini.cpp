// cad.ini: the profile remembered for each standard, blocks repaired first.
#include "export/kmz/profiles.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Fuzz_WriteRepaired("cad.ini", data, size);
    std::vector<ProfileMemoryPair> memory;
    KmzProfile_ReadMemory(path, memory);
    return 0;
}
