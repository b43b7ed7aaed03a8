#pragma once
// What the configuration check learns of an analyzer over SCPI, and the local
// checks of firmware and options against the catalogue.
#include <cstddef>
#include <functional>
#include <vector>

#include "instrument/analyzerslot.h"
#include "instrument/tcpscpi.h"

// "*IDN?" up to five times: "Korvane,<model>,<serial field>,<firmware>". Fills
// serialNumber and firmwareVersion, and gives the slot the family its model
// names when that differs from the slot's. 0 with status "Fail" otherwise.
int DriveTest_QueryIdentity(ScpiSession& session, AnalyzerSlot& slot);

// Splits an identification reply; false unless it starts with "Korvane" and has three commas.
bool DriveTest_ParseIdentity(const char* reply, std::string& model, std::string& serialNumber,
                             std::string& firmwareVersion);

// 1 when installed (read from its first digit on) is at least minimum; else 0
// and "Firmware version too low (%.2lf<%.2lf)" in message when given.
int DriveTest_CheckFirmware(const char* installed, const char* minimum, char* message = nullptr,
                            std::size_t messageSize = 0);

// 1 when every option of the list is present; else 0 and "'%s' missing" in message.
int DriveTest_CheckOptions(const char* optionsReply, const std::vector<RequiredOption>& options,
                           char* message = nullptr, std::size_t messageSize = 0);

// 1 when optionCode (alternatives separated by "/") is in the reply; "FW00" stands for every firmware option.
int DriveTest_HasOption(const char* optionsReply, const char* optionCode);

// The SCPI check of one analyzer: connect (five attempts), identity and
// firmware, options (five attempts), GPS receiver state, then back to local
// operation. Leaves the status "Fail", "Network communication error", a
// firmware message or "OK" in the slot; returns 0 when the slot is to be dropped ("Fail").
// stop (may be empty) is asked between steps: when it says true the check ends
// there, the analyzer back in local operation and the slot as it stands.
int DriveTest_CheckAnalyzer(AnalyzerSlot& slot, int timeoutMs = 400, const std::function<bool()>& stop = {});
// The local validation against the chosen standard: firmware, standard
// support, the standard's and the family's options. Sets standardIndex and status.
void DriveTest_ValidateSlot(AnalyzerSlot& slot, const char* standardName);
