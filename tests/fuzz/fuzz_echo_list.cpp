// The echo-list reply of a graph, decoded onto an axis. The first input byte
// picks the axis (range and point count) and the transfer kind, the rest is the reply.
#include "fuzz_common.h"
#include "measure/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const fuzz::FuzzAxis& axis = fuzz::Fuzz_Axis(data[0]);
    const std::string reply = fuzz::Fuzz_Text(data + 1, size - 1);
    std::vector<float> points(static_cast<std::size_t>(axis.count), -1000.0f);
    static constexpr int kKinds[] = {1, 3, 4};
    const int kind = kKinds[(data[0] >> 3) % 3];
    Engine_DecodeEchoList(reply.c_str(), kind, axis.xMin, axis.xMax, points.data(), axis.count);
    return 0;
}
