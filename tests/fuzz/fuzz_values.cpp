// Value and graph replies: which of them stand for "no result". The input is
// "<query>\n<reply>" (the query an error reply may echo).
#include "fuzz_common.h"
#include "measure/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = fuzz::Fuzz_Text(data, size);
    const std::size_t cut = text.find('\n');
    const std::string query = cut == std::string::npos ? "CALC:DTV:RES? BBV" : text.substr(0, cut);
    const std::string reply = cut == std::string::npos ? text : text.substr(cut + 1);
    Engine_ValueReplyInvalid(reply.c_str(), query.c_str());
    Engine_GraphReplyInvalid(reply.c_str(), query.c_str());
    return 0;
}
