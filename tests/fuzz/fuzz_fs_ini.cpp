// fs.ini: the directory the file selection showed last, blocks repaired first.
#include "fuzz_common.h"
#include "selection/fsini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Fuzz_WriteRepaired(kFsIniName, data, size);
    std::string directory;
    if (FileSelection_LoadDirectory(fuzz::Fuzz_Directory(), directory) &&
        directory.size() >= static_cast<std::size_t>(kFsIniDirectoryBytes))
        std::abort();  // the text never runs past its field
    return 0;
}
