// The measurement thread of one analyzer: a step machine that makes at most
// one exchange with its analyzer per pass, so that a state request, a stop or
// an error is noticed between any two commands.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "antenna/antenna.h"
#include "measure/engine.h"
#include "measure/link.h"
#include "measure/livestatus.h"
#include "measure/pacing.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

using Lock = std::unique_lock<std::mutex>;

// Shows the track of the providesGps thread through the drive-test view.
class TrackToView : public TrackView {
public:
    explicit TrackToView(DriveTestView& v) : view_(v) {}
    void showTrackImage(const MapImage& rgb) override { view_.trackMap(rgb); }
    void showTrackStatus(const TrackStatusTexts& t) override {
        view_.summaryCell(1, t.fixShare);
        view_.summaryCell(2, t.gridSpacing);
        view_.summaryCell(3, t.trackLength);
        view_.summaryCell(4, t.speed);
    }

private:
    DriveTestView& view_;
};

int BlocksPresent(const DriveTestState& dt) {
    int blocks = 0;
    for (const auto& r : dt.statusRows) blocks = std::max(blocks, r.analyzer);
    return blocks;
}

// The recorder's descriptors and the thread's selection lists, from the marked tags.
void BuildSelection(DriveTestState& dt, ReceiverContext& ctx) {
    const BroadcastStandard& standard = ctx.standard();
    ctx.selectedValues.clear();
    ctx.selectedGraphs.clear();
    ctx.selectedInfoItems.clear();
    ctx.resultWaits.clear();
    // Tree order: values, then graphs, then read-outs, each in catalogue order.
    for (char kind : {'V', 'G', 'P'}) {
        std::vector<int> positions;
        for (const auto& tag : ctx.selectedTags) {
            long long n = 0;
            if (tag.size() >= 2 && tag[0] == kind && Text_ParseInt(tag.substr(1), n)) positions.push_back(static_cast<int>(n));
        }
        std::sort(positions.begin(), positions.end());
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
        for (int n : positions) {
            if (n < 1) continue;
            const std::size_t i = static_cast<std::size_t>(n - 1);
            if (kind == 'V' && i < standard.values.size()) {
                const auto& v = standard.values[i];
                ctx.selectedValues.push_back(v);
                Engine_InsertResultWait(ctx.resultWaits, v.longName, v.query[0] ? v.query : standard.syncQuery,
                                        v.queryGroup, v.modeIndex);
            } else if (kind == 'G' && i < standard.graphs.size()) {
                const auto& g = standard.graphs[i];
                ctx.selectedGraphs.push_back(g);
                Engine_InsertResultWait(ctx.resultWaits, g.longName, g.query, g.queryGroup, g.modeIndex);
            } else if (kind == 'P' && i < standard.infoItems.size()) {
                ctx.selectedInfoItems.push_back(standard.infoItems[i]);
            }
        }
    }
    ctx.levelSlot = ctx.syncSlot = -1;
    for (std::size_t k = 0; k < ctx.selectedValues.size(); ++k) {
        const auto& v = ctx.selectedValues[k];
        if (ctx.levelSlot < 0 && std::strstr(v.name, "Level")) {
            ctx.levelSlot = static_cast<int>(2 * k);
            Text_Copy(ctx.levelQuery, Text_View(v.query));
        }
        if (ctx.syncSlot < 0 && std::strstr(v.name, "Sync")) ctx.syncSlot = static_cast<int>(2 * k);
    }
    Recording_InitFile(ctx.recorder);
    Text_Copy(ctx.recorder.header.distanceUnit, dt.settings.distanceUnit);
    Recording_RegisterMeasurements(ctx.recorder, ctx.selectedValues, ctx.selectedGraphs, ctx.selectedInfoItems);
    Recording_AllocSample(ctx.recorder, ctx.sample);
}

