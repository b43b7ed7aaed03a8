#pragma once
// The KMZ wizard as the application runs it: the pages after the file
// selection (level configuration, scope, colour assignment, progress), the
// worker thread that loads the record files and then waits for the user's
// choices before it writes the archive, and the conversion state by which the
// pages and the worker talk.
//
// Conversion state (one integer under one lock): 0 idle or cancel requested,
// 1 worker loading or scope page active, 2 colour page active, 3 archive being
// written, -1 worker finished. The pages reach the screen only through the
// views below; the worker calls only setters and messages, never anything
// that waits for the main thread, so a page that cancels and waits for the
// worker can never wait for itself.
#include <array>
#include <string>
#include <vector>

#include "export/kmz/colours.h"
#include "export/kmz/kmzdriver.h"
#include "export/kmz/levelconfig.h"
#include "export/kmz/profiles.h"
#include "selection/recordentry.h"

constexpr int kKmzStateIdle = 0;  // also: cancel requested
constexpr int kKmzStateScope = 1;
constexpr int kKmzStateColours = 2;
constexpr int kKmzStateWriting = 3;
constexpr int kKmzStateFinished = -1;

inline constexpr const char* kKmzNoMeasurementMessage =
    "Please select at least one numeric measurement.\n(Apart from optional graph- or parameter measurements)";
inline constexpr const char* kKmzNoIndicatorMessage = "Please select at least one indicator.";
inline constexpr const char* kKmzScopeNote =
    "Every measurement and indicator add to the export file size but provide you later with more flexibility for "
    "interpretation.\nThe same applies for a high maximum zoom resolution.";
constexpr std::uint32_t kKmzHighlight = 0xFFFF96;  // (255, 255, 150)

enum class KmzPage { Start, FileSelection, Level, Scope, Colours, Progress };

// One item of the scope tree: inserted under the "|"-separated group path.
struct KmzScopeItem {
    std::string path;   // Latin-1
    std::string label;  // Latin-1
    std::string value;  // "V%d" (V0 speed), "G%d", "P%d"
    bool operator==(const KmzScopeItem&) const = default;
};

// Page "Step 3 of 5: Scope Selection". Its progress bar shows the loading.
class KmzScopeView : public KmzLoadView {
public:
    virtual void clearTree() = 0;
    virtual void insertTreeItem(const KmzScopeItem& item) = 0;
    virtual void markAllTreeItems(bool marked) = 0;
    virtual std::vector<std::string> markedTreeValues() = 0;  // main thread only
    virtual void highlightTree(bool on) = 0;
    virtual void highlightIndicators(bool on) = 0;
    virtual std::array<bool, 3> indicators() = 0;  // worst, average, best; main thread only
    virtual void setIndicators(const std::array<bool, 3>& on) = 0;
    virtual double zoomMetres() = 0;  // value of the chosen `RING_ZOOM` item; main thread only
    virtual void setZoomMetres(double metres) = 0;
    // true: the selection controls, false: the progress bar in their place.
    virtual void showSelection(bool selection) = 0;
    virtual void showScopeMessage(const std::string& text) = 0;
};

// Page "Step 4 of 5: Color Assignment": the anchor tree and the profiles.
class KmzColourPageView : public KmzColourView, public KmzProfileComboView {
public:
    // Rebuilds the tree: one row per selected channel under its group path.
    virtual void setColourRows(const KmzColourScope& scope) = 0;
    virtual void showColourTree(bool shown) = 0;
};

// The progress page.
class KmzProgressView : public KmzWriteView {
public:
    virtual void enableHome(bool enabled) = 0;
    virtual void showProgressBar(bool shown) = 0;
};

class KmzWizardView : public KmzScopeView, public KmzColourPageView, public KmzProgressView {
public:
    virtual void showPage(KmzPage page) = 0;
    // A message box titled "Fieldtrace" from the worker. Queued to the main
    // thread; must not wait for it.
    virtual void threadMessage(const std::string& text) = 0;
};

// The items of the scope tree: the speed under "Values", then every value,
// graph and text parameter channel under the groups of its name path.
std::vector<KmzScopeItem> Kmz_ScopeItems(const KmzDataSet& data);

// The scope from the marked tree values, the indicators and the zoom. false
// with the message (and which part to highlight) when no value channel or no
// indicator is chosen.
struct KmzScopeProblem {
    std::string message;
    bool tree = false;
    bool indicators = false;
};
bool Kmz_ReadScope(const KmzDataSet& data, const std::vector<std::string>& marked, const std::array<bool, 3>& indicators,
                   double zoomMetres, KmzScope& scope, KmzScopeProblem& problem);

// Module start and end. The views must outlive the module; dataDirectory
// empty means Platform_DataDirectory() (profiles and cad.ini live there).
void Kmz_Init(KmzWizardView& view, KmzLevelTableView& levelView, const std::string& dataDirectory = {});
void Kmz_Close();

// The file selection's Next in the KMZ mode: the marked files and their
// folder; fills the level page and shows it.
void Kmz_Start(const std::vector<RecordFileEntry>& marked, const std::string& recordFolder);

// Page callbacks (main thread).
void onKmzLevelConfigurationHome();
void onKmzLevelConfigurationPrevious();
void onKmzLevelConfigurationNext();
void onKmzLevelConfigurationUpdateUnit();
// The level table: the active cell moved onto (tableRow, column), or editing ended.
enum class KmzTableEvent { ActiveCellMoved, EditEnded };
void onKmzLevelConfigurationTable(KmzTableEvent event, int tableRow, int column);
void onKmzScopeHome();
void onKmzScopePrevious();
void onKmzScopeNext();
void onKmzScopeMeasAll();
void onKmzScopeMeasNone();
void onKmzColorsHome();
void onKmzColorsPrevious();
void onKmzColorsNext();
void onKmzColorsAuto();
void onKmzColorsProfiles(const std::string& name);
void onKmzDelProfile();
void onKmzProgHome();

int Kmz_State();
// Waits until the worker has finished (state -1); false after timeoutMs.
bool Kmz_WaitFinished(int timeoutMs);
