#pragma once
// Shared helpers of the simulator tests: a family by name, a configuration,
// and the measurement side's decoding of coordinates and echo lists, written
// here from the reply forms so that the simulator is checked against what the
// recorder reads, not against itself.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "instrument/receiverinfo.h"
#include "platform/text.h"
#include "simanalyzer.h"
#include "simconfig.h"

inline const AnalyzerFamily& SimTest_Family(const char* name) {
    ReceiverInfo_Init();
    return ReceiverInfo_Families()[ReceiverInfo_FindFamilyByName(name) - 1];
}

inline SimConfig SimTest_Config(const char* family, std::uint64_t seed = 7) {
    SimConfig c;
    c.family = family;
    c.seed = seed;
    return c;
}

// Sends the setup steps of a standard as the preparation does, skipping those
// whose options the analyzer lacks; the analyzer then reads the standard's results.
inline void SimTest_Prepare(SimAnalyzer& sim, const char* standardName, double at) {
    const BroadcastStandard* standard = ReceiverInfo_FindStandard(sim.family(), standardName);
    if (!standard) return;
    auto installed = [&](const char* code) {
        std::string alternatives(code);
        if (alternatives.empty()) return true;
        for (std::size_t start = 0;;) {
            const auto slash = alternatives.find('/', start);
            const std::string one = alternatives.substr(start, slash == std::string::npos ? slash : slash - start);
            for (const auto& o : sim.options())
                if (o == one) return true;
            if (slash == std::string::npos) return false;
            start = slash + 1;
        }
    };
    for (const auto& step : standard->setupSteps)
        if (installed(step.requiredOption) && installed(step.requiredOption2))
            sim.handleLine(std::string(step.header) + " " + step.value, at);
}

// "degrees,minutes,seconds" with the sign taken from the first character.
inline double SimTest_DecodeCoordinate(const std::string& reply) {
    if (reply.find(',') == std::string::npos) {
        double v = 0.0;
        Text_ParseDouble(reply, v);
        return v;
    }
    double d = 0.0, m = 0.0, s = 0.0;
    std::sscanf(reply.c_str(), "%lf,%lf,%lf", &d, &m, &s);
    const double sign = !reply.empty() && reply[0] == '-' ? -1.0 : 1.0;
    return ((s / 60.0 + m) * sign) / 60.0 + d;
}

inline std::vector<std::string> SimTest_SplitComma(const std::string& text) {
    std::vector<std::string> out;
    std::string item;
    for (char c : text) {
        if (c == ',') {
            out.push_back(item);
            item.clear();
        } else {
            item.push_back(c);
        }
    }
    out.push_back(item);
    return out;
}

// Echo lists of level/time pairs (kind 1) or level/time/group triples (3: group 1,
// 4: group 2; group 0 counts for both) into a trace of points over [xMin, xMax],
// levels relative to the first entry, maximum hold, -200 where nothing lands.
inline std::vector<float> SimTest_DecodeEchoList(const std::string& reply, int kind, int points, double xMin,
                                                 double xMax) {
    std::vector<float> trace(points, -200.0f);
    const auto fields = SimTest_SplitComma(reply);
    const std::size_t width = kind == 1 ? 2 : 3;
    double reference = 0.0;
    for (std::size_t i = 0; i + width <= fields.size(); i += width) {
        double level = std::atof(fields[i].c_str()), time = std::atof(fields[i + 1].c_str());
        if (i == 0) reference = level;
        if (width == 3) {
            const int group = std::atoi(fields[i + 2].c_str());
            if (!(group == 0 || (kind == 3 && group == 1) || (kind == 4 && group == 2))) continue;
        }
        const long index = std::lround((time - xMin) * (points - 1) / (xMax - xMin));
        if (index >= 0 && index < points) trace[index] = std::max(trace[index], static_cast<float>(level - reference));
    }
    return trace;
}

// The peak list "{{level,x,index},{...}}": the first group at the third character,
// each further group two characters after the comma that ends the previous group.
inline std::vector<float> SimTest_DecodePeakList(const std::string& reply, int points, double xMin, double xMax) {
    std::vector<float> trace(points, -200.0f);
    std::size_t at = 2;
    while (at < reply.size()) {
        double level = 0.0, x = 0.0;
        int index = 0;
        if (std::sscanf(reply.c_str() + at, "%lf,%lf,%d", &level, &x, &index) != 3) break;
        const long i = std::lround((points - 1) * (x * 1e6 - xMin) / (xMax - xMin));
        if (i >= 0 && i < points) trace[i] = std::max(trace[i], static_cast<float>(level));
        // Skip level and x, then the comma after the third field.
        std::size_t comma = reply.find(',', at);
        if (comma != std::string::npos) comma = reply.find(',', comma + 1);
        if (comma != std::string::npos) comma = reply.find(',', comma + 1);
        if (comma == std::string::npos) break;
        at = comma + 2;
    }
    return trace;
}
