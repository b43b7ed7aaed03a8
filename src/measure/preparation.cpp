// Preparing an analyzer: the Init sequence after every (re)connection, the
// frequency setup before a frequency is measured, the mode switch, and the
// two waits they share (valid data and sync; results).
#include <cstring>

#include "instrument/configcheck.h"
#include "measure/engine.h"
#include "measure/link.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

bool SetOrCheck(ReceiverContext& ctx, bool verify, const char* header, const char* value, const char* expected,
                bool numeric) {
    return Link_SetAndConfirm(ctx, verify, header, value, expected, numeric);
}

bool HasOption(const ReceiverContext& ctx, const char* code) {
    return !code[0] || DriveTest_HasOption(ctx.analyzer.options, code);
}

// A setup step runs only where the analyzer has the options it needs.
bool StepApplies(const ReceiverContext& ctx, const SetupStep& s) {
    return HasOption(ctx, s.requiredOption) && HasOption(ctx, s.requiredOption2);
}

// The chosen input impedance and level unit; nullptr when none is chosen.
const UnitChoice* Chosen(const std::vector<UnitChoice>& choices, int index) {
    return index >= 1 && static_cast<std::size_t>(index) <= choices.size() ? &choices[static_cast<std::size_t>(index - 1)]
                                                                          : nullptr;
}

// Wait for valid data and sync; one pass. Advances step when the wait ends.
void WaitValidAndSync(ReceiverContext& ctx, const BroadcastStandard& standard, double validDataHold,
                      double settleTimeout, double syncHold, double syncTimeout) {
    const double now = DateTime_Now();
    if (ctx.waitDeadline == -1.0) {
        ctx.waitDeadline = now + settleTimeout;
        ctx.dataValidSince = ctx.syncSince = -1.0;
    }
    const bool noSyncNeeded = syncHold == 0.0 || ctx.resultWaits.empty() || ctx.resultWaits.front().queryGroup == -1;
    if (ctx.dataValidSince == -1.0 || now - ctx.dataValidSince < validDataHold) {
        if (ctx.waitDeadline < now) {
            ctx.waitDeadline = -1.0;
            Text_FormatInto(ctx.reinitReason, sizeof ctx.reinitReason, "%s -> %s", ctx.stepDescription, ctx.stepError);
            return;
        }
    } else if (noSyncNeeded || (ctx.syncSince != -1.0 && now - ctx.syncSince >= syncHold) ||
               now - ctx.dataValidSince > syncTimeout) {
        ctx.step += 1;
        ctx.waitDeadline = -1.0;
        return;
    }
    const AnalyzerFamily& family = ctx.analyzer.family;
    if (std::strcmp(ctx.session.pendingQuery, standard.syncQuery) != 0 || !standard.syncQuery[0]) {
        Engine_Describe(ctx, "Wait for valid data");
        char query[110];
        Text_FormatInto(query, sizeof query, "%s?", family.validDataCommand);
        char reply[500];
        if (!Link_Query(ctx, query, reply, sizeof reply)) return;
        if (std::strcmp(reply, family.validDataAnswer) != 0) {
            Text_Copy(ctx.stepError, "Not acknowledged");
            ctx.dataValidSince = ctx.syncSince = -1.0;
        } else if (ctx.dataValidSince == -1.0) {
            ctx.dataValidSince = now;
        }
    }
    if (syncHold > 0.0 && !noSyncNeeded) {
        Engine_Describe(ctx, "Wait for sync");
        char reply[500];
        if (!Link_Query(ctx, standard.syncQuery, reply, sizeof reply)) return;
        if (std::strcmp(reply, standard.syncAnswer) == 0) {
            if (ctx.syncSince == -1.0) ctx.syncSince = now;
        } else {
            Text_Copy(ctx.stepError, "Not acknowledged");
            ctx.syncSince = -1.0;
        }
    }
}

bool ResultNotYet(const char* reply) {
    return !std::strcmp(reply, "---") || !std::strncmp(reply, "99.1e+36", 8) || !std::strncmp(reply, "{}", 2);
}

