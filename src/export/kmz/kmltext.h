#pragma once
// Small pieces of the KML documents: the text escaping every record-file text
// goes through, the document frame, and the region and network-link texts.
//
// Texts of the record files are Latin-1 while the documents are UTF-8, and
// they reach both KML element content and the HTML of balloons (inside CDATA
// sections). Kml_Text makes any such text safe for both: every byte above 0x7F
// becomes its UTF-8 form, "&", "<", ">", '"' and "'" become numeric character
// references (so "]]>" can never end a CDATA section early), and control
// characters that XML does not allow become blanks.
#include <string>
#include <string_view>

#include "export/kmz/maparea.h"
#include "export/kmz/entrysink.h"

std::string Kml_Text(std::string_view latin1);

inline constexpr const char* kKmlHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
inline constexpr const char* kKmlFooter = "</Document>\n</kml>";

// "<Region>...</Region>\n" of an area with its level-of-detail limits in pixels (-1: none).
std::string formatRegion(const MapArea& area, int minPixels, int maxPixels);
// "<NetworkLink>\n" [name] region "<Link>...</Link>\n</NetworkLink>\n"; name is
// Latin-1 and escaped, empty for none; target is an href of the archive.
std::string formatNetworkLink(std::string_view name, const MapArea& area, int minPixels, int maxPixels,
                              std::string_view target);
// "<LookAt>...</LookAt>\n": looking straight down on the area's centre from
// high enough that the whole area is in view.
std::string Kml_LookAt(const MapArea& area);

// Appends text to the open entry.
inline bool Kml_Write(KmzEntrySink& sink, std::string_view text) { return sink.write(text); }