FrequencyRecord MakeFrequencyRecord(const ReceiverContext& ctx, const FrequencyEntry& e) {
    const BroadcastStandard& standard = ctx.standard();
    FrequencyRecord f;
    f.entry = e;
    for (std::size_t p = 0; p < standard.parameters.size(); ++p) {
        const StandardParameter& param = standard.parameters[p];
        std::string text = p < e.parameterValues.size() ? e.parameterValues[p] : std::string();
        std::string value = text;
        if (param.kind == kParameterSelection) {
            const ParameterChoice* chosen = param.choices.empty() ? nullptr : &param.choices.front();
            for (const auto& c : param.choices)
                if (text == c.label) chosen = &c;
            text = chosen ? chosen->label : "";
            value = chosen ? chosen->value : "";
        } else {
            long long n = param.minimum;
            if (!Text_ParseInt(text, n)) n = param.minimum;
            text = value = Text_Format("%lld", n);
        }
        f.setupList.emplace_back(param.header, value);
        f.infoParameters.emplace_back(param.columnTitle, text);
    }
    f.kFactor = ctx.analyzer.antennaIndex > 0 ? Antenna_KFactorAt(ctx.analyzer.antennaIndex, e.frequencyMHz) : 0.0;
    return f;
}

bool StartMonitoring(DriveTestState& dt, ReceiverContext& ctx) {
    Lock lock(dt.lock);
    if (BlocksPresent(dt) != ctx.number - 1) return false;  // blocks appear in analyzer order
    if (ctx.number > 1) {
        dt.statusRows.push_back({"", 0});
        dt.view->statusRowAdded(static_cast<int>(dt.statusRows.size()), "",
                                Status_ByParity(statuscolours::kPlain, static_cast<int>(dt.statusRows.size())));
    }
    ctx.frequencies.clear();
    for (const auto& e : ctx.frequencyEntries) {
        ctx.frequencies.push_back(MakeFrequencyRecord(ctx, e));
        dt.statusRows.push_back({e.description, ctx.number});
        const int row = static_cast<int>(dt.statusRows.size());
        ctx.frequencies.back().statusRow = row;
        dt.view->statusRowAdded(row, e.description, Status_ByParity(statuscolours::kPlain, row));
    }
    if (ctx.frequencies.empty()) {  // an analyzer without frequencies still holds its place
        dt.statusRows.push_back({"", ctx.number});
        dt.view->statusRowAdded(static_cast<int>(dt.statusRows.size()), "",
                                Status_ByParity(statuscolours::kPlain, static_cast<int>(dt.statusRows.size())));
    }
    BuildSelection(dt, ctx);
    ctx.liveGpsFix = ctx.liveSync = -1;
    ctx.liveLevelValid = 0;
    ctx.currentState = kStateMonitoring;
    return true;
}

bool StopMonitoring(DriveTestState& dt, ReceiverContext& ctx) {
    Lock lock(dt.lock);
    if (BlocksPresent(dt) != ctx.number) return false;  // blocks leave from the last analyzer to the first
    while (!dt.statusRows.empty() && dt.statusRows.back().analyzer == ctx.number) {
        dt.view->statusRowRemoved(static_cast<int>(dt.statusRows.size()));
        dt.statusRows.pop_back();
    }
    if (ctx.number > 1 && !dt.statusRows.empty() && dt.statusRows.back().analyzer == 0) {
        dt.view->statusRowRemoved(static_cast<int>(dt.statusRows.size()));
        dt.statusRows.pop_back();
    }
    ctx.frequencies.clear();
    ctx.selectedValues.clear();
    ctx.selectedGraphs.clear();
    ctx.selectedInfoItems.clear();
    ctx.resultWaits.clear();
    ctx.levelSlot = ctx.syncSlot = -1;
    ctx.currentFrequency = 1;
    ctx.currentState = kStateIdle;
    if (ctx.phase > kPhaseInit) {
        ctx.phase = kPhaseFrequencySetup;
        ctx.step = 0;
        ctx.lastSetUpFrequency = 0;
    }
    return true;
}

