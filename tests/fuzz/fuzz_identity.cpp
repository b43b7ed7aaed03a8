// The identification reply and the option list of an analyzer. The input is
// "<reply>\n<option code>\n<firmware minimum>"; missing parts are empty.
#include <cstring>

#include "instrument/configcheck.h"
#include "fuzz_common.h"

namespace {
std::string NextLine(std::string& rest) {
    const std::size_t end = rest.find('\n');
    std::string line = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return line;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string rest = fuzz::Fuzz_Text(data, size);
    const std::string reply = NextLine(rest);
    const std::string code = NextLine(rest);
    const std::string& minimum = rest;

    std::string model, serial, firmware;
    if (DriveTest_ParseIdentity(reply.c_str(), model, serial, firmware)) {
        char message[200];
        DriveTest_CheckFirmware(firmware.c_str(), minimum.c_str(), message, sizeof message);
        if (std::strlen(message) >= sizeof message) std::abort();
    }
    char message[200] = {};
    DriveTest_CheckFirmware(reply.c_str(), minimum.c_str(), message, sizeof message);

    std::vector<RequiredOption> options(3);
    std::snprintf(options[0].description, sizeof options[0].description, "%s", "Tuner");
    std::snprintf(options[0].optionCode, sizeof options[0].optionCode, "%s", "HW05/HW06");
    std::snprintf(options[1].description, sizeof options[1].description, "%s", "Firmware");
    std::snprintf(options[1].optionCode, sizeof options[1].optionCode, "%s", "FW00");
    std::snprintf(options[2].description, sizeof options[2].description, "%s", code.c_str());
    std::snprintf(options[2].optionCode, sizeof options[2].optionCode, "%s", code.c_str());
    DriveTest_CheckOptions(reply.c_str(), options, message, sizeof message);
    DriveTest_HasOption(reply.c_str(), code.c_str());
    return 0;
}
