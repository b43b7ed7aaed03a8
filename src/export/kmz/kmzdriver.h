#pragma once
// The KMZ conversion as plain synchronous steps, shared by the wizard's worker
// thread and the command line: load the record files, check the data set,
// then write the archive. Cancel is a callback asked between samples and
// between cells; progress goes to small views.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/kmz/colours.h"
#include "export/kmz/kmzexport.h"
#include "export/kmz/kmzload.h"
#include "export/kmz/levelconfig.h"
#include "selection/recordentry.h"

inline constexpr const char* kKmzAreaTooLarge =
    "The GPS coordinates span exceeds 15000 km so that the drive test area cannot be visualized.";
inline constexpr const char* kKmzCouldNotWrite = "Drive test result file conversion failure:\nCould not write the file.";
inline constexpr const char* kKmzAborted = "Drive test result file conversion aborted by user.";
inline constexpr const char* kKmzSuccessFormat =
    "Drive test results have been successfully written to\n\n%s.\n\nIf you have installed Google Earth (R), just "
    "doubleclick on this .kmz file\nwithin your file browser to view its contents.";

enum class KmzOutcome { Success, Failure, Cancelled };

// After the samples were read: true when the conversion can go on (area set);
// otherwise message holds the text that ends it (empty after a cancel).
// What the level page needs to know of a listed record file.
KmzLevelFileFacts Kmz_LevelFacts(const RecordFileEntry& entry);

bool Kmz_CheckLoaded(const KmzDataSet& data, KmzLoadOutcome outcome, std::string& message, MapArea& area);

// The 16 upper-case hex digits of the 8 bytes of a date-time value, in memory order.
std::string Kmz_MakeStamp(double dateTime);
// The output name with its last three characters replaced by "kmz".
std::string Kmz_ArchiveName(const std::string& outputName);

// The colour page's rows for the selected value channels of a data set.
KmzColourScope Kmz_ColourScope(const KmzDataSet& data, const KmzScope& scope);

// How the archive is written: the writers' thread stores the entries itself
// (auto), or hands them to a thread of their own.
constexpr int kKmzWriterAuto = -1;
constexpr int kKmzWriterInline = 0;
constexpr int kKmzWriterQueued = 1;

struct KmzWriteRequest {
    std::string archivePath;
    KmzScope scope;
    std::vector<KmzAnchors> anchors;  // map channels 0..n, from validateColourScales
    KmzColourSet colours;
    std::string stamp;                // empty: made from the current time
    int deflateThreads = kKmzDeflateAuto;  // auto: one per core (at most four), none on a single core
    int writerThread = kKmzWriterAuto;
};

struct KmzWriteResult {
    KmzOutcome outcome = KmzOutcome::Success;
    std::string message;  // the final message, Latin-1
    std::int64_t entries = 0;
    std::int64_t uncompressedBytes = 0;
};

// Writes the archive: "doc.kml", the navigation document, the coarse levels,
// the legends and pictures, then the tile tree. Any failure or cancel removes the
// archive file again. The data set is changed (samples of a bad receiver
// status become invalid; cells release the samples they held).
KmzWriteResult Kmz_WriteArchive(KmzDataSet& data, const KmzWriteRequest& request, const MapArea& area,
                                KmzWriteView* view, const std::function<bool()>& cancelled);
