#include "export/kmz/kmzdriver.h"

#include <cstring>
#include <new>

#include "export/kmz/bitmaps.h"
#include "export/kmz/entrynames.h"
#include "export/kmz/entrysink.h"
#include "export/kmz/kmlroot.h"
#include "export/kmz/kmlwriter.h"
#include "export/kmz/pictures.h"
#include "export/kmz/tiling.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

bool WriteLegends(KmzExport& ex) {
    KmzLegendCanvas canvas;
    std::vector<std::uint32_t> spots;
    for (int k = 0; k < kLegendSpots; ++k) spots.push_back(classColour({0.0, 4.5, 9.0}, ex.colours, k));
    if (!Bitmaps_LegendBegin(canvas, spots)) return false;
    for (int spot = 0; spot < kKmzSpotSizes; ++spot)
        for (int kind = 0; kind < kKmzKinds; ++kind) {
            if (!ex.scope.kinds[static_cast<std::size_t>(kind)]) continue;
            for (int channel : ex.channels) {
                if (ex.isCancelled()) return false;
                const KmzAnchors& a = ex.anchors[static_cast<std::size_t>(channel)];
                KmzLegendText text;
                text.outputName = ex.data.outputName;
                text.kindTitle = Kml_KindTitle(kind);
                text.channelName = Kmz_ChannelName(ex.data, channel);
                text.bad = a.bad;
                text.average = a.average;
                text.good = a.good;
                text.decimals = Kmz_Decimals(ex.data, channel);
                text.showAverage = Kmz_RatingKind(ex.data, channel) != kKmzRateState;
                if (!Bitmaps_DrawLegend(canvas, text, spot) ||
                    !ex.sink.writeBitmap(KmzEntry_Legend(Kmz_LayerPrefix(spot, kind), channel, ex.stamp),
                                         kLegendWidth, kLegendWidth * 4, kLegendHeight, canvas.pixels))
                    return false;
            }
        }
    return true;
}

bool WritePicture(KmzExport& ex, KmzPicture picture) {
    KmzPicturePixels drawn;
    if (!Pictures_Draw(picture, drawn)) return false;
    return ex.sink.writeBitmap(KmzEntry_Picture(picture, ex.stamp), drawn.width, drawn.width * 4, drawn.height,
                               std::move(drawn.pixels));
}

bool WriteAll(KmzExport& ex) {
    if (ex.view) {
        ex.view->showWriteLabel("Step 1 of 2");
        ex.view->setWriteProgress(0);
    }
    // Globe viewers and GDAL open the first KML entry of an archive: "doc.kml"
    // and the navigation document it links come first. Both need only the
    // area and the depth of the pyramid, known before any cell is written.
    const std::string root = Kml_RootDocument(ex);
    if (!writeRootDocument(ex, root) || !writeNavigationDocument(ex)) return false;
    std::vector<MapCell> levelK;
    if (!Kmz_WriteCoarseLevels(ex, levelK)) return false;
    if (ex.view) {
        ex.view->showWriteLabel("Step 2 of 2");
        ex.view->setWriteProgress(0);
    }
    if (!WriteLegends(ex)) return false;
    if (!WritePicture(ex, PICTURE_SPOT) || !WritePicture(ex, PICTURE_LOGO) || !WritePicture(ex, PICTURE_INTENSITY))
        return false;
    // Without a detail tree level K holds no cells.
    if (!ex.depth.rootTileId.empty() && !Kmz_WriteTileTree(ex, ex.area, ex.depth.rootTileId, levelK)) return false;
    return Kml_WriteRootCopy(ex, root);
}

// The writers store their entries themselves unless asked otherwise: the
// archive's deflate workers (one per core) already take the deflating off
// their thread, and in batches, so a thread more would only copy the bytes.
bool Queued(const KmzWriteRequest& request) { return request.writerThread == kKmzWriterQueued; }

int DeflateThreads(const KmzWriteRequest& request) { return request.deflateThreads; }

}  // namespace

bool Kmz_CheckLoaded(const KmzDataSet& data, KmzLoadOutcome outcome, std::string& message, MapArea& area) {
    message.clear();
    switch (outcome) {
        case KmzLoadOutcome::Cancelled: return false;
        case KmzLoadOutcome::OutOfMemory: message = std::string(kKmzFailurePrefix) + kKmzInsufficientRam; return false;
        case KmzLoadOutcome::Failed: message = std::string(kKmzFailurePrefix) + kKmzNoSamples; return false;
        case KmzLoadOutcome::Loaded: break;
    }
    if (data.samples.empty()) {
        message = std::string(kKmzFailurePrefix) + kKmzNoSamples;
        return false;
    }
    if (!data.hasRecordedPosition) {
        message = std::string(kKmzFailurePrefix) + kKmzNoPositionMessage;
        return false;
    }
    area = MapArea_OfDataSet(data);
    if (!(area.side <= kKmzMaxSideKm)) {
        message = std::string(kKmzFailurePrefix) + kKmzAreaTooLarge;
        return false;
    }
    return true;
}

