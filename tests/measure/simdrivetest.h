#pragma once
// A drive test against simulated analyzers of the first family on loopback
// addresses, for tests that need real measurement threads behind a view.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "instrument/configcheck.h"
#include "drivetest/measurementselection.h"
#include "instrument/tcpscpi.h"
#include "measure/drivetest.h"
#include "platform/text.h"
#include "support/testsupport.h"

// A checked and validated DVB-T analyzer at address with the default measurements.
inline DriveTestAnalyzer SimDriveTest_Analyzer(const std::string& address, bool gps, const std::vector<double>& mhz,
                                               const std::string& prefix) {
    TcpScpi_Init();
    ReceiverInfo_Init();
    DriveTestAnalyzer a;
    Text_Copy(a.slot.address, address);
    ReceiverInfo_CopyFamily(a.slot.family, ReceiverInfo_Families().front());
    if (DriveTest_CheckAnalyzer(a.slot, 400) != 1) return a;
    DriveTest_ValidateSlot(a.slot, "DVB-T / DVB-H");
    a.slot.inputIndex = 1;
    a.slot.levelUnitIndex = 1;  // dBm
    a.providesGps = gps;
    int n = 0;
    for (double f : mhz) {
        FrequencyEntry e;
        e.description = prefix + std::to_string(++n);
        e.frequencyMHz = f;
        a.frequencies.push_back(e);
    }
    a.selectedTags = DriveTest_SelectDefaultMeasurements(
        a.slot.family.standards[static_cast<std::size_t>(a.slot.standardIndex - 1)]);
    return a;
}

inline DriveTestSetup SimDriveTest_Setup(const TempDir& dir, std::vector<DriveTestAnalyzer> analyzers) {
    DriveTestSetup s;
    s.settings.standard = "DVB-T / DVB-H";
    s.settings.levelUnit = "dBm";
    s.settings.distanceUnit = "kilometers [km]";
    s.settings.outputDirectory = dir.path();
    s.analyzers = std::move(analyzers);
    return s;
}

// Polls cond (with idle() between polls) until it holds or seconds pass.
template <class Cond, class Idle>
bool SimDriveTest_WaitFor(Cond cond, Idle idle, int seconds = 60) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > until) return false;
        idle();
    }
    return true;
}

inline bool SimDriveTest_AllIn(int state) {
    const auto threads = DriveTest_Threads();
    if (threads.empty()) return false;
    for (const auto& t : threads)
        if (t.currentState != state) return false;
    return true;
}

inline bool SimDriveTest_AllWaiting() {
    const auto threads = DriveTest_Threads();
    if (threads.empty()) return false;
    for (const auto& t : threads)
        if (t.phase != kPhaseWaiting) return false;
    return true;
}
