// Signals file: the recently used frequency entries, blocks repaired first.
#include "drivetest/signalsfile.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> titles = {"Description", "Frequency [MHz]", "Bandwidth", "Input"};
    const std::string path = fuzz::Fuzz_WriteRepaired("signals.sADVB-T", data, size);
    std::vector<std::vector<std::string>> entries;
    SignalsFile_Read(path, titles, entries, 50);
    for (const auto& row : entries)
        if (row.size() != titles.size()) std::abort();  // every entry has one text per title
    return 0;
}
