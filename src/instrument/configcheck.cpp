#include "instrument/configcheck.h"

#include <cctype>
#include <cstring>
#include <string>

#include "platform/text.h"

namespace {

bool ContainsIgnoringCase(const std::string& text, const char* part) {
    std::string a = text, b = part;
    for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

// The number of a version text read from its first digit on ("V3.40" is 3.40); 0 without digits.
double VersionNumber(const char* text) {
    const char* p = text;
    while (*p && !std::isdigit(static_cast<unsigned char>(*p))) ++p;
    // The longest prefix that reads as a number, as a plain decimal conversion would take it.
    std::string digits;
    bool dot = false;
    for (; *p; ++p) {
        if (std::isdigit(static_cast<unsigned char>(*p))) {
            digits += *p;
        } else if (*p == '.' && !dot) {
            dot = true;
            digits += *p;
        } else {
            break;
        }
    }
    double v = 0.0;
    return Text_ParseDouble(digits, v) ? v : 0.0;
}

}  // namespace

bool DriveTest_ParseIdentity(const char* reply, std::string& model, std::string& serialNumber,
                             std::string& firmwareVersion) {
    std::string text = reply;
    if (text.rfind("Korvane", 0) != 0) return false;
    auto last = text.rfind(',');
    if (last == std::string::npos) return false;
    firmwareVersion = text.substr(last + 1);
    text.erase(last);
    last = text.rfind(',');
    if (last == std::string::npos) return false;
    std::string serial = text.substr(last + 1);
    text.erase(last);
    last = text.rfind(',');
    if (last == std::string::npos) return false;
    model = text.substr(last + 1);
    // "1234.5678k22/101234": the serial number follows the slash.
    bool hasK = serial.find_first_of("kK") != std::string::npos;
    auto slash = serial.find('/');
    if (hasK && slash != std::string::npos) serial.erase(0, slash + 1);
    std::size_t digits = 0;
    while (digits < serial.size() && std::isdigit(static_cast<unsigned char>(serial[digits]))) ++digits;
    serialNumber = serial.substr(0, digits);
    return true;
}

int DriveTest_QueryIdentity(ScpiSession& session, AnalyzerSlot& slot) {
    std::string model, serial, firmware;
    bool ok = false;
    for (int attempt = 0; attempt < 5 && !ok; ++attempt) {
        char reply[100];
        ok = TcpScpi_Query(session, "*IDN?", reply, sizeof reply) && DriveTest_ParseIdentity(reply, model, serial, firmware);
    }
    if (!ok) {
        Text_Copy(slot.status, "Fail");
        return 0;
    }
    Text_Copy(slot.serialNumber, serial);
    Text_Copy(slot.firmwareVersion, firmware);
    if (!ContainsIgnoringCase(model, slot.family.modelName)) {
        const AnalyzerFamily* match = nullptr;
        for (const auto& f : ReceiverInfo_Families())
            if (ContainsIgnoringCase(model, f.modelName)) {
                match = &f;
                break;
            }
        if (!match) {
            Text_Copy(slot.status, "Fail");
            return 0;
        }
        ReceiverInfo_CopyFamily(slot.family, *match);
    }
    slot.transducerNames.clear();
    return 1;
}

int DriveTest_CheckFirmware(const char* installed, const char* minimum, char* message, std::size_t messageSize) {
    double have = VersionNumber(installed);
    double need = 0.0;
    if (!Text_ParseDouble(minimum, need)) need = VersionNumber(minimum);
    if (have < need) {
        if (message && messageSize > 0)
            Text_FormatInto(message, messageSize, "Firmware version too low (%.2lf<%.2lf)", have, need);
        return 0;
    }
    return 1;
}

int DriveTest_HasOption(const char* optionsReply, const char* optionCode) {
    const bool allFirmware = std::strstr(optionsReply, "FW00") != nullptr;
    std::string code = optionCode;
    std::size_t start = 0;
    while (start <= code.size()) {
        std::size_t slash = code.find('/', start);
        std::string alternative = code.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!alternative.empty()) {
            if (allFirmware && alternative.rfind("FW", 0) == 0) return 1;
            if (std::strstr(optionsReply, alternative.c_str())) return 1;
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return 0;
}

int DriveTest_CheckOptions(const char* optionsReply, const std::vector<RequiredOption>& options, char* message,
                           std::size_t messageSize) {
    for (const auto& o : options) {
        if (!DriveTest_HasOption(optionsReply, o.optionCode)) {
            if (message && messageSize > 0) Text_FormatInto(message, messageSize, "'%s' missing", o.description);
            return 0;
        }
    }
    return 1;
}

namespace {

void CloseCheck(ScpiSession& session, const AnalyzerSlot& slot) {
    TcpScpi_Write(session, slot.family.localCommand);
    TcpScpi_Disconnect(session);
}

}  // namespace

int DriveTest_CheckAnalyzer(AnalyzerSlot& slot, int timeoutMs, const std::function<bool()>& stop) {
    ScpiSession session;
    Text_Copy(slot.status, "Network communication error");
    auto stopping = [&] { return stop && stop(); };
    bool connected = false;
    for (int attempt = 0; attempt < 5 && !connected && !stopping(); ++attempt)
        connected = TcpScpi_Open(session, slot.address, slot.family.scpiPort, timeoutMs);
    if (!connected) {
        if (!stopping()) Text_Copy(slot.status, "Fail");
        return stopping() ? 1 : 0;
    }
    const int port = slot.family.scpiPort;
    if (stopping()) {
        CloseCheck(session, slot);
        return 1;
    }
    if (!DriveTest_QueryIdentity(session, slot)) {
        CloseCheck(session, slot);
        return 0;
    }
    slot.family.scpiPort = port;  // the port that answered, whatever the family's default
    if (!DriveTest_CheckFirmware(slot.firmwareVersion, slot.family.minFirmware, slot.status, sizeof slot.status)) {
        CloseCheck(session, slot);
        return 1;
    }
    bool optionsRead = false;
    if (stopping()) {
        CloseCheck(session, slot);
        return 1;
    }
    for (int attempt = 0; attempt < 5 && !optionsRead; ++attempt)
        optionsRead = TcpScpi_Query(session, slot.family.optionsQuery, slot.options, sizeof slot.options);
    if (!optionsRead) {
        slot.options[0] = 0;
        CloseCheck(session, slot);
        return 1;
    }
    if (stopping()) {
        CloseCheck(session, slot);
        return 1;
    }
    const bool enable = slot.family.gpsEnableCommand[0] != 0;
    bool ok = false;
    static thread_local char reply[10000];
    long long state = 0;
    for (int tries = 1;; ++tries) {
        ok = !enable || TcpScpi_Write(session, slot.family.gpsEnableCommand);
        if (ok) ok = TcpScpi_Query(session, slot.family.gpsConnectedQuery, reply, sizeof reply);
        state = 0;
        if (ok && !Text_ParseInt(reply, state)) state = 0;
        if (ok && (!enable || state != 0)) break;
        if (tries >= (enable ? 10 : 5) || stopping()) break;
    }
    slot.gpsDetected = ok && state == 1 ? 1 : 0;
    Text_Copy(slot.status, "OK");
    CloseCheck(session, slot);
    return 1;
}

void DriveTest_ValidateSlot(AnalyzerSlot& slot, const char* standardName) {
    if (!std::strcmp(slot.status, "Network communication error") || !std::strcmp(slot.status, "Firmware not running"))
        return;
    if (!DriveTest_CheckFirmware(slot.firmwareVersion, slot.family.minFirmware, slot.status, sizeof slot.status)) return;
    slot.standardIndex = 0;
    for (std::size_t i = 0; i < slot.family.standards.size(); ++i)
        if (!std::strcmp(slot.family.standards[i].name, standardName)) {
            slot.standardIndex = static_cast<std::int32_t>(i + 1);
            break;
        }
    if (slot.standardIndex == 0) {
        Text_FormatInto(slot.status, sizeof slot.status, "'%s' not supported", standardName);
        return;
    }
    const BroadcastStandard& standard = slot.family.standards[static_cast<std::size_t>(slot.standardIndex - 1)];
    if (!DriveTest_CheckOptions(slot.options, standard.requiredOptions, slot.status, sizeof slot.status)) return;
    char familyMessage[100];
    if (!DriveTest_CheckOptions(slot.options, slot.family.familyOptions, familyMessage, sizeof familyMessage))
        slot.gpsDetected = 0;  // may measure, but not provide positions
    Text_Copy(slot.status, "OK");
}