void EndResultWait(ReceiverContext& ctx) {
    ctx.step += 1;
    ctx.resultWaitDeadline = -1.0;
    ctx.resultWaitItem = 0;
}

// Wait for results; one pass. Advances step when the wait ends.
void WaitResults(ReceiverContext& ctx, const BroadcastStandard& standard) {
    const double now = DateTime_Now();
    // Nothing selected waits for nothing, and the level needs no sync.
    if (ctx.resultWaits.empty() || ctx.resultWaits.front().queryGroup < 1) {
        EndResultWait(ctx);
        return;
    }
    if (ctx.resultWaitDeadline == -1.0) {
        ctx.resultWaitDeadline = now + standard.extraTime;
        ctx.resultWaitItem = 0;
        return;
    }
    if (ctx.resultWaitDeadline < now) {
        if (ctx.session.pendingQuery[0]) {
            ctx.waitDeadline = -1.0;
            Text_FormatInto(ctx.reinitReason, sizeof ctx.reinitReason, "%s -> %s", ctx.stepDescription, ctx.stepError);
        } else {
            EndResultWait(ctx);
        }
        return;
    }
    // A round asks the sync state, then every result of the current mode; an
    // answer that is no result yet starts the next round from the top. A round
    // cut short by a time-out goes on where it stopped: the late reply is
    // collected by its own query, and a slow analyzer gets through a round too.
    char reply[kScpiRxBufferBytes];
    char description[100];
    const int count = static_cast<int>(ctx.resultWaits.size());
    for (; ctx.resultWaitItem <= count; ++ctx.resultWaitItem) {
        const int i = ctx.resultWaitItem;
        Text_FormatInto(description, sizeof description, "Wait for signal sync: %d/%d", i, count);
        if (i == 0) {
            Engine_Describe(ctx, description);
            if (!standard.syncQuery[0]) continue;
            if (!Link_Query(ctx, standard.syncQuery, reply, sizeof reply)) return;
            if (std::strcmp(reply, standard.syncAnswer) != 0) {
                EndResultWait(ctx);  // without sync no results will come
                return;
            }
            continue;
        }
        const ResultWait& w = ctx.resultWaits[static_cast<std::size_t>(i - 1)];
        if (w.modeIndex != -1 && w.modeIndex != ctx.currentMode) continue;
        Engine_Describe(ctx, description);
        if (!Link_Query(ctx, w.query, reply, sizeof reply)) return;
        if (ResultNotYet(reply)) {
            Text_Copy(ctx.stepError, "Not acknowledged");
            ctx.resultWaitItem = 0;
            return;
        }
    }
    EndResultWait(ctx);
}

}  // namespace

bool Engine_ReinitRequested(ReceiverContext& ctx) {
    if (!ctx.reinitReason[0]) return false;
    TcpScpi_Disconnect(ctx.session);
    Link_Reset(ctx);
    ctx.troubleText[0] = 0;  // the reason takes the status's second line
    Text_Copy(ctx.lastReinitReason, Text_View(ctx.reinitReason));
    ctx.phase = kPhaseInit;
    ctx.step = 0;
    return true;
}

void Engine_Describe(ReceiverContext& ctx, const char* description) {
    Text_Copy(ctx.stepDescription, description);
}

std::vector<SetupCheck> Engine_SetupChecks(const ReceiverContext& ctx) {
    const AnalyzerFamily& family = ctx.analyzer.family;
    std::vector<SetupCheck> checks;
    if (const UnitChoice* u = Chosen(family.inputImpedances, ctx.analyzer.inputIndex))
        checks.push_back({"TV analyzer input setup", u->header, u->value, nullptr, true});
    for (const SetupStep& s : ctx.standard().setupSteps)
        if (StepApplies(ctx, s))
            checks.push_back({s.description, s.header, s.value, s.expectedAnswer[0] ? s.expectedAnswer : nullptr, false});
    if (const UnitChoice* u = Chosen(family.levelUnits, ctx.analyzer.levelUnitIndex))
        checks.push_back({"TV analyzer level unit setup", u->header, u->value, nullptr, false});
    return checks;
}

