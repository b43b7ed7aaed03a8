#pragma once
// The campaign database: a PostgreSQL database with PostGIS that holds the
// samples and drives of every record file a fleet imports, reached through
// GDAL's PG driver with a connection text as GDAL names it
// (PG:"dbname=... host=... user=..."). Passwords come from libpq's own places
// (PGPASSWORD, ~/.pgpass), never from the command line.
//
// Tables (created when missing, under an advisory lock so that two programs
// starting on an empty database do not race):
//   drives          one row per record file, unique by its content (SHA-256)
//   samples         one row per positioned sample, a column per value channel
//   sample_columns  which column holds which channel, and how it is judged
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

inline constexpr const char* kCampaignNoPostgis =
    "The database has no PostGIS: run CREATE EXTENSION postgis; in the database (as its owner or a superuser).";

struct CampaignDb {
    std::string connection;  // the PG: text
    GDALDatasetUniquePtr ds;
};

// Whether a connection text may be used: "PG:" followed by libpq keywords or
// a URI, without a password in it. False with a one-line error.
bool Campaign_CheckConnection(const std::string& text, std::string& error);

// Connects, and checks that PostGIS is there. False with a one-line error
// (libpq's reason on one line; a hint where the password is missing).
bool Campaign_Open(const std::string& text, CampaignDb& db, std::string& error);

// Connects again: GDAL learns the columns other importers added since.
bool Campaign_Reopen(CampaignDb& db, std::string& error);

// Creates the tables and the spatial index where they are missing.
bool Campaign_EnsureSchema(CampaignDb& db, std::string& error);

// Runs one statement that returns no rows.
bool Campaign_Exec(CampaignDb& db, const std::string& sql, std::string& error);

// Runs a query and hands every row to row (which may stop the reading by
// returning false). False with a one-line error.
bool Campaign_Query(CampaignDb& db, const std::string& sql, const std::function<bool(OGRFeature&)>& row,
                    std::string& error);

bool Campaign_Begin(CampaignDb& db, std::string& error);
bool Campaign_Commit(CampaignDb& db, std::string& error);
void Campaign_Rollback(CampaignDb& db);

// SQL literals: a quoted text (UTF-8; quotes doubled, NUL bytes dropped), a
// number in the C locale with every digit a double holds, NULL for NaN.
std::string Campaign_SqlText(std::string_view utf8);
std::string Campaign_SqlNumber(double value);
// A quoted identifier ("level_dbuv").
std::string Campaign_SqlName(std::string_view name);

// While one lives, GDAL's messages stay quiet (the last one is read as the
// error text) instead of going to stderr.
struct CampaignQuietGdal {
    CampaignQuietGdal();
    ~CampaignQuietGdal();
    CampaignQuietGdal(const CampaignQuietGdal&) = delete;
    CampaignQuietGdal& operator=(const CampaignQuietGdal&) = delete;
};

// GDAL's last message on one line, the way the campaign reports it.
std::string Campaign_LastError();
