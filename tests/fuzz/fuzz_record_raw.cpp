// Record file: open and read every sample as the bytes stand (mutations mostly
// meet the block checks).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Fuzz_ReadRecordFile(fuzz::Fuzz_WriteFile("input.dtr", data, size));
    return 0;
}
