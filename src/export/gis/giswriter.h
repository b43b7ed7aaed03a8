#pragma once
// Writes a coverage analysis through GDAL/OGR. One writer for every target;
// the driver is chosen by name and decides which layers go out:
//   "GPKG"    the layers samples (points), cells (polygons), drives and
//             coverage_summary (tables), and the QGIS styles (layer_styles);
//   "GeoJSON" the cells only (RFC 7946, WGS 84, 7 decimals), for web maps.
// Every layer is written in one transaction. The file is written under a
// temporary name beside the target and renamed only when complete: a failure
// or a cancel leaves nothing behind, and an existing target is kept until
// the new file replaces it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "coverage/coverage.h"

class GDALDataset;

inline constexpr const char* kGisGeoPackage = "GPKG";
inline constexpr const char* kGisGeoJson = "GeoJSON";
inline constexpr const char* kGisPostgres = "PostgreSQL";
inline constexpr const char* kGisAborted = "The coverage export was cancelled; nothing was written.";

enum class GisOutcome { Success, Failure, Cancelled };

struct GisExportRequest {
    std::string path;         // the file to write (UTF-8 or the file system's bytes)
    std::string driver;       // kGisGeoPackage or kGisGeoJson; empty: by the file name's extension
    bool overwrite = false;   // replace an existing file
    // Another reader of every group's samples in the same run (a report
    // drawn from the same analysis); may be null.
    CoverageSampleSink* alsoSamples = nullptr;
    // Called once the file is complete, before it takes the target's name:
    // false (with a one-line error) fails the export and removes the file,
    // so that what is written beside it from the same run succeeds or fails
    // with it. May be empty.
    std::function<bool(std::string& error)> beforeRename;
};

struct GisLayerCount {
    std::string layer;
    std::int64_t features = 0;
};

struct GisExportResult {
    GisOutcome outcome = GisOutcome::Success;
    std::string message;  // one line (UTF-8); on success it names the layers and their counts
    std::vector<GisLayerCount> layers;
};

// The driver for a file name: ".gpkg" GPKG, ".geojson" or ".json" GeoJSON (any
// case); empty for anything else.
std::string Gis_DriverForPath(const std::string& path);

// Whether the target can be written: a known format, not existing (unless
// overwrite), in a directory that exists and is writable. False with a
// one-line error. Gis_Export checks the same; callers check first so that
// nothing is read for a target that cannot be written.
bool Gis_CheckTarget(const GisExportRequest& request, std::string& error);

// Runs the analysis (Coverage_Run) and writes its layers.
GisExportResult Gis_Export(CoveragePlan& plan, const GisExportRequest& request, CoverageProgress* progress,
                           const std::function<bool()>& cancelled);

// Writes more layers into an open dataset, adding their counts; false with a
// one-line error.
using GisLayerWriter = std::function<bool(GDALDataset& ds, std::vector<GisLayerCount>& counts, std::string& error)>;

// A GeoPackage of an analysis computed elsewhere (the groups' channels, cells
// and summaries filled in, no samples read): the layers cells and
// coverage_summary, what addLayers (may be empty) adds, and the cells' QGIS
// style; written and renamed as Gis_Export writes.
GisExportResult Gis_ExportComputed(CoveragePlan& plan, const GisExportRequest& request, const GisLayerWriter& addLayers);

// The cells and coverage_summary of an analysis into an open GeoPackage or
// PostgreSQL dataset, each in one transaction; in a database an existing table
// of the name is replaced inside that transaction, so readers see the old
// table or the whole new one. False with a one-line error (the transaction
// rolled back).
bool Gis_WriteResultTables(GDALDataset& ds, CoveragePlan& plan, std::vector<GisLayerCount>& counts,
                           std::string& error);
