#include "measure/pacing.h"

#include <algorithm>

#include "measure/engine.h"

PassPause Pacing_AfterPass(const ReceiverContext& ctx, const SampleClock& clock, bool progressed, double now) {
    if (progressed) return {PauseKind::kNone, now};
    // A connection still to be mended is tried again like a failed step, in whatever phase.
    if (ctx.link != LinkState::kUp && ctx.phase != kPhaseStoring) return {PauseKind::kRetry, now + kRetryPauseSeconds};
    const bool waitingPhase = ctx.phase == kPhaseWaiting || ctx.phase == kPhaseStoring;
    if (!waitingPhase) return {PauseKind::kRetry, now + kRetryPauseSeconds};
    if (ctx.phase == kPhaseWaiting && Engine_LiveQueryDue(ctx, now)) return {PauseKind::kRetry, now + kLivePauseSeconds};
    // The status refresh is due once a second, whatever the clock does.
    double until = ctx.lastStatusTime + 1.0 + kDeadlineSlackSeconds;
    // A live answer that was unusable is asked again after a while.
    if (ctx.phase == kPhaseWaiting && ctx.liveRetryAt > now && Engine_LiveQueryDue(ctx, ctx.liveRetryAt))
        until = std::min(until, ctx.liveRetryAt);
    // Everybody is ready and only the gap to the previous sample holds the next one back.
    const bool gapOnly = ctx.phase == kPhaseWaiting && ctx.currentState == kStateRecording && !clock.sampleInProgress &&
                         (clock.maskReady | clock.maskInactive) == clock.maskAll;
    if (gapOnly) until = std::min(until, clock.sampleStart.dateTime + 1.0 + kDeadlineSlackSeconds);
    // A thread that finished the sample wakes when a stalled one may be left behind.
    const double stall = SampleClock_StallDeadline(clock);
    if (ctx.phase == kPhaseStoring && stall > 0.0) until = std::min(until, std::max(now, stall) + kDeadlineSlackSeconds);
    return {PauseKind::kClock, until};
}
