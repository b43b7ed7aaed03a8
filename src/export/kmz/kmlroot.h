#pragma once
// The two documents at the top of a KMZ archive: "doc.kml", which the globe
// viewer opens (the table of converted files with their header items, the
// logo, and the link to the navigation document), and the navigation
// document "root_<stamp>.kml" with the folder tree of spot sizes, value kinds
// and channels, their legends and the links into the map documents.
#include <string>
#include <string_view>
#include <vector>

#include "export/kmz/kmzexport.h"

struct KmzHeaderItem {
    std::string group;
    std::string key;
    bool operator==(const KmzHeaderItem&) const = default;
};

inline constexpr const char* kKmzExportGroup = "KMZ Export";
inline constexpr const char* kKmzManualKFactorKey = "Manual k-factor [dB/m]";
inline constexpr const char* kKmzManualOffsetKey = "Manual level offset";

// The header items of all files merged into one ordered list: a new item goes
// just after the last item of its group, or to the end for a new group; an
// item whose key its group already has is skipped. Then the manual k-factor
// and level offset items of the files that carry them.
std::vector<KmzHeaderItem> Kmz_MergeHeaderItems(const std::vector<KmzLoadedFile>& files);

// One row, or one cell, of the file table. Without value a whole header row;
// with value the cell of file column (0-based) of columnCount, the row opened
// at the first and closed at the last. rowCounter advances with every finished row.
void formatHtmlRow(std::string& out, std::string_view label, const std::string* value, int& rowCounter, int column,
                   int columnCount);

// The file table of the root document (rows only).
std::string Kmz_FileTable(const std::vector<KmzLoadedFile>& files);

// "path/name.dtr" -> "name.dtr" (after the last '/' or '\').
std::string Kmz_WithoutFolder(const std::string& path);

// The text of "doc.kml"; its export time is read now.
std::string Kml_RootDocument(const KmzExport& ex);
// Writes text as "doc.kml", which must be the archive's first KML entry:
// Google Earth and GDAL open the first one.
bool writeRootDocument(KmzExport& ex, const std::string& text);
// Writes text once more as the archive's last entry (KmzEntry_RootCopy).
// CesiumJS opens the last KML entry in the archive's root instead of the
// first, and every document lies in the root: without the copy it would open
// a leaf tile as the main document. Google Earth and GDAL never read the copy.
bool Kml_WriteRootCopy(KmzExport& ex, const std::string& text);
bool writeNavigationDocument(KmzExport& ex);
