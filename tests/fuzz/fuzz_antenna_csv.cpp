// Antenna CSV import into the first antenna of a list.
#include "antenna/antennacsv.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Fuzz_WriteFile("import.csv", data, size);
    AntennaList list;
    list.addAntenna("Yagi");
    list.addPoint(1, {474.0, 10.0});
    const AntennaCsvImport result = AntennaCsv_Import(path, list, 1);
    AntennaCsv_ImportMessage(result, path);
    if (list.antenna(1)->kFactors.size() > static_cast<std::size_t>(kAntennaMaxPoints)) std::abort();
    return 0;
}
