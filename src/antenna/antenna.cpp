#include "antenna/antenna.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/paths.h"
#include "platform/settingsnotice.h"
#include "platform/text.h"
#include "records/fileio.h"

namespace {

bool IsFinitePoint(const KFactorPoint& p) { return std::isfinite(p.frequency) && std::isfinite(p.kFactor); }

bool IsValidTable(const std::vector<KFactorPoint>& points) {
    if (points.size() > static_cast<std::size_t>(kAntennaMaxPoints)) return false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!IsFinitePoint(points[i])) return false;
        if (i > 0 && !(points[i - 1].frequency < points[i].frequency)) return false;
    }
    return true;
}

// A name as the stored field can hold it: up to the first NUL, at most 99 bytes.
std::string FieldName(std::string_view name) {
    name = name.substr(0, std::min(name.find('\0'), sizeof(AntennaType::name) - 1));
    return std::string(name);
}

bool LessByName(const AntennaType& antenna, std::string_view name) {
    return Antenna_CompareNames(Text_View(antenna.name), name) < 0;
}

bool LessByFrequency(const KFactorPoint& p, double frequency) { return p.frequency < frequency; }

void PutDouble(std::uint8_t* out, double value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

double GetDouble(const std::uint8_t* in) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return std::bit_cast<double>(bits);
}

// Brings a point list read from a file into table order: drops NaN/inf
// points, sorts, keeps the first of repeated frequencies (as the CSV import
// does) and at most the 600 lowest frequencies. Returns the number dropped.
int NormaliseTable(std::vector<KFactorPoint>& points) {
    const std::size_t before = points.size();
    std::erase_if(points, [](const KFactorPoint& p) { return !IsFinitePoint(p); });
    std::stable_sort(points.begin(), points.end(),
                     [](const KFactorPoint& a, const KFactorPoint& b) { return a.frequency < b.frequency; });
    auto last = std::unique(points.begin(), points.end(),
                            [](const KFactorPoint& a, const KFactorPoint& b) { return a.frequency == b.frequency; });
    points.erase(last, points.end());
    if (points.size() > static_cast<std::size_t>(kAntennaMaxPoints)) points.resize(kAntennaMaxPoints);
    return static_cast<int>(before - points.size());
}

// Reads the point blocks that follow an antenna block. False when one of them
// is damaged or foreign: the antenna's table is then incomplete.
bool ReadPointBlocks(FileContainer& ctx, std::vector<KFactorPoint>& points) {
    std::uint8_t block[kKFactorPointBlockBytes];
    while (ctx.nextLength >= 0 && ctx.nextTag == kAntennaTagPoint) {
        if (!FileIO_ReadBlock(ctx, block, kAntennaTagPoint, kKFactorPointBlockBytes)) return false;
        points.push_back({GetDouble(block), GetDouble(block + 8)});
    }
    return true;
}

}  // namespace

