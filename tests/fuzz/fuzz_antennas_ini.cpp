// antennas.ini: the antenna list with its K-factor points, blocks repaired first.
#include "antenna/antenna.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Fuzz_WriteRepaired("antennas.ini", data, size);
    AntennaList list;
    AntennaLoadReport report;
    AntennaList_Load(path, list, &report);
    for (const AntennaType& a : list.antennas()) {
        if (a.kFactors.size() > static_cast<std::size_t>(kAntennaMaxPoints)) std::abort();
        for (std::size_t i = 1; i < a.kFactors.size(); ++i)  // the loader keeps frequencies strictly ascending
            if (!(a.kFactors[i - 1].frequency < a.kFactors[i].frequency)) std::abort();
    }
    return 0;
}