void Engine_InsertResultWait(std::vector<ResultWait>& waits, const char* longName, const char* query, int g, int m) {
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < waits.size();) {
        const ResultWait& w = waits[i];
        if (w.modeIndex == m) {
            if (g < w.queryGroup) return;  // a higher group of this mode is already awaited
            if (g > w.queryGroup) {
                waits.erase(waits.begin() + static_cast<std::ptrdiff_t>(i));
                if (insertAt > i) insertAt = i;
                continue;
            }
            if (m != -1) insertAt = i + 1;
        } else if (w.queryGroup < g || (w.queryGroup == g && m != -1)) {
            insertAt = i + 1;
        }
        ++i;
    }
    ResultWait r;
    Text_Copy(r.longName, longName);
    Text_Copy(r.query, query);
    r.queryGroup = g;
    r.modeIndex = m;
    waits.insert(waits.begin() + static_cast<std::ptrdiff_t>(insertAt), r);
}

void Engine_InitPhase(DriveTestState& dt, ReceiverContext& ctx) {
    const BroadcastStandard& standard = ctx.standard();
    const AnalyzerFamily& family = ctx.analyzer.family;
    const int n = static_cast<int>(standard.setupSteps.size());
    if (ctx.step == 0) {
        ctx.waitDeadline = ctx.resultWaitDeadline = -1.0;
        ctx.lastSetUpFrequency = 0;
        ctx.currentMode = 1;
        {
            std::lock_guard<std::mutex> lock(dt.lock);
            const std::uint32_t revision = dt.clock.revision;
            SampleClock_SetInactive(dt.clock, ctx.number);
            if (dt.clock.revision != revision) dt.changed.notify_all();
        }
        ctx.lastPassStep = -1;
        ctx.stepCount = 3 * n + 10;
        ctx.reinitReason[0] = ctx.stepError[0] = ctx.stepDescription[0] = 0;
        ctx.step = 1;
        return;
    }
    if (Engine_ReinitRequested(ctx)) return;
    const int step = ctx.step;
    if (step == 1) {
        Engine_Describe(ctx, "TV analyzer control setup");
        if (TcpScpi_Open(ctx.session, ctx.analyzer.address, family.scpiPort, dt.sessionTimeoutMs)) {
            Link_Reset(ctx);
            ctx.step = 2;
        } else
            Text_Copy(ctx.stepError, "TV analyzer not responding");
    } else if (step == 2 || step == 3) {
        Engine_Describe(ctx, "TV analyzer input setup");
        const UnitChoice* u = Chosen(family.inputImpedances, ctx.analyzer.inputIndex);
        if (!u) {
            ctx.step = 4;  // no input chosen: nothing to send
            return;
        }
        SetOrCheck(ctx, step == 3, u->header, u->value, nullptr, true);
    } else if (step >= 4 && step <= 7) {
        Engine_Describe(ctx, "TV analyzer transducer setup");
        ctx.step = 8;  // no transducer is ever chosen: the four steps are skipped at once
    } else if (step <= 3 * n + 7) {
        const int j = (step - 8) / 3;
        const int sub = (step - 8) % 3;
        const SetupStep& s = standard.setupSteps[static_cast<std::size_t>(j)];
        Engine_Describe(ctx, s.description);
        if (!StepApplies(ctx, s)) {
            ctx.step = 8 + 3 * (j + 1);  // not installed: no exchange at all
            return;
        }
        if (sub == 0) {
            ctx.settleUntil = DateTime_Now() + s.settleTime;
            SetOrCheck(ctx, false, s.header, s.value, nullptr, false);
        } else if (sub == 1) {
            ctx.settleUntil = DateTime_Now() + s.settleTime;
            SetOrCheck(ctx, true, s.header, s.value, s.expectedAnswer[0] ? s.expectedAnswer : nullptr, false);
        } else if (DateTime_Now() > ctx.settleUntil) {
            ctx.step += 1;
        }
    } else if (step == 3 * n + 8 || step == 3 * n + 9) {
        Engine_Describe(ctx, "TV analyzer level unit setup");
        const UnitChoice* u = Chosen(family.levelUnits, ctx.analyzer.levelUnitIndex);
        if (!u) {
            ctx.step = 3 * n + 10;
            return;
        }
        SetOrCheck(ctx, step == 3 * n + 9, u->header, u->value, nullptr, false);
    } else {
        ctx.lastReinitReason[0] = 0;
        ctx.phase = kPhaseFrequencySetup;
        ctx.step = 0;
    }
}

