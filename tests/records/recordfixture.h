#pragma once
// A small, hand-made descriptor set and sample filler for record file tests,
// independent of the analyzer catalogue.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "instrument/receiverinfo.h"
#include "platform/text.h"
#include "records/recording.h"

inline MeasurementValue TestValue(const char* group, const char* name, const char* longName, int decimals,
                                  int displayKind) {
    MeasurementValue v{};
    Text_Copy(v.group, group);
    Text_Copy(v.name, name);
    Text_Copy(v.longName, longName);
    Text_Copy(v.spare, "catalogue-only spare");
    v.decimals = decimals;
    v.displayKind = displayKind;
    v.queryGroup = 7;
    Text_Copy(v.query, "CALC:DTV:RES? LEV");
    v.scale = 1.0;
    return v;
}

inline MeasurementGraph TestGraph(const char* name, int points) {
    MeasurementGraph g{};
    Text_Copy(g.group, "Graphs");
    Text_Copy(g.name, name);
    Text_Copy(g.longName, name);
    g.points = points;
    Text_Copy(g.xLabel, "Time [\xB5" "s]");
    Text_Copy(g.xMin, "-250");
    Text_Copy(g.xMax, "250");
    Text_Copy(g.yLabel, "Echo power [dB]");
    Text_Copy(g.yMin, "-40");
    Text_Copy(g.yMax, "0");
    g.transferKind = 1;
    return g;
}

inline StandardInfoItem TestItem(const char* name, int width) {
    StandardInfoItem it{};
    Text_Copy(it.group, "Parameters");
    Text_Copy(it.name, name);
    Text_Copy(it.longName, name);
    it.width = width;
    it.queryGroup = -1;
    return it;
}

struct TestMeasurements {
    std::vector<MeasurementValue> values{TestValue("Values", "Level", "Level", 2, 0),
                                         TestValue("Values", "Sync", "Sync", 0, 3),
                                         TestValue("Values|MER", "RMS [dB]", "MER RMS [dB]", 1, 0)};
    std::vector<MeasurementGraph> graphs{TestGraph("Echo Pattern", 501)};
    std::vector<StandardInfoItem> items{TestItem("FFT Mode", 10), TestItem("Long", 40)};
};

inline RecordHeaderSource TestHeaderSource() {
    RecordHeaderSource s;
    s.description = "Ch21";
    s.created = LocalDateTime{2026, 6, 1, 10, 0, 0};
    s.standardName = "DVB-T / DVB-H";
    s.modelName = "Alvra";
    s.frequencyMHz = 474.0;
    s.parameters = {{"Adjacent channels", "Present"}, {"Refe- rence", "Internal"}};
    s.inputName = "50 Ohm";
    s.serialNumber = "101234";
    s.firmwareVersion = "3.45";
    return s;
}

// Makes file a record of the given descriptors (distances in kilometres) with
// the header information of source, ready to be created.
inline void PrepareTestFile(RecordFile& file, const std::vector<MeasurementValue>& values,
                            const std::vector<MeasurementGraph>& graphs, const std::vector<StandardInfoItem>& items,
                            const RecordHeaderSource& source = TestHeaderSource()) {
    Recording_InitFile(file);
    Text_Copy(file.header.distanceUnit, kDistanceKilometers);
    Recording_RegisterMeasurements(file, values, graphs, items);
    Recording_BuildHeaderInfo(file, source);
}

inline void PrepareTestFile(RecordFile& file, const TestMeasurements& m = {}) {
    PrepareTestFile(file, m.values, m.graphs, m.items);
}

// Fills sample k with values that differ from sample to sample.
inline void FillTestSample(const RecordFile& file, RecordSample& s, int k) {
    Recording_ResetSample(file, s);
    Text_Copy(s.head.status, k % 7 == 3 ? kStatusAttenuation : kStatusNoError);
    s.head.gps.gpsFix = k % 5 == 4 ? 0 : 1;
    s.head.gps.latitude = 48.1 + k * 1e-4;
    s.head.gps.longitude = 11.5 + k * 2e-4;
    s.head.gps.speed = 40.0 + k;
    Recording_StampTime(s.head.cycleStart, 3.9e9 + k * 1.0);
    Recording_StampTime(s.head.cycleEnd, 3.9e9 + k * 1.0 + 0.5);
    s.head.attStart = 10.0;
    s.head.attStop = k % 7 == 3 ? 15.0 : 10.0;
    for (std::size_t i = 0; i + 1 < s.values.size(); i += 2) {
        s.values[i] = (k + static_cast<int>(i)) % 4 == 0 ? 0.0 : 1.0;
        s.values[i + 1] = s.values[i] != 0.0 ? 30.0 + k * 0.25 + static_cast<double>(i) : 0.0;
    }
    for (std::size_t i = 0; i < s.graphs.size(); ++i) s.graphs[i] = static_cast<float>(-200.0 + ((i + k) % 50));
    for (std::size_t i = 0; i < s.items.size(); ++i) s.items[i] = static_cast<std::uint8_t>('A' + (i + k) % 26);
}

inline bool SamplesEqual(const RecordSample& a, const RecordSample& b) {
    return std::memcmp(&a.head, &b.head, sizeof a.head) == 0 && a.values == b.values && a.graphs == b.graphs &&
           a.items == b.items;
}

using SampleFill = std::function<void(const RecordFile&, RecordSample&, int)>;

// Creates directory/name for the prepared file (descriptors and header
// information set) and appends n samples made by fill; every written sample
// is kept in written when given. False at the first failure.
inline bool WriteTestSamples(const std::string& directory, const std::string& name, RecordFile& file, int n,
                             const SampleFill& fill = FillTestSample, std::vector<RecordSample>* written = nullptr) {
    FileContainer ctx;
    if (!Recording_CreateFile(ctx, file, directory.c_str(), name.c_str())) return false;
    RecordSample s;
    Recording_AllocSample(file, s);
    bool ok = true;
    for (int k = 0; k < n && ok; ++k) {
        fill(file, s, k);
        ok = Recording_WriteSample(ctx, file, s);
        if (written) written->push_back(s);
    }
    return FileIO_Close(ctx) && ok;
}

// Reads every sample of the record file at path into samples, with its
// descriptors into file; false (and the reader's message) when it does not open.
inline bool ReadTestSamples(const std::string& path, RecordFile& file, std::vector<RecordSample>& samples,
                            std::string* message = nullptr) {
    FileContainer ctx;
    std::string msg;
    if (!Recording_OpenFile(ctx, file, path.c_str(), msg)) {
        if (message) *message = msg;
        return false;
    }
    RecordSample s;
    while (Recording_ReadSample(ctx, file, s)) samples.push_back(s);
    FileIO_CloseRead(ctx);
    return true;
}
