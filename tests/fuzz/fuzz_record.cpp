// Record file: open and read every sample, block checksums and fingerprints
// repaired first so that mutations reach the record parser.
#include "fuzz_common.h"
#include "records/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Fuzz_WriteRepaired("input.dtr", data, size);
    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (Recording_OpenFile(ctx, file, path.c_str(), message)) {
        RecordSample sample;
        Recording_AllocSample(file, sample);
        while (Recording_ReadSample(ctx, file, sample, 0, 1.5)) {
        }
        Recording_FreeSample(sample);
    }
    FileIO_CloseRead(ctx);
    Recording_FreeFile(file);
    return 0;
}
