#pragma once
// Synthetic record files written through the real record writer: a drive
// along a simulated route with every value, graph and read-out of a standard.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/datetime.h"

struct SynthRecordOptions {
    std::string standard = "DVB-T / DVB-H";
    std::string family;                 // empty: the first family that has the standard
    long long samples = 100;
    std::uint64_t seed = 1;
    double originLatitude = 48.137;
    double originLongitude = 11.575;
    double speedKmh = 40.0;
    std::string distanceUnit = "kilometers [km]";
    std::string levelUnit = "dB\xB5V";  // Latin-1 name of a level unit
    double frequencyMHz = 474.0;
    std::string description = "Ch21";
    LocalDateTime start{2026, 6, 1, 10, 0, 0};
    std::vector<std::pair<long long, long long>> noFixStretches;  // (first sample, count)
    double badStatusShare = 0.0;        // share of samples whose status is not "No error"
    std::string antennaName;            // empty: no antenna
    double kFactor = 0.0;
    std::string serialNumber = "101234";
    std::string firmwareVersion = "3.45";
    std::string outputDirectory = ".";
};

// Called every few thousand samples with (done, total); return false to cancel.
using SynthProgress = bool (*)(long long done, long long total, void* user);

// Writes one record file; path receives its full path. False with error set on failure.
bool Synth_WriteRecordFile(const SynthRecordOptions& options, std::string& path, std::string& error,
                           SynthProgress progress = nullptr, void* user = nullptr);