// Creates one record file per frequency; false when any could not be created.
bool CreateRecordFiles(DriveTestState& dt, ReceiverContext& ctx) {
    Lock lock(dt.lock);
    // The first thread to create files starts a new recording and a new list;
    // Pause and Record in between keep the files and the list.
    if (dt.threadsWithFiles++ == 0) dt.recordFiles.clear();
    const AnalyzerSlot& slot = ctx.analyzer;
    bool allCreated = true;
    for (auto& f : ctx.frequencies) {
        Recording_InitFile(f.file);
        Text_Copy(f.file.header.distanceUnit, dt.settings.distanceUnit);
        Recording_RegisterMeasurements(f.file, ctx.selectedValues, ctx.selectedGraphs, ctx.selectedInfoItems);
        RecordHeaderSource src;
        src.description = f.entry.description;
        src.created = DateTime_Split(DateTime_Now());
        src.standardName = ctx.standard().name;
        src.modelName = slot.family.modelName;
        src.frequencyMHz = f.entry.frequencyMHz;
        src.parameters = f.infoParameters;
        if (slot.inputIndex >= 1 && static_cast<std::size_t>(slot.inputIndex) <= slot.family.inputImpedances.size())
            src.inputName = slot.family.inputImpedances[static_cast<std::size_t>(slot.inputIndex - 1)].label;
        src.serialNumber = slot.serialNumber;
        src.firmwareVersion = slot.firmwareVersion;
        AntennaType antenna;
        if (slot.antennaIndex > 0 && Antenna_Get(slot.antennaIndex, antenna)) {
            src.antennaName = antenna.name;
            src.kFactor = f.kFactor;
        }
        Recording_BuildHeaderInfo(f.file, src);
        const std::string name = Recording_FileName(src.created, f.entry.description);
        f.fileOpen = Recording_CreateFile(*f.ctx, f.file, dt.settings.outputDirectory.c_str(), name.c_str());
        f.filePath = f.ctx->path;
        f.sampleCount = 0;
        f.samplesWritten = 0;
        if (f.fileOpen)
            dt.recordFiles.push_back(f.filePath);
        else
            allCreated = false;
    }
    Recording_InitFile(ctx.recorder);
    Text_Copy(ctx.recorder.header.distanceUnit, dt.settings.distanceUnit);
    Text_Copy(ctx.recorder.track.distanceUnit, dt.settings.distanceUnit);
    Recording_RegisterMeasurements(ctx.recorder, ctx.selectedValues, ctx.selectedGraphs, ctx.selectedInfoItems);
    ctx.currentState = kStateRecording;
    return allCreated;
}

void CloseRecordFiles(DriveTestState& dt, ReceiverContext& ctx) {
    Lock lock(dt.lock);
    dt.threadsWithFiles -= 1;
    for (auto& f : ctx.frequencies) {
        if (f.fileOpen) FileIO_Close(*f.ctx);
        f.fileOpen = false;
        f.sampleCount = 0;
        Recording_FreeFile(f.file);
    }
    for (const auto& f : ctx.frequencies)
        dt.view->statusRowColour(f.statusRow, Status_ByParity(statuscolours::kPlain, f.statusRow));
    ctx.recorder.samples.clear();
    ctx.currentState = kStateMonitoring;
}

void Transitions(DriveTestState& dt, ReceiverContext& ctx) {
    const int cur = ctx.currentState, target = ctx.targetState;
    if (cur == kStateIdle && target == kStateMonitoring) {
        StartMonitoring(dt, ctx);
    } else if (cur == kStateMonitoring && target == kStateIdle) {
        StopMonitoring(dt, ctx);
    } else if (cur == kStateMonitoring && target == kStateRecording) {
        if (!CreateRecordFiles(dt, ctx)) DriveTest_Stop(kStopFileCreation);
    } else if (target == kStateMonitoring && (cur == kStateRecording || cur == kStatePaused) &&
               ctx.phase <= kPhaseWaiting) {
        CloseRecordFiles(dt, ctx);
    } else if (target == kStatePaused && cur == kStateRecording) {
        if (ctx.providesGps) {
            Track_ResetSpeed(ctx.recorder.track);
            Lock lock(dt.lock);
            dt.view->summaryCell(4, "---");
        }
        ctx.currentState = kStatePaused;
    } else if (target == kStateRecording && cur == kStatePaused) {
        ctx.currentState = kStateRecording;
    }
}