int Antenna_CompareNames(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares unsigned bytes
    if (c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Spline

KFactorSpline::KFactorSpline(const std::vector<KFactorPoint>& points) : points_(points) {
    const std::size_t n = points_.size();
    if (n < 2) return;
    auto x = [&](std::size_t i) { return points_[i].frequency; };
    auto y = [&](std::size_t i) { return points_[i].kFactor; };
    const double firstSlope = (y(1) - y(0)) / (x(1) - x(0));
    const double lastSlope = (y(n - 1) - y(n - 2)) / (x(n - 1) - x(n - 2));

    // Tridiagonal system for the second derivatives with clamped ends,
    // solved by forward elimination (u holds the decomposed right side).
    std::vector<double> y2(n), u(n);
    y2[0] = -0.5;
    u[0] = (3.0 / (x(1) - x(0))) * ((y(1) - y(0)) / (x(1) - x(0)) - firstSlope);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double sig = (x(i) - x(i - 1)) / (x(i + 1) - x(i - 1));
        const double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        const double d = (y(i + 1) - y(i)) / (x(i + 1) - x(i)) - (y(i) - y(i - 1)) / (x(i) - x(i - 1));
        u[i] = (6.0 * d / (x(i + 1) - x(i - 1)) - sig * u[i - 1]) / p;
    }
    const double qn = 0.5;
    const double un = (3.0 / (x(n - 1) - x(n - 2))) * (lastSlope - (y(n - 1) - y(n - 2)) / (x(n - 1) - x(n - 2)));
    y2[n - 1] = (un - qn * u[n - 2]) / (qn * y2[n - 2] + 1.0);
    for (std::size_t k = n - 1; k-- > 0;) y2[k] = y2[k] * y2[k + 1] + u[k];
    secondDerivatives_ = std::move(y2);
}

double KFactorSpline::at(double f) const {
    const std::size_t n = points_.size();
    if (n < 2 || !std::isfinite(f)) return 0.0;
    if (f <= points_.front().frequency) return points_.front().kFactor;
    if (f >= points_.back().frequency) return points_.back().kFactor;
    // First point above f; f lies strictly inside, so 1 <= hi <= n - 1.
    auto above = std::upper_bound(points_.begin(), points_.end(), f,
                                  [](double v, const KFactorPoint& p) { return v < p.frequency; });
    const std::size_t hi = static_cast<std::size_t>(above - points_.begin());
    const std::size_t lo = hi - 1;
    const double xlo = points_[lo].frequency, xhi = points_[hi].frequency;
    const double h = xhi - xlo;
    const double a = (xhi - f) / h;
    const double b = (f - xlo) / h;
    return a * points_[lo].kFactor + b * points_[hi].kFactor +
           ((a * a * a - a) * secondDerivatives_[lo] + (b * b * b - b) * secondDerivatives_[hi]) * (h * h) / 6.0;
}

// ---------------------------------------------------------------------------
// The list

const AntennaType* AntennaList::antenna(int position) const {
    if (position <= 0 || position > count()) return nullptr;
    return &antennas_[static_cast<std::size_t>(position - 1)];
}

int AntennaList::positionOf(std::string_view name) const {
    auto it = std::lower_bound(antennas_.begin(), antennas_.end(), name, LessByName);
    if (it == antennas_.end() || Text_View(it->name) != name) return 0;
    return static_cast<int>(it - antennas_.begin()) + 1;
}

AntennaEdit AntennaList::addAntenna(std::string_view name, int* position) {
    AntennaType antenna;
    Text_Copy(antenna.name, FieldName(name));
    return addAntenna(std::move(antenna), position);
}

AntennaEdit AntennaList::addAntenna(AntennaType antenna, int* position) {
    const std::string name = FieldName(Text_View(antenna.name));
    Text_Copy(antenna.name, name);  // no stale bytes after the terminator reach the file
    if (!FileIO_IsValidFileName(antenna.name)) return AntennaEdit::InvalidName;
    if (!IsValidTable(antenna.kFactors)) return AntennaEdit::InvalidValue;
    auto it = std::lower_bound(antennas_.begin(), antennas_.end(), std::string_view(name), LessByName);
    if (it != antennas_.end() && Text_View(it->name) == name) return AntennaEdit::NameExists;
    it = antennas_.insert(it, std::move(antenna));
    if (position) *position = static_cast<int>(it - antennas_.begin()) + 1;
    return AntennaEdit::Ok;
}

AntennaEdit AntennaList::renameAntenna(int position, std::string_view name, int* newPosition) {
    if (!antenna(position)) return AntennaEdit::NoSuchAntenna;
    const std::string fieldName = FieldName(name);
    if (!FileIO_IsValidFileName(fieldName.c_str())) return AntennaEdit::InvalidName;
    const int existing = positionOf(fieldName);
    if (existing != 0 && existing != position) return AntennaEdit::NameExists;
    AntennaType moved = std::move(antennas_[static_cast<std::size_t>(position - 1)]);
    antennas_.erase(antennas_.begin() + (position - 1));
    Text_Copy(moved.name, fieldName);
    return addAntenna(std::move(moved), newPosition);  // cannot fail: checked above
}

AntennaEdit AntennaList::removeAntenna(int position) {
    if (!antenna(position)) return AntennaEdit::NoSuchAntenna;
    antennas_.erase(antennas_.begin() + (position - 1));
    return AntennaEdit::Ok;
}

AntennaEdit AntennaList::addPoint(int antennaPosition, KFactorPoint point, int* pointPosition) {
    if (!antenna(antennaPosition)) return AntennaEdit::NoSuchAntenna;
    auto& points = antennas_[static_cast<std::size_t>(antennaPosition - 1)].kFactors;
    if (points.size() >= static_cast<std::size_t>(kAntennaMaxPoints)) return AntennaEdit::ListFull;
    if (!IsFinitePoint(point)) return AntennaEdit::InvalidValue;
    auto it = std::lower_bound(points.begin(), points.end(), point.frequency, LessByFrequency);
    if (it != points.end() && it->frequency == point.frequency) return AntennaEdit::PointExists;
    it = points.insert(it, point);
    if (pointPosition) *pointPosition = static_cast<int>(it - points.begin()) + 1;
    return AntennaEdit::Ok;
}

AntennaEdit AntennaList::removePoint(int antennaPosition, int pointPosition) {
    if (!antenna(antennaPosition)) return AntennaEdit::NoSuchAntenna;
    auto& points = antennas_[static_cast<std::size_t>(antennaPosition - 1)].kFactors;
    if (pointPosition <= 0 || pointPosition > static_cast<int>(points.size())) return AntennaEdit::NoSuchPoint;
    points.erase(points.begin() + (pointPosition - 1));
    return AntennaEdit::Ok;
}

AntennaEdit AntennaList::changePoint(int antennaPosition, int pointPosition, KFactorPoint point,
                                     int* newPointPosition) {
    if (!antenna(antennaPosition)) return AntennaEdit::NoSuchAntenna;
    auto& points = antennas_[static_cast<std::size_t>(antennaPosition - 1)].kFactors;
    if (pointPosition <= 0 || pointPosition > static_cast<int>(points.size())) return AntennaEdit::NoSuchPoint;
    if (!IsFinitePoint(point)) return AntennaEdit::InvalidValue;
    const std::size_t index = static_cast<std::size_t>(pointPosition - 1);
    for (std::size_t i = 0; i < points.size(); ++i)
        if (i != index && points[i].frequency == point.frequency) return AntennaEdit::PointExists;
    points.erase(points.begin() + static_cast<std::ptrdiff_t>(index));
    auto it = std::lower_bound(points.begin(), points.end(), point.frequency, LessByFrequency);
    it = points.insert(it, point);
    if (newPointPosition) *newPointPosition = static_cast<int>(it - points.begin()) + 1;
    return AntennaEdit::Ok;
}

double AntennaList::kFactorAt(int position, double frequencyMHz) const {
    const AntennaType* a = antenna(position);
    if (!a) return 0.0;
    return KFactorSpline(a->kFactors).at(frequencyMHz);
}

// ---------------------------------------------------------------------------
// antennas.ini

bool AntennaList_Load(const std::string& path, AntennaList& list, AntennaLoadReport* report) {
    AntennaLoadReport result;
    list.clear();
    FileContainer ctx;
    if (!FileIO_OpenRead(path.c_str(), kAntennaFileBufferBytes, ctx)) {
        if (report) *report = result;
        return false;
    }
    if (ctx.format != 1 || ctx.version > kAntennaFileMaxVersion) {
        FileIO_CloseRead(ctx);
        if (report) *report = result;
        return false;
    }
    result.opened = true;

    std::uint8_t block[kAntennaTypeBlockBytes];
    for (;;) {
        if (ctx.nextLength < 0) {
            result.complete = true;
            break;
        }
        // Anything but an antenna block here (a point block first, another
        // file's block, damage) ends the list.
        if (!FileIO_ReadBlock(ctx, block, kAntennaTagType, kAntennaTypeBlockBytes)) break;
        AntennaType antenna;
        const bool terminated = std::memchr(block, 0, sizeof antenna.name) != nullptr;
        Text_Copy(antenna.name, std::string_view(reinterpret_cast<const char*>(block),
                                                 Text_FieldLength(reinterpret_cast<const char*>(block),
                                                                  sizeof antenna.name)));
        if (!ReadPointBlocks(ctx, antenna.kFactors)) {
            ++result.droppedAntennas;  // half a table would give wrong K-factors
            break;
        }
        result.droppedPoints += NormaliseTable(antenna.kFactors);
        // An unterminated, invalid or repeated name drops that antenna only.
        if (!terminated || list.addAntenna(std::move(antenna)) != AntennaEdit::Ok) ++result.droppedAntennas;
    }
    FileIO_CloseRead(ctx);
    if (report) *report = result;
    return true;
}

bool AntennaList_Save(const AntennaList& list, const std::string& path) {
    FileContainer ctx;
    if (!FileIO_OpenWriteAtomic(path.c_str(), kAntennaFileBufferBytes, kAntennaFileVersion, ctx)) return false;
    for (const AntennaType& antenna : list.antennas()) {
        std::uint8_t block[kAntennaTypeBlockBytes] = {};  // the 4 reserved bytes stay zero
        std::memcpy(block, antenna.name, sizeof antenna.name);
        bool ok = FileIO_WriteBlock(ctx, block, kAntennaTagType, kAntennaTypeBlockBytes);
        for (std::size_t i = 0; ok && i < antenna.kFactors.size(); ++i) {
            std::uint8_t point[kKFactorPointBlockBytes];
            PutDouble(point, antenna.kFactors[i].frequency);
            PutDouble(point + 8, antenna.kFactors[i].kFactor);
            ok = FileIO_WriteBlock(ctx, point, kAntennaTagPoint, kKFactorPointBlockBytes);
        }
        if (!ok) {
            FileIO_AbandonAtomic(ctx);
            return false;
        }
    }
    return FileIO_CommitAtomic(ctx, path.c_str());
}

// ---------------------------------------------------------------------------
// Rows and drop-down items

AntennaTableRow Antenna_TableRow(const AntennaType& antenna) {
    AntennaTableRow row;
    row.name = std::string(Text_View(antenna.name));
    if (antenna.kFactors.size() < 2) {
        row.firstFrequency = row.lastFrequency = "---";
    } else {
        row.firstFrequency = Text_FormatFixed(antenna.kFactors.front().frequency, 6);
        row.lastFrequency = Text_FormatFixed(antenna.kFactors.back().frequency, 6);
    }
    return row;
}

std::vector<AntennaTableRow> Antenna_TableRows(const AntennaList& list) {
    std::vector<AntennaTableRow> rows;
    rows.reserve(list.antennas().size());
    for (const AntennaType& antenna : list.antennas()) rows.push_back(Antenna_TableRow(antenna));
    return rows;
}

std::vector<std::string> Antenna_RingItems(const AntennaList& list) {
    std::vector<std::string> items;
    items.reserve(list.antennas().size() + 1);
    for (const AntennaType& antenna : list.antennas()) items.emplace_back(Text_View(antenna.name));
    items.emplace_back(kAntennaEditItem);
    return items;
}

// ---------------------------------------------------------------------------
// The process-wide list

namespace {

struct AntennaModule {
    std::mutex mutex;  // the measurement threads read K-factors while the editor may change the list
    AntennaList list;
    AntennaTableView* tableView = nullptr;
};

AntennaModule& Module() {
    static AntennaModule module;
    return module;
}

std::string AntennaFilePath(const std::string& directory) {
    return Platform_JoinPath(directory.empty() ? Platform_DataDirectory() : directory, kAntennaFileName);
}

}  // namespace

void Antenna_Init(AntennaTableView* tableView, const std::string& directory) {
    {
        std::lock_guard<std::mutex> lock(Module().mutex);
        Module().list.clear();
        Module().tableView = tableView;
    }
    Antenna_Load(directory);
}

bool Antenna_Load(const std::string& directory) {
    AntennaList loaded;
    const bool ok = AntennaList_Load(AntennaFilePath(directory), loaded);
    {
        std::lock_guard<std::mutex> lock(Module().mutex);
        Module().list = std::move(loaded);
    }
    Antenna_ShowTable();
    AntennaTableView* view;
    int count;
    {
        std::lock_guard<std::mutex> lock(Module().mutex);
        view = Module().tableView;
        count = Module().list.count();
    }
    if (view && count > 0) view->selectRow(1);
    return ok;
}

bool Antenna_Save(const std::string& directory) {
    const std::string path = AntennaFilePath(directory);
    if (AntennaList_Save(Antenna_Snapshot(), path)) return true;
    Platform_SettingsNotSaved(path, errno);
    return false;
}

void Antenna_Close() {
    std::lock_guard<std::mutex> lock(Module().mutex);
    Module().list.clear();
    Module().tableView = nullptr;
}

double Antenna_KFactorAt(int antennaIndex, double frequencyMHz) {
    std::lock_guard<std::mutex> lock(Module().mutex);
    return Module().list.kFactorAt(antennaIndex, frequencyMHz);
}

void Antenna_FillRing(AntennaRingView& ring) { ring.setItems(Antenna_RingItems(Antenna_Snapshot())); }

void Antenna_ShowTable() {
    AntennaTableView* view;
    std::vector<AntennaTableRow> rows;
    {
        std::lock_guard<std::mutex> lock(Module().mutex);
        view = Module().tableView;
        rows = Antenna_TableRows(Module().list);
    }
    // The view is called outside the lock: it may well ask the module back.
    if (view) view->setRows(rows);
}

int Antenna_Count() {
    std::lock_guard<std::mutex> lock(Module().mutex);
    return Module().list.count();
}

bool Antenna_Get(int position, AntennaType& antenna) {
    std::lock_guard<std::mutex> lock(Module().mutex);
    const AntennaType* found = Module().list.antenna(position);
    if (!found) return false;
    antenna = *found;
    return true;
}

AntennaList Antenna_Snapshot() {
    std::lock_guard<std::mutex> lock(Module().mutex);
    return Module().list;
}

AntennaEdit Antenna_Update(const std::function<AntennaEdit(AntennaList&)>& change) {
    std::lock_guard<std::mutex> lock(Module().mutex);
    return change(Module().list);
}
