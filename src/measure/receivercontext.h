#pragma once
// What one measurement thread owns, and the shared state of a drive test.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "instrument/analyzerslot.h"
#include "instrument/tcpscpi.h"
#include "measure/sampleclock.h"
#include "records/recording.h"

enum ReceiverState : std::int32_t {
    kStateEnded = 1,
    kStateIdle = 2,
    kStateMonitoring = 3,
    kStateRecording = 4,
    kStatePaused = 5,
};

enum ReceiverPhase : std::int32_t {
    kPhaseInit = 1,
    kPhaseFrequencySetup = 2,
    kPhaseWaiting = 3,
    kPhaseMeasuring = 4,
    kPhaseStoring = 5,
};

// One row of the frequency list as the wizard hands it over.
struct FrequencyEntry {
    std::string description;  // at most 20 characters, a valid file name
    double frequencyMHz = 500.0;
    // One text per parameter of the standard, in its order: the choice's label, or the number "%d".
    std::vector<std::string> parameterValues;
};

// The drive-test settings of the basic page that the threads read.
struct BasicSettings {
    std::string standard;      // standard name
    std::string levelUnit;     // level unit name (Latin-1)
    std::string distanceUnit;  // "kilometers [km]" or "miles [mi]"
    std::string outputDirectory;
};

// One frequency of a measurement thread, with its record file.
struct FrequencyRecord {
    FrequencyEntry entry;
    std::vector<std::pair<std::string, std::string>> setupList;  // (parameter header, value sent)
    std::vector<std::pair<std::string, std::string>> infoParameters;  // (column title, label) for the header
    double kFactor = 0.0;  // dB/m of the antenna at this frequency, 0 without antenna
    int sampleCount = 0;     // samples taken since the file was created (shown)
    int samplesWritten = 0;  // of them, those the file holds
    int statusRow = 0;  // 1-based row in the status table
    RecordFile file;
    std::unique_ptr<FileContainer> ctx = std::make_unique<FileContainer>();  // open while recording
    bool fileOpen = false;
    std::string filePath;
};

// How the thread's connection to its analyzer stands (see measure/link.h).
enum class LinkState : std::int32_t {
    kUp,         // exchanges go ahead
    kOutOfStep,  // a reply is lost or still owed: a new connection before the next exchange
    kDown,       // the connection is gone: a new one, then the analyzer's setup read back
    kChecking,   // connected again after a loss: reading the setup back, one item per pass
};

struct ResultWait {
    char longName[100] = {};
    char query[100] = {};
    std::int32_t queryGroup = 0;
    std::int32_t modeIndex = -1;
};

// What other threads may read of a measurement thread: the thread copies it
// under the drive-test lock after every pass of its loop, so that a reader
// never sees a text or count half-written.
struct ReceiverSnapshot {
    int currentState = 0;
    int phase = 0;
    int step = 0;
    std::string stepDescription, stepError, lastReinitReason;
    std::vector<int> sampleCounts;  // per frequency, since the files were created
    std::uint64_t passes = 0;
};

struct ReceiverContext {
    // Filled by whoever starts the drive test.
    std::int32_t number = 0;  // 1-based; bit 2^(number-1) in the sample clock masks
    std::int32_t command = kStateIdle;
    std::int32_t providesGps = 0;
    AnalyzerSlot analyzer;
    std::vector<FrequencyEntry> frequencyEntries;  // this analyzer's block of the frequency list
    std::vector<std::string> selectedTags;         // "V%d", "G%d", "P%d" of the marked measurements

    // The thread's own state.
    std::int32_t targetState = kStateIdle;
    std::int32_t currentState = kStateIdle;
    std::int32_t phase = kPhaseInit;
    std::int32_t step = 0;
    std::int32_t stepCount = 0;
    std::int32_t lastPassStep = -1;
    std::int32_t stuckCount = 0;
    std::int32_t displayPhase = 0;
    double lastStatusTime = 0.0;
    double dataValidSince = -1.0;
    double syncSince = -1.0;
    double waitDeadline = -1.0;
    double resultWaitDeadline = -1.0;
    std::int32_t resultWaitItem = 0;  // next query of the result wait's round: 0 the sync state, i entry i
    double settleUntil = 0.0;
    std::vector<FrequencyRecord> frequencies;
    std::int32_t currentFrequency = 1;
    std::int32_t lastSetUpFrequency = 0;
    std::vector<MeasurementValue> selectedValues;
    std::vector<MeasurementGraph> selectedGraphs;
    std::vector<StandardInfoItem> selectedInfoItems;
    std::vector<ResultWait> resultWaits;
    std::int32_t currentMode = 1;
    std::int32_t levelSlot = -1;
    std::int32_t syncSlot = -1;
    char levelQuery[100] = {};
    ScpiSession session;
    LinkState link = LinkState::kUp;
    std::int32_t checkItem = 0;  // the setup item read back next while checking
    double answeredAt = 0.0;     // date-time of the last reply from the analyzer or step moved on
    bool lostAnswer = false;     // since the last pass: a reply or the connection was lost (not merely late)
    // What the status shows as the row's second line while an exchange is
    // retried or the connection is made again ("%s -> %s"); kept for one
    // refresh after the trouble is over, so that a short one shows too.
    char troubleText[220] = {};
    char troubleCause[220] = {};  // the first text of the trouble: the status of a sample left unread
    bool troubleActive = false;
    std::string installedOptions;

    // The sample being filled, laid out by the recorder's descriptors.
    RecordFile recorder;
    RecordSample sample;
    std::size_t valueFill = 0;
    std::size_t graphFill = 0;
    std::size_t itemFill = 0;
    std::int32_t attenuationChanged = 0;
    std::vector<RecordSample> track;  // the providesGps thread's newest samples, for the track
    std::uint32_t sampleNumber = 0;   // the sample clock's number of the sample being measured
    bool gpsShared = false;           // providesGps: the position of this sample is in the clock
    bool leftSample = false;          // the thread left its sample unread; `left` holds its times
    LeftSample left;

    std::int32_t liveGpsFix = -1;
    std::int32_t liveSync = -1;
    std::int32_t liveLevelValid = 0;
    double liveLevel = 0.0;
    // An unusable live answer (no signal) is asked again no sooner than this
    // date-time value, so that an analyzer without signal is not asked a
    // thousand times a second.
    double liveRetryAt = 0.0;
    char stepDescription[100] = {};
    char stepError[100] = {};
    char reinitReason[220] = {};
    char lastReinitReason[220] = {};
    std::uint64_t passes = 0;  // passes of the loop so far, for status and tests
    ReceiverSnapshot published;  // guarded by the drive-test lock

    ReceiverContext() = default;
    ReceiverContext(const ReceiverContext&) = delete;
    ReceiverContext& operator=(const ReceiverContext&) = delete;

    const BroadcastStandard& standard() const {
        return analyzer.family.standards[static_cast<std::size_t>(analyzer.standardIndex - 1)];
    }
};