void WaitingPhase(DriveTestState& dt, ReceiverContext& ctx) {
    if (ctx.step == 0) {
        ctx.stepCount = 2;
        ctx.step = 1;
        return;
    }
    if (Engine_ReinitRequested(ctx)) return;
    bool may;
    {
        Lock lock(dt.lock);
        const std::uint32_t revision = dt.clock.revision;
        may = SampleClock_MayMeasure(dt.clock, ctx.number, ctx.currentState, DateTime_Now());
        if (dt.clock.revision != revision) dt.changed.notify_all();  // only a real change wakes the others
        ctx.sampleNumber = dt.clock.sampleNumber;
    }
    if (may) {
        ctx.phase = kPhaseMeasuring;
        ctx.step = 0;
        ctx.gpsShared = false;
        ctx.leftSample = false;
    } else if (Engine_LiveQueryDue(ctx, DateTime_Now())) {
        Engine_LiveQuery(dt, ctx);
    }
}

void ShowStoredSample(DriveTestState& dt, ReceiverContext& ctx, FrequencyRecord& f) {
    const RecordSample& s = ctx.sample;
    if (ctx.frequencies.size() > 1)
        dt.view->statusRowColour(f.statusRow, Status_ByParity(statuscolours::kPlain, f.sampleCount));
    if (ctx.levelSlot >= 0) {
        const std::size_t i = static_cast<std::size_t>(ctx.levelSlot);
        const bool valid = i + 1 < s.values.size() && s.values[i] != 0.0;
        dt.view->statusCell(f.statusRow, 3, valid ? Text_Format("%.1lf", s.values[i + 1] + f.kFactor) : "---",
                            Status_ByParity(statuscolours::kPlain, f.statusRow));
    }
    RowColour colour;
    int sync = -1;
    if (ctx.syncSlot >= 0) {
        const std::size_t i = static_cast<std::size_t>(ctx.syncSlot);
        sync = i + 1 < s.values.size() && s.values[i] != 0.0 && s.values[i + 1] != 0.0 ? 1 : 0;
    }
    dt.view->statusCell(f.statusRow, 4, Status_SyncText(sync, f.statusRow, colour), colour);
    if (ctx.providesGps) {
        TrackToView tv(*dt.view);
        Recording_ShowTrack(ctx.recorder, tv);
        if (s.head.gps.gpsFix == 1)
            dt.view->gpsIndicator("GPS\nok", statuscolours::kGpsOk);
        else
            dt.view->gpsIndicator("No\nGPS", statuscolours::kGpsNone);
    }
}

// Called with the drive-test lock held: true once the thread finds that it
// left its sample unread (SampleClock_LeaveStalled). Its sample is then stored
// without values, with the times and position of the others' and the reason
// as status; the thread rejoins at the next sample it is ready for.
bool NoticeLeft(DriveTestState& dt, ReceiverContext& ctx) {
    if (ctx.phase != kPhaseMeasuring && ctx.phase != kPhaseStoring) return false;
    if (ctx.leftSample || !SampleClock_TakeLeft(dt.clock, ctx.number, ctx.left)) return false;
    ctx.leftSample = true;
    ctx.phase = kPhaseStoring;
    ctx.step = 0;
    return true;
}

// The status of a stored sample.
std::string SampleStatus(const ReceiverContext& ctx) {
    if (ctx.reinitReason[0]) return std::string(Text_View(ctx.reinitReason));
    if (ctx.leftSample) {
        if (ctx.troubleActive && ctx.troubleCause[0]) return std::string(Text_View(ctx.troubleCause));
        return Text_Format("%s -> %s", ctx.stepDescription, ctx.stepError[0] ? ctx.stepError : "Timeout");
    }
    return ctx.attenuationChanged != 0 ? kStatusAttenuation : kStatusNoError;
}

