#pragma once
// One analyzer found on the network, with its own copy of its family record
// and what the configuration check and the wizard learned and chose.
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/receiverinfo.h"

struct AnalyzerSlot {
    char address[100] = {};  // dotted IPv4; "127.0.0.1" for the analyzer the program runs on
    char status[100] = {};   // "OK" or why the analyzer cannot be used
    AnalyzerFamily family{};
    std::int32_t standardIndex = 0;    // 1-based in family.standards
    std::int32_t levelUnitIndex = 0;   // 1-based in family.levelUnits, 0 none
    std::int32_t inputIndex = 0;       // 1-based in family.inputImpedances, 0 none
    std::int32_t antennaIndex = 0;     // 1-based in the antenna list, 0 none
    std::int32_t transducerIndex = 0;  // always 0 here
    char serialNumber[100] = {};
    char firmwareVersion[100] = {};
    char options[500] = {};
    std::int32_t gpsDetected = 0;
    std::vector<std::string> transducerNames;
};
