#pragma once
// Antenna types: named K-factor tables over frequency, kept in antennas.ini of
// the data directory, offered in the antenna drop-downs and turned into the
// K-factor at a measured frequency by a clamped cubic spline.
//
// AntennaList is the testable value; the Antenna_* functions hold the one
// process-wide list and reach the screen only through the two views below.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct KFactorPoint {
    double frequency;  // MHz
    double kFactor;    // dB/m
};

struct AntennaType {
    char name[100] = {};  // Latin-1, NUL-terminated, zero-filled
    std::vector<KFactorPoint> kFactors;  // strictly ascending frequency
};

constexpr int kAntennaMaxPoints = 600;
constexpr std::int32_t kAntennaFileVersion = 70;
constexpr std::int32_t kAntennaFileMaxVersion = 320;
constexpr std::size_t kAntennaFileBufferBytes = 100000;
constexpr std::int32_t kAntennaTagType = 30;
constexpr std::int32_t kAntennaTagPoint = 31;
constexpr std::int32_t kAntennaTypeBlockBytes = 104;  // name[100] + 4 reserved bytes
constexpr std::int32_t kKFactorPointBlockBytes = 16;  // two little-endian doubles
inline constexpr const char* kAntennaFileName = "antennas.ini";
inline constexpr const char* kAntennaEditItem = "----------Edit----------";

// Outcome of a change to the list; the editor turns each refusal into its message.
enum class AntennaEdit {
    Ok,
    InvalidName,   // empty or holding one of " * / : < > ? \ |
    NameExists,
    NoSuchAntenna,
    NoSuchPoint,
    ListFull,      // the antenna already has kAntennaMaxPoints points
    PointExists,   // another point has the same frequency
    InvalidValue,  // NaN or infinite frequency or K-factor
};

// Byte order on unsigned bytes, case-sensitive: "Zeta" sorts before "alpha".
int Antenna_CompareNames(std::string_view a, std::string_view b);

// The clamped cubic spline through a K-factor table: end slopes are those of
// the first and the last segment. Built once, evaluated many times (the
// editor's graph); Antenna_KFactorAt builds one per call.
class KFactorSpline {
public:
    explicit KFactorSpline(const std::vector<KFactorPoint>& points);
    // K-factor at frequencyMHz. Fewer than 2 points or a non-finite frequency
    // give 0.0. Outside the table the end values are returned: callers check
    // the interval first, and a cubic extrapolated far out is meaningless.
    double at(double frequencyMHz) const;

private:
    std::vector<KFactorPoint> points_;
    std::vector<double> secondDerivatives_;
};

// The antenna list: sorted by name in byte order, names unique and valid,
// every table strictly ascending in frequency with at most 600 finite points.
// Positions are 1-based, as the user interface shows them.
class AntennaList {
public:
    const std::vector<AntennaType>& antennas() const { return antennas_; }
    int count() const { return static_cast<int>(antennas_.size()); }
    // nullptr for 0, negative positions and positions beyond the list.
    const AntennaType* antenna(int position) const;
    // 1-based position of the antenna with exactly this name, 0 when none.
    int positionOf(std::string_view name) const;

    // Names longer than 99 bytes are cut to 99, the size of the stored field.
    // position receives where the antenna now stands.
    AntennaEdit addAntenna(std::string_view name, int* position = nullptr);
    // Takes a whole antenna (the loader); its points must already be valid.
    AntennaEdit addAntenna(AntennaType antenna, int* position = nullptr);
    AntennaEdit renameAntenna(int position, std::string_view name, int* newPosition = nullptr);
    AntennaEdit removeAntenna(int position);

    // Inserts in ascending order; pointPosition receives where it went.
    AntennaEdit addPoint(int antennaPosition, KFactorPoint point, int* pointPosition = nullptr);
    AntennaEdit removePoint(int antennaPosition, int pointPosition);
    // Replaces a point; an edit that changes the order moves the point to its
    // place (newPointPosition) so that the table stays strictly ascending.
    AntennaEdit changePoint(int antennaPosition, int pointPosition, KFactorPoint point,
                            int* newPointPosition = nullptr);