void StoringPhase(DriveTestState& dt, ReceiverContext& ctx) {
    if (ctx.step == 0) {
        ctx.stepCount = 2;
        if (ctx.reinitReason[0] || ctx.leftSample) {  // a spoiled sample carries no values
            Recording_ResetSample(ctx.recorder, ctx.sample);
            ctx.sample.head.gps = GpsFix{};
            ctx.sample.head.gps.speed = -1.0;
        }
        if (ctx.providesGps && !ctx.leftSample) Engine_ShareGps(dt, ctx);
        ctx.step = 1;
        return;
    }
    bool writeFailed = false, lowDisk = false;
    int freeMB = 0;
    {
        Lock lock(dt.lock);
        if (NoticeLeft(dt, ctx)) return;  // stored from step 0 again, without values
        LeftSample sample = ctx.left;     // the times and position of the sample, as the others store them
        if (!ctx.leftSample) {
            const std::uint32_t revision = dt.clock.revision;
            const bool closed = SampleClock_IsClosed(dt.clock, ctx.number, DateTime_Now());
            if (dt.clock.revision != revision) dt.changed.notify_all();
            if (!closed) return;
            sample = LeftSample{dt.clock.sampleStart, dt.clock.sampleEnd, dt.clock.sharedGps};
        }
        if (ctx.frequencies.empty()) {
            ctx.phase = kPhaseFrequencySetup;
            ctx.step = 0;
            return;
        }
        FrequencyRecord& f = ctx.frequencies[static_cast<std::size_t>(ctx.currentFrequency - 1)];
        f.sampleCount += 1;
        ctx.sample.head.cycleEnd = sample.end;
        ctx.sample.head.cycleStart = sample.start;
        ctx.sample.head.gps = sample.gps;
        Text_Copy(ctx.sample.head.status, SampleStatus(ctx));
        ShowStoredSample(dt, ctx, f);
        if (f.fileOpen) {
            if (Recording_WriteSample(*f.ctx, f.file, ctx.sample)) {
                f.samplesWritten += 1;
                Engine_SampleWritten(f.filePath, f.samplesWritten);
            } else {
                writeFailed = true;
            }
        }
        if (ctx.providesGps) {
            freeMB = DriveTest_FreeDiskMB(dt.settings.outputDirectory);
            dt.view->summaryCell(5, Text_Format("%d", freeMB));
            lowDisk = freeMB < kRecordLowFreeMB;
        }
    }
    ctx.leftSample = false;
    if (writeFailed) DriveTest_Stop(kStopFileWrite);
    if (lowDisk)
        DriveTest_Stop(Text_Format("Free diskspace (%d MB) below lower limit (%d MB)", freeMB, kRecordLowFreeMB));
    ctx.currentFrequency = ctx.currentFrequency % static_cast<int>(ctx.frequencies.size()) + 1;
    if (Engine_ReinitRequested(ctx)) return;
    ctx.phase = kPhaseFrequencySetup;
    ctx.step = 0;
}

void StatusRefresh(DriveTestState& dt, ReceiverContext& ctx) {
    const double now = DateTime_Now();
    const bool hasFrequencies = !ctx.frequencies.empty();
    const bool phaseChanged =
        ctx.phase != ctx.displayPhase &&
        (ctx.phase == kPhaseInit || (ctx.phase == kPhaseFrequencySetup && ctx.frequencies.size() >= 2) ||
         ctx.phase == kPhaseStoring);
    if (!(now > ctx.lastStatusTime + 1.0 || (hasFrequencies && phaseChanged))) return;
    std::string progress = Status_ProgressText(ctx) + Status_Watchdog(ctx);
    const std::string label = Status_PhaseLabel(ctx);
    ctx.lastStatusTime = now;
    ctx.displayPhase = ctx.phase;
    if (!hasFrequencies) return;
    Lock lock(dt.lock);
    const FrequencyRecord& f = ctx.frequencies[static_cast<std::size_t>(ctx.currentFrequency - 1)];
    std::string text = label + " " + progress;
    const std::string secondLine = Status_SecondLine(ctx);
    if (!secondLine.empty()) text += "\n" + secondLine;
    dt.view->statusCell(f.statusRow, 2, text, Status_ByParity(Status_PhaseColours(ctx), f.statusRow));
    if (ctx.currentState != kStateMonitoring && ctx.currentState != kStatePaused) return;
    if (ctx.providesGps) {
        if (ctx.liveGpsFix == 1)
            dt.view->gpsIndicator("GPS\nok", statuscolours::kGpsOk);
        else if (ctx.liveGpsFix == 0)
            dt.view->gpsIndicator("No\nGPS", statuscolours::kGpsNone);
        else
            dt.view->gpsIndicator("", statuscolours::kGpsUnknown);
        ctx.liveGpsFix = -1;
    }
    if (ctx.levelSlot >= 0) {
        dt.view->statusCell(f.statusRow, 3, ctx.liveLevelValid ? Text_Format("%.1lf", ctx.liveLevel + f.kFactor) : "---",
                            Status_ByParity(statuscolours::kPlain, f.statusRow));
        ctx.liveLevelValid = 0;
    }
    if (ctx.syncSlot >= 0) {
        RowColour colour;
        std::string sync = Status_SyncText(ctx.liveSync, f.statusRow, colour);
        dt.view->statusCell(f.statusRow, 4, sync, colour);
        ctx.liveSync = -1;
    }
}

