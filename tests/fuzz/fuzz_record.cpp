// Record file: open and read every sample, block checksums and fingerprints
// repaired first so that mutations reach the record parser.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Fuzz_ReadRecordFile(fuzz::Fuzz_WriteRepaired("input.dtr", data, size));
    return 0;
}
