#include "export/kmz/kmltext.h"

#include <algorithm>

#include "platform/text.h"

namespace {
// The side of the area fills about 37 degrees of the view (2 x atan(1 / 3)),
// which fits the height of a wide window; a one-point area is still seen from 200 m.
constexpr double kLookAtRangePerSide = 1.5;
constexpr double kLookAtMinRangeMetres = 200.0;
}  // namespace

std::string Kml_Text(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() + 8);
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '&': out += "&#38;"; continue;
            case '<': out += "&#60;"; continue;
            case '>': out += "&#62;"; continue;
            case '"': out += "&#34;"; continue;
            case '\'': out += "&#39;"; continue;
            default: break;
        }
        if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            out += ' ';  // not allowed in an XML document, not even as a reference
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string formatRegion(const MapArea& area, int minPixels, int maxPixels) {
    const MapBounds b = MapArea_Bounds(area);
    return Text_Format(
        "<Region>\n<LatLonAltBox>\n<north>%lf</north>\n<south>%lf</south>\n<east>%lf</east>\n<west>%lf</west>\n"
        "</LatLonAltBox>\n<Lod><minLodPixels>%d</minLodPixels>\n<maxLodPixels>%d</maxLodPixels>\n</Lod>\n</Region>\n",
        b.north, b.south, b.east, b.west, minPixels, maxPixels);
}

std::string formatNetworkLink(std::string_view name, const MapArea& area, int minPixels, int maxPixels,
                              std::string_view target) {
    std::string out = "<NetworkLink>\n";
    if (!name.empty()) out += "<name>" + Kml_Text(name) + "</name><open>1</open><visibility>1</visibility>";
    out += formatRegion(area, minPixels, maxPixels);
    out += "<Link><href>";
    out += target;
    out += "</href><viewRefreshMode>onRegion</viewRefreshMode></Link>\n</NetworkLink>\n";
    return out;
}

std::string Kml_LookAt(const MapArea& area) {
    const double range = std::max(area.side * 1000.0 * kLookAtRangePerSide, kLookAtMinRangeMetres);
    return Text_Format(
        "<LookAt>\n<longitude>%lf</longitude>\n<latitude>%lf</latitude>\n<altitude>0</altitude>\n"
        "<heading>0</heading>\n<tilt>0</tilt>\n<range>%.1lf</range>\n<altitudeMode>relativeToGround</altitudeMode>\n"
        "</LookAt>\n",
        area.centreLongitude, area.centreLatitude, range);
}