void Engine_FrequencySetupPhase(DriveTestState& dt, ReceiverContext& ctx) {
    (void)dt;
    const BroadcastStandard& standard = ctx.standard();
    const AnalyzerFamily& family = ctx.analyzer.family;
    if (ctx.step == 0) {
        ctx.lastPassStep = -1;
        if (ctx.currentState == kStateIdle) return;
        if (ctx.frequencies.empty()) return;
        const auto& f = ctx.frequencies[static_cast<std::size_t>(ctx.currentFrequency - 1)];
        ctx.stepCount = 2 * static_cast<int>(f.setupList.size()) + 7;
        ctx.step = 1;
        return;
    }
    if (Engine_ReinitRequested(ctx)) return;
    if (ctx.frequencies.empty()) return;
    const FrequencyRecord& f = ctx.frequencies[static_cast<std::size_t>(ctx.currentFrequency - 1)];
    const int m = static_cast<int>(f.setupList.size());
    if (ctx.lastSetUpFrequency == ctx.currentFrequency) {
        ctx.step = 2 * m + 7;  // still set up for this frequency
    }
    const int step = ctx.step;
    if (step == 1 || step == 2) {
        Engine_Describe(ctx, "Frequency setup");
        char hz[64];
        Text_FormatInto(hz, sizeof hz, "%.0lf", f.entry.frequencyMHz * 1e6);
        SetOrCheck(ctx, step == 2, family.frequencyHeader, hz, nullptr, true);
    } else if (step <= 2 * m + 2) {
        const int p = (step - 3) / 2;
        const auto& [header, value] = f.setupList[static_cast<std::size_t>(p)];
        Engine_Describe(ctx, standard.parameters[static_cast<std::size_t>(p)].columnTitle);
        SetOrCheck(ctx, (step - 3) % 2 == 1, header.c_str(), value.c_str(), nullptr, false);
    } else if (step == 2 * m + 3) {
        WaitValidAndSync(ctx, standard, standard.validDataHold, standard.settleTimeout, standard.syncHold,
                         standard.syncTimeout);
    } else if (step == 2 * m + 4) {
        Engine_Describe(ctx, "Reset attenuation change");
        char reply[500];
        if (family.attChangeReset[0] ? Link_Write(ctx, family.attChangeReset)
                                     : Link_Query(ctx, family.attChangeQuery, reply, sizeof reply))
            ctx.step += 1;
    } else if (step == 2 * m + 5) {
        WaitResults(ctx, standard);
    } else {
        ctx.lastSetUpFrequency = ctx.currentFrequency;
        ctx.phase = kPhaseWaiting;
        ctx.step = 0;
    }
}

void Engine_ModeSwitch(DriveTestState& dt, ReceiverContext& ctx, int m, int subStep) {
    (void)dt;
    const BroadcastStandard& standard = ctx.standard();
    if (subStep == 0 && (m == -1 || m == ctx.currentMode || m < 1 ||
                         static_cast<std::size_t>(m) > standard.modes.size())) {
        ctx.step += 4;  // no switch: the four sub-steps are skipped at once
        return;
    }
    const MeasurementMode& mode = standard.modes[static_cast<std::size_t>(m - 1)];
    if (subStep == 0 || subStep == 1) {
        char description[110];
        Text_FormatInto(description, sizeof description, "Select %s mode", mode.description);
        Engine_Describe(ctx, description);
        SetOrCheck(ctx, subStep == 1, mode.header, mode.value, nullptr, false);
    } else if (subStep == 2) {
        ctx.currentMode = m;
        WaitValidAndSync(ctx, standard, mode.validDataHold, mode.settleTimeout, 0.0, 0.0);
    } else {
        WaitResults(ctx, standard);
    }
}
