// The GPS coordinate reply of an analyzer.
#include "fuzz_common.h"
#include "measure/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply = fuzz::Fuzz_Text(data, size);
    Engine_ConvertCoordinate(reply.c_str());
    return 0;
}
