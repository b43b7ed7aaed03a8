#pragma once
// Level configuration of the KMZ export: the user picks one common level unit
// for the map and may give each record file a manual K-factor and a manual
// level correction. From these one additive offset per file is computed; the
// loader adds it to every valid level value of that file, so that the level
// channels of all files merge into one channel of the common unit.
//
// The arithmetic (KmzLevel_ComputeOffsets) works on plain numbers so that the
// command line can use it; the level page reaches the screen only through
// KmzLevelTableView.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Codes of the common level unit ring (`RING_UNIT`) and of a file's recorded unit.
constexpr int kKmzUnitFieldStrength = 0;  // dBuV/m
constexpr int kKmzUnitDbm = 1;
constexpr int kKmzUnitDbmV = 2;
constexpr int kKmzUnitDbuV = 3;
constexpr int kKmzUnitCount = 4;

inline constexpr const char* kKmzLevelUnitLabel = "Common level unit used for export";
inline constexpr const char* kKmzNoneText = "-- None --";
inline constexpr const char* kKmzMissingKFactorMessage =
    "The selected level unit requires a manual k-factor assignment for entry #%d.";

// Table colours as 0xRRGGBB.
constexpr std::uint32_t kKmzRowWhite = 0xFFFFFF;
constexpr std::uint32_t kKmzRowGrey = 0xE6E6E6;
constexpr std::uint32_t kKmzHighlightOdd = 0xFFFF96;
constexpr std::uint32_t kKmzHighlightEven = 0xE6E696;

// Columns of the level table (1-based, as the page shows them).
constexpr int kKmzColDescription = 1;
constexpr int kKmzColCreated = 2;
constexpr int kKmzColType = 3;
constexpr int kKmzColInput = 4;
constexpr int kKmzColKFactor = 5;
constexpr int kKmzColManualKFactor = 6;
constexpr int kKmzColManualOffset = 7;
constexpr int kKmzLevelColumns = 7;

// The facts of one selected record file that the level configuration needs.
// The conversion driver fills them from the file selection's entries.
struct KmzLevelFileFacts {
    bool hasLevel = false;          // the file has a value channel named "Level"
    int recordedUnit = -1;          // kKmzUnit* code of that channel, -1 when none of the four
    double inputImpedance = 50.0;   // Ohm
    double kFactor = 0.0;           // antenna K-factor in dB/m, 0 without antenna
    std::string kFactorText;        // as the file shows it; empty without antenna
    bool kFactorContained = false;  // stored dBuV/m levels already hold the K-factor (software 2.5 or lower)
    std::string description;        // header fields, Latin-1
    std::string created;
    std::string type;
    std::string input;
};

// What the user entered for one file, as numbers (absent = not entered).
struct KmzLevelManualInput {
    std::optional<double> kFactor;  // dB/m, only read when the common unit is dBuV/m
    std::optional<double> offset;   // dB
};

// Result stored with a file's entry of the file list.
struct KmzLevelSettings {
    bool manualKFactorUsed = false;
    double manualKFactor = 0.0;  // dB/m
    bool manualOffsetUsed = false;
    double manualOffset = 0.0;   // dB
    double levelOffset = 0.0;    // dB, added to every valid level value of the file
};

struct KmzLevelError {
    int entry = 0;        // 1-based over all files of the list
    std::string message;  // the text the page shows word for word
};

// "dBuV/m", "dBm", "dBmV", "dBuV" (Latin-1 micro sign); nullptr for other codes.
const char* KmzLevel_UnitName(int unit);
// "Level [dBuV/m]" ... : the name every level channel carries in the export; nullptr for other codes.
const char* KmzLevel_ChannelName(int unit);
// Code of a unit typed by a user (Latin-1, UTF-8 or "u" for the micro sign,
// as LevelUnit_Parse reads it); -1 for V, W and anything else.
int KmzLevel_ParseUnit(std::string_view text);

