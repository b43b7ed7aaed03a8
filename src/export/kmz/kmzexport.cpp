#include "export/kmz/kmzexport.h"

#include <algorithm>

#include "platform/text.h"

KmzScope KmzScope_Default(const KmzDataSet& data) {
    KmzScope scope;
    scope.values.assign(static_cast<std::size_t>(data.mapChannels()), 1);
    scope.graphs.assign(data.graphs.size(), 1);
    scope.parameters.assign(data.items.size(), 1);
    return scope;
}

void KmzExport_Prepare(KmzExport& ex) {
    ex.channels.clear();
    for (int c = 0; c < ex.data.mapChannels(); ++c)
        if (static_cast<std::size_t>(c) < ex.scope.values.size() && ex.scope.values[static_cast<std::size_t>(c)])
            ex.channels.push_back(c);
    ex.anchors.resize(static_cast<std::size_t>(ex.data.mapChannels()));
}

std::string Kmz_ChannelName(const KmzDataSet& data, int channel) {
    if (channel == 0) return KmzColour_SpeedTag(data.distanceUnit);
    return std::string(Text_View(data.values[static_cast<std::size_t>(channel - 1)].longName));
}

int Kmz_RatingKind(const KmzDataSet& data, int channel) {
    if (channel == 0) return kKmzRateLowerBetter;
    return data.values[static_cast<std::size_t>(channel - 1)].displayKind;
}

int Kmz_Decimals(const KmzDataSet& data, int channel) {
    if (channel == 0) return 1;
    // A damaged descriptor must not ask for hundreds of digits.
    return std::clamp(data.values[static_cast<std::size_t>(channel - 1)].decimals, 0, 15);
}

double Kmz_SpeedInUnit(const KmzDataSet& data, double kmh) {
    return data.distanceUnit == kKmzDistanceKilometres ? kmh : kmh / kKmzKmPerMile;
}

std::string Kmz_LayerPrefix(int spotSize, int kind) {
    static const char sizes[] = {'B', 'M', 'S'};
    static const char kinds[] = {'W', 'A', 'B'};
    return {sizes[std::clamp(spotSize, 0, 2)], kinds[std::clamp(kind, 0, 2)]};
}