void PhaseStep(DriveTestState& dt, ReceiverContext& ctx) {
    switch (ctx.phase) {
    case kPhaseInit:
        Engine_InitPhase(dt, ctx);
        break;
    case kPhaseFrequencySetup:
        Engine_FrequencySetupPhase(dt, ctx);
        break;
    case kPhaseWaiting:
        WaitingPhase(dt, ctx);
        break;
    case kPhaseMeasuring:
        Engine_MeasuringPhase(dt, ctx);
        break;
    default:
        StoringPhase(dt, ctx);
        break;
    }
}

// Waits under the drive-test lock as the pause says: until its time, or
// earlier when the thread's command changes (a request) and, for a wait on
// the sample clock, when the clock changes. Never less than a millisecond,
// so that a pause that is already over cannot turn into a spin, and never
// more than a second, should the wall clock be set back.
void Pause(DriveTestState& dt, ReceiverContext& ctx, Lock& lock, const PassPause& pause) {
    if (pause.kind == PauseKind::kNone) return;
    const double seconds = std::clamp((pause.until - DateTime_Now()) / DateTime_TimeScale(), 0.001, 1.0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const std::int32_t command = ctx.command;
    const std::uint32_t revision = dt.clock.revision;
    const bool onClock = pause.kind == PauseKind::kClock;
    dt.changed.wait_until(lock, deadline, [&] {
        return ctx.command != command || (onClock && dt.clock.revision != revision);
    });
}

// Called with the drive-test lock held.
void Publish(ReceiverContext& ctx) {
    ReceiverSnapshot& p = ctx.published;
    p.currentState = ctx.currentState;
    p.phase = ctx.phase;
    p.step = ctx.step;
    p.stepDescription = ctx.stepDescription;
    p.stepError = ctx.stepError;
    p.lastReinitReason = ctx.lastReinitReason;
    p.passes = ctx.passes;
    p.sampleCounts.clear();
    for (const auto& f : ctx.frequencies) p.sampleCounts.push_back(f.sampleCount);
}

void ExitActions(ReceiverContext& ctx) {
    const BroadcastStandard& standard = ctx.standard();
    // Leave the attenuator hysteresis as the analyzer's own default.
    for (const auto& p : standard.parameters) {
        if (p.kind != kParameterSelection || !p.adjacentFlag || p.choices.empty()) continue;
        TcpScpi_Write(ctx.session, Text_Format("%s %s", p.header, p.choices.front().value).c_str());
    }
    if (ctx.analyzer.family.localCommand[0]) TcpScpi_Write(ctx.session, ctx.analyzer.family.localCommand);
    TcpScpi_Disconnect(ctx.session);
    for (auto& f : ctx.frequencies)
        if (f.fileOpen) FileIO_Close(*f.ctx);
    ctx.frequencies.clear();
    ctx.selectedValues.clear();
    ctx.selectedGraphs.clear();
    ctx.selectedInfoItems.clear();
    ctx.resultWaits.clear();
}

}  // namespace