std::string Kmz_MakeStamp(double dateTime) {
    unsigned char bytes[sizeof dateTime];
    std::memcpy(bytes, &dateTime, sizeof bytes);
    static const char digits[] = "0123456789ABCDEF";
    std::string stamp;
    for (unsigned char b : bytes) {
        stamp += digits[b >> 4];
        stamp += digits[b & 0xF];
    }
    return stamp;
}

std::string Kmz_ArchiveName(const std::string& outputName) {
    if (outputName.size() < 3) return outputName + "kmz";
    return outputName.substr(0, outputName.size() - 3) + "kmz";
}

KmzColourScope Kmz_ColourScope(const KmzDataSet& data, const KmzScope& scope) {
    KmzColourScope cs;
    cs.channelCount = data.mapChannels();
    cs.maxSpeedKmh = data.maxSpeedKmh;
    cs.distanceUnit = data.distanceUnit;
    for (int c = 0; c < data.mapChannels(); ++c) {
        if (static_cast<std::size_t>(c) >= scope.values.size() || !scope.values[static_cast<std::size_t>(c)]) continue;
        KmzColourChannel row;
        row.channel = c;
        row.tag = Kmz_ChannelName(data, c);
        row.ratingKind = Kmz_RatingKind(data, c);
        row.decimals = Kmz_Decimals(data, c);
        row.statistics = data.statistics[static_cast<std::size_t>(c)];
        cs.rows.push_back(std::move(row));
    }
    return cs;
}

KmzWriteResult Kmz_WriteArchive(KmzDataSet& data, const KmzWriteRequest& request, const MapArea& area,
                                KmzWriteView* view, const std::function<bool()>& cancelled) {
    KmzWriteResult result;
    KmzArchive archive;
    if (!kmzOpenArchive(request.archivePath.c_str(), kKmzBufferCapacity, archive, DeflateThreads(request))) {
        result.outcome = KmzOutcome::Failure;
        result.message = kKmzCouldNotWrite;
        return result;
    }
    KmzEntrySink sink(archive, Queued(request));
    KmzExport ex(sink, data, request.scope);
    ex.anchors = request.anchors;
    ex.colours = request.colours;
    ex.stamp = request.stamp.empty() ? Kmz_MakeStamp(DateTime_ExportNow()) : request.stamp;
    ex.area = area;
    ex.depth = MapArea_Depth(area.side, request.scope.zoomMetres);
    ex.cancelled = cancelled;
    ex.view = view;
    KmzExport_Prepare(ex);

    bool ok = false;
    try {
        ok = WriteAll(ex);
    } catch (const std::bad_alloc&) {
        ok = false;  // out of memory while writing: the archive fails like a failed write
    }
    if (ok) ok = sink.finish();
    else sink.cancel();
    result.entries = archive.entriesOpened;
    result.uncompressedBytes = archive.bytesIn;
    if (ok) ok = kmzCloseArchive(archive);
    if (ok) {
        result.message = Text_Format(kKmzSuccessFormat, request.archivePath.c_str());
        std::int64_t skipped = 0;
        for (const auto& f : data.files) skipped += f.skippedSamples;
        result.message += Recording_SkippedText(skipped);
        return result;
    }
    kmzAbortArchive(archive);
    const bool userCancelled = cancelled && cancelled();
    result.outcome = userCancelled ? KmzOutcome::Cancelled : KmzOutcome::Failure;
    result.message = userCancelled ? kKmzAborted : kKmzCouldNotWrite;
    return result;
}

KmzLevelFileFacts Kmz_LevelFacts(const RecordFileEntry& e) {
    KmzLevelFileFacts f;
    f.hasLevel = e.levelIndex >= 0;
    f.recordedUnit = e.levelUnit;
    f.inputImpedance = e.inputNumber;
    f.kFactor = e.kFactor;
    f.kFactorText = e.kFactorText;
    // Old files recorded in dBuV/m hold levels that already contain the K-factor.
    f.kFactorContained = e.oldFile != 0 && e.levelUnit == kRecordLevelDbuVPerM;
    f.description = e.description;
    f.created = e.created;
    f.type = e.type;
    f.input = e.input;
    return f;
}
