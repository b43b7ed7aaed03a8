#include "measure/livestatus.h"

#include "platform/text.h"

std::string Status_ProgressText(const ReceiverContext& ctx) {
    if (ctx.phase == kPhaseWaiting || ctx.phase == kPhaseStoring) return "- Done";
    if (ctx.step < 1 || ctx.stepCount <= 0) return "";
    return Text_Format("%.1lf%%", ctx.step * 100.0 / ctx.stepCount);
}

const char* Status_Spinner(int stuckCount) {
    static const char* const kSpinner[] = {"  --", "  \\", "  |", "  /"};
    return kSpinner[((stuckCount % 4) + 4) % 4];
}

std::string Status_PhaseLabel(const ReceiverContext& ctx) {
    int sampleNumber = 1;
    if (ctx.currentFrequency >= 1 && static_cast<std::size_t>(ctx.currentFrequency) <= ctx.frequencies.size())
        sampleNumber = ctx.frequencies[static_cast<std::size_t>(ctx.currentFrequency - 1)].sampleCount + 1;
    switch (ctx.phase) {
    case kPhaseInit:
        return ctx.reinitReason[0] || ctx.lastReinitReason[0] ? "ReInit" : "Init";
    case kPhaseFrequencySetup:
    case kPhaseWaiting:
        return Text_Format("Sample #%d: Preparing", sampleNumber);
    case kPhaseMeasuring:
    case kPhaseStoring:
        return Text_Format("Sample #%d: Retrieving", sampleNumber);
    default:
        return "?";
    }
}

const RowColour* Status_PhaseColours(const ReceiverContext& ctx) {
    switch (ctx.phase) {
    case kPhaseInit:
        return ctx.reinitReason[0] || ctx.lastReinitReason[0] ? statuscolours::kReInit : statuscolours::kInit;
    case kPhaseFrequencySetup:
    case kPhaseWaiting:
    case kPhaseMeasuring:
    case kPhaseStoring:
        return statuscolours::kSample;
    default:
        return statuscolours::kPlain;
    }
}

std::string Status_Watchdog(ReceiverContext& ctx) {
    if (ctx.step != ctx.lastPassStep) return "";
    ctx.stuckCount += 1;
    std::string spinner = Status_Spinner(ctx.stuckCount - 1);
    // A lost connection is made again for as long as it takes (measure/link.h); re-initialising would not help.
    const bool guardedWait =
        ctx.waitDeadline != -1.0 || ctx.resultWaitDeadline != -1.0 || ctx.link == LinkState::kDown;
    const int limit = ctx.phase == kPhaseInit ? 22
                      : (ctx.phase == kPhaseFrequencySetup || ctx.phase == kPhaseMeasuring) ? 5
                                                                                            : -1;
    if (!guardedWait && limit >= 0 && ctx.stuckCount > limit && !ctx.reinitReason[0]) {
        if (ctx.stepError[0])
            Text_FormatInto(ctx.reinitReason, sizeof ctx.reinitReason, "%s -> %s", ctx.stepDescription, ctx.stepError);
        else
            Text_FormatInto(ctx.reinitReason, sizeof ctx.reinitReason, "%s -> Timeout", ctx.stepDescription);
    }
    return spinner;
}

std::string Status_SecondLine(ReceiverContext& ctx) {
    std::string line(ctx.troubleText[0] ? Text_View(ctx.troubleText) : Text_View(ctx.lastReinitReason));
    if (!ctx.troubleActive) ctx.troubleText[0] = 0;
    return line;
}

std::string Status_SyncText(int sync, int row, RowColour& colour) {
    if (sync == 1) {
        colour = Status_ByParity(statuscolours::kSyncYes, row);
        return "Yes";
    }
    if (sync == 0) {
        colour = Status_ByParity(statuscolours::kSyncNo, row);
        return "No";
    }
    colour = Status_ByParity(statuscolours::kPlain, row);
    return "---";
}