    // 0.0 for a position that names no antenna or an antenna with fewer than 2 points.
    double kFactorAt(int position, double frequencyMHz) const;

    void clear() { antennas_.clear(); }

private:
    std::vector<AntennaType> antennas_;
};

// What a load found, beyond "the file could be read".
struct AntennaLoadReport {
    bool opened = false;      // the file exists, is a block file and its version is accepted
    bool complete = false;    // every block up to the end of the file was read
    int droppedAntennas = 0;  // invalid or duplicate names, or a damaged point list
    int droppedPoints = 0;    // NaN/inf, repeated frequencies, beyond 600 points
};

// Reads an antennas.ini into list (replacing its content). A damaged, foreign
// or truncated file keeps the antennas read before the first bad block; an
// antenna whose point list is cut off by the damage is dropped. Returns
// false when the file is missing, not a block file or too new.
bool AntennaList_Load(const std::string& path, AntennaList& list, AntennaLoadReport* report = nullptr);
// Writes the list to a temporary file that replaces path only when complete,
// so a failed save keeps the previous file.
bool AntennaList_Save(const AntennaList& list, const std::string& path);

// One row of the antenna table: name, first and last frequency "%.6lf", or
// "---" for both while the antenna has fewer than 2 points.
struct AntennaTableRow {
    std::string name;  // Latin-1
    std::string firstFrequency;
    std::string lastFrequency;
};

AntennaTableRow Antenna_TableRow(const AntennaType& antenna);
std::vector<AntennaTableRow> Antenna_TableRows(const AntennaList& list);
// All names in list order, then the edit entry.
std::vector<std::string> Antenna_RingItems(const AntennaList& list);

// The antenna editor's table of antennas.
class AntennaTableView {
public:
    virtual ~AntennaTableView() = default;
    virtual void setRows(const std::vector<AntennaTableRow>& rows) = 0;
    // 1-based position of the antenna to select.
    virtual void selectRow(int position) = 0;
};

// A drop-down of antennas (the antenna column of the analyzer table).
class AntennaRingView {
public:
    virtual ~AntennaRingView() = default;
    virtual void setItems(const std::vector<std::string>& items) = 0;
};

// The process-wide list. An empty directory means Platform_DataDirectory().
// Antenna_Init empties the list, remembers the table view (may be null) and loads.
void Antenna_Init(AntennaTableView* tableView = nullptr, const std::string& directory = {});
// Replaces the list by the content of "<directory>/antennas.ini", shows it in
// the table view and selects the first antenna when there is one.
bool Antenna_Load(const std::string& directory = {});
// Writes the list to "<directory>/antennas.ini"; a failure is told once per run.
bool Antenna_Save(const std::string& directory = {});
// Empties the list and forgets the table view.
void Antenna_Close();

// K-factor in dB/m of antenna antennaIndex (1-based) at frequencyMHz; 0.0 for
// index 0 or less, beyond the list, or with fewer than 2 points. Outside the
// antenna's table the value of the nearer end (see KFactorSpline).
double Antenna_KFactorAt(int antennaIndex, double frequencyMHz);
void Antenna_FillRing(AntennaRingView& ring);
// Shows the current list in the table view (after the editor changed it);
// the selection is left to the view.
void Antenna_ShowTable();

int Antenna_Count();
// Copies antenna position into antenna; false when there is none.
bool Antenna_Get(int position, AntennaType& antenna);
AntennaList Antenna_Snapshot();
// Runs change on the process-wide list under its lock (the editor's changes);
// the measurement threads may read K-factors meanwhile.
AntennaEdit Antenna_Update(const std::function<AntennaEdit(AntennaList&)>& change);
