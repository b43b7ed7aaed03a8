// basic.ini: the settings of the basic page, blocks repaired first.
#include "drivetest/basicsettings.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Fuzz_WriteRepaired("basic.ini", data, size);
    BasicSettings settings;
    BasicSettings_Load(path, settings);
    return 0;
}
