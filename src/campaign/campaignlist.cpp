#include "campaign/campaignlist.h"

namespace {

// Named after the column: GDAL fills a result's fields by name, so two unnamed to_char() would collide.
std::string Iso(const char* column) {
    return std::string("to_char(") + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"') AS " + column;
}

}  // namespace

bool Campaign_ListDrives(CampaignDb& db, const CampaignSelection& selection, std::vector<CampaignDrive>& drives,
                         std::string& error) {
    drives.clear();
    bool present = false;
    if (!Campaign_Query(db, "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND tablename = 'drives'",
                        [&](OGRFeature&) { return present = true, false; }, error))
        return false;
    if (!present) return true;
    const std::string sql =
        "SELECT drive_id, file, path, description, standard, frequency_mhz, analyzer_type, serial_number, " +
        Iso("start_utc") + ", " + Iso("end_utc") + ", " + Iso("imported_utc") +
        ", sample_count, positioned_samples, skipped_samples, content_sha256 FROM drives WHERE " +
        Campaign_DriveCondition(selection) + " ORDER BY drive_id";
    return Campaign_Query(db, sql, [&](OGRFeature& f) {
        CampaignDrive d;
        d.id = f.GetFieldAsInteger64(0);
        d.file = f.GetFieldAsString(1);
        d.path = f.GetFieldAsString(2);
        d.description = f.GetFieldAsString(3);
        d.standard = f.GetFieldAsString(4);
        d.frequencyMHz = f.GetFieldAsDouble(5);
        d.analyzerType = f.GetFieldAsString(6);
        d.serialNumber = f.GetFieldAsString(7);
        d.startUtc = f.GetFieldAsString(8);
        d.endUtc = f.GetFieldAsString(9);
        d.importedUtc = f.GetFieldAsString(10);
        d.samples = f.GetFieldAsInteger64(11);
        d.positionedSamples = f.GetFieldAsInteger64(12);
        d.skippedSamples = f.GetFieldAsInteger64(13);
        d.sha256 = f.GetFieldAsString(14);
        drives.push_back(std::move(d));
        return true;
    }, error);
}