void Engine_ShareGps(DriveTestState& dt, ReceiverContext& ctx) {
    if (!ctx.providesGps || ctx.gpsShared) return;
    Lock lock(dt.lock);
    const SampleClock& c = dt.clock;
    // Only into the sample the thread is reading: one it left may have closed, and a new one begun.
    if (!c.sampleInProgress || c.sampleNumber != ctx.sampleNumber || !(c.maskReady & (1u << (ctx.number - 1))) ||
        (c.maskLeft & (1u << (ctx.number - 1))))
        return;
    ctx.gpsShared = true;
    dt.clock.sharedGps = ctx.sample.head.gps;
    ctx.sample.head.cycleStart = dt.clock.sampleStart;
    RecordSample point;
    point.head = ctx.sample.head;
    ctx.recorder.samples.push_back(point);
    Recording_UpdateTrack(ctx.recorder);
    // Every analyzer records the speed derived from the track.
    dt.clock.sharedGps.speed = ctx.recorder.samples.back().head.gps.speed;
    while (ctx.recorder.samples.size() > 5) Recording_SampleListRemove(ctx.recorder, 1);
}

void ReceiverThread(ReceiverContext* c) {
    DriveTestState& dt = *Engine_State();
    ReceiverContext& ctx = *c;
    ctx.targetState = ctx.currentState = kStateIdle;
    ctx.phase = kPhaseInit;
    ctx.step = 0;
    ctx.displayPhase = 0;
    ctx.lastPassStep = -1;
    ctx.lastStatusTime = 0.0;
    ctx.waitDeadline = ctx.resultWaitDeadline = -1.0;
    ctx.currentFrequency = 1;
    ctx.levelSlot = ctx.syncSlot = -1;
    ctx.liveGpsFix = ctx.liveSync = -1;
    ctx.liveLevelValid = 0;

    for (;;) {
        {
            Lock lock(dt.lock);
            if (ctx.command == -kStateEnded) break;
            if (ctx.command < 0) ctx.targetState = -ctx.command;
            NoticeLeft(dt, ctx);
        }
        const int phaseBefore = ctx.phase, stepBefore = ctx.step;
        const LinkState linkBefore = ctx.link;
        const int checkBefore = ctx.checkItem;
        Transitions(dt, ctx);
        if (Link_NeedsRepair(ctx))
            Link_Repair(dt, ctx);
        else
            PhaseStep(dt, ctx);
        StatusRefresh(dt, ctx);
        if (ctx.step != ctx.lastPassStep) ctx.stuckCount = 0;
        // Progress is a change of phase or step, or of the link's mending. An idle thread's
        // FrequencySetup step 0 keeps lastPassStep at -1 for the watchdog's sake, but it is no progress.
        const bool stepMoved = ctx.phase != phaseBefore || ctx.step != stepBefore;
        const bool progressed = stepMoved || ctx.link != linkBefore || ctx.checkItem != checkBefore;
        {
            Lock lock(dt.lock);
            if (ctx.command == -ctx.targetState && ctx.targetState == ctx.currentState) {
                ctx.command = ctx.currentState;
                dt.changed.notify_all();
            }
            const double now = DateTime_Now();
            if (stepMoved) ctx.answeredAt = now;
            SampleClock_Answered(dt.clock, ctx.number, ctx.answeredAt);
            // A new connection because the previous sample was left in the middle of a query is no trouble.
            if (ctx.lostAnswer && ctx.phase == kPhaseMeasuring) SampleClock_Trouble(dt.clock, ctx.number);
            ctx.lostAnswer = false;
            if (SampleClock_LeaveStalled(dt.clock, now)) dt.changed.notify_all();
            ctx.passes += 1;
            Publish(ctx);
            Pause(dt, ctx, lock, Pacing_AfterPass(ctx, dt.clock, progressed, now));
        }
        ctx.lastPassStep = ctx.step;
    }
    ExitActions(ctx);
    Lock lock(dt.lock);
    Publish(ctx);
    ctx.command = kStateEnded;
    dt.changed.notify_all();
}