// The dB to add to a level in unit to have the input level in dBuV: minus the
// antenna K-factor (dB/m) for field strength, the input impedance's figure
// for dBm, 60 for dBmV. The level configuration's own conversion rules, for
// converting a value given in one unit (a planning threshold) into another.
double KmzLevel_OffsetToDbuV(int unit, double inputImpedance, double kFactor);

// Default common unit: the recorded unit of the first file with a level
// channel, field strength as soon as any later one was recorded in dBuV/m;
// current when no file has a level channel.
int KmzLevel_DefaultUnit(const std::vector<KmzLevelFileFacts>& files, int current);

// Offsets for every file with a level channel, in list order. manual may be
// shorter than files (missing entries mean nothing entered); non-finite manual
// numbers count as 0, as text that is not a number does. Files without a level
// channel keep their settings. On failure settings is left unchanged and
// error (when given) names the entry and carries the message.
bool KmzLevel_ComputeOffsets(int commonUnit, const std::vector<KmzLevelFileFacts>& files,
                             const std::vector<KmzLevelManualInput>& manual, std::vector<KmzLevelSettings>& settings,
                             KmzLevelError* error = nullptr);

// A manual cell read as the page reads it: empty (or only blanks) is absent;
// otherwise the leading decimal number, and 0 when there is none.
std::optional<double> KmzLevel_ParseCell(std::string_view text);

// Table rows: row 1 is the header, file n (1-based) sits on row n + 1.
// Odd rows are white, even rows light grey; a highlighted cell follows the same rhythm.
std::uint32_t KmzLevel_RowColour(int tableRow);
std::uint32_t KmzLevel_HighlightColour(int tableRow);
inline int KmzLevel_TableRow(int entry) { return entry + 1; }
bool KmzLevel_IsEditableCell(int commonUnit, int tableRow, int column);

struct KmzLevelCell {
    std::string text;  // Latin-1
    bool editable = false;
    bool centred = false;
    std::uint32_t background = kKmzRowWhite;
};

// The level table page ("Step 2 of 5: Level configuration").
class KmzLevelTableView {
public:
    virtual ~KmzLevelTableView() = default;
    virtual void deleteRowsBelowHeader() = 0;
    // Appends a row below the last one; cells holds columns 1..7.
    virtual void appendRow(const std::vector<KmzLevelCell>& cells) = 0;
    virtual void setCell(int tableRow, int column, const KmzLevelCell& cell) = 0;
    virtual std::string cellText(int tableRow, int column) = 0;
    virtual void setCellBackground(int tableRow, int column, std::uint32_t colour) = 0;
    virtual int commonUnit() = 0;
    virtual void setCommonUnit(int unit) = 0;
    virtual void showMessage(const std::string& text) = 0;
    virtual void startEditing(int tableRow, int column) = 0;
    virtual void setActiveCell(int tableRow, int column) = 0;
};

// Entering the page: one row per file, the default unit, then the unit column.
void fillLevelTable(KmzLevelTableView& view, const std::vector<KmzLevelFileFacts>& files);
// Column 6 follows the common unit: editable and empty for dBuV/m, else a read-only "-- None --".
void updateUnitColumn(KmzLevelTableView& view, int rowCount);
// Reads the manual cells, validates and computes (see KmzLevel_ComputeOffsets).
// A missing K-factor highlights its cell and shows the message; false keeps the user on the page.
bool computeLevelOffsets(KmzLevelTableView& view, const std::vector<KmzLevelFileFacts>& files,
                         std::vector<KmzLevelSettings>& settings);

// The table's cell behaviour: moving onto an editable cell starts editing at
// once; when editing ends the active cell returns to row 1, column 1.
void KmzLevel_TableActiveCellMoved(KmzLevelTableView& view, int tableRow, int column);
void KmzLevel_TableEditEnded(KmzLevelTableView& view);
