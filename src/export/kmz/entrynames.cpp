#include "export/kmz/entrynames.h"

#include "export/kmz/kmzexport.h"
#include "platform/text.h"

std::string KmzEntry_Layer(int spotSize, int kind, int channel, const std::string& tilePath, const std::string& stamp) {
    return Text_Format("%s%d_%s_%s.kml", Kmz_LayerPrefix(spotSize, kind).c_str(), channel, tilePath.c_str(),
                       stamp.c_str());
}

std::string KmzEntry_Navigation(const std::string& stamp) { return "root_" + stamp + ".kml"; }

std::string KmzEntry_RootCopy(const std::string& stamp) { return "doc_" + stamp + ".kml"; }

std::string KmzEntry_ValueBitmap(int channel, const std::string& cellId, const std::string& stamp) {
    return Text_Format("V%d_%s_%s.bmp", channel, cellId.c_str(), stamp.c_str());
}

std::string KmzEntry_GraphBitmap(int graph, const std::string& cellId, const std::string& stamp) {
    return Text_Format("G%d_%s_%s.bmp", graph, cellId.c_str(), stamp.c_str());
}

std::string KmzEntry_Legend(const std::string& layerPrefix, int channel, const std::string& stamp) {
    return Text_Format("%s%d_%s.bmp", layerPrefix.c_str(), channel, stamp.c_str());
}

std::string KmzEntry_Picture(KmzPicture picture, const std::string& stamp) {
    switch (picture) {
        case PICTURE_SPOT: return "spot_" + stamp + ".bmp";
        case PICTURE_LOGO: return "logo_" + stamp + ".bmp";
        case PICTURE_INTENSITY: return "intensity_" + stamp + ".bmp";
    }
    return {};
}
